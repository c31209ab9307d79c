#pragma once

#include "port_lock.h"
#include "port_names.h"
#include "serial_line.h"

#include <QSerialPort>

#include <chrono>

#include <string>
#include <vector>

namespace pmv::link {

// A serial port of this computer: QSerialPort opens it, takes the lock and sets speed and frame;
// the exchange's reads and writes go straight to its descriptor (poll/ppoll, read, write), which
// waits to the microsecond and needs no event loop.
class LocalSerialLine final : public SerialLine {
public:
    bool Open(const std::string& device) override;
    bool IsOpen() const override;
    std::string OpenError() const override { return openError_; }
    LowLatency LatencyRequest() const override { return latency_; }
    void Close() override;
    bool Configure(uint32_t baud) override;
    void Purge() override;
    void RaiseDtrDropRts() override;
    size_t Read(char* buffer, size_t max, uint32_t timeoutMs) override;
    size_t ReadUs(char* buffer, size_t max, uint32_t timeoutUs) override;
    size_t Write(const char* data, size_t size, uint32_t timeoutMs) override;

private:
    size_t ReadUntil(char* buffer, size_t max, std::chrono::steady_clock::time_point deadline);
    // Opens the port or sets openError_.
    bool OpenPort(const std::string& device);

    DeviceLock deviceLock_;
    QSerialPort port_;
    std::string openError_;
    LowLatency latency_ = LowLatency::NotApplicable;
};

}  // namespace pmv::link

namespace pmv::link {

// Serial devices present on this machine, in the order port numbers take them.
std::vector<SerialPortInfo> FoundSerialPortInfos();
std::vector<std::string> FoundSerialPorts();

}  // namespace pmv::link
