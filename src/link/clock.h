#pragma once

#include <cstdint>

namespace pmv::link {

struct TimeStamp {
    uint32_t hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Wall-clock stamps for the logs; monotonic milliseconds for measuring waits, so that a wait
// across a change of the hour (or of the system time) is still the true elapsed time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimeStamp LocalTime() const = 0;
    virtual int64_t MonotonicMs() const = 0;
    // The same clock in microseconds, for windows of a few milliseconds that whole milliseconds
    // would widen by a fifth; a clock that counts milliseconds only gives them in microseconds.
    virtual int64_t MonotonicUs() const { return MonotonicMs() * 1000; }
    // Blocks for the given time; the window keeps handling its events meanwhile, tests let
    // the time pass at once.
    virtual void Wait(uint32_t ms);
};

class SystemClock final : public Clock {
public:
    TimeStamp LocalTime() const override;
    int64_t MonotonicMs() const override;
    int64_t MonotonicUs() const override;
};

}  // namespace pmv::link
