#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// pmvctl serial [--set SERIAL TYPE DD.MM.YYYY] [--json]: the instrument's serial number, type code
// and date of manufacture, read or written.
int RunSerial(TerminalSession& session, const Arguments& arguments);

}  // namespace pmv::cli
