#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// pmvctl get BANK byte|long|block NUMBER [COUNT]: one register, or a block of bank 1, as read.
int RunGet(TerminalSession& session, const Arguments& arguments);

// pmvctl set BANK byte|long NUMBER VALUE: one register written and read back.
int RunSet(TerminalSession& session, const Arguments& arguments);

}  // namespace pmv::cli
