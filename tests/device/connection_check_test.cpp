#include "device_fixture.h"
#include "temp_dir.h"

#include "device/connection_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace pmv {
namespace {

namespace fs = std::filesystem;

// A fake machine: /dev, /sys, /proc and /etc/group under a temporary root, and a user who is
// neither root nor the owner of the device, so that only the group decides the access.
class ConnectionCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Write("/dev/ttyUSB0", "");
        chmod(Path("/dev/ttyUSB0").c_str(), 0660);
        struct stat st {};
        stat(Path("/dev/ttyUSB0").c_str(), &st);
        deviceGid_ = st.st_gid;
        Write("/etc/group", "users:x:100:\ndialout:x:" + std::to_string(deviceGid_) + ":ivan\n");
        Link("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "../../ttyUSB0");
        Write("/sys/class/tty/ttyUSB0/device/latency_timer", "1\n");
        Process(100, "bash", {});

        view_.root = root_.path().string();
        view_.uid = 54321;
        view_.gid = 54321;
        view_.userName = "ivan";
        view_.processGroups = {54321, deviceGid_};
        view_.selfPid = 999;
    }

    std::string Path(const std::string& path) const { return (root_.path() / fs::path(path).relative_path()).string(); }
    void Write(const std::string& path, const std::string& text)
    {
        fs::create_directories(fs::path(Path(path)).parent_path());
        test::WriteFileBytes(Path(path), text);
    }
    void Link(const std::string& path, const std::string& target)
    {
        fs::create_directories(fs::path(Path(path)).parent_path());
        fs::create_symlink(target, Path(path));
    }
    void Process(int pid, const std::string& name, const std::vector<std::string>& files)
    {
        const std::string dir = "/proc/" + std::to_string(pid);
        Write(dir + "/comm", name + "\n");
        fs::create_directories(Path(dir + "/fd"));
        for (size_t i = 0; i < files.size(); ++i)
            Link(dir + "/fd/" + std::to_string(i + 3), files[i]);
    }
    void UsbDevice(const std::string& name, const std::string& vendor, const std::string& product)
    {
        Write("/sys/bus/usb/devices/" + name + "/idVendor", vendor + "\n");
        Write("/sys/bus/usb/devices/" + name + "/idProduct", product + "\n");
    }

    std::vector<Finding> Check(const std::string& device = "/dev/ttyUSB0") const { return CheckSystem(view_, device); }

    // The one problem of the findings; fails unless there is exactly one.
    static Finding OnlyProblem(const std::vector<Finding>& findings)
    {
        std::vector<Finding> problems;
        for (const Finding& f : findings)
            if (f.state == FindingState::Problem)
                problems.push_back(f);
        EXPECT_EQ(problems.size(), 1u);
        return problems.empty() ? Finding{} : problems.front();
    }

    test::TempDir root_;
    SystemView view_;
    gid_t deviceGid_ = 0;
};

TEST_F(ConnectionCheckTest, AGoodMachineIsAllClearInTheFixedOrder)
{
    const auto findings = Check();
    EXPECT_TRUE(AllClear(findings));
    std::vector<std::string> topics;
    for (const Finding& f : findings)
        topics.push_back(f.topic);
    EXPECT_EQ(topics, (std::vector<std::string>{"device", "access", "holder", "brltty", "modemmanager", "latency"}));
    // A by-id name is followed to the adapter's device and both are named.
    const auto byId = Check("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0");
    EXPECT_TRUE(AllClear(byId));
    EXPECT_NE(byId.front().text.find("/dev/ttyUSB0"), std::string::npos);
}

TEST_F(ConnectionCheckTest, AMissingDeviceSkipsTheChecksOfTheDevice)
{
    const auto findings = Check("/dev/ttyUSB7");
    const Finding problem = OnlyProblem(findings);
    EXPECT_EQ(problem.topic, "device");
    EXPECT_NE(problem.text.find("/dev/ttyUSB7"), std::string::npos);
    EXPECT_EQ(problem.fix, "ls -l /dev/serial/by-id/");
    EXPECT_EQ(findings.size(), 3u);  // device, brltty, ModemManager
    EXPECT_EQ(OnlyProblem(Check("")).topic, "device");
}

