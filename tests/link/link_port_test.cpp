#include "fakes.h"
#include "temp_dir.h"

#include "link/exchange.h"
#include "link/link_port.h"
#include "link/local_serial_line.h"
#include "link/port_lock.h"
#include "link/register_commands.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

namespace pmv::link {
namespace {

// The port of the program on devices that are missing, taken or there.
class LinkPortTest : public ::testing::Test {
protected:
    LinkPort MakePort(std::vector<std::string> found = {})
    {
        return LinkPort(line, exchange, messages, [found] { return found; });
    }

    test::TempDir dir;
    SystemClock clock;
    LocalSerialLine line;
    Exchange exchange{line, clock};
    test::RecordingMessages messages;
};

// Answers still owed when the port closes reach the next program on the same line, never one
// on another line that came to bear the same device number.
TEST_F(LinkPortTest, OwedAnswersGoToTheNextProgramOnTheSameLineOnly)
{
    sim::Simulator simulator;
    ASSERT_TRUE(simulator.Start());
    sim::Fault late{sim::Fault::Kind::DelayApart};
    late.delayMs = 6000;
    simulator.InjectFault(late);
    const auto ReadOnce = [&](Exchange& e) {
        LinkPort port(line, e, messages, [] { return std::vector<std::string>{}; });
        port.SetDeviceOverride(simulator.PtyPath());
        EXPECT_FALSE(port.OpenPort());
        uint32_t value = 0;
        EXPECT_EQ(ReadByteRegister(e, 2, 11, value), kOk);
    };
    ReadOnce(exchange);
    ASSERT_FALSE(exchange.OwedHandover().empty()) << "the first try's answer is owed";
    const std::string kept = DeviceLockPath(simulator.PtyPath()) + ".owed";
    ASSERT_TRUE(std::filesystem::exists(kept));

    Exchange next(line, clock);
    ReadOnce(next);
    EXPECT_FALSE(next.OwedHandover().empty()) << "taken over and still owed";
    EXPECT_TRUE(std::filesystem::exists(kept)) << "and left again";

    test::WriteFileBytes(kept, "line 1.2\n" + exchange.OwedHandover());
    Exchange other(line, clock);
    ReadOnce(other);
    EXPECT_TRUE(other.OwedHandover().empty()) << "a file of another line is not taken";
    std::filesystem::remove(kept);
}

// A program that ends while its instrument reboots hands the restart's time to the next one on the
// line, which probes for the instrument; a restart older than the wait's limit is over.
TEST_F(LinkPortTest, ARestartStillPendingGoesToTheNextProgramOnTheSameLine)
{
    sim::Simulator simulator;
    ASSERT_TRUE(simulator.Start());
    const std::string probe = ReadCommand(1, kByteMemory, 6);
    const auto isAnswer = [](const std::string& answer) {
        uint32_t value = 0;
        return ParseByteAnswer(answer, value);
    };
    const auto carryOn = [](uint32_t) { return kOk; };
    const auto open = [&](Exchange& e) {
        auto port = std::make_unique<LinkPort>(line, e, messages, [] { return std::vector<std::string>{}; });
        port->SetDeviceOverride(simulator.PtyPath());
        EXPECT_FALSE(port->OpenPort());
        return port;
    };
    open(exchange)->ClosePort();
    const std::string kept = DeviceLockPath(simulator.PtyPath()) + ".owed";
    EXPECT_FALSE(std::filesystem::exists(kept)) << "nothing owed, nothing pending";
    {
        const auto port = open(exchange);
        exchange.NoteRestart();
    }
    ASSERT_TRUE(std::filesystem::exists(kept));
    const std::string handed = test::ReadFileBytes(kept);

    Exchange next(line, clock);
    {
        const auto port = open(next);
        EXPECT_TRUE(next.Restarting());
        simulator.ClearTranscript();
        EXPECT_EQ(next.AwaitReturn(probe, AnswerShape{2, true}, isAnswer, 10000, carryOn), kOk);
        EXPECT_EQ(simulator.Transcript().size(), 1u) << "one probe, answered";
        EXPECT_FALSE(next.Restarting());
    }
    EXPECT_FALSE(std::filesystem::exists(kept)) << "the instrument was heard: nothing to hand on";

    const size_t at = handed.find("restart ");
    ASSERT_NE(at, std::string::npos) << handed;
    const int64_t epochMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    test::WriteFileBytes(kept, handed.substr(0, at) + "restart " + std::to_string(epochMs - 20000) + "\n");
    Exchange late(line, clock);
    const auto port = open(late);
    simulator.ClearTranscript();
    EXPECT_EQ(late.AwaitReturn(probe, AnswerShape{2, true}, isAnswer, 10000, carryOn), kOk);
    EXPECT_TRUE(simulator.Transcript().empty()) << "a restart older than the limit is not waited for";
    EXPECT_FALSE(late.Restarting());
}

TEST_F(LinkPortTest, AFailedOpenNamesTheDeviceAndItsReasonBesideTheMessage)
{
    LinkPort port = MakePort();
    const std::string missing = dir.file("ttyUSB7");
    port.SetDeviceOverride(missing);
    EXPECT_FALSE(port.OpenPort());
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, "Невозможно открыть последовательный порт");
    EXPECT_EQ(messages.boxes[0].caption, "Ошибка");
    EXPECT_NE(messages.boxes[0].detail.find(missing + ": "), std::string::npos) << messages.boxes[0].detail;
    EXPECT_GT(messages.boxes[0].detail.size(), missing.size() + 2) << "the system's reason follows the device";
    EXPECT_EQ(port.OpenProblem(), messages.boxes[0].detail);

    // The reason comes from the explainer where there is one; a quiet open shows no box.
    port.SetOpenExplainer([](const std::string& device, const std::string&) { return "нет устройства " + device; });
    port.OpenPort(true);
    EXPECT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(port.OpenProblem(), "нет устройства " + missing);

    // A number that means no device at all.
    LinkPort numbered = MakePort();
    numbered.settings().Number = 3;
    numbered.OpenPort();
    ASSERT_EQ(messages.boxes.size(), 2u);
    EXPECT_EQ(messages.boxes[1].detail, "Номеру порта 3 не соответствует ни одно устройство");
}

TEST_F(LinkPortTest, APortTakenByAnotherLineOpensOnceItIsFree)
{
    sim::Simulator simulator;
    ASSERT_TRUE(simulator.Start());
    LocalSerialLine other;
    ASSERT_TRUE(other.Open(simulator.DevicePath()));

    LinkPort port = MakePort();
    port.SetDeviceOverride(simulator.DevicePath());
    port.OpenPort();
    EXPECT_FALSE(line.IsOpen());
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_NE(port.OpenProblem().find(simulator.DevicePath()), std::string::npos);
    EXPECT_FALSE(line.OpenError().empty());

    other.Close();
    port.OpenPort();
    EXPECT_TRUE(line.IsOpen());
    EXPECT_EQ(messages.boxes.size(), 1u);
    EXPECT_TRUE(port.OpenProblem().empty());
    EXPECT_TRUE(line.OpenError().empty());
    // A pseudo-terminal has no latency timer to lower, which is nothing to report.
    EXPECT_EQ(line.LatencyRequest(), LowLatency::NotApplicable);
    EXPECT_TRUE(port.LatencyNote().empty());
}

}  // namespace
}  // namespace pmv::link
