#pragma once

#include "link/exchange.h"
#include "messages/progress.h"
#include "model/settings_model.h"
#include "register_map.h"

#include <cstdint>
#include <string>

namespace pmv::device {

// What a device operation works with: the exchange on the line, the progress panel with its
// Esc key, and the settings model that reads fill and writes send.
struct Device {
    link::Exchange& exchange;
    Progress& progress;
    model::SettingsModel& model;
    // The step text shown last; it outlives the operation that set it.
    std::string currentStep;

    void Step(const std::string& text)
    {
        currentStep = text;
        progress.SetProgressStep(text);
    }
    // Esc since the last test: hides the panel and gives 20, else 0.
    ErrorCode AbortCheck();
    // Hides the panel and passes the result through.
    ErrorCode Fail(ErrorCode code);
};

// How long a restarted instrument is waited for.
inline constexpr uint32_t kRestartLimitMs = 10000;

// After an acknowledged restart command the instrument reboots: waits until it answers again,
// probing with a read of its firmware version, at most kRestartLimitMs after the restart, with the
// seconds on the step line; Esc stops the wait with 20. 0 at once when no restart is pending.
ErrorCode AwaitRestart(Device& device);

// Typed register access on the register map. Byte values are stored as 0..255; a byte field
// above 255 (or negative) is sent as 255.
ErrorCode ReadByte(link::Exchange& exchange, regs::Register reg, int32_t& field);
ErrorCode ReadFloat(link::Exchange& exchange, regs::Register reg, float& field);
// Writing 1 to the restart register notes the instrument's reboot in the exchange.
ErrorCode WriteByte(link::Exchange& exchange, regs::Register reg, int32_t value);
ErrorCode WriteByteChecked(link::Exchange& exchange, regs::Register reg, int32_t value);
ErrorCode WriteFloatChecked(link::Exchange& exchange, regs::Register reg, float value);

}  // namespace pmv::device
