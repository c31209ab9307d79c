#include "fakes.h"
#include "sim_line.h"

#include "link/crc16.h"
#include "link/register_commands.h"
#include "messages/error_codes.h"
#include "messages/progress.h"

#include <cstdio>

namespace pmv::link {
namespace {

using Fault = sim::Fault;
using RegisterTest = test::SimLine;

TEST(RegisterAddress, PackingOfBankTypeAndNumber)
{
    EXPECT_EQ(RegisterAddressText(2, kByteMemory, 11), "00000B");
    EXPECT_EQ(RegisterAddressText(1, kByteMemory, 1), "002001");
    EXPECT_EQ(RegisterAddressText(2, kLongMemory, 13), "00800D");
    EXPECT_EQ(RegisterAddressText(1, kBlockMemory, 2), "00E002");
    EXPECT_EQ(RegisterAddressText(2, kByteMemory, 315), "00013B");
    EXPECT_EQ(RegisterAddressText(2, kByteMemory, 8192), "000000");
    EXPECT_EQ(RegisterAddressText(2, kLongMemory, 0x1FFF), "009FFF");
}

TEST(AnswerParsers, DataAnswersAndTheirErrors)
{
    struct Case {
        const char* answer;
        ErrorCode code;
        uint32_t value;
    };
    const Case bytes[] = {
        {"!1;3c;123\r", kOk, 0x3C},
        {"!1;FF;65535\r", kOk, 0xFF},
        {"!1;5;1\r", kCannotParse, 0},         // fewer digits than a byte needs
        {"!1;3CA3D70A;1\r", kCannotParse, 0},  // a long's answer, come late to a byte read
        {"!1;ZZ;1\r", kCannotParse, 0},        // not hexadecimal
        {"!1;3C\r", kCannotParse, 0},          // data field not closed
        {"!1\r", kCannotParse, 0},             // no separator at all
        {"1;3C;1\r", kCannotParse, 0},         // no start mark
        {"xx;!1\r", kCannotParse, 0},          // no separator after the start mark
        {"", kCannotParse, 0},
    };
    for (const Case& c : bytes) {
        uint32_t value = 0;
        EXPECT_EQ(ParseByteAnswer(c.answer, value), c.code) << c.answer;
        EXPECT_EQ(value, c.value) << c.answer;
    }
    uint32_t value = 0;
    EXPECT_EQ(ParseByteAnswer(std::string(63, 'x') + "!1;3C;1\r", value), kOk);
    EXPECT_EQ(ParseByteAnswer(std::string(64, 'x') + "!1;3C;1\r", value), kTooManyChars);

    EXPECT_EQ(ParseLongAnswer("!1;3F800000;1\r", value), kOk);
    EXPECT_EQ(value, 0x3F800000u);
    EXPECT_EQ(ParseLongAnswer("!1;00000001\r", value), kOk) << "no closing separator needed";
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(ParseLongAnswer("!1;3F80;1\r", value), kCannotParse);
    EXPECT_EQ(ParseLongAnswer("!1;3F80000000;1\r", value), kCannotParse) << "wider than a long";
    EXPECT_EQ(ParseLongAnswer("!1;3C;1\r", value), kCannotParse) << "a byte's answer, come late";

    std::vector<uint8_t> block;
    EXPECT_EQ(ParseBlockAnswer("!1;0102A0ff;7\r", 4, block), kOk);
    EXPECT_EQ(block, (std::vector<uint8_t>{1, 2, 0xA0, 0xFF}));
    EXPECT_EQ(ParseBlockAnswer("!1;0102A0;7\r", 4, block), kCannotParse);
}

TEST_F(RegisterTest, ReadsAndWritesOfEachWidthGoToSeparateCells)
{
    ASSERT_EQ(WriteByteRegister(exchange, 2, 6, 0x81), kOk);
    ASSERT_EQ(WriteLongRegister(exchange, 2, 6, FloatBits(2.5f)), kOk);
    uint32_t byte = 0, word = 0;
    ASSERT_EQ(ReadByteRegister(exchange, 2, 6, byte), kOk);
    ASSERT_EQ(ReadLongRegister(exchange, 2, 6, word), kOk);
    EXPECT_EQ(byte, 0x81u);
    EXPECT_EQ(BitsToFloat(word), 2.5f);

    const auto requests = simulator->Transcript();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].text, "1;38;000006;81;");
    EXPECT_EQ(requests[1].text, "1;38;008006;40200000;");
    EXPECT_EQ(requests[2].text, "1;37;000006;");
    EXPECT_EQ(requests[3].text, "1;37;008006;");
}

TEST_F(RegisterTest, OutOfRangeArgumentsAreSentAsTheWireAllows)
{
    ASSERT_EQ(WriteByteRegister(exchange, 1, 8192 + 4, 300), kOk);
    EXPECT_EQ(simulator->Transcript().back().text, "1;38;002004;FF;");
    EXPECT_EQ(simulator->Register(1, 1, 4), 0xFFu);

    simulator->ClearTranscript();
    uint32_t value = 0;
    EXPECT_EQ(ReadByteRegister(exchange, 3, 11, value), kAddressTooLarge);
    EXPECT_EQ(WriteLongRegister(exchange, 0, 11, 1), kAddressTooLarge);
    EXPECT_TRUE(simulator->Transcript().empty());
}

