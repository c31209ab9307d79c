#include "clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace pmv::link {

TimeStamp SystemClock::LocalTime() const
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return {static_cast<uint32_t>(local.tm_hour), static_cast<uint32_t>(local.tm_min),
            static_cast<uint32_t>(local.tm_sec), static_cast<uint32_t>(ms)};
}

void Clock::Wait(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int64_t SystemClock::MonotonicMs() const
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t SystemClock::MonotonicUs() const
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace pmv::link
