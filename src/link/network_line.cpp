#include "network_line.h"

#include "messages/connection_texts.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace pmv::link {
namespace {

using Clock = std::chrono::steady_clock;

// Whole milliseconds left until `deadline` for poll, 0 when it has passed.
int MsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<int64_t>(left.count(), 0));
}

Clock::time_point After(uint32_t ms) { return Clock::now() + std::chrono::milliseconds(ms); }

uint32_t MsSince(Clock::time_point start)
{
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// What a server needs besides the network to pass a byte between its line and the socket.
constexpr uint32_t kServerSlackMs = 50;

}  // namespace

bool NetworkLine::Fail(NetworkFailure failure, std::string error)
{
    Close();
    failure_ = failure;
    error_ = std::move(error);
    return false;
}

bool NetworkLine::Open(const std::string& name)
{
    Close();
    failure_ = NetworkFailure::None;
    error_.clear();
    reason_.clear();
    NetworkNameProblem problem = NetworkNameProblem::None;
    const auto parsed = ParseNetworkPort(name, &problem);
    if (!parsed)
        return Fail(NetworkFailure::BadName,
                    Text(LinkNotice::NetworkNameInvalid, {name, NetworkNameProblemText(problem)}));
    port_ = *parsed;
    if (!lock_.Acquire(name))
        return Fail(NetworkFailure::Held, Text(LinkNotice::PortAlreadyOpen));
    if (!Connect())
        return false;
    if (port_.mode == NetworkMode::Raw)
        return true;
    const auto start = Clock::now();
    if (!Send(telnet_.Offer(), After(kNegotiationMs)) ||
        !AwaitServer([this] { return telnet_.ComPort() != ComPortClient::Accord::Pending; }, After(kNegotiationMs)) ||
        telnet_.ComPort() != ComPortClient::Accord::Accepted)
        return Fail(NetworkFailure::NotRfc2217, Text(LinkNotice::NotRfc2217, {HostAndPort(port_)}));
    roundTripMs_ = std::max(roundTripMs_, MsSince(start));
    return true;
}

bool NetworkLine::Connect()
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port_.port);
    if (const int code = ::getaddrinfo(port_.host.c_str(), service.c_str(), &hints, &found); code != 0) {
        reason_ = ::gai_strerror(code);
        return Fail(NetworkFailure::HostNotFound, Text(LinkNotice::HostNotFound, {port_.host, reason_}));
    }
    const auto deadline = After(kConnectMs);
    NetworkFailure failure = NetworkFailure::HostUnreachable;
    int lastError = ETIMEDOUT;
    for (addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        const auto start = Clock::now();
        int error = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            pollfd watch{fd, POLLOUT, 0};
            int ready;
            while ((ready = ::poll(&watch, 1, MsUntil(deadline))) < 0 && errno == EINTR) {
            }
            socklen_t size = sizeof error;
            if (ready <= 0)
                error = ETIMEDOUT;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
        if (error == 0) {
            fd_ = fd;
            roundTripMs_ = MsSince(start);
            break;
        }
        ::close(fd);
        lastError = error;
        // A refusal proves the host is there; it outweighs an address of it that was unreachable.
        if (error == ECONNREFUSED)
            failure = NetworkFailure::Refused;
    }
    ::freeaddrinfo(found);
    if (fd_ < 0) {
        if (failure == NetworkFailure::Refused)
            return Fail(failure, Text(LinkNotice::PortRefused, {port_.host, std::to_string(port_.port)}));
        reason_ = lastError == ETIMEDOUT ? Text(LinkNotice::ConnectTimedOut, {std::to_string(kConnectMs / 1000)})
                                         : std::strerror(lastError);
        return Fail(failure, Text(LinkNotice::HostUnreachable, {port_.host, reason_}));
    }
    // A request is a few dozen bytes: it must leave at once, not wait to be joined by more.
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    return true;
}

void NetworkLine::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    telnet_ = ComPortClient{};
    pending_.clear();
    roundTripMs_ = 0;
    lock_.Release();
}

