#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "sim_line.h"

namespace pmv::sim::test {

// A running simulator at address 1 without line timing, and a client on its pty.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        line = std::make_unique<Line>(sim.DevicePath());
        ASSERT_TRUE(line->IsOpen());
    }

    Simulator sim;
    std::unique_ptr<Line> line;
};

}  // namespace pmv::sim::test
