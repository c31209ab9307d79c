#include "port_lock.h"

#include "network_port.h"

#include <QFileInfo>
#include <QString>

#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <thread>

namespace pmv::link {
namespace {

// The folders in the order Qt's serial port tries them.
constexpr std::array<const char*, 8> kLockFolders{"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                                  "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};

constexpr int kReleaseTries = 20;
constexpr auto kReleasePause = std::chrono::milliseconds(5);

bool OwnerGone(const std::string& content)
{
    char* end = nullptr;
    const long pid = std::strtol(content.c_str(), &end, 10);
    if (end == content.c_str())
        return content.find_first_not_of(" \t\r\n") == std::string::npos;
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

int OpenLockFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0)
            ::fchmod(fd, 0644);  // other users lock it too, whatever the umask
        else if (errno == EEXIST)
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    return fd;
}

}  // namespace

std::string ResolvedDevicePath(const std::string& device)
{
    char resolved[PATH_MAX];
    return ::realpath(device.c_str(), resolved) ? std::string(resolved) : device;
}

std::string PortLockPath(const std::string& device)
{
    const std::string resolved = ResolvedDevicePath(device);
    QString name = QString::fromStdString(resolved.starts_with("/dev/") ? resolved.substr(5) : resolved);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char* folder : kLockFolders) {
        const QString path = QString::fromLatin1(folder) + QStringLiteral("/LCK..") + name;
        const QFileInfo info{QString::fromLatin1(folder)};
        if (info.isReadable() && (QFileInfo::exists(path) || info.isWritable()))
            return path.toStdString();
    }
    return {};
}

std::string DeviceLockPath(const std::string& device)
{
    std::string name(96, '\0');
    struct stat st {};
    if (const auto network = ParseNetworkPort(device)) {
        std::string host;
        for (const char c : network->host)
            host += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-'
                        ? static_cast<char>(std::tolower(c))
                        : '_';
        name = "/pmv77xx-net-" + host + "-" + std::to_string(network->port) + ".lock";
    } else if (::stat(device.c_str(), &st) != 0) {
        return {};
    } else if (S_ISCHR(st.st_mode))
        name.resize(static_cast<size_t>(
            std::snprintf(name.data(), name.size(), "/pmv77xx-dev-%u-%u.lock", major(st.st_rdev), minor(st.st_rdev))));
    else
        name.resize(
            static_cast<size_t>(std::snprintf(name.data(), name.size(), "/pmv77xx-file-%ju-%ju.lock",
                                              static_cast<uintmax_t>(st.st_dev), static_cast<uintmax_t>(st.st_ino))));
    for (const char* folder : kLockFolders) {
        const QFileInfo info{QString::fromLatin1(folder)};
        if (info.isDir() && info.isReadable() && info.isWritable())
            return folder + name;
    }
    return {};
}

bool DeviceLock::Acquire(const std::string& device)
{
    Release();
    const std::string path = DeviceLockPath(device);
    const int fd = path.empty() ? -1 : OpenLockFile(path);
    if (fd < 0)
        return true;
    // A line that closes its device frees it a moment before its lock, and a pseudo-terminal's
    // number is given out again at once: a holder gets that moment to let go.
    for (int tries = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0; ++tries) {
        if (tries == kReleaseTries) {
            ::close(fd);
            return false;
        }
        std::this_thread::sleep_for(kReleasePause);
    }
    fd_ = fd;
    return true;
}

void DeviceLock::Release()
{
    if (fd_ >= 0)
        ::close(fd_);  // drops the flock
    fd_ = -1;
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
    // Qt holds a flock on its lock file from the moment it is made, so a living owner refuses it.
    bool stale =
        ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < 256 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (stale) {
        std::string content(static_cast<size_t>(st.st_size), '\0');
        stale = ::read(fd, content.data(), content.size()) == st.st_size && OwnerGone(content) &&
                ::unlink(path.c_str()) == 0;
    }
    ::close(fd);
    return stale ? std::optional<std::string>(path) : std::nullopt;
}

}  // namespace pmv::link
