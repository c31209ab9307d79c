#pragma once

#include "link/clock.h"
#include "link/exchange.h"
#include "messages/error_codes.h"

#include <array>
#include <cstdint>
#include <string>

namespace pmv::device {

// The instrument's current values as the last good poll delivered them (block 2 of bank 1).
struct LiveValues {
    uint8_t relays = 0;  // bit 0 relay 1, bit 1 relay 2
    uint8_t panel = 0;   // bits 0..4 the front buttons, bits 5 and 6 the rotary encoder
    std::array<float, 2> value{};
    std::array<uint8_t, 2> status{};      // channel status byte
    std::array<uint8_t, 2> signalBits{};  // bit 0 setpoint 1, bit 1 setpoint 2, bit 2 break
};

// Channel status the program puts in for a value that is not a valid float.
inline constexpr uint8_t kFloatErrorStatus = 4;
inline constexpr float kFloatErrorValue = -444.0f;

// One block read with retries; an error status answer gives its code. On success the block
// is decoded into `values`; a channel value that is a signalling NaN becomes -444 with status 4.
// A failed poll leaves `values` as they were.
ErrorCode ReadCurrentValues(link::Exchange& exchange, LiveValues& values);

// Values above 10000 become 10000; below -1000, or not a number, -1000.
void ClampCurrentValues(LiveValues& values);

// Appends one line to the measurement log: the time of the last request, relays, and value and
// status of both channels. Returns 14 when the file cannot be opened.
ErrorCode LogMeasurement(const std::string& fileName, const link::TimeStamp& sendTime, const LiveValues& values);

// The live-values poll of the window without its widgets: what one tick does on the line and in
// the log, and how it reports.
class LivePoll {
public:
    static constexpr uint32_t kIntervalMs = 500;

    struct Outcome {
        ErrorCode code;
        uint32_t nextIntervalMs;  // a failed poll waits its answer time-out longer
    };

    // One tick while the page of current values is shown: reads, clamps, and every second tick
    // appends the values to the measurement log when `logFileName` is not empty.
    Outcome Tick(link::Exchange& exchange, LiveValues& values, const std::string& logFileName);

    static Outcome OutcomeOf(ErrorCode code, uint32_t answerTimeoutMs);

private:
    uint64_t ticks_ = 0;
};

}  // namespace pmv::device
