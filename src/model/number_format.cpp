#include "model/number_format.h"

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace pmv::model {

std::string FormatNumber(float value)
{
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, 4);
    std::string text(buffer, result.ptr);
    if (text.size() < 8)
        text.insert(0, 8 - text.size(), ' ');
    return text;
}

namespace {

constexpr std::size_t kScannedChars = 16;

std::optional<float> ScanPrefix(const std::string& text, const char** rest)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    std::string head = text.substr(0, kScannedChars);
    std::replace(head.begin(), head.end(), ',', '.');
    char* end = nullptr;
    const float value = strtof_l(head.c_str(), &end, cLocale);
    if (end == head.c_str() || !std::isfinite(value))
        return std::nullopt;
    *rest = text.c_str() + (end - head.c_str());
    return value;
}

}  // namespace

std::optional<float> ParseProfileFloat(const std::string& text)
{
    const char* rest = nullptr;
    return ScanPrefix(text, &rest);
}

std::optional<float> ScanWholeProfileFloat(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    const std::string t = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
    // Decimal digits only: strtof would take hexadecimal, "inf" and "nan" as well.
    if (t.size() > kScannedChars || t.find_first_not_of("0123456789+-.,eE") != std::string::npos)
        return std::nullopt;
    const char* rest = nullptr;
    const std::optional<float> value = ScanPrefix(t, &rest);
    return value && *rest == '\0' ? value : std::nullopt;
}

}  // namespace pmv::model
