#include "sim_line.h"
#include "temp_dir.h"

#include "link/port_lock.h"
#include "link/register_commands.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace pmv::link {
namespace {

using PortLock = test::SimLine;

// A lock file as a process killed between creating and filling it leaves, made some seconds ago.
void LeaveLock(const std::string& path, const std::string& content)
{
    std::ofstream(path) << content;
    const timespec times[2] = {{::time(nullptr) - 5, 0}, {::time(nullptr) - 5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(PortLock, AnAbandonedLockIsRecoveredAndOneInUseIsKept)
{
    const std::string device = simulator->DevicePath();
    const std::string lock = PortLockPath(device);
    ASSERT_FALSE(lock.empty());
    EXPECT_TRUE(std::filesystem::exists(lock)) << "Qt's own lock of the open line is where it is looked for";
    line.Close();
    ASSERT_FALSE(std::filesystem::exists(lock));

    for (const std::string content : {"", "999999999\nghost\nhost\n"}) {
        LeaveLock(lock, content);
        LocalSerialLine other;
        ASSERT_TRUE(other.Open(device)) << "an empty lock or one of a process that is gone blocks no port";
        uint32_t value = 0;
        Exchange exchange(other, clock);
        exchange.values().UseLogFile = false;
        EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
        other.Close();
        EXPECT_FALSE(std::filesystem::exists(lock));
    }

    // An empty lock whose owner is alive (it holds the file locked) stays, and so does the refusal.
    LeaveLock(lock, "");
    const int held = ::open(lock.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    LocalSerialLine refused;
    EXPECT_FALSE(refused.Open(device));
    EXPECT_TRUE(std::filesystem::exists(lock));
    ::close(held);
    std::filesystem::remove(lock);
}

// As root, a second line opened the pty through a link to it beside the first (Qt locks by
// name, TIOCEXCL does not bind root), and each line took the other's answers.
TEST(DeviceLockTest, EveryNameOfOneDeviceSharesOneLock)
{
    test::TempDir dir;
    sim::SimOptions options;
    options.linkPath = dir.file("usb-adapter-if00-port0");
    sim::Simulator simulator(options);
    ASSERT_TRUE(simulator.Start());
    std::filesystem::create_symlink(options.linkPath, dir.file("link-of-a-link"));
    ASSERT_NE(simulator.DevicePath(), simulator.PtyPath());

    LocalSerialLine viaLink;
    ASSERT_TRUE(viaLink.Open(simulator.DevicePath()));
    for (const std::string& name : {simulator.PtyPath(), dir.file("link-of-a-link"), simulator.DevicePath()}) {
        LocalSerialLine second;
        EXPECT_FALSE(second.Open(name)) << name;
        EXPECT_FALSE(second.OpenError().empty());
    }
    viaLink.Close();

    LocalSerialLine direct;
    ASSERT_TRUE(direct.Open(simulator.PtyPath()));
    EXPECT_FALSE(viaLink.Open(dir.file("link-of-a-link")));
    direct.Close();
    EXPECT_TRUE(viaLink.Open(dir.file("link-of-a-link"))) << "closing releases the lock";
}

// An empty lock file and no process holding it: its owner died between making and filling it.
TEST_F(PortLock, AnEmptyLockWhoseOwnerIsGoneIsTakenOverAtOnce)
{
    const std::string device = simulator->DevicePath();
    const std::string lock = PortLockPath(device);
    line.Close();
    std::ofstream{lock};
    LocalSerialLine other;
    ASSERT_TRUE(other.Open(device)) << "a lock made a moment ago: " << other.OpenError();
    other.Close();
    EXPECT_FALSE(std::filesystem::exists(lock));
}

}  // namespace
}  // namespace pmv::link
