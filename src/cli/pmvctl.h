#pragma once

#include "link/clock.h"

#include <cstdio>
#include <istream>
#include <string>
#include <vector>

namespace pmv::cli {

// Where pmvctl talks to: its standard streams and whether they are terminals.
struct Console {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    std::istream* in = nullptr;
    bool errIsTerminal = false;
    bool inIsTerminal = false;
    // Where the waits of a calibration, of monitor and of the output walk pass; the system clock when
    // null (tests pass time at once).
    link::Clock* waitClock = nullptr;
    // --quiet: no progress lines; --verbose: progress lines and every exchange, terminal or not.
    bool quiet = false;
    bool verbose = false;
    // The command being run, for the usage printed with an error in its arguments; empty before.
    std::string command{};
    std::string commandUsage{};
};

inline constexpr int kUsageStatus = 64;
// pmvctl diff: the instrument holds other values than the profile; outside the error codes, so a
// script tells it from an exchange that failed.
inline constexpr int kDiffersStatus = 68;
// A result that could not be written to stdout: the status of a file not written.
inline constexpr int kOutputFailedStatus = 14;
// factory-reset did nothing: its question was answered No, or there was no one to answer it.
inline constexpr int kNotConfirmedStatus = 65;
// produce: the number named (or its passport) was given before, and --reuse was not given.
inline constexpr int kSerialUsedStatus = 66;
// produce: every number of the type code up to 65535 is given.
inline constexpr int kSerialRangeEndStatus = 67;

// scan --all: two instruments at one address, whose answers collide.
inline constexpr int kConflictStatus = 69;

// Runs one pmvctl command line (without the program name). Returns the exit status: 0, an
// error code 1..23, 64 for bad arguments, 65 for an unconfirmed factory reset, 66 and 67
// for a production number refused, 68 for a diff that found differences; 14 for output that
// could not be written.
int RunPmvctl(const std::vector<std::string>& args, Console& console);

}  // namespace pmv::cli
