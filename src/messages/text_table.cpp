#include "text_table.h"

namespace pmv {

std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values)
{
    std::string text;
    text.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const size_t n = i + 1 < pattern.size() ? static_cast<size_t>(pattern[i + 1] - '1') : values.size();
        if (c == '%' && n < values.size()) {
            text += values.begin()[n];
            ++i;
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace pmv
