#pragma once

#include "device.h"
#include "messages/error_codes.h"
#include "setting_steps.h"

#include <span>

namespace pmv::device {

// Relay logic variants of both channels and the two mask words of each relay; only when the
// relay group is selected.
ErrorCode ReadRelayLogic(Device& device);
ErrorCode WriteRelayLogic(Device& device);
// Decision interval and pulse length of both channels' regulator; on every full read and write.
ErrorCode ReadRegulatorParameters(Device& device);
ErrorCode WriteRegulatorParameters(Device& device);

// The settings of each group in the order of the line.
std::span<const SettingName> RelayLogicSettings();
std::span<const SettingName> RegulatorSettings();

}  // namespace pmv::device
