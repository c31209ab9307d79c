#pragma once

#include <cstdint>
#include <string>
#include <thread>

namespace pmv::sim {

// The simulated line served on TCP, as a serial device server in "TCP server" mode serves its
// line: while a client is connected, the bridge holds the instrument's pseudo-terminal open as a
// program on the device would, and passes the bytes both ways as they are. One client at a time;
// one that connects while another is served is closed at once. Without a client the device is
// free for a program to open it directly.
class TcpBridge {
public:
    TcpBridge() = default;
    TcpBridge(const TcpBridge&) = delete;
    TcpBridge& operator=(const TcpBridge&) = delete;
    ~TcpBridge() { Stop(); }

    // Listens on `host`:`port` (port 0: a free one) and serves `device` (the pseudo-terminal's
    // slave), set to `baud` for each client, until Stop.
    bool Start(const std::string& device, uint32_t baud, const std::string& host, uint16_t port, std::string* error);
    void Stop();
    // The port listened on; 0 while stopped.
    uint16_t Port() const { return port_; }

private:
    void Serve();
    // The device for a new client; -1 when it does not open.
    int OpenDevice() const;

    int listener_ = -1;
    std::string device_;
    uint32_t baud_ = 0;
    int wake_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::thread thread_;
};

// "[HOST:]PORT" of --listen: the host (127.0.0.1 when none is given) and the port (0..65535).
bool ParseListenAddress(const std::string& text, std::string& host, uint16_t& port);

}  // namespace pmv::sim
