#pragma once

#include "link/clock.h"
#include "link/exchange.h"
#include "link/local_serial_line.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pmv::test {

// The simulated instrument on a pseudo-terminal and the program's own serial line opened on it.
class SimLine : public ::testing::Test {
protected:
    void SetUp() override { Connect(sim::SimOptions{}); }

    void Connect(const sim::SimOptions& options)
    {
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(&error)) << error;
        ASSERT_TRUE(line.Open(simulator->DevicePath())) << line.OpenError();
        ASSERT_TRUE(line.Configure(9600));
        line.RaiseDtrDropRts();
        exchange.values().ByteTimeout = 9;
        exchange.values().UseLogFile = false;
    }

    link::SystemClock clock;
    link::LocalSerialLine line;
    link::Exchange exchange{line, clock};
    std::unique_ptr<sim::Simulator> simulator;
};

}  // namespace pmv::test
