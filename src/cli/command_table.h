#pragma once

#include "arguments.h"
#include "session.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace pmv::cli {

// One pmvctl command: its name, texts, options and the number of its positional words, what runs
// it and whether it needs the instrument's line.
struct Command {
    const char* name;
    const char* usage;  // the arguments after the command name
    const char* help;
    std::set<std::string> valueOptions = {};
    std::set<std::string> flags = {};
    size_t minWords = 0;
    size_t maxWords = 0;
    std::function<int(TerminalSession&, const Arguments&)> run;
    bool (*needsLine)(const Arguments&) = nullptr;  // nullptr: always
    bool runsWithoutPort = false;                   // the command explains a port that does not open itself
};

// Every command in the order of the help's list.
const std::vector<Command>& Commands();
// nullptr when no command has the name.
const Command* FindCommand(const std::string& name);

inline constexpr const char* kUsage =
    "Использование: pmvctl [--port DEVICE] [--address N] [--baud N] [--history URL] [--quiet | --verbose] КОМАНДА ...\n"
    "       pmvctl КОМАНДА --help | help КОМАНДА\n"
    "       pmvctl --help | -h | help | --version\n";

// The problem and the usage lines on stderr; the exit status of bad arguments.
int Usage(Console& console, const std::string& problem);

}  // namespace pmv::cli
