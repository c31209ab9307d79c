#include "line_timing.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace pmv::sim {

using namespace std::chrono_literals;

namespace {

constexpr auto kLastByteSpin = 50us;

}  // namespace

Clock::duration WireTime(uint64_t bytes, uint32_t baud)
{
    if (baud == 0)
        return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(bytes * 10'000'000'000ull / baud));
}

bool LineWriter::Woken() const
{
    pollfd p{wake_, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

// Long waits poll the wake descriptor; the last stretch is an absolute sleep on the monotonic
// clock (which steady_clock reads), precise to the byte.
bool LineWriter::SleepUntil(Clock::time_point deadline) const
{
    for (;;) {
        const auto remaining = deadline - Clock::now();
        if (remaining <= Clock::duration::zero())
            return !Woken();
        if (remaining > 2ms) {
            pollfd p{wake_, POLLIN, 0};
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(remaining - 1ms).count();
            if (poll(&p, 1, static_cast<int>(ms)) > 0)
                return false;
            continue;
        }
        if (Woken())
            return false;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
        const timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }
}

bool LineWriter::Send(std::string_view bytes, Clock::time_point start, uint32_t baud) const
{
    if (baud == 0) {
        if (!SleepUntil(start))
            return false;
        Write(bytes);
        return true;
    }
    size_t sent = 0;
    while (sent < bytes.size()) {
        const auto deadline = start + WireTime(sent + 1, baud);
        if (sent + 1 < bytes.size()) {
            if (!SleepUntil(deadline))
                return false;
        } else if (!SleepUntil(deadline - kLastByteSpin)) {
            return false;
        } else {
            // A sleep ends some 25 us late on a virtual machine, and the reader waits for the
            // answer's last byte: that one is waited for on the clock, so the answer ends on time.
            while (Clock::now() < deadline) {
            }
        }
        // Bytes whose time has come together (after a late wake-up) go in one write.
        size_t due = sent + 1;
        const auto now = Clock::now();
        while (due < bytes.size() && start + WireTime(due + 1, baud) <= now)
            ++due;
        Write(bytes.substr(sent, due - sent));
        sent = due;
    }
    return true;
}

// A client that does not read lets the slave's input queue fill up; then the stale input is
// discarded, as a line keeps no backlog, and what still does not fit is lost.
void LineWriter::Write(std::string_view bytes) const
{
    bool flushed = false;
    while (!bytes.empty()) {
        const ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && !flushed) {
            tcflush(slave_, TCIFLUSH);
            flushed = true;
        } else {
            return;
        }
    }
}

}  // namespace pmv::sim
