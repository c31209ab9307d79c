#pragma once

#include "device.h"
#include "messages/error_codes.h"

namespace pmv::device {

// Relay logic variants of both channels and the two mask words of each relay; only when the
// relay group is selected.
ErrorCode ReadRelayLogic(Device& device);
ErrorCode WriteRelayLogic(Device& device);
// Decision interval and pulse length of both channels' regulator; on every full read and write.
ErrorCode ReadRegulatorParameters(Device& device);
ErrorCode WriteRegulatorParameters(Device& device);

}  // namespace pmv::device
