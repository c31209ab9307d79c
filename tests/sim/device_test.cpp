#include "sim_fixture.h"

#include <chrono>
#include <thread>

namespace pmv::sim::test {
namespace {

TEST_F(SimTest, MeasurementBlocksHaveThirteenBytes)
{
    EXPECT_EQ(DataField(line->Exchange("1;37;00E000;")).size(), 26u);
    sim.SetMeasurementBlock(1, EncodeMeasurementBlock(1.0f, 2.0f, -3.5f, 9));
    EXPECT_EQ(DataField(line->Exchange("1;37;00E001;")), "3F80000040000000C060000009");
}

TEST_F(SimTest, LiveBlockChangesUntilFixed)
{
    const std::string first = DataField(line->Exchange("1;37;00E002;"));
    const std::string second = DataField(line->Exchange("1;37;00E002;"));
    ASSERT_EQ(first.size(), 32u);
    ASSERT_EQ(second.size(), 32u);
    EXPECT_NE(first.substr(8, 8), second.substr(8, 8));  // CH1 value
    EXPECT_EQ(first.substr(16, 4), "0000");              // CH1 status and signals

    LiveValues v;
    v.relays = 3;
    v.panel = 0x10;
    v.value[0] = 1.0f;
    v.value[1] = -2.0f;
    v.status[1] = 12;
    v.signals[0] = 1;
    v.signals[1] = 4;
    sim.SetLiveBlock(EncodeLiveBlock(v));
    // clang-format off
    const std::string fixed = "00000310" "3F800000" "00" "01" "C0000000" "0C" "04";
    // clang-format on
    EXPECT_EQ(DataField(line->Exchange("1;37;00E002;")), fixed);
    EXPECT_EQ(DataField(line->Exchange("1;37;00E002;")), fixed);
    sim.ReleaseLiveBlock();
    EXPECT_NE(DataField(line->Exchange("1;37;00E002;")), fixed);
}

TEST_F(SimTest, LiveBlockFollowsChannelSettings)
{
    sim.SetRegister(2, 1, 342, 1);      // CH2 switched out of work
    sim.SetRegister(2, 1, 327, 2);      // CH1 setpoint 1 acts on a rising value ...
    sim.SetFloatRegister(2, 29, 0.0f);  // ... and the value is above it
    const std::string block = DataField(line->Exchange("1;37;00E002;"));
    EXPECT_EQ(block.substr(4, 2), "01");   // relay 1
    EXPECT_EQ(block.substr(18, 2), "01");  // CH1 setpoint 1 signal
    EXPECT_EQ(block.substr(28, 2), "0C");  // CH2 status: channel off
}

TEST_F(SimTest, ARestartedInstrumentIsSilentForItsRebootThenAnswersAgain)
{
    sim.SetReboot(300);
    EXPECT_EQ(line->Exchange("1;38;002000;01;"), "$0000\r") << "the restart itself is answered";
    const auto restarted = std::chrono::steady_clock::now();
    EXPECT_EQ(line->Exchange("1;37;00000B;"), "") << "lost while it reboots";
    while (MsSince(restarted) < 350)
        // rules: real time: the simulator's reboot runs on the wall clock
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(line->Exchange("1;37;00000B;").front(), '!');
    const auto transcript = sim.Transcript();
    ASSERT_EQ(transcript.size(), 3u);
    EXPECT_FALSE(transcript[1].answered);
    EXPECT_EQ(transcript[1].wireBytes, 4 + 1 + std::string("1;37;00000B;").size() + 5 + 1) << "preamble to CR";
}

TEST_F(SimTest, RestartKeepsCellsAndFactoryResetRestoresThem)
{
    EXPECT_EQ(line->Exchange("1;38;00013B;05;"), "$0000\r");
    EXPECT_EQ(line->Exchange("1;38;008012;41F00000;"), "$0000\r");  // CH2 uref = 30.0
    EXPECT_EQ(line->Exchange("1;38;002000;00;"), "$0000\r");
    EXPECT_EQ(sim.RestartCount(), 0);
    EXPECT_EQ(line->Exchange("1;38;002000;01;"), "$0000\r");
    EXPECT_EQ(sim.RestartCount(), 1);
    EXPECT_EQ(sim.Register(2, 1, 315), 5u);

    sim.SetRegister(1, 1, 5, 0x0F);
    EXPECT_EQ(line->Exchange("1;38;002001;01;"), "$0000\r");
    EXPECT_EQ(sim.FactoryResetCount(), 1);
    EXPECT_EQ(sim.Register(2, 1, 315), 17u);
    EXPECT_EQ(sim.FloatRegister(2, 18), 26.32f);
    EXPECT_EQ(sim.Register(1, 1, 5), 0x0Fu);

    sim.SetRegister(2, 1, 316, 3);
    sim.ResetToFactory();
    EXPECT_EQ(sim.Register(2, 1, 316), 17u);
    EXPECT_EQ(sim.FactoryResetCount(), 1);
    EXPECT_EQ(sim.RestartCount(), 1);
}

}  // namespace
}  // namespace pmv::sim::test
