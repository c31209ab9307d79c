#pragma once

#include "serial_line.h"

#include <functional>
#include <string>
#include <utility>

namespace pmv::link {

// A serial line that shows an observer every byte written and read, e.g. for pmvctl --verbose;
// without an observer it only passes the calls on.
class LineTap final : public SerialLine {
public:
    // sent: true for bytes written to the instrument, false for bytes read from it.
    using Observer = std::function<void(bool sent, const char* bytes, size_t size)>;

    explicit LineTap(SerialLine& line) : line_(line) {}
    void SetObserver(Observer observer) { observer_ = std::move(observer); }

    bool Open(const std::string& device) override { return line_.Open(device); }
    bool IsOpen() const override { return line_.IsOpen(); }
    std::string OpenError() const override { return line_.OpenError(); }
    LowLatency LatencyRequest() const override { return line_.LatencyRequest(); }
    void Close() override { line_.Close(); }
    bool Configure(uint32_t baud) override { return line_.Configure(baud); }
    void Purge() override { line_.Purge(); }
    void RaiseDtrDropRts() override { line_.RaiseDtrDropRts(); }
    uint32_t TransitMs() const override { return line_.TransitMs(); }

    size_t Read(char* buffer, size_t max, uint32_t timeoutMs) override
    {
        return Seen(buffer, line_.Read(buffer, max, timeoutMs));
    }

    size_t ReadUs(char* buffer, size_t max, uint32_t timeoutUs) override
    {
        return Seen(buffer, line_.ReadUs(buffer, max, timeoutUs));
    }

    size_t Write(const char* data, size_t size, uint32_t timeoutMs) override
    {
        const size_t n = line_.Write(data, size, timeoutMs);
        if (observer_ && n > 0)
            observer_(true, data, n);
        return n;
    }

private:
    size_t Seen(const char* bytes, size_t n) const
    {
        if (observer_ && n > 0)
            observer_(false, bytes, n);
        return n;
    }

    SerialLine& line_;
    Observer observer_;
};

}  // namespace pmv::link
