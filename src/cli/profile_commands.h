#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// pmvctl read / write PROFILE: the window's read and write commands on the profile, as after
// opening it, on all groups or on those of --groups as if only their boxes were ticked.
int RunRead(TerminalSession& session, const Arguments& arguments);
int RunWrite(TerminalSession& session, const Arguments& arguments);

// pmvctl diff PROFILE: the profile as the window would write it against the instrument's groups;
// 0 equal, 1 different.
int RunDiff(TerminalSession& session, const Arguments& arguments);

}  // namespace pmv::cli