TEST_F(RegisterTest, CheckedWritesPassOrEndWith15AfterAllPasses)
{
    exchange.values().RetryCount = 3;
    EXPECT_EQ(WriteByteRegisterChecked(exchange, 2, 315, 200), kOk);
    EXPECT_EQ(simulator->Register(2, 1, 315), 200u);
    EXPECT_EQ(simulator->Transcript().size(), 2u);

    simulator->ClearTranscript();
    EXPECT_EQ(WriteByteRegisterChecked(exchange, 2, 317, 300), kReadBackMismatch);
    EXPECT_EQ(simulator->Transcript().size(), 6u) << "three passes of a write and a read";

    Fault wrong{Fault::Kind::WrongReadBack};
    wrong.count = -1;
    wrong.bank = 2;
    wrong.memType = 3;
    wrong.reg = 29;
    simulator->InjectFault(wrong);
    simulator->ClearTranscript();
    EXPECT_EQ(WriteFloatRegisterChecked(exchange, 2, 29, 100.0f), kReadBackMismatch);
    EXPECT_EQ(simulator->Transcript().size(), 6u);
    EXPECT_EQ(WriteFloatRegisterChecked(exchange, 2, 30, 100.0f), kOk) << "other registers are not affected";
}

// The instrument answers both the write (a text without "$" counts as success) and the
// read-back of register 29 with the given float.
Fault ReadBackOf(float value, int count)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", FloatBits(value));
    Fault f{Fault::Kind::RawAnswer};
    f.count = count;
    f.bank = 2;
    f.memType = 3;
    f.reg = 29;
    const std::string covered = std::string("1;") + hex + ";";
    f.raw = "!" + covered + std::to_string(Crc16(covered)) + "\r";
    return f;
}

TEST_F(RegisterTest, FloatReadBackToleranceIsAHundredth)
{
    simulator->InjectFault(ReadBackOf(100.009f, 2));
    EXPECT_EQ(WriteFloatRegisterChecked(exchange, 2, 29, 100.0f), kOk);
    EXPECT_EQ(simulator->Transcript().size(), 2u);

    simulator->ClearTranscript();
    simulator->InjectFault(ReadBackOf(100.02f, -1));
    EXPECT_EQ(WriteFloatRegisterChecked(exchange, 2, 29, 100.0f), kReadBackMismatch);
    EXPECT_EQ(simulator->Transcript().size(), 4u);
}

TEST_F(RegisterTest, BlocksWithAndWithoutTheStatusTest)
{
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadValueBlock(exchange, 2, 16, bytes, true), kOk);
    EXPECT_EQ(bytes.size(), 16u);
    EXPECT_EQ(simulator->Transcript().back().text, "1;37;00E002;");
    ASSERT_EQ(ReadValueBlock(exchange, 1, 13, bytes, false), kOk);
    EXPECT_EQ(bytes.size(), 13u);

    Fault status{Fault::Kind::Status};
    status.count = -1;
    status.status = 0x0005;
    simulator->InjectFault(status);
    EXPECT_EQ(ReadValueBlock(exchange, 2, 16, bytes, true), kDeviceError);
    EXPECT_EQ(ReadValueBlock(exchange, 0, 13, bytes, false), kCannotParse);
}

// A sequence of register operations as the device operations run them, with Esc tested
// between register operations only.
ErrorCode WriteThree(Exchange& exchange, Progress& progress)
{
    progress.SetProgressLines({"Запись", "", "", "", "", kEscapeHint});
    progress.ShowProgressPanel();
    for (uint32_t reg : {100u, 101u, 102u}) {
        progress.SetProgressStep("Регистр " + std::to_string(reg));
        if (const ErrorCode code = WriteByteRegister(exchange, 2, reg, 5); code != kOk)
            return EndOperation(progress, code);
        if (const ErrorCode code = CheckEscape(progress); code != kOk)
            return EndOperation(progress, code);
    }
    return EndOperation(progress, kOk);
}

TEST_F(RegisterTest, EscapeStopsBetweenRegisterOperations)
{
    test::ScriptedProgress progress;
    progress.DiscardEscape();
    progress.escapeAtQuery = 3;  // pressed during the second write
    EXPECT_EQ(WriteThree(exchange, progress), kStoppedByUser);
    EXPECT_FALSE(progress.shown);
    EXPECT_EQ(progress.lines[5], "Для прекращения нажмите ESC");
    EXPECT_EQ(simulator->Transcript().size(), 2u) << "the second write runs to its end, the third never starts";
    EXPECT_EQ(simulator->Register(2, 1, 101), 5u);
    EXPECT_EQ(simulator->Register(2, 1, 102), 0u);

    Fault silent{Fault::Kind::NoAnswer};
    silent.count = -1;
    simulator->InjectFault(silent);
    test::ScriptedProgress failing;
    EXPECT_EQ(WriteThree(exchange, failing), kNoAnswer);
    EXPECT_FALSE(failing.shown) << "the panel is hidden before the error is shown";
}

}  // namespace
}  // namespace pmv::link
