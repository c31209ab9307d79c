#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// pmvctl calib read CH | write CH PROFILE: a channel's calibration coefficients, printed or
// written from the profile (the instrument restarts after a write to take them).
int RunCalib(TerminalSession& session, const Arguments& arguments);

}  // namespace pmv::cli
