#include "fakes.h"
#include "sim_line.h"
#include "temp_dir.h"

#include "link/crc16.h"
#include "link/link_settings.h"
#include "link/register_commands.h"
#include "messages/error_codes.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

namespace pmv::link {
namespace {

using Fault = sim::Fault;
using ExchangeTest = test::SimLine;

int64_t ElapsedMs(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

// The fixture's link values on `other`, with its exchange log in `log`.
void LogEveryTry(Exchange& other, const LinkValues& values, const std::string& log)
{
    other.values() = values;
    other.values().UseLogFile = true;
    other.values().LogFileName = log;
}

TEST(Crc16, PublishedCheckValueAndFrameLayout)
{
    EXPECT_EQ(Crc16("123456789"), 0x4B37);
    std::string frame = std::string(4, '\xFF') + ":1;37;00000B;";
    const size_t appended = AppendChecksum(frame);
    const std::string digits = std::to_string(Crc16("1;37;00000B;"));
    EXPECT_EQ(appended, digits.size() + 1);
    EXPECT_EQ(frame, std::string(4, '\xFF') + ":1;37;00000B;" + digits + "\r");
}

TEST_F(ExchangeTest, RequestReachesTheInstrumentWithAValidChecksum)
{
    exchange.values().DeviceAddress = 1;
    simulator->SetRegister(2, 3, 13, 0x3F800000);
    uint32_t value = 0;
    ASSERT_EQ(ReadLongRegister(exchange, 2, 13, value), kOk);
    EXPECT_EQ(value, 0x3F800000u);
    const auto requests = simulator->Transcript();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, "1;37;00800D;");
    EXPECT_TRUE(requests[0].checksumOk);
}

TEST_F(ExchangeTest, OtherAddressGetsNoAnswerAfterTheMinimumTimeoutPerAttempt)
{
    exchange.values().DeviceAddress = 7;
    exchange.values().AnswerTimeout = 0;
    exchange.values().RetryCount = 2;
    const auto start = std::chrono::steady_clock::now();
    uint32_t value = 0;
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kNoAnswer);
    const int64_t elapsed = ElapsedMs(start);
    EXPECT_EQ(simulator->Transcript().size(), 2u);
    // Each attempt waits just over 1000 ms: the time-out is tested after each read of up to 33 bytes'
    // time; before the retry the line must stay silent as long.
    EXPECT_GT(elapsed, 3000);
    EXPECT_LT(elapsed, 3 * (1000 + 2 * 33 * 9) + 500);
    EXPECT_GT(exchange.state().waitMs, 1000u);
}

TEST_F(ExchangeTest, StatusAnswersMapToErrorCodesAndAreRetried)
{
    struct Case {
        uint16_t status;
        ErrorCode code;
    };
    const Case cases[] = {{0x0001, kDeviceError},           {0x0002, kAnswerFormat},     {0x0003, kParameterNotFound},
                          {0x0005, kDeviceError},           {0x0006, kOperandTooLarge},  {0x000B, kCannotParse},
                          {0x000C, kModuleAddressTooLarge}, {0x000D, kChecksumMismatch}, {0x0042, kDeviceError}};
    exchange.values().RetryCount = 3;
    for (const Case& c : cases) {
        simulator->ClearTranscript();
        Fault fault{Fault::Kind::Status};
        fault.count = -1;
        fault.status = c.status;
        simulator->InjectFault(fault);
        EXPECT_EQ(WriteByteRegister(exchange, 2, 4, 1), c.code) << c.status;
        EXPECT_EQ(simulator->Transcript().size(), 3u);
        simulator->ClearFaults();
    }
    EXPECT_EQ(Exchange::AnswerStatus("no dollar at all\r"), kOk);
    EXPECT_EQ(Exchange::AnswerStatus("$0000\r"), kOk);
}

TEST_F(ExchangeTest, FailedAttemptsAreRetriedAndEveryAttemptIsLogged)
{
    test::TempDir dir;
    exchange.values().UseLogFile = true;
    exchange.values().LogFileName = dir.file("COM.txt");
    exchange.values().RetryCount = 3;
    Fault fault{Fault::Kind::Status};
    fault.count = 2;
    fault.status = 0x0006;
    simulator->InjectFault(fault);
    EXPECT_EQ(WriteByteRegister(exchange, 2, 4, 1), kOk);

    const std::string log = test::ReadFileBytes(dir.file("COM.txt"));
    const std::string frame = exchange.BuildFrame("38;000004;01;");
    const std::string entryEnd = "Wait for answ ";
    size_t entries = 0;
    for (size_t at = log.find("________________________________________\nSend cmd at "); at != std::string::npos;
         at = log.find("________________________________________\nSend cmd at ", at + 1))
        ++entries;
    EXPECT_EQ(entries, 3u) << log;
    EXPECT_NE(log.find(" :" + frame + "\n"), std::string::npos);
    EXPECT_NE(log.find(":$0006\r\n"), std::string::npos);
    EXPECT_NE(log.find(":$0000\r\nWait for answ "), std::string::npos);
    EXPECT_EQ(simulator->Register(2, 1, 4), 1u);
}

TEST_F(ExchangeTest, LogStampsComeFromTheLocalClockAcrossTheHour)
{
    test::TempDir dir;
    test::SettableClock late({12, 59, 59, 950});
    Exchange stamped(line, late);
    LogEveryTry(stamped, exchange.values(), dir.file("COM.txt"));
    // The instrument's delay runs from the request's arrival, which can come a moment before the
    // send stamp taken when the write has returned: 200 ms measure at least 150 on a busy machine.
    Fault delay{Fault::Kind::Delay};
    delay.delayMs = 200;
    simulator->InjectFault(delay);
    ASSERT_EQ(WriteByteRegister(stamped, 2, 4, 1), kOk);
    const std::string log = test::ReadFileBytes(dir.file("COM.txt"));
    EXPECT_NE(log.find("Send cmd at 12:59:59 :"), std::string::npos) << log;
    EXPECT_NE(log.find("Answ at 13:00:00 :$0000\r\n"), std::string::npos) << log;
    EXPECT_GE(stamped.state().waitMs, 150u);
    EXPECT_LT(stamped.state().waitMs, 1000u);
}

TEST_F(ExchangeTest, ALogEntryHoldsTheRequestAndTheAnswerUpToItsFirstNulByteForByte)
{
    test::TempDir dir;
    test::SettableClock clock({10, 20, 30, 0});
    Exchange logged(line, clock);
    LogEveryTry(logged, exchange.values(), dir.file("COM.txt"));
    logged.values().RetryCount = 1;
    Fault noise{Fault::Kind::RawAnswer};
    noise.raw = std::string("!1;0\0"
                            "5;1\r",
                            9);
    simulator->InjectFault(noise);
    uint32_t value = 0;
    EXPECT_NE(ReadByteRegister(logged, 2, 11, value), kOk);
    const auto requests = simulator->Transcript();
    ASSERT_EQ(requests.size(), 1u);
    const std::string frame = logged.BuildFrame(requests[0].text.substr(requests[0].text.find(';') + 1));
    EXPECT_EQ(test::ReadFileBytes(dir.file("COM.txt")),
              "________________________________________\nSend cmd at 10:20:30 :" + frame +
                  "\nAnsw at 10:20:30 :!1;0\nWait for answ " + std::to_string(logged.state().waitMs) + " ms\n");
}

TEST_F(ExchangeTest, OverlongAnswersAndFarStartMarksGiveError1)
{
    uint32_t value = 0;
    Fault overlong{Fault::Kind::Overlong};
    overlong.count = -1;
    simulator->InjectFault(overlong);
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kTooManyChars);
    simulator->ClearFaults();

