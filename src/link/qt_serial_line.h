#pragma once

#include "serial_line.h"

#include <QSerialPort>

#include <string>
#include <vector>

namespace pmv {

class QtSerialLine final : public SerialLine {
public:
    bool Open(const std::string& device) override;
    bool IsOpen() const override;
    void Close() override;
    bool Configure(uint32_t baud) override;
    void Purge() override;
    void RaiseDtrDropRts() override;
    size_t Read(char* buffer, size_t max, uint32_t timeoutMs) override;
    size_t Write(const char* data, size_t size, uint32_t timeoutMs) override;

private:
    QSerialPort port_;
};

}  // namespace pmv

namespace pmv {

// Serial devices present on this machine, in the order port numbers take them.
std::vector<std::string> FoundSerialPorts();

}  // namespace pmv
