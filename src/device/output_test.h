#pragma once

#include "link/exchange.h"
#include "messages/error_codes.h"

#include <array>
#include <cstdint>

namespace pmv::device {

// The output test: the instrument's 36 outputs switched through the test registers of bank 1,
// one at a time or all together, or walked through by the window's 1800 ms test timer.
class OutputTest {
public:
    static constexpr uint32_t kOutputCount = 36;
    static constexpr uint32_t kTimerIntervalMs = 1800;

    explicit OutputTest(link::Exchange& exchange) : exchange_(exchange) {}

    // Switches output n on and the output selected before it off.
    ErrorCode SelectTestOutput(uint32_t n);
    // Writes the five mask bytes to registers 5..9.
    ErrorCode WriteTestOutputs();

    // Switching the mode on starts at output 0, switching it off clears the masks; either way a
    // running walk stops and the instrument gets the new mode.
    ErrorCode SetTestMode(bool on);
    ErrorCode ToggleTestMode() { return SetTestMode(!testMode_); }
    ErrorCode AllOn();
    ErrorCode AllOff();
    ErrorCode PreviousOutput();
    ErrorCode NextOutput();
    // Stops a running walk (all outputs off), or starts one at output 0; the window then arms
    // its test timer with kTimerIntervalMs.
    ErrorCode RunStop();
    // One tick of the test timer: while running, selects the running output and advances; a
    // failure stops the walk and is returned for the window to show once.
    ErrorCode Tick();

    bool running() const { return running_; }
    bool testMode() const { return testMode_; }
    uint32_t runningIndex() const { return index_; }
    // The output switched on last on its own (0..35).
    uint32_t selectedOutput() const { return previous_; }

private:
    link::Exchange& exchange_;
    std::array<uint8_t, 5> outputs_{};
    uint32_t index_ = 0;
    uint32_t previous_ = 0;
    bool running_ = false;
    bool testMode_ = false;
};

}  // namespace pmv::device