    Fault far{Fault::Kind::BangBeyond64};
    far.count = -1;
    simulator->InjectFault(far);
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kTooManyChars);
    simulator->ClearFaults();

    Fault garbage{Fault::Kind::GarbageBefore};
    simulator->InjectFault(garbage);
    simulator->SetRegister(2, 1, 11, 0x5A);
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    EXPECT_EQ(value, 0x5Au);
}

TEST_F(ExchangeTest, AnswerLengthLimitIs256Bytes)
{
    uint32_t value = 0;
    Fault fault{Fault::Kind::RawAnswer};
    // 256 bytes with the carriage return, filler in the answering address, which nothing
    // compares; its length and letter are chosen so that the checksum's digits make up the rest.
    for (const char filler : {' ', '.', '_', '-'})
        for (size_t length = 240; length < 252 && fault.raw.size() != 256; ++length) {
            const std::string covered = "1" + std::string(length, filler) + ";C3;";
            fault.raw = "!" + covered + std::to_string(Crc16(covered)) + "\r";
        }
    ASSERT_EQ(fault.raw.size(), 256u);
    simulator->InjectFault(fault);
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    EXPECT_EQ(value, 0xC3u);

    fault.raw = "!1;C3;0;" + std::string(248, ' ') + "\r";
    fault.count = -1;
    simulator->InjectFault(fault);
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kTooManyChars);
}

