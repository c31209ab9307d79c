#pragma once

#include <cstdint>
#include <string_view>

#include "request_framer.h"

namespace pmv::sim {

// Time the line needs for n bytes at baud (10 bit times each: start, 8 data, stop); 0 for baud 0.
Clock::duration WireTime(uint64_t bytes, uint32_t baud);

// Puts answers on the pty master as a serial line would deliver them: byte i is handed over
// when it has fully arrived, at start + (i + 1) byte times, against absolute deadlines so that
// no drift builds up. Every wait ends early when the wake descriptor becomes readable.
class LineWriter {
public:
    // master: non-blocking pty master; slave: the slave end kept open by the simulator.
    LineWriter(int master, int slave, int wake) : master_(master), slave_(slave), wake_(wake) {}

    // False when woken.
    bool SleepUntil(Clock::time_point deadline) const;

    // baud 0: all bytes at start. False when woken before all bytes were sent.
    bool Send(std::string_view bytes, Clock::time_point start, uint32_t baud) const;

private:
    bool Woken() const;
    void Write(std::string_view bytes) const;

    int master_;
    int slave_;
    int wake_;
};

}  // namespace pmv::sim
