#include "port_lock.h"

#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>

namespace pmv {
namespace {

// Qt fills its lock file within microseconds of creating it; a younger empty file may be a
// lock being taken right now.
constexpr auto kSettleTime = std::chrono::milliseconds(500);

bool OwnerGone(const std::string& content)
{
    char* end = nullptr;
    const long pid = std::strtol(content.c_str(), &end, 10);
    if (end == content.c_str())
        return content.find_first_not_of(" \t\r\n") == std::string::npos;
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

std::string PortLockPath(const std::string& device)
{
    // The folders in the order Qt's serial port tries them.
    static constexpr std::array<const char*, 8> kFolders{"/var/lock", "/etc/locks", "/var/spool/locks",
                                                         "/var/spool/uucp", "/tmp", "/var/tmp",
                                                         "/var/lock/lockdev", "/run/lock"};
    QString name = QString::fromStdString(device.starts_with("/dev/") ? device.substr(5) : device);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder : kFolders) {
        const QString path = QString::fromLatin1(folder) + QStringLiteral("/LCK..") + name;
        const QFileInfo info{QString::fromLatin1(folder)};
        if (info.isReadable() && (QFileInfo::exists(path) || info.isWritable()))
            return path.toStdString();
    }
    return {};
}

std::optional<std::string> RecoverStalePortLock(const std::string& device)
{
    const std::string path = PortLockPath(device);
    if (path.empty())
        return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    timespec now {};
    bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < 256 &&
                 ::clock_gettime(CLOCK_REALTIME, &now) == 0;
    stale = stale &&
            std::chrono::seconds(now.tv_sec - st.st_mtim.tv_sec) +
                    std::chrono::nanoseconds(now.tv_nsec - st.st_mtim.tv_nsec) > kSettleTime &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0;  // a living owner holds it
    if (stale) {
        std::string content(static_cast<size_t>(st.st_size), '\0');
        stale = ::read(fd, content.data(), content.size()) == st.st_size && OwnerGone(content) &&
                ::unlink(path.c_str()) == 0;
    }
    ::close(fd);
    return stale ? std::optional<std::string>(path) : std::nullopt;
}

}  // namespace pmv