TEST_F(ExchangeTest, AnswerTricklingInAtLineSpeedIsAssembled)
{
    simulator->SetBaud(9600);
    simulator->SetRegister(2, 3, 15, 0x42C80000);
    uint32_t value = 0;
    ASSERT_EQ(ReadLongRegister(exchange, 2, 15, value), kOk);
    EXPECT_EQ(BitsToFloat(value), 100.0f);
}

TEST_F(ExchangeTest, LateAnswerIsNeverTakenForTheNextRequest)
{
    exchange.values().RetryCount = 1;
    simulator->SetRegister(2, 1, 11, 0x11);
    simulator->SetRegister(2, 1, 12, 0x22);
    Fault delay{Fault::Kind::Delay};
    delay.delayMs = 1600;
    simulator->InjectFault(delay);
    uint32_t value = 0;
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kNoAnswer);
    // rules: real time: the simulator sends its delayed answer on the wall clock; now it waits on the line
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(ReadByteRegister(exchange, 2, 12, value), kOk);
    EXPECT_EQ(value, 0x22u);
}

size_t LogEntries(const std::string& path)
{
    const std::string log = test::ReadFileBytes(path);
    size_t entries = 0;
    for (size_t at = log.find("________________________________________\nSend cmd at "); at != std::string::npos;
         at = log.find("________________________________________\nSend cmd at ", at + 1))
        ++entries;
    return entries;
}

TEST_F(ExchangeTest, EachLogEntryIsOnDiskAfterItsExchangeAndTheLogFollowsItsName)
{
    test::TempDir dir;
    exchange.values().UseLogFile = true;
    exchange.values().LogFileName = dir.file("COM.txt");
    uint32_t value = 0;
    for (size_t i = 1; i <= 3; ++i) {
        ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
        EXPECT_EQ(LogEntries(dir.file("COM.txt")), i);
    }
    // Removed or set aside by someone else: the next entry begins a new file under the name.
    std::filesystem::rename(dir.file("COM.txt"), dir.file("COM.old"));
    ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    EXPECT_EQ(LogEntries(dir.file("COM.txt")), 1u);
    EXPECT_EQ(LogEntries(dir.file("COM.old")), 3u);
    std::filesystem::remove(dir.file("COM.txt"));
    ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    EXPECT_EQ(LogEntries(dir.file("COM.txt")), 1u);
    exchange.values().LogFileName = dir.file("other.txt");
    ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    EXPECT_EQ(LogEntries(dir.file("other.txt")), 1u);
    EXPECT_EQ(LogEntries(dir.file("COM.txt")), 1u);
}

// A log on a full disk is told once, with the system's reason, and again only after it was
// written in between; the exchanges go on.
TEST_F(ExchangeTest, ALogThatCannotBeWrittenIsToldOnceAndTheExchangesGoOn)
{
    test::TempDir dir;
    std::vector<std::pair<std::string, int>> told;
    exchange.OnLogFailure([&](const std::string& path, int error) { told.emplace_back(path, error); });
    exchange.values().UseLogFile = true;
    exchange.values().LogFileName = "/dev/full";
    uint32_t value = 0;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], std::make_pair(std::string("/dev/full"), ENOSPC));

    exchange.values().LogFileName = dir.file("COM.txt");
    ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    exchange.values().LogFileName = dir.file("missing/COM.txt");
    ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1].second, ENOENT);
}

