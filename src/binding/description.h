#pragma once

#include <cstddef>
#include <string>

namespace pmv::binding {

// The profile keeps four description lines (txt0 ... txt3), in Windows-1251.
inline constexpr size_t kDescriptionLines = 4;

struct DescriptionFit {
    std::string text;     // the description as the profile can keep it
    std::string refused;  // each character that has no Windows-1251 form, once, in order
};

// The first four lines of the text, without the characters Windows-1251 lacks (they would
// come back from the profile as "?").
DescriptionFit FitDescription(const std::string& text);

// The message naming the refused characters (not empty).
std::string RefusedCharactersText(const std::string& refused);

}  // namespace pmv::binding
