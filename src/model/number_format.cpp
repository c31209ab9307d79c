#include "model/number_format.h"

#include <charconv>

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

}  // namespace pmv::model
