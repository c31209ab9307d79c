#pragma once

#include "device.h"

namespace pmv {

// Relay logic variants of both channels and the two mask words of each relay; only when the
// relay group is selected.
uint32_t ReadRelayLogic(Device& device);
uint32_t WriteRelayLogic(Device& device);
// Decision interval and pulse length of both channels' regulator; on every full read and write.
uint32_t ReadRegulatorParameters(Device& device);
uint32_t WriteRegulatorParameters(Device& device);

}  // namespace pmv