// A program may end while the instrument still owes it an answer: the next program on the line
// takes the owed answers over, so that the late one never stands for its own value.
TEST_F(ExchangeTest, AnAnswerOwedToTheLastProgramNeverStandsForTheNextOnesValue)
{
    simulator->SetRegister(2, 1, 11, 0x11);
    simulator->SetRegister(2, 1, 12, 0x22);
    Fault late{Fault::Kind::DelayApart};
    late.delayMs = 3200;
    simulator->InjectFault(late);
    const auto start = std::chrono::steady_clock::now();
    uint32_t value = 0;
    ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    ASSERT_EQ(value, 0x11u);
    const std::string owed = exchange.OwedHandover();
    EXPECT_FALSE(owed.empty());

    Exchange next(line, clock);
    next.values() = exchange.values();
    next.TakeOwedHandover(owed);
    // The owed answer is the same register's: a read of it costs one request, no confirmation.
    const size_t sentBefore = simulator->Transcript().size();
    ASSERT_EQ(ReadByteRegister(next, 2, 11, value), kOk);
    EXPECT_EQ(simulator->Transcript().size(), sentBefore + 1);
    int reads = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(4500)) {
        ASSERT_EQ(ReadByteRegister(next, 2, 12, value), kOk);
        ASSERT_EQ(value, 0x22u) << "read " << reads;
        ++reads;
    }
    EXPECT_GT(reads, 20);
    EXPECT_TRUE(next.OwedHandover().empty())
        << "the late answer came and settled what was owed: " << next.OwedHandover();
}

// On a line of several instruments the late answer of one names it: it never stands for another
// instrument's value, and the answers it owes neither hold up the other's live values nor go to
// the next program without its address.
TEST_F(ExchangeTest, AnAnswerOwedByAnotherInstrumentOnTheLineStandsForNothingOfThisOne)
{
    sim::SimOptions cabinet;
    cabinet.addresses = {1, 2};
    Connect(cabinet);
    simulator->SetRegisterAt(1, 2, 1, 11, 0x11);
    simulator->SetRegisterAt(2, 2, 1, 11, 0x22);
    Fault late{Fault::Kind::DelayApart};
    late.delayMs = 3200;
    simulator->InjectFault(late);
    exchange.values().DeviceAddress = 1;
    uint32_t value = 0;
    ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    ASSERT_EQ(value, 0x11u);
    EXPECT_NE(exchange.OwedHandover().find(" @1:"), std::string::npos) << exchange.OwedHandover();

    exchange.values().DeviceAddress = 2;
    const auto start = std::chrono::steady_clock::now();
    int reads = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(3000)) {
        ASSERT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
        ASSERT_EQ(value, 0x22u) << "read " << reads;
        ++reads;
    }
    EXPECT_GT(reads, 20);
    EXPECT_TRUE(exchange.OwedHandover().empty()) << "the late answer came and settled what instrument 1 owed";
    EXPECT_EQ(link::AnswerAddress("!12;5A;123"), 12u);
    EXPECT_FALSE(link::AnswerAddress("$0000").has_value());
}

// The probe of a restarting instrument: a read of its firmware version.
constexpr const char* kProbe = "37;002006;";

ErrorCode ByteAnswer(const std::string& answer)
{
    uint32_t value = 0;
    return ParseByteAnswer(answer, value);
}

TEST_F(ExchangeTest, ARestartedInstrumentIsProbedShortlyUntilItAnswers)
{
    constexpr uint32_t kRebootMs = 600;
    simulator->SetReboot(kRebootMs);
    simulator->SetRegister(2, 1, 11, 0x11);
    ASSERT_EQ(WriteByteRegister(exchange, 1, 0, 1), kOk);
    exchange.NoteRestart();
    const auto start = std::chrono::steady_clock::now();
    uint32_t probes = 0;
    ASSERT_EQ(exchange.AwaitReturn(kProbe, link::AnswerShape{2, true}, ByteAnswer, 10000,
                                   [&](uint32_t) { return ++probes, kOk; }),
              kOk);
    const int64_t waited = ElapsedMs(start);
    EXPECT_FALSE(exchange.Restarting());
    // Short probes, not answer time-outs: the wait ends soon after the reboot.
    EXPECT_GE(probes, 2u);
    EXPECT_LE(probes, kRebootMs / kMinProbeWindowMs + 2);
    EXPECT_LT(waited, kRebootMs + kMinAnswerTimeoutMs);
    uint32_t value = 0;
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    EXPECT_EQ(value, 0x11u);
    // Nothing pending: no more probes.
    EXPECT_EQ(exchange.AwaitReturn(kProbe, link::AnswerShape{2, true}, ByteAnswer, 10000,
                                   [&](uint32_t) { return ++probes, kOk; }),
              kOk);
    EXPECT_EQ(simulator->Transcript().back().text, "1;37;00000B;");
}

