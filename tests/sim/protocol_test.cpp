#include <random>

#include "sim/request_parser.h"
#include "sim_fixture.h"

namespace pmv::sim::test {
namespace {

TEST(Crc16, GivesThePublishedCheckValue) { EXPECT_EQ(Crc16("123456789"), 0x4B37); }

TEST_F(SimTest, ReadsAndWritesByteAndFourByteCells)
{
    EXPECT_EQ(line->Exchange("1;37;00013B;"), "!1;11;27729\r");        // CH1 dat = 17
    EXPECT_EQ(line->Exchange("1;37;00800F;"), "!1;42C80000;43524\r");  // CH1 diap_max = 100.0

    EXPECT_EQ(line->Exchange("1;38;00000B;D2;"), "$0000\r");
    EXPECT_EQ(sim.Register(2, 1, 11), 0xD2u);
    EXPECT_EQ(line->Exchange("1;37;00000B;"), DataAnswer("1;D2;"));

    EXPECT_EQ(line->Exchange("1;38;008021;41D2A3D7;"), "$0000\r");
    EXPECT_EQ(sim.Register(2, 3, 33), 0x41D2A3D7u);
    EXPECT_EQ(line->Exchange("1;37;008021;"), "!1;41D2A3D7;45068\r");

    sim.SetFloatRegister(2, 17, 1.0f);
    EXPECT_EQ(line->Exchange("1;37;008011;"), DataAnswer("1;3F800000;"));
}

TEST_F(SimTest, KeepsBanksAndMemoryTypesApart)
{
    EXPECT_EQ(line->Exchange("1;38;000006;07;"), "$0000\r");
    EXPECT_EQ(sim.Register(2, 3, 6), 0u);
    EXPECT_EQ(line->Exchange("1;38;008006;3F800000;"), "$0000\r");
    EXPECT_EQ(sim.Register(2, 1, 6), 7u);
    EXPECT_EQ(sim.FloatRegister(2, 6), 1.0f);

    EXPECT_EQ(line->Exchange("1;37;002006;"), "!1;52;23824\r");  // firmware version 1.1.2
    EXPECT_EQ(line->Exchange("1;38;00200B;05;"), "$0000\r");
    EXPECT_EQ(sim.Register(1, 1, 11), 5u);
    EXPECT_EQ(sim.Register(2, 1, 11), 210u);
}

TEST_F(SimTest, RefusesBadRequestsWithTheirStatus)
{
    const struct {
        std::string bytes;
        std::string answer;
    } cases[] = {
        {":1;37;00013B;1\r", "$000D\r"},  // wrong checksum
        {":1;37;00013B;\r", "$000D\r"},   // missing checksum
        {":garbage\r", "$000D\r"},
        {":1;37;00013G;" + std::to_string(Crc16("1;37;00013G;")) + "\r", "$000B\r"},
        {":1;37;0013B;" + std::to_string(Crc16("1;37;0013B;")) + "\r", "$000B\r"},
        {":1;38;00013B;" + std::to_string(Crc16("1;38;00013B;")) + "\r", "$000B\r"},
        {":1;38;00013B;123;" + std::to_string(Crc16("1;38;00013B;123;")) + "\r", "$000B\r"},
        {":1;38;00800F;05;" + std::to_string(Crc16("1;38;00800F;05;")) + "\r", "$000B\r"},
        {":x;37;00013B;" + std::to_string(Crc16("x;37;00013B;")) + "\r", "$000B\r"},
        {":1;99;00013B;" + std::to_string(Crc16("1;99;00013B;")) + "\r", "$0002\r"},
        {":1;37;00400B;" + std::to_string(Crc16("1;37;00400B;")) + "\r", "$0003\r"},  // memory type 2
        {":1;37;00E003;" + std::to_string(Crc16("1;37;00E003;")) + "\r", "$0003\r"},  // no block 3
        {":1;37;00C000;" + std::to_string(Crc16("1;37;00C000;")) + "\r", "$0003\r"},  // block of bank 2
        {":1;38;00E002;05;" + std::to_string(Crc16("1;38;00E002;05;")) + "\r", "$0003\r"},
        {":1;37;01013B;" + std::to_string(Crc16("1;37;01013B;")) + "\r", "$0003\r"},
    };
    for (const auto& c : cases) {
        line->Write(c.bytes);
        EXPECT_EQ(line->ReadAnswer(), c.answer) << c.bytes;
    }
    EXPECT_EQ(sim.Register(2, 1, 315), 17u);
}

TEST_F(SimTest, StaysSilentForOtherAddressesAndDroppedLines)
{
    line->Send("2;37;00013B;");
    EXPECT_EQ(line->ReadFor(150), "");
    line->Write(":" + std::string(600, '1') + "\r");
    EXPECT_EQ(line->ReadFor(150), "");

    // Noise before ':' is skipped and a ':' starts the request anew.
    line->Write("\x01\x02noise\xFF:1;37;");
    EXPECT_EQ(line->Exchange("1;37;00013B;"), "!1;11;27729\r");

    const auto transcript = sim.Transcript();
    ASSERT_EQ(transcript.size(), 2u);
    EXPECT_EQ(transcript[0].address, 2u);
    EXPECT_FALSE(transcript[0].answered);
    EXPECT_TRUE(transcript[1].answered);
}

TEST_F(SimTest, ServesPlainNumberCommands)
{
    EXPECT_EQ(line->Exchange("1;32;13b;"), "!1;11;27729\r");
    EXPECT_EQ(line->Exchange("1;31;b; 5;"), "$0000\r");
    EXPECT_EQ(sim.Register(2, 1, 11), 5u);
    EXPECT_EQ(line->Exchange("1;29;2;ff;"), "$0000\r");
    EXPECT_EQ(sim.Register(1, 1, 2), 0xFFu);
    EXPECT_EQ(line->Exchange("1;30;6;"), "!1;52;23824\r");
    EXPECT_EQ(line->Exchange("1;32;2000;"), "$0003\r");
}

TEST(SimLenient, AnswersRequestsTypedByHand)
{
    Simulator sim({.lenient = true});
    ASSERT_TRUE(sim.Start());
    Line line(sim.DevicePath());
    line.Write(":1;37;00013B;\r");
    EXPECT_EQ(line.ReadAnswer(), "!1;11;27729\r");
    line.Write(":1;37;00013b;\n");
    EXPECT_EQ(line.ReadAnswer(), "!1;11;27729\r");
    line.Write(":1;37;00013B;5\r");
    EXPECT_EQ(line.ReadAnswer(), "$000D\r");
}

TEST_F(SimTest, TranscriptDecodesEveryRequest)
{
    line->Exchange("1;38;00200B;05;");
    line->Exchange("1;38;00C00D;41D2A3D7;");
    line->Exchange("1;31;13c; 7;");
    line->Write(":1;37;00E002;9\r");
    line->ReadAnswer();

    const auto t = sim.Transcript();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].text, "1;38;00200B;05;");
    EXPECT_EQ(t[0].address, 1u);
    EXPECT_EQ(t[0].command, 38u);
    EXPECT_EQ(t[0].bank, 1);
    EXPECT_EQ(t[0].memType, 1);
    EXPECT_EQ(t[0].reg, 11);
    EXPECT_EQ(t[0].value, 5u);
    EXPECT_EQ(t[0].valueBytes, 1);
    EXPECT_TRUE(t[0].checksumOk);
    EXPECT_EQ(t[0].answer, "$0000\r");

