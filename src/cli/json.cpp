#include "json.h"

#include <cstdio>
#include <regex>

namespace pmv::cli {

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonNumber(const std::string& text)
{
    static const std::regex kNumber(R"(-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][-+]?[0-9]+)?)");
    const size_t first = text.find_first_not_of(' ');
    const std::string trimmed = first == std::string::npos ? std::string() : text.substr(first);
    return std::regex_match(trimmed, kNumber) ? trimmed : JsonString(text);
}

}  // namespace pmv::cli
