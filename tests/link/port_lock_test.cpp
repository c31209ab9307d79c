#include "sim_line.h"

#include "link/port_lock.h"
#include "link/register_commands.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace pmv {
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
        QtSerialLine other;
        ASSERT_TRUE(other.Open(device)) << "an empty lock or one of a process that is gone blocks no port";
        uint32_t value = 0;
        Exchange exchange(other, clock);
        exchange.values().UseLogFile = false;
        EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), 0u);
        other.Close();
        EXPECT_FALSE(std::filesystem::exists(lock));
    }

    // An empty lock whose owner is alive (it holds the file locked) stays, and so does the refusal.
    LeaveLock(lock, "");
    const int held = ::open(lock.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    QtSerialLine refused;
    EXPECT_FALSE(refused.Open(device));
    EXPECT_TRUE(std::filesystem::exists(lock));
    ::close(held);
    std::filesystem::remove(lock);
}

}  // namespace
}  // namespace pmv
