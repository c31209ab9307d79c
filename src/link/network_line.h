#pragma once

#include "network_port.h"
#include "port_lock.h"
#include "rfc2217.h"
#include "serial_line.h"

#include <chrono>
#include <string>

namespace pmv::link {

// What kept a line on the network from opening, or ended it.
enum class NetworkFailure {
    None,
    BadName,          // no well-formed tcp:// or rfc2217:// name
    HostNotFound,     // the host's name does not resolve
    HostUnreachable,  // no route to it, or no answer to the connection within kConnectMs
    Refused,          // the host answers, but nothing listens on the port
    NotRfc2217,       // the server took the connection but did not agree to set its line from here
    Held,             // another line of this computer has it open
    Lost,             // the connection broke while open
};

// A serial line behind a serial device server, over TCP: the line's bytes as they are
// (tcp://HOST:PORT), or telnet with the COM-PORT-OPTION, which sets the server's line to the
// speed and frame of Configure (rfc2217://HOST:PORT). Read and Write wait on the socket with
// poll, as the local line waits on its device. A connection that breaks closes the line: the
// next reads find it closed, and Failure() says Lost.
class NetworkLine final : public SerialLine {
public:
    // The longest wait for a connection, and for the server's answers while its line is set.
    static constexpr uint32_t kConnectMs = 3000;
    static constexpr uint32_t kNegotiationMs = 2000;

    NetworkLine() = default;
    NetworkLine(const NetworkLine&) = delete;
    NetworkLine& operator=(const NetworkLine&) = delete;
    ~NetworkLine() override { Close(); }

    bool Open(const std::string& name) override;
    bool IsOpen() const override { return fd_ >= 0; }
    std::string OpenError() const override { return error_; }
    LowLatency LatencyRequest() const override { return LowLatency::NotApplicable; }
    void Close() override;
    bool Configure(uint32_t baud) override;
    void Purge() override;
    void RaiseDtrDropRts() override;
    size_t Read(char* buffer, size_t max, uint32_t timeoutMs) override;
    size_t Write(const char* data, size_t size, uint32_t timeoutMs) override;
    uint32_t TransitMs() const override;

    NetworkFailure Failure() const { return failure_; }
    // The resolver's or the system's reason of an unknown or unreachable host.
    const std::string& Reason() const { return reason_; }
    // The connection's set-up time, the server's answer to the telnet offer included.
    uint32_t RoundTripMs() const { return roundTripMs_; }
    // The port of the last Open, valid when its name was well formed.
    const NetworkPort& Port() const { return port_; }

private:
    using Deadline = std::chrono::steady_clock::time_point;

    bool Fail(NetworkFailure failure, std::string error);
    bool Connect();
    // Waits for the server's answers until `done` holds; false at the deadline or on a break.
    template <typename Done>
    bool AwaitServer(Done done, Deadline deadline);
    // Takes what the socket holds, waiting until `deadline` for the first bytes; false when
    // nothing came. A broken connection closes the line.
    bool Receive(Deadline deadline);
    bool Send(std::string_view bytes, Deadline deadline);
    void Lose(int error);

    int fd_ = -1;
    NetworkPort port_;
    ComPortClient telnet_;
    std::string pending_;  // line bytes received and not yet read
    DeviceLock lock_;
    std::string error_;
    std::string reason_;
    NetworkFailure failure_ = NetworkFailure::None;
    uint32_t roundTripMs_ = 0;
};

}  // namespace pmv::link
