#include "arguments.h"

#include "ini/ini_file.h"

#include <algorithm>
#include <iterator>
#include <sstream>

namespace pmv::cli {

std::pair<std::string, std::optional<std::string>> SplitOption(const std::string& word)
{
    const size_t equals = word.find('=');
    if (!word.starts_with("--") || equals == std::string::npos)
        return {word, std::nullopt};
    return {word.substr(0, equals), word.substr(equals + 1)};
}

Arguments ParseArguments(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                         const std::set<std::string>& flagOptions)
{
    Arguments parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.starts_with("--")) {
            if (const auto [name, value] = SplitOption(a); value) {
                if (!valueOptions.count(name)) {
                    parsed.error =
                        flagOptions.count(name) ? "у " + name + " нет значения" : "неизвестный параметр " + name;
                    return parsed;
                }
                parsed.options[name] = *value;
            } else if (flagOptions.count(a)) {
                parsed.flags.insert(a);
            } else if (valueOptions.count(a) && i + 1 < args.size()) {
                parsed.options[a] = args[++i];
            } else {
                parsed.error = valueOptions.count(a) ? "нет значения у " + a : "неизвестный параметр " + a;
                return parsed;
            }
        } else {
            parsed.words.push_back(a);
        }
    }
    return parsed;
}

std::optional<int64_t> ParseNumber(const std::string& text, int64_t min, int64_t max)
{
    int64_t value = 0;
    if (const auto small = ini::ParseIniInt(text)) {
        value = *small;
        // Hexadecimal texts name bit patterns; above 7FFFFFFF they mean the unsigned number.
        if (value < 0 && text.find_first_of("xX$") != std::string::npos)
            value += int64_t{1} << 32;
    } else {
        return std::nullopt;
    }
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<GroupSelection> ParseGroups(const std::string& list)
{
    struct Name {
        const char* word;
        bool GroupSelection::*flag;
    };
    static constexpr Name kNames[] = {{"ch1", &GroupSelection::ch1},
                                      {"ch2", &GroupSelection::ch2},
                                      {"relay", &GroupSelection::relay},
                                      {"general", &GroupSelection::general}};
    GroupSelection groups{false, false, false, false};
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty())
            continue;
        const auto* name =
            std::find_if(std::begin(kNames), std::end(kNames), [&](const Name& n) { return item == n.word; });
        if (name == std::end(kNames))
            return std::nullopt;
        groups.*name->flag = true;
    }
    if (!groups.ch1 && !groups.ch2 && !groups.relay && !groups.general)
        return std::nullopt;
    return groups;
}

}  // namespace pmv::cli
