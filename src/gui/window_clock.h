#pragma once

#include "link/clock.h"

#include <functional>
#include <memory>

namespace pmv::gui {

// One of the window's timers: calls its tick `ms` after Start, then every `ms` until stopped
// (once, when single shot). Start again restarts it with the new interval.
class Ticker {
public:
    virtual ~Ticker() = default;
    virtual void Start(uint32_t ms) = 0;
    virtual void Stop() = 0;
};

// The window's time: the link's clock that also runs the window's timers and stamps the trend.
// The program's runs on the event loop; a test's moves only when the test moves it.
class WindowClock : public link::Clock {
public:
    virtual std::unique_ptr<Ticker> NewTicker(std::function<void()> tick, bool singleShot = false) = 0;
    // Milliseconds since the epoch, local time's counterpart for the trend's time axis.
    virtual int64_t EpochMs() const = 0;
};

// The system's time; its waits keep the window drawn and Esc noticed.
class EventLoopClock final : public WindowClock {
public:
    link::TimeStamp LocalTime() const override { return system_.LocalTime(); }
    int64_t MonotonicMs() const override { return system_.MonotonicMs(); }
    int64_t MonotonicUs() const override { return system_.MonotonicUs(); }
    void Wait(uint32_t ms) override;
    std::unique_ptr<Ticker> NewTicker(std::function<void()> tick, bool singleShot = false) override;
    int64_t EpochMs() const override;

private:
    link::SystemClock system_;
};

}  // namespace pmv::gui
