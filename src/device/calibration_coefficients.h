#pragma once

#include "device.h"
#include "messages/error_codes.h"

namespace pmv::device {

// The six calibration coefficients of a channel: UREF, RREF, Ku 100 mV, Ku 10 V, Ki 0-5 mA,
// Ki 0-20 mA.
ErrorCode ReadCalibrationCoefficients(Device& device, uint32_t ch);
ErrorCode WriteCalibrationCoefficients(Device& device, uint32_t ch);
// One group (1 UREF and RREF, 2 Ku 100 mV, 3 Ku 10 V, 4 Ki 0-5 mA, 5 Ki 0-20 mA), written with
// read-back; any other group does nothing.
ErrorCode WriteCalibrationGroup(Device& device, uint32_t group, uint32_t ch);

}  // namespace pmv::device
