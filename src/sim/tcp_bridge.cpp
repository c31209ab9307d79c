#include "tcp_bridge.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pmv::sim {
namespace {

speed_t SpeedOf(uint32_t baud)
{
    switch (baud) {
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    default: return B9600;
    }
}

bool Failed(std::string* error, const std::string& what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
    return false;
}

// Writes all of `bytes` to a descriptor, waiting for it while it is full; false when it fails.
bool WriteAll(int fd, const char* bytes, size_t size, bool socket)
{
    while (size > 0) {
        const ssize_t n = socket ? ::send(fd, bytes, size, MSG_NOSIGNAL) : ::write(fd, bytes, size);
        if (n > 0) {
            bytes += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd watch{fd, POLLOUT, 0};
        ::poll(&watch, 1, 100);
    }
    return true;
}

}  // namespace

bool ParseListenAddress(const std::string& text, std::string& host, uint16_t& port)
{
    const size_t colon = text.rfind(':');
    host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
    const std::string number = colon == std::string::npos ? text : text.substr(colon + 1);
    if (host.empty() || number.empty() || number.size() > 5 ||
        number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long value = std::stoul(number);
    if (value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    in_addr unused{};
    return ::inet_pton(AF_INET, host.c_str(), &unused) == 1;
}

int TcpBridge::OpenDevice() const
{
    const int fd = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetspeed(&tio, SpeedOf(baud_));
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

bool TcpBridge::Start(const std::string& device, uint32_t baud, const std::string& host, uint16_t port,
                      std::string* error)
{
    Stop();
    device_ = device;
    baud_ = baud;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        errno = EINVAL;
        Stop();
        return Failed(error, host);
    }
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (listener_ >= 0)
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 4) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        const bool result = Failed(error, host + ":" + std::to_string(port));
        Stop();
        return result;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void TcpBridge::Stop()
{
    if (thread_.joinable()) {
        const char stop = 's';
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &stop, 1);
        thread_.join();
    }
    for (int* fd : {&listener_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    port_ = 0;
}

void TcpBridge::Serve()
{
    int client = -1;
    int device = -1;
    const auto hangUp = [&] {
        ::close(client);
        ::close(device);
        client = device = -1;
    };
    char buffer[512];
    for (;;) {
        pollfd watch[4] = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}, {client, POLLIN, 0}, {device, POLLIN, 0}};
        if (::poll(watch, client >= 0 ? 4 : 2, -1) < 0 && errno != EINTR)
            break;
        if (watch[0].revents)
            break;
        // The client's end first: one that has just hung up makes room for the one that follows it.
        if (client >= 0 && watch[2].revents) {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got > 0)
                WriteAll(device, buffer, static_cast<size_t>(got), false);
            else if (got == 0 || (errno != EAGAIN && errno != EINTR))
                hangUp();
        }
        if (client >= 0 && watch[3].revents) {
            const ssize_t got = ::read(device, buffer, sizeof buffer);
            // A device that fails (the instrument's side gone) ends the client's connection.
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR) ||
                (got > 0 && !WriteAll(client, buffer, static_cast<size_t>(got), true)))
                hangUp();
        }
        if (watch[1].revents & POLLIN) {
            const int newcomer = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (newcomer >= 0 && client >= 0) {
                ::close(newcomer);
            } else if (newcomer >= 0 && (device = OpenDevice()) < 0) {
                ::close(newcomer);
            } else if (newcomer >= 0) {
                client = newcomer;
                const int on = 1;
                ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            }
        }
    }
    if (client >= 0)
        hangUp();
}

}  // namespace pmv::sim
