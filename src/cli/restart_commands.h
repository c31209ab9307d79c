#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// pmvctl restart: the instrument restarts.
int RunRestart(TerminalSession& session, const Arguments& arguments);

// pmvctl factory-reset [--yes|--no]: the instrument's factory values, only when confirmed;
// 65 when not.
int RunFactoryReset(TerminalSession& session, const Arguments& arguments);

}  // namespace pmv::cli