TEST_F(ConnectionCheckTest, AUserOutsideTheGroupIsToldToJoinItAndLogInAgain)
{
    Write("/etc/group", "dialout:x:" + std::to_string(deviceGid_) + ":anna\n");
    view_.processGroups = {54321};
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "access");
    EXPECT_EQ(problem.fix, "sudo usermod -aG dialout ivan");
    EXPECT_NE(problem.text.find("новый вход"), std::string::npos);
}

TEST_F(ConnectionCheckTest, AUserAddedToTheGroupAfterLoginNeedsANewLogin)
{
    view_.processGroups = {54321};
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "access");
    EXPECT_EQ(problem.fix, "newgrp dialout");
}

TEST_F(ConnectionCheckTest, AccessByOwnerOrByOthersNeedsNoGroup)
{
    view_.processGroups = {54321};
    chmod(Path("/dev/ttyUSB0").c_str(), 0666);
    EXPECT_TRUE(AllClear(Check()));
    chmod(Path("/dev/ttyUSB0").c_str(), 0600);
    view_.uid = getuid();
    EXPECT_TRUE(AllClear(Check()));
}

TEST_F(ConnectionCheckTest, AnotherProcessHoldingThePortIsNamed)
{
    Process(4242, "minicom", {"/dev/null", "/dev/ttyUSB0"});
    Process(999, "pmvctl", {"/dev/ttyUSB0"});  // the program itself is no competitor
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "holder");
    EXPECT_NE(problem.text.find("minicom (PID 4242)"), std::string::npos);
    EXPECT_EQ(problem.fix, "kill 4242");
}

TEST_F(ConnectionCheckTest, AFailedOpenIsExplainedByTheFirstProblemOfThePort)
{
    const std::string system = "Permission denied";
    // Brltty beside a CH340 is a problem of the machine, not the reason this open failed.
    UsbDevice("1-1", "1a86", "7523");
    Write("/usr/bin/brltty", "");
    EXPECT_EQ(ExplainOpenFailure(view_, "/dev/ttyUSB0", system), "Порт /dev/ttyUSB0 не открыт: " + system);

    Process(4242, "minicom", {"/dev/ttyUSB0"});
    std::string why = ExplainOpenFailure(view_, "/dev/ttyUSB0", system);
    EXPECT_NE(why.find("minicom (PID 4242)"), std::string::npos) << why;
    EXPECT_NE(why.find("kill 4242"), std::string::npos) << why;

    view_.processGroups = {54321};
    Write("/etc/group", "dialout:x:" + std::to_string(deviceGid_) + ":\n");
    why = ExplainOpenFailure(view_, "/dev/ttyUSB0", system);
    EXPECT_NE(why.find("sudo usermod -aG dialout ivan"), std::string::npos) << why;

    why = ExplainOpenFailure(view_, "/dev/ttyUSB3", "No such file or directory");
    EXPECT_NE(why.find("Устройства /dev/ttyUSB3 нет"), std::string::npos) << why;
}

TEST_F(ConnectionCheckTest, TheFarEndOfAPseudoTerminalIsNoCompetitor)
{
    Write("/dev/pts/3", "");
    chmod(Path("/dev/pts/3").c_str(), 0666);
    Process(77, "pmvsim", {"/dev/ptmx", "/dev/pts/3"});
    EXPECT_TRUE(AllClear(Check("/dev/pts/3")));
    Process(78, "screen", {"/dev/pts/3"});
    EXPECT_EQ(OnlyProblem(Check("/dev/pts/3")).topic, "holder");
}

TEST_F(ConnectionCheckTest, BrlttyMattersOnlyBesideTheAdaptersItGrabs)
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

TEST_F(ConnectionCheckTest, ModemManagerWithoutOurUdevRule)
{
    Process(321, "ModemManager", {});
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "modemmanager");
    EXPECT_EQ(problem.fix, "sudo systemctl disable --now ModemManager");
    Write(std::string("/usr/lib/udev/rules.d/") + kUdevRuleName, "");
    EXPECT_TRUE(AllClear(Check()));
}

