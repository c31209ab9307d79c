#include "fake_machine.h"

#include "system/system_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace pmv::system {
namespace {

namespace fs = std::filesystem;

// The machine's checks on a device named by its own path (resolving by-id names and links is
// the connection check's, tests/device).
class SystemCheckTest : public test::FakeMachineTest {
protected:
    std::vector<Finding> Check(const std::string& device = "/dev/ttyUSB0") const
    {
        return CheckMachine(view_, device, device);
    }
    std::string Explain(const std::string& device, const std::string& systemError) const
    {
        return ExplainPortFailure(view_, device, device, systemError);
    }
};

TEST_F(SystemCheckTest, AGoodMachineIsAllClearInTheFixedOrder)
{
    const auto findings = Check();
    EXPECT_TRUE(AllClear(findings));
    std::vector<std::string> topics;
    for (const Finding& f : findings)
        topics.push_back(f.topic);
    EXPECT_EQ(topics, (std::vector<std::string>{"device", "access", "holder", "brltty", "modemmanager", "latency"}));
}

TEST_F(SystemCheckTest, AMissingDeviceSkipsTheChecksOfTheDevice)
{
    const auto findings = Check("/dev/ttyUSB7");
    const Finding problem = OnlyProblem(findings);
    EXPECT_EQ(problem.topic, "device");
    EXPECT_NE(problem.text.find("/dev/ttyUSB7"), std::string::npos);
    EXPECT_EQ(problem.fix, "ls -l /dev/serial/by-id/");
    EXPECT_EQ(findings.size(), 3u);  // device, brltty, ModemManager
    EXPECT_EQ(OnlyProblem(Check("")).topic, "device");
}

TEST_F(SystemCheckTest, AUserOutsideTheGroupIsToldToJoinItAndLogInAgain)
{
    Write("/etc/group", "dialout:x:" + std::to_string(deviceGid_) + ":anna\n");
    view_.processGroups = {54321};
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "access");
    EXPECT_EQ(problem.fix, "sudo usermod -aG dialout ivan");
    EXPECT_NE(problem.text.find("новый вход"), std::string::npos);
}

TEST_F(SystemCheckTest, AUserAddedToTheGroupAfterLoginNeedsANewLogin)
{
    view_.processGroups = {54321};
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "access");
    EXPECT_EQ(problem.fix, "newgrp dialout");
}

TEST_F(SystemCheckTest, AccessByOwnerOrByOthersNeedsNoGroup)
{
    view_.processGroups = {54321};
    chmod(Path("/dev/ttyUSB0").c_str(), 0666);
    EXPECT_TRUE(AllClear(Check()));
    chmod(Path("/dev/ttyUSB0").c_str(), 0600);
    view_.uid = getuid();
    EXPECT_TRUE(AllClear(Check()));
}

TEST_F(SystemCheckTest, AnotherProcessHoldingThePortIsNamed)
{
    Process(4242, "minicom", {"/dev/null", "/dev/ttyUSB0"});
    Process(999, "pmvctl", {"/dev/ttyUSB0"});  // the program itself is no competitor
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "holder");
    EXPECT_NE(problem.text.find("minicom (PID 4242)"), std::string::npos);
    EXPECT_EQ(problem.fix, "kill 4242");
}

TEST_F(SystemCheckTest, AFailedOpenIsExplainedByTheFirstProblemOfThePort)
{
    const std::string system = "Permission denied";
    // Brltty beside a CH340 is a problem of the machine, not the reason this open failed.
    UsbDevice("1-1", "1a86", "7523");
    Write("/usr/bin/brltty", "");
    EXPECT_EQ(Explain("/dev/ttyUSB0", system), "Порт /dev/ttyUSB0 не открыт: " + system);

    Process(4242, "minicom", {"/dev/ttyUSB0"});
    std::string why = Explain("/dev/ttyUSB0", system);
    EXPECT_NE(why.find("minicom (PID 4242)"), std::string::npos) << why;
    EXPECT_NE(why.find("kill 4242"), std::string::npos) << why;

    view_.processGroups = {54321};
    Write("/etc/group", "dialout:x:" + std::to_string(deviceGid_) + ":\n");
    why = Explain("/dev/ttyUSB0", system);
    EXPECT_NE(why.find("sudo usermod -aG dialout ivan"), std::string::npos) << why;

    why = Explain("/dev/ttyUSB3", "No such file or directory");
    EXPECT_NE(why.find("Устройства /dev/ttyUSB3 нет"), std::string::npos) << why;
}

TEST_F(SystemCheckTest, TheFarEndOfAPseudoTerminalIsNoCompetitor)
{
    Write("/dev/pts/3", "");
    chmod(Path("/dev/pts/3").c_str(), 0666);
    Process(77, "pmvsim", {"/dev/ptmx", "/dev/pts/3"});
    EXPECT_TRUE(AllClear(Check("/dev/pts/3")));
    Process(78, "screen", {"/dev/pts/3"});
    EXPECT_EQ(OnlyProblem(Check("/dev/pts/3")).topic, "holder");
}

TEST_F(SystemCheckTest, BrlttyMattersOnlyBesideTheAdaptersItGrabs)
{
    Write("/usr/bin/brltty", "");
    UsbDevice("1-1", "0403", "6001");
    EXPECT_TRUE(AllClear(Check()));
    UsbDevice("1-2", "1a86", "7523");
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "brltty");
    EXPECT_EQ(problem.fix, "sudo apt-get remove brltty");
    // The grabbed adapter has no ttyUSB device at all: the finding explains the missing device.
    fs::remove(Path("/dev/ttyUSB0"));
    const auto findings = Check();
    EXPECT_EQ(findings[0].state, FindingState::Problem);
    EXPECT_EQ(findings[1].topic, "brltty");
    EXPECT_EQ(findings[1].state, FindingState::Problem);
}

TEST_F(SystemCheckTest, ModemManagerWithoutOurUdevRule)
{
    Process(321, "ModemManager", {});
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "modemmanager");
    EXPECT_EQ(problem.fix, "sudo systemctl disable --now ModemManager");
    Write(std::string("/usr/lib/udev/rules.d/") + kUdevRuleName, "");
    EXPECT_TRUE(AllClear(Check()));
}

TEST_F(SystemCheckTest, ALatencyTimerAboveOneMillisecond)
{
    Write("/sys/class/tty/ttyUSB0/device/latency_timer", "16\n");
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "latency");
    EXPECT_NE(problem.text.find("16 мс"), std::string::npos);
    EXPECT_EQ(problem.fix, "echo 1 | sudo tee /sys/class/tty/ttyUSB0/device/latency_timer");
    Write("/sys/class/tty/ttyUSB0/device/latency_timer", "garbage\n");
    EXPECT_TRUE(AllClear(Check()));
}

}  // namespace
}  // namespace pmv::system
