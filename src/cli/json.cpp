#include "json.h"

#include <cctype>
#include <cstdio>

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

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// A number as JSON writes it: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][-+]?[0-9]+)?
bool IsJsonNumber(const std::string& text)
{
    size_t i = 0;
    const size_t n = text.size();
    const auto digits = [&] {
        const size_t start = i;
        while (i < n && IsDigit(text[i]))
            ++i;
        return i - start;
    };
    if (i < n && text[i] == '-')
        ++i;
    if (i < n && text[i] == '0')
        ++i;
    else if (i >= n || digits() == 0)
        return false;
    if (i < n && text[i] == '.') {
        ++i;
        if (digits() == 0)
            return false;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == n;
}

}  // namespace

std::string JsonNumber(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    const std::string trimmed = first == std::string::npos ? std::string() : text.substr(first);
    return IsJsonNumber(trimmed) ? trimmed : JsonString(text);
}

}  // namespace pmv::cli