    EXPECT_EQ(t[1].memType, 4);  // a block write: decoded, then refused
    EXPECT_EQ(t[1].bank, 2);
    EXPECT_EQ(t[1].reg, 13);
    EXPECT_EQ(t[1].value, 0x41D2A3D7u);
    EXPECT_EQ(t[1].valueBytes, 4);
    EXPECT_EQ(t[1].answer, "$0003\r");

    EXPECT_EQ(t[2].bank, 2);
    EXPECT_EQ(t[2].memType, 1);
    EXPECT_EQ(t[2].reg, 0x13C);
    EXPECT_EQ(t[2].value, 7u);

    EXPECT_EQ(t[3].reg, 2);
    EXPECT_FALSE(t[3].checksumOk);
    EXPECT_FALSE(t[3].value.has_value());
    EXPECT_EQ(t[3].answer, "$000D\r");

    sim.ClearTranscript();
    EXPECT_TRUE(sim.Transcript().empty());
}

TEST(RequestParser, ToleratesMangledLines)
{
    const std::string valid[] = {"1;38;008021;41D2A3D7;12345", "1;31;13c; 7;", "1;37;00E002;"};
    const std::string_view alphabet = "0123456789ABCDEFabcdef;: \xFF";
    std::mt19937 rng(1);
    for (int i = 0; i < 20000; ++i) {
        std::string line = valid[i % 3];
        for (int edits = 1 + static_cast<int>(rng() % 4); edits > 0; --edits) {
            const size_t at = rng() % (line.size() + 1);
            const char c = alphabet[rng() % alphabet.size()];
            switch (rng() % 3) {
            case 0: line.insert(at, 1, c); break;
            case 1:
                if (at < line.size())
                    line.erase(at, 1);
                break;
            default:
                if (at < line.size())
                    line[at] = c;
                break;
            }
        }
        const ParsedRequest p = ParseRequest(line, 1, i % 2 == 0);
        if (p.verdict == Verdict::Ok) {
            EXPECT_GE(p.request.reg, 0) << line;
        }
    }
}

TEST_F(SimTest, SurvivesNoiseOnTheLine)
{
    const std::string_view alphabet = ":;\r0123456789ABCDEF \n\xFF";
    std::mt19937 rng(2);
    for (int round = 0; round < 40; ++round) {
        std::string noise;
        for (int i = 0; i < 256; ++i)
            noise += rng() % 4 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng());
        line->Write(noise);
        while (!line->ReadSome(5).empty()) {
        }
    }
    line->Write("\r");
    while (!line->ReadSome(20).empty()) {
    }
    EXPECT_EQ(line->Exchange("1;37;00013B;"), "!1;11;27729\r");
}

}  // namespace
}  // namespace pmv::sim::test
