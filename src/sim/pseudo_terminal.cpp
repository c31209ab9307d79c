#include "pseudo_terminal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace pmv::sim {
namespace {

bool Fail(std::string* error, const std::string& what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
    return false;
}

// ptsname() returns a static buffer.
std::string SlaveName(int master)
{
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    const char* name = ptsname(master);
    return name ? name : "";
}

}  // namespace

bool PseudoTerminal::Open(const std::string& linkPath, std::string* error)
{
    Close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return Fail(error, "posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        Close();
        return Fail(error, "grantpt/unlockpt");
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = SlaveName(master_);
    slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0) {
        const bool result = Fail(error, "open " + slavePath_);
        Close();
        return result;
    }
    termios tio{};
    if (tcgetattr(slave_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slave_, TCSANOW, &tio);
    }
    if (!linkPath.empty()) {
        struct stat st {};
        if (lstat(linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                errno = EEXIST;
                const bool result = Fail(error, linkPath + " exists and is not a symbolic link");
                Close();
                return result;
            }
            unlink(linkPath.c_str());
        }
        if (symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
            const bool result = Fail(error, "symlink " + linkPath);
            Close();
            return result;
        }
        linkPath_ = linkPath;
    }
    return true;
}

void PseudoTerminal::Close()
{
    if (!linkPath_.empty()) {
        char target[4096];
        const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath_)
            unlink(linkPath_.c_str());
        linkPath_.clear();
    }
    if (slave_ >= 0)
        close(slave_);
    if (master_ >= 0)
        close(master_);
    slave_ = master_ = -1;
    slavePath_.clear();
}

uint32_t PseudoTerminal::LineBaud() const
{
    // Master and slave share one termios: this reads what the client set on its end.
    termios tio{};
    if (master_ < 0 || tcgetattr(master_, &tio) != 0)
        return 0;
    switch (cfgetospeed(&tio)) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

}  // namespace pmv::sim
