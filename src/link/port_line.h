#pragma once

#include "local_serial_line.h"
#include "network_line.h"
#include "serial_line.h"

#include <string>

namespace pmv::link {

// The program's line, whatever its port names: a local serial device, or a line behind a serial
// device server (tcp://HOST:PORT, rfc2217://HOST:PORT). Each Open picks the kind by the name.
class PortLine final : public SerialLine {
public:
    bool Open(const std::string& device) override
    {
        Close();
        active_ = IsNetworkName(device) ? static_cast<SerialLine*>(&network_) : &serial_;
        return active_->Open(device);
    }
    bool IsOpen() const override { return active_->IsOpen(); }
    std::string OpenError() const override { return active_->OpenError(); }
    LowLatency LatencyRequest() const override { return active_->LatencyRequest(); }
    void Close() override { active_->Close(); }
    bool Configure(uint32_t baud) override { return active_->Configure(baud); }
    void Purge() override { active_->Purge(); }
    void RaiseDtrDropRts() override { active_->RaiseDtrDropRts(); }
    size_t Read(char* buffer, size_t max, uint32_t timeoutMs) override { return active_->Read(buffer, max, timeoutMs); }
    size_t ReadUs(char* buffer, size_t max, uint32_t timeoutUs) override
    {
        return active_->ReadUs(buffer, max, timeoutUs);
    }
    size_t Write(const char* data, size_t size, uint32_t timeoutMs) override
    {
        return active_->Write(data, size, timeoutMs);
    }
    uint32_t TransitMs() const override { return active_->TransitMs(); }

    // True when the last Open was of a network port.
    bool OnNetwork() const { return active_ == &network_; }
    // Its outcome: why it did not open, or whether its connection broke since.
    const NetworkLine& network() const { return network_; }

private:
    LocalSerialLine serial_;
    NetworkLine network_;
    SerialLine* active_ = &serial_;
};

}  // namespace pmv::link
