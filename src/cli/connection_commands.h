#pragma once

namespace pmv::cli {

class TerminalSession;

// Exit status of a check with problems and of a search that found nothing.
inline constexpr int kNothingFoundStatus = 2;
struct Arguments;

// pmvctl doctor: the connection check. Exit 0 when all is in order, 2 otherwise.
int RunDoctor(TerminalSession& session, const Arguments& arguments);

// pmvctl scan: the instrument search. Exit 0 when an instrument was found, 2 when none.
int RunScan(TerminalSession& session, const Arguments& arguments);

}  // namespace pmv::cli
