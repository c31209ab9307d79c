#include "temp_dir.h"
#include "wait_for.h"

#include "link/local_serial_line.h"
#include "link/port_lock.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pmv {
namespace {

using namespace std::chrono_literals;

// The real pmvctl program in a folder of its own, against the simulated instrument paced like a
// 9600-baud line, so that an operation is still running when a signal comes.
class PmvctlSignalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::SimOptions options;
        options.baud = 9600;
        options.onRequest = [this](const sim::Request&) { ++requests_; };
        simulator_ = std::make_unique<sim::Simulator>(options);
        ASSERT_TRUE(simulator_->Start());
    }

    pid_t Start(const std::vector<std::string>& args)
    {
        std::vector<std::string> all{PMVCTL_PATH, "--port", simulator_->DevicePath()};
        all.insert(all.end(), args.begin(), args.end());
        const pid_t child = fork();
        if (child == 0) {
            std::vector<char*> argv;
            for (std::string& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            const int null = open("/dev/null", O_RDONLY);
            const int out = open(dir_.file("out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(dir_.file("err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (null < 0 || out < 0 || err < 0 || dup2(null, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
                chdir(dir_.path().c_str()) != 0)
                _exit(127);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return child;
    }

    // Waits until the instrument has had `count` requests since `since`; false after 10 s.
    bool AwaitRequests(int since, int count)
    {
        return test::WaitFor([&] { return requests_ - since >= count; }, 10'000);
    }

    // The exit status of a program that ended by itself; -1 when it was killed or still ran
    // after 15 s (then it is killed).
    static int ExitStatus(pid_t child)
    {
        int status = 0;
        if (test::WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, 15'000))
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return -1;
    }

    // The port is free again at once: no lock file left, and another line opens it.
    void ExpectPortFree()
    {
        EXPECT_FALSE(std::filesystem::exists(link::PortLockPath(simulator_->DevicePath())));
        link::LocalSerialLine line;
        EXPECT_TRUE(line.Open(simulator_->DevicePath())) << line.OpenError();
    }

    test::TempDir dir_;
    std::atomic<int> requests_{0};
    std::unique_ptr<sim::Simulator> simulator_;
};

// A service stopping the program (SIGTERM) or a closed terminal (SIGHUP) ended it in the middle
// of an exchange: the port stayed locked and a read's profile half done.
TEST_F(PmvctlSignalTest, TermAndHangUpStopBetweenTwoRegisterOperations)
{
    const std::string profile = "[CH1]\r\ndat=5\r\n[Custom]\r\nkeep=1\r\n";
    for (const int signal : {SIGTERM, SIGHUP}) {
        test::WriteFileBytes(dir_.file("p.prf"), profile);
        const int before = requests_;
        const pid_t child = Start({"read", "p.prf"});
        ASSERT_TRUE(AwaitRequests(before, 10));
        ASSERT_EQ(kill(child, signal), 0);
        const int atSignal = requests_;
        EXPECT_EQ(ExitStatus(child), 20) << test::ReadFileBytes(dir_.file("err.txt"));
        EXPECT_LE(requests_ - atSignal, 1) << "at most the exchange under way is finished";
        EXPECT_NE(test::ReadFileBytes(dir_.file("err.txt")).find("(ERR 20)"), std::string::npos);
        EXPECT_EQ(test::ReadFileBytes(dir_.file("p.prf")), profile);
        ExpectPortFree();
    }
}

// A monitor stopped while the instrument refuses every poll ended with 0.
TEST_F(PmvctlSignalTest, AStoppedMonitorEndsWithWhatItsLastPollGot)
{
    const pid_t watching = Start({"monitor", "--interval", "100"});
    ASSERT_TRUE(AwaitRequests(requests_, 3));
    ASSERT_EQ(kill(watching, SIGTERM), 0);
    EXPECT_EQ(ExitStatus(watching), 0) << test::ReadFileBytes(dir_.file("err.txt"));
    ExpectPortFree();

    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0006;
    simulator_->InjectFault(refuse);
    const pid_t failing = Start({"monitor", "--interval", "100"});
    ASSERT_TRUE(AwaitRequests(requests_, 4));
    ASSERT_EQ(kill(failing, SIGTERM), 0);
    EXPECT_EQ(ExitStatus(failing), 4) << test::ReadFileBytes(dir_.file("err.txt"));
    ExpectPortFree();
}

}  // namespace
}  // namespace pmv
