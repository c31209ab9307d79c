#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pmv::link {

// What became of the request for low latency made at the last open. USB adapters hold short
// answers back for their latency timer (16 ms by default) unless the driver is asked not to.
enum class LowLatency {
    Set,
    NotApplicable,
    Refused,
};

// One serial line, a local device or one behind a serial device server: 8 data bits, no parity,
// 1 stop bit, no flow control, opened exclusively.
class SerialLine {
public:
    virtual ~SerialLine() = default;

    // Opens the device and asks its driver for low latency.
    virtual bool Open(const std::string& device) = 0;
    virtual bool IsOpen() const = 0;
    // The system's reason for the last failed open; empty after a successful one.
    virtual std::string OpenError() const = 0;
    virtual LowLatency LatencyRequest() const = 0;
    virtual void Close() = 0;

    // Line speed; the rest of the line configuration is fixed.
    virtual bool Configure(uint32_t baud) = 0;

    // Discards everything pending in both directions.
    virtual void Purge() = 0;

    // Raises DTR and drops RTS. Lines without modem signals (a pseudo-terminal) refuse this,
    // which is no error.
    virtual void RaiseDtrDropRts() = 0;

    // Waits up to timeoutMs for input and returns as soon as any bytes have arrived (at most
    // max); 0 when nothing came. A closed line, or one whose device is gone, returns 0 after the
    // time-out.
    virtual size_t Read(char* buffer, size_t max, uint32_t timeoutMs) = 0;
    // Read with the time-out in microseconds: a search's probe window is a few milliseconds at
    // 57600 baud. A line that waits in whole milliseconds rounds up.
    virtual size_t ReadUs(char* buffer, size_t max, uint32_t timeoutUs)
    {
        return Read(buffer, max, (timeoutUs + 999) / 1000);
    }

    // Writes all bytes, waiting up to timeoutMs; returns the number written.
    virtual size_t Write(const char* data, size_t size, uint32_t timeoutMs) = 0;

    // What the way to the instrument adds to every answer's time besides the line itself: 0 for
    // a local device, a network's round trips for a line behind a serial device server.
    virtual uint32_t TransitMs() const { return 0; }
};

}  // namespace pmv::link