TEST_F(ConnectionCheckTest, ALatencyTimerAboveOneMillisecond)
{
    Write("/sys/class/tty/ttyUSB0/device/latency_timer", "16\n");
    const Finding problem = OnlyProblem(Check());
    EXPECT_EQ(problem.topic, "latency");
    EXPECT_NE(problem.text.find("16 мс"), std::string::npos);
    EXPECT_EQ(problem.fix, "echo 1 | sudo tee /sys/class/tty/ttyUSB0/device/latency_timer");
    Write("/sys/class/tty/ttyUSB0/device/latency_timer", "garbage\n");
    EXPECT_TRUE(AllClear(Check()));
}

TEST_F(ConnectionCheckTest, LinksThatLoopDoNotHangTheCheck)
{
    Link("/dev/loop-a", "loop-b");
    Link("/dev/loop-b", "loop-a");
    EXPECT_EQ(OnlyProblem(Check("/dev/loop-a")).topic, "device");
}

using InstrumentCheckTest = test::DeviceTest;

TEST_F(InstrumentCheckTest, TheInstrumentAnswersWithItsFirmwareVersion)
{
    exchange.values().DeviceAddress = 1;
    const Finding answered = CheckInstrument(exchange, 9600);
    EXPECT_EQ(answered.state, FindingState::Ok);
    EXPECT_NE(answered.text.find("по адресу 1 на скорости 9600, версия программы 1.1.2."), std::string::npos)
        << answered.text;

    exchange.values().DeviceAddress = 5;
    const Finding silent = CheckInstrument(exchange, 9600);
    EXPECT_EQ(silent.state, FindingState::Problem);
    EXPECT_NE(silent.text.find("(ERR 2)"), std::string::npos) << silent.text;
    EXPECT_EQ(silent.fix, "pmvctl scan");
}

TEST_F(InstrumentCheckTest, SaysWhetherTheInstrumentsAnswersVerify)
{
    const Finding good = CheckInstrument(exchange, 9600);
    EXPECT_EQ(good.state, FindingState::Ok);
    EXPECT_NE(good.text.find("Контрольные суммы его ответов сходятся."), std::string::npos) << good.text;

    sim::Fault foreign{sim::Fault::Kind::ForeignChecksum};
    foreign.count = -1;
    simulator->InjectFault(foreign);
    const Finding refused = CheckInstrument(exchange, 9600);
    EXPECT_EQ(refused.state, FindingState::Problem);
    EXPECT_NE(refused.text.find("версия программы 1.1.2. Но контрольные суммы его ответов не сходятся"),
              std::string::npos)
        << refused.text;
    EXPECT_NE(refused.fix.find("VerifyAnswerCrc=0"), std::string::npos) << refused.fix;
    EXPECT_TRUE(exchange.values().VerifyAnswers) << "the check leaves the setting as it was";

    exchange.values().VerifyAnswers = false;
    const Finding accepted = CheckInstrument(exchange, 9600);
    EXPECT_EQ(accepted.state, FindingState::Ok);
    EXPECT_NE(accepted.text.find("не сходятся; их проверка отключена"), std::string::npos) << accepted.text;
    simulator->ClearFaults();
    EXPECT_NE(CheckInstrument(exchange, 9600).text.find("сходятся, но их проверка отключена"), std::string::npos);

    // Answers that are no data answers at all are no question of checksums.
    exchange.values().VerifyAnswers = true;
    sim::Fault noise{sim::Fault::Kind::FlippedBit};
    noise.count = -1;
    noise.flipByte = 0;  // the "!"
    simulator->InjectFault(noise);
    const Finding garbled = CheckInstrument(exchange, 9600);
    EXPECT_EQ(garbled.state, FindingState::Problem);
    EXPECT_EQ(garbled.fix, "pmvctl scan");
    EXPECT_EQ(garbled.text.find("VerifyAnswerCrc"), std::string::npos) << garbled.text;
}

TEST(PortNotOpen, APortWithNoDeviceIsToldInOneSentence)
{
    EXPECT_EQ(PortNotOpen("").text, "Порт не задан, прибор не опрошен. Устраните причины выше и повторите проверку.");
    EXPECT_EQ(PortNotOpen("/dev/ttyUSB0").text,
              "Порт /dev/ttyUSB0 не открыт, прибор не опрошен. Устраните причины выше и повторите проверку.");
}

}  // namespace
}  // namespace pmv