TEST_F(ExchangeTest, ALateAnswerToAProbeIsNeverTakenForTheNextRequest)
{
    simulator->SetReboot(300);
    simulator->SetTurnaround(30);
    simulator->SetRegister(2, 1, 11, 0x11);
    ASSERT_EQ(WriteByteRegister(exchange, 1, 0, 1), kOk);
    exchange.NoteRestart();
    // The first probe heard after the reboot is answered after the next probes were sent; the
    // instrument then answers those too, each a turnaround after the other.
    Fault late{Fault::Kind::Delay};
    late.delayMs = 150;
    late.bank = 1, late.memType = 1, late.reg = 6;
    simulator->InjectFault(late);
    ASSERT_EQ(exchange.AwaitReturn(kProbe, link::AnswerShape{2, true}, ByteAnswer, 10000, [](uint32_t) { return kOk; }),
              kOk);
    uint32_t value = 0;
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    EXPECT_EQ(value, 0x11u);
}

// A program that has heard no answer yet probes with the shortest window. At 4800 baud the probe
// and its answer take longer than that alone: each probe's answer would come after its window and
// stand for the next one, and every read after the reboot would be sent twice.
TEST_F(ExchangeTest, AtASlowLineTheProbesWaitForTheirAnswersSoTheReadsAfterTheRebootAreSentOnce)
{
    for (const uint32_t baud : {4800u, 9600u}) {
        SCOPED_TRACE(baud);
        simulator->SetBaud(baud);
        simulator->SetTurnaround(20);
        simulator->SetReboot(400);
        simulator->SetRegister(2, 1, 11, 0x11);
        simulator->SetRegister(2, 1, 12, 0x22);
        ASSERT_EQ(WriteByteRegister(exchange, 1, 0, 1), kOk);
        Exchange fresh(line, clock);
        fresh.values() = exchange.values();
        SetLineSpeed(fresh.values(), baud);
        fresh.NoteRestart();
        ASSERT_EQ(
            fresh.AwaitReturn(kProbe, link::AnswerShape{2, true}, ByteAnswer, 10000, [](uint32_t) { return kOk; }),
            kOk);
        simulator->ClearTranscript();
        for (const uint32_t reg : {11u, 12u, 11u, 12u}) {
            uint32_t value = 0;
            ASSERT_EQ(ReadByteRegister(fresh, 2, reg, value), kOk);
            EXPECT_EQ(value, reg == 11 ? 0x11u : 0x22u);
        }
        EXPECT_EQ(simulator->Transcript().size(), 4u) << "one request a read";
    }
}

TEST_F(ExchangeTest, AnInstrumentThatDoesNotComeBackEndsTheWaitAtItsLimit)
{
    simulator->SetReboot(5000);
    ASSERT_EQ(WriteByteRegister(exchange, 1, 0, 1), kOk);
    exchange.NoteRestart();
    uint32_t probes = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(exchange.AwaitReturn(kProbe, link::AnswerShape{2, true}, ByteAnswer, 400,
                                   [&](uint32_t) { return ++probes, kOk; }),
              kNoAnswer);
    EXPECT_LT(ElapsedMs(start), 400 + 2 * kMinAnswerTimeoutMs);
    EXPECT_GE(probes, 2u);
    EXPECT_FALSE(exchange.Restarting());
    // Esc between probes ends the wait with its code.
    exchange.NoteRestart();
    EXPECT_EQ(exchange.AwaitReturn(kProbe, link::AnswerShape{2, true}, ByteAnswer, 10000,
                                   [](uint32_t) { return kStoppedByUser; }),
              kStoppedByUser);
}

