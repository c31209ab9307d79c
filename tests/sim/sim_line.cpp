#include "sim_line.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace pmv::sim::test {

Line::Line(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
    termios tio{};
    if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
}

Line::~Line()
{
    if (fd_ >= 0)
        close(fd_);
}

void Line::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd_, bytes.data(), bytes.size());
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
}

void Line::Send(const std::string& text) { Write("\xFF\xFF\xFF\xFF:" + text + std::to_string(Crc16(text)) + "\r"); }

std::string Line::ReadSome(int timeoutMs)
{
    pollfd p{fd_, POLLIN, 0};
    char buffer[512];
    if (timeoutMs <= 0 || poll(&p, 1, timeoutMs) <= 0)
        return {};
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

namespace {

int MsUntil(std::chrono::steady_clock::time_point deadline)
{
    return static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
}

}  // namespace

std::string Line::ReadAnswer(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string got;
    while (got.find('\r') == std::string::npos && MsUntil(deadline) > 0)
        got += ReadSome(MsUntil(deadline));
    return got;
}

std::string Line::ReadFor(int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::string got;
    while (MsUntil(deadline) > 0)
        got += ReadSome(MsUntil(deadline));
    return got;
}

std::string DataField(const std::string& answer)
{
    const size_t first = answer.find(';');
    const size_t second = answer.find(';', first + 1);
    return first == std::string::npos || second == std::string::npos ? ""
                                                                     : answer.substr(first + 1, second - first - 1);
}

}  // namespace pmv::sim::test
