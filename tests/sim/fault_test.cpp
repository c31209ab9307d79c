#include "sim_fixture.h"

namespace pmv::sim::test {
namespace {

const std::string kDatAnswer = "!1;11;27729\r";  // answer to a read of CH1 dat

Fault Make(Fault::Kind kind, int count = 1)
{
    Fault f;
    f.kind = kind;
    f.count = count;
    return f;
}

TEST_F(SimTest, NoAnswerOnceForCountAndUntilCleared)
{
    sim.InjectFault(Make(Fault::Kind::NoAnswer));
    line->Send("1;38;00013B;05;");
    EXPECT_EQ(line->ReadFor(150), "");
    EXPECT_EQ(sim.Register(2, 1, 315), 5u);  // carried out, only the answer is lost
    EXPECT_EQ(line->Exchange("1;38;00013B;11;"), "$0000\r");

    sim.InjectFault(Make(Fault::Kind::NoAnswer, 2));
    line->Send("1;37;00013B;");
    line->Send("1;37;00013B;");
    EXPECT_EQ(line->ReadFor(150), "");
    EXPECT_EQ(line->Exchange("1;37;00013B;"), kDatAnswer);

    sim.InjectFault(Make(Fault::Kind::NoAnswer, -1));
    for (int i = 0; i < 3; ++i)
        line->Send("1;37;00013B;");
    EXPECT_EQ(line->ReadFor(150), "");
    sim.ClearFaults();
    EXPECT_EQ(line->Exchange("1;37;00013B;"), kDatAnswer);
}

TEST_F(SimTest, FaultsShapeTheAnswer)
{
    Fault garbage = Make(Fault::Kind::GarbageBefore);
    sim.InjectFault(garbage);
    std::string got = line->Exchange("1;37;00013B;");
    EXPECT_GT(got.size(), kDatAnswer.size());
    EXPECT_EQ(got.substr(got.size() - kDatAnswer.size()), kDatAnswer);
    EXPECT_EQ(got.find('\r'), got.size() - 1);
    garbage.raw = "xyz";
    sim.InjectFault(garbage);
    EXPECT_EQ(line->Exchange("1;37;00013B;"), "xyz" + kDatAnswer);

    sim.InjectFault(Make(Fault::Kind::Overlong));
    line->Send("1;37;00013B;");
    EXPECT_EQ(line->ReadFor(150), std::string(300, '?'));

    sim.InjectFault(Make(Fault::Kind::BangBeyond64));
    got = line->Exchange("1;37;00013B;");
    EXPECT_EQ(got.find('!'), 70u);
    EXPECT_EQ(got.substr(70), kDatAnswer);

    Fault raw = Make(Fault::Kind::RawAnswer);
    raw.raw = "!1;ZZ;\r";
    sim.InjectFault(raw);
    EXPECT_EQ(line->Exchange("1;37;00013B;"), "!1;ZZ;\r");

    EXPECT_EQ(line->Exchange("1;37;00013B;"), kDatAnswer);
}

TEST_F(SimTest, StatusFaultRefusesTheRequest)
{
    Fault status = Make(Fault::Kind::Status, 2);
    status.status = 0x0006;
    sim.InjectFault(status);
    EXPECT_EQ(line->Exchange("1;38;00013B;05;"), "$0006\r");
    EXPECT_EQ(line->Exchange("1;37;00013B;"), "$0006\r");
    EXPECT_EQ(sim.Register(2, 1, 315), 17u);
    EXPECT_EQ(line->Exchange("1;37;00013B;"), kDatAnswer);
}

TEST_F(SimTest, DelayFaultHoldsTheAnswerBack)
{
    Fault delay = Make(Fault::Kind::Delay);
    delay.delayMs = 150;
    sim.InjectFault(delay);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line->Exchange("1;37;00013B;"), kDatAnswer);
    EXPECT_GE(MsSince(start), 150.0);
}

// A slow request keeps the instrument busy: a request sent meanwhile is answered after it. A
// late answer apart from the instrument's work lets the next request overtake it.
TEST_F(SimTest, LateAnswersInTurnOrApart)
{
    sim.SetRegister(2, 1, 316, 0x21);
    const std::string otherAnswer = DataAnswer("1;21;");
    for (const auto kind : {Fault::Kind::Delay, Fault::Kind::DelayApart}) {
        Fault late = Make(kind);
        late.delayMs = 300;
        sim.InjectFault(late);
        line->Send("1;37;00013B;");
        line->Send("1;37;00013C;");
        const std::string both = line->ReadFor(600);
        const std::string expected = kind == Fault::Kind::Delay ? kDatAnswer + otherAnswer : otherAnswer + kDatAnswer;
        EXPECT_EQ(both, expected);
    }
}

TEST_F(SimTest, WrongReadBackAltersReadsOfItsRegister)
{
    Fault wrong = Make(Fault::Kind::WrongReadBack, -1);
    wrong.bank = 2;
    wrong.memType = 1;
    wrong.reg = 11;
    sim.InjectFault(wrong);
    wrong.memType = 3;
    wrong.reg = 15;
    sim.InjectFault(wrong);

    EXPECT_EQ(line->Exchange("1;38;00000B;D2;"), "$0000\r");
    EXPECT_EQ(DataField(line->Exchange("1;37;00000B;")), "D3");
    EXPECT_EQ(DataField(line->Exchange("1;37;00000B;")), "D3");
    EXPECT_EQ(DataField(line->Exchange("1;37;00800F;")), "42CA0000");  // 100.0 + 1.0
    EXPECT_EQ(line->Exchange("1;37;00013B;"), kDatAnswer);
    EXPECT_EQ(sim.Register(2, 1, 11), 0xD2u);
}

TEST_F(SimTest, FaultsApplyInTurnAndOnlyToTheirRegister)
{
    Fault silent = Make(Fault::Kind::NoAnswer);
    silent.bank = 2;
    silent.memType = 1;
    silent.reg = 315;
    sim.InjectFault(silent);
    Fault status = Make(Fault::Kind::Status);
    status.status = 0x000C;
    sim.InjectFault(status);

    EXPECT_EQ(line->Exchange("1;37;00013C;"), "$000C\r");  // CH2 dat: the register fault does not apply
    line->Send("1;37;00013B;");
    EXPECT_EQ(line->ReadFor(150), "");
    EXPECT_EQ(line->Exchange("1;37;00013B;"), kDatAnswer);
}

// Answers the link must refuse by their checksum alone.
TEST_F(SimTest, FlippedBitsAndForeignChecksumsSpoilOnlyTheAnswer)
{
    sim.InjectFault(Make(Fault::Kind::FlippedBit, 2));
    EXPECT_EQ(line->Exchange("1;37;00013B;"), "!1;01;27729\r");
    EXPECT_EQ(line->Exchange("1;38;00013B;05;"), "$0001\r");
    EXPECT_EQ(sim.Register(2, 1, 315), 5u) << "the write is carried out";

    Fault at = Make(Fault::Kind::FlippedBit);
    at.flipByte = 7;
    at.flipMask = 0x02;
    sim.InjectFault(at);
    sim.SetRegister(2, 1, 315, 17);
    EXPECT_EQ(line->Exchange("1;37;00013B;"), "!1;11;25729\r");

    sim.InjectFault(Make(Fault::Kind::ForeignChecksum, 2));
    EXPECT_EQ(line->Exchange("1;37;00013B;"), "!1;11;50803\r");  // CRC-16 of "!1;11;"
    EXPECT_EQ(line->Exchange("1;38;00013B;11;"), "$0000\r");
    EXPECT_EQ(line->Exchange("1;37;00013B;"), kDatAnswer);
}

}  // namespace
}  // namespace pmv::sim::test