TEST_F(ExchangeTest, ClosedPortAnswersNothingAtOnce)
{
    line.Close();
    exchange.values().RetryCount = 5;
    test::TempDir dir;
    exchange.values().UseLogFile = true;
    exchange.values().LogFileName = dir.file("COM.txt");
    const auto start = std::chrono::steady_clock::now();
    uint32_t value = 0;
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kNoAnswer);
    // Five tries would wait out five answer time-outs.
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_TRUE(simulator->Transcript().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("COM.txt")));
}

// One flipped bit turns setpoint 50.0 into another number and a digit into another digit; the
// checksum of the answer is all that tells them from the instrument's values.
TEST_F(ExchangeTest, AnAnswerWithAFlippedBitIsRetriedAndNeverTaken)
{
    exchange.values().RetryCount = 3;
    simulator->SetFloatRegister(2, 29, 50.0f);
    simulator->SetRegister(2, 1, 327, 1);

    Fault flip{Fault::Kind::FlippedBit};
    flip.count = 1;
    simulator->InjectFault(flip);
    uint32_t bits = 0;
    EXPECT_EQ(ReadLongRegister(exchange, 2, 29, bits), kOk);
    EXPECT_FLOAT_EQ(BitsToFloat(bits), 50.0f);
    EXPECT_EQ(simulator->Transcript().size(), 2u) << "the flipped answer was retried";

    // "!1;42480000;NNNNN" and "!1;01;NNNNN": data digits, separators, checksum digits.
    flip.count = -1;
    const auto refused = [&](int at, auto read) {
        simulator->ClearFaults();
        simulator->ClearTranscript();
        flip.flipByte = at;
        simulator->InjectFault(flip);
        uint32_t value = 0x12345678;
        EXPECT_EQ(read(value), kChecksumMismatch) << at;
        EXPECT_EQ(value, 0x12345678u) << "nothing stored from a refused answer, flip at " << at;
        EXPECT_EQ(simulator->Transcript().size(), 3u);
    };
    for (const int at : {-1, 2, 4, 9, 11, 12})
        refused(at, [&](uint32_t& v) { return ReadLongRegister(exchange, 2, 29, v); });
    for (const int at : {-1, 2, 4, 5, 7})
        refused(at, [&](uint32_t& v) { return ReadByteRegister(exchange, 2, 327, v); });

    // The dev.dat key turns the test off: the flipped value goes through.
    simulator->ClearFaults();
    flip.flipByte = -1;
    simulator->InjectFault(flip);
    exchange.values().VerifyAnswers = false;
    uint32_t type = 0;
    EXPECT_EQ(ReadByteRegister(exchange, 2, 327, type), kOk);
    EXPECT_EQ(type, 0x11u) << "\"01\" came back as \"11\"";
}

TEST_F(ExchangeTest, OnlyDataAnswersCarryAChecksum)
{
    const std::string covered = "1;3F800000;";
    const std::string good = "!" + covered + std::to_string(Crc16(covered)) + "\r";
    EXPECT_EQ(Exchange::AnswerChecksum(good), kOk);
    EXPECT_EQ(Exchange::AnswerChecksum("\x7F~noise" + good + "!9;9;\r"), kOk) << "noise around the line is not covered";
    EXPECT_EQ(Exchange::AnswerChecksum("$0000\r"), kOk);
    for (const std::string& bad : {"!" + covered + "\r", "!" + covered + std::to_string(Crc16("!" + covered)) + "\r",
                                   "!" + covered + "1x\r", "!" + covered + "123456\r", "!" + covered + "-1\r"})
        EXPECT_EQ(Exchange::AnswerChecksum(bad), kChecksumMismatch) << bad;

    // A write is answered by a status without a checksum, and an instrument that computes the
    // data answers' checksum otherwise is heard once the key turns the test off.
    EXPECT_EQ(WriteByteRegister(exchange, 2, 4, 3), kOk);
    Fault foreign{Fault::Kind::ForeignChecksum};
    foreign.count = -1;
    simulator->InjectFault(foreign);
    uint32_t value = 0;
    EXPECT_EQ(ReadByteRegister(exchange, 2, 4, value), kChecksumMismatch);
    exchange.values().VerifyAnswers = false;
    EXPECT_EQ(ReadByteRegister(exchange, 2, 4, value), kOk);
    EXPECT_EQ(value, 3u);
}

}  // namespace
}  // namespace pmv::link