void NetworkLine::Lose(int error)
{
    const std::string reason = error == 0                              ? Text(LinkNotice::ServerClosed)
                               : error == ECONNRESET || error == EPIPE ? Text(LinkNotice::ServerReset)
                                                                       : std::strerror(error);
    Close();
    failure_ = NetworkFailure::Lost;
    error_ = Text(LinkNotice::ConnectionLost, {NetworkPortName(port_), reason});
}

bool NetworkLine::Configure(uint32_t baud)
{
    if (!IsOpen())
        return false;
    // A server in "TCP server" mode keeps the speed it was set to on its own side.
    if (port_.mode == NetworkMode::Raw)
        return true;
    telnet_.ForgetServerBaud();
    const auto deadline = After(kNegotiationMs);
    return Send(ComPortClient::SetLine(baud), deadline) &&
           AwaitServer([&] { return telnet_.ServerBaud() == baud; }, deadline);
}

void NetworkLine::Purge()
{
    // Only what has reached this computer can be dropped without a round trip; what the server
    // still holds comes later, as bytes on a local line's wire would.
    pending_.clear();
    while (IsOpen() && Receive(Clock::now()))
        pending_.clear();
}

void NetworkLine::RaiseDtrDropRts()
{
    if (IsOpen() && port_.mode == NetworkMode::Rfc2217)
        Send(ComPortClient::SetModemLines(), After(kNegotiationMs));
}

template <typename Done>
bool NetworkLine::AwaitServer(Done done, Deadline deadline)
{
    while (!done()) {
        if (!IsOpen() || (!Receive(deadline) && Clock::now() >= deadline))
            return false;
    }
    return true;
}

bool NetworkLine::Receive(Deadline deadline)
{
    char chunk[512];
    for (;;) {
        pollfd watch{fd_, POLLIN, 0};
        const int ready = ::poll(&watch, 1, MsUntil(deadline));
        if (ready == 0)
            return false;
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            Lose(errno);
            return false;
        }
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0) {
            Lose(got == 0 ? 0 : errno);
            return false;
        }
        const std::string_view bytes(chunk, static_cast<size_t>(got));
        if (port_.mode == NetworkMode::Raw) {
            pending_ += bytes;
            return true;
        }
        std::string reply;
        telnet_.Take(bytes, pending_, reply);
        if (!reply.empty() && !Send(reply, After(kNegotiationMs)))
            return false;
        return true;
    }
}

size_t NetworkLine::Read(char* buffer, size_t max, uint32_t timeoutMs)
{
    if (!IsOpen()) {
        // Nothing can arrive; wait like an unanswered read so callers' time-outs hold.
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return 0;
    }
    const auto deadline = After(timeoutMs);
    // Telnet commands alone bring no line bytes: the wait goes on for them.
    while (pending_.empty() && IsOpen() && (Receive(deadline) || Clock::now() < deadline)) {
    }
    const size_t n = std::min(max, pending_.size());
    pending_.copy(buffer, n);
    pending_.erase(0, n);
    return n;
}

bool NetworkLine::Send(std::string_view bytes, Deadline deadline)
{
    size_t put = 0;
    while (put < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + put, bytes.size() - put, MSG_NOSIGNAL);
        if (n > 0) {
            put += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            Lose(errno);
            return false;
        }
        pollfd watch{fd_, POLLOUT, 0};
        if (MsUntil(deadline) == 0 || ::poll(&watch, 1, MsUntil(deadline)) == 0)
            return false;
    }
    return true;
}

size_t NetworkLine::Write(const char* data, size_t size, uint32_t timeoutMs)
{
    if (!IsOpen())
        return 0;
    const std::string_view bytes(data, size);
    const bool sent = port_.mode == NetworkMode::Raw ? Send(bytes, After(timeoutMs))
                                                     : Send(ComPortClient::Escape(bytes), After(timeoutMs));
    return sent ? size : 0;
}

uint32_t NetworkLine::TransitMs() const
{
    // The answer's way back and the request's way there, each taking up to a round trip when
    // the network is busy, and the server's own handling.
    return IsOpen() ? 2 * roundTripMs_ + kServerSlackMs : 0;
}

}  // namespace pmv::link
