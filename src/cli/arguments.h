#pragma once

#include "binding/binding.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace pmv::cli {

// A command line split into options and positional words. `flags` are options without a
// value, every other "--name" takes the next word as its value, or the text after "=" in
// "--name=value".
struct Arguments {
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
    std::vector<std::string> words;
    std::string error;  // empty when the line parsed

    bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
};

// "--name=value" as its name and value; any other word as itself without a value.
std::pair<std::string, std::optional<std::string>> SplitOption(const std::string& word);

Arguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                         const std::set<std::string>& flagOptions);

// Decimal or hexadecimal ("0x", "$") number within [min, max].
std::optional<int64_t> ParseNumber(const std::string& text, int64_t min, int64_t max);

// Groups named in --groups: ch1, ch2, relay, general; a list that names none is refused.
using GroupSelection = binding::GroupTicks;
std::optional<GroupSelection> ParseGroups(const std::string& list);

}  // namespace pmv::cli
