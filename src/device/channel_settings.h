#pragma once

#include "device.h"
#include "messages/error_codes.h"

#include <string>
#include <vector>

namespace pmv::device {

// The settings of one measuring channel (ch 0 for CH1, 1 for CH2) between the instrument and
// the model: sensor type, range, root extraction, adjustment, shift, setpoints with hystereses
// and types, averaging, observations, exclusion, decimals, change steps and the polynomial.
// An unselected channel is skipped with 0; ch above 1 gives 4.
ErrorCode ReadChannelSettings(Device& device, uint32_t ch);
// Every register is written with read-back. A setpoint is switched off (type 0) before its
// value and hysteresis change and gets its type last.
ErrorCode WriteChannelSettings(Device& device, uint32_t ch);

// The keys of a channel's section that a read (write) moves, in the order of the line.
std::vector<std::string> ChannelStepKeys(bool write);

}  // namespace pmv::device
