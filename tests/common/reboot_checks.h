#pragma once

#include "link/exchange.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace pmv::test {

// A job across an instrument's reboot of `rebootMs`: what went unanswered are only the short
// probes of the firmware version, at least one and no more than the reboot leaves room for, and
// the job took at most the reboot and one answer time-out longer than `plainMs` without it.
inline void ExpectOnlyProbesWaitedForTheReboot(const std::vector<sim::Request>& transcript, uint32_t rebootMs,
                                               int64_t rebootingMs, int64_t plainMs)
{
    size_t lost = 0;
    for (const sim::Request& r : transcript) {
        if (r.answered)
            continue;
        ++lost;
        EXPECT_TRUE(r.bank == 1 && r.memType == 1 && r.reg == 6) << "only probes are lost: " << r.text;
    }
    EXPECT_GE(lost, 1u);
    EXPECT_LE(lost, rebootMs / link::kMinProbeWindowMs + 2);
    EXPECT_LT(rebootingMs - plainMs, rebootMs + link::kMinAnswerTimeoutMs);
}

}  // namespace pmv::test
