#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// pmvctl test mode on|off | all-on | all-off | select N | run [--count N]: the instrument's
// output test; run walks the outputs until Ctrl-C or for N steps.
int RunTest(TerminalSession& session, const Arguments& arguments);

}  // namespace pmv::cli
