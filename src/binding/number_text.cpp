#include "binding/number_text.h"

#include "history/history.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale.h>
#include <string_view>

namespace pmv::binding {
namespace {

// Puts the "C" locale in force on this thread for its lifetime, so that printf and scanf use
// the point as the decimal separator even where the user's locale says comma.
class ClassicNumbers {
public:
    ClassicNumbers() : previous_(uselocale(Classic())) {}
    ~ClassicNumbers() { uselocale(previous_); }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;

private:
    static locale_t Classic()
    {
        static const locale_t classic = newlocale(LC_ALL_MASK, "C", locale_t{});
        return classic;
    }
    locale_t previous_;
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<float> ScanNumberText(const std::string& text)
{
    std::string pointed = text;
    std::replace(pointed.begin(), pointed.end(), ',', '.');
    float value = 0;
    const ClassicNumbers classic;
    if (std::sscanf(pointed.c_str(), "%f", &value) != 1)
        return std::nullopt;
    return value;
}

float ParseNumberText(const std::string& text) { return ScanNumberText(text).value_or(0.0f); }

bool IsNumberText(const std::string& text)
{
    const std::string_view t = Trimmed(text);
    if (t.empty() || t.find_first_not_of("0123456789+-.,") != std::string_view::npos)
        return false;
    std::string pointed(t);
    std::replace(pointed.begin(), pointed.end(), ',', '.');
    float value = 0;
    int used = 0;
    const ClassicNumbers classic;
    // The whole text must be the number: "1-2.3.4" would go to the instrument as 1.
    if (std::sscanf(pointed.c_str(), "%f%n", &value, &used) != 1 || static_cast<size_t>(used) != pointed.size())
        return false;
    // Digits beyond the float range would scan as infinity and go to the instrument as such.
    return std::isfinite(value);
}

bool IsSerialNumberText(const std::string& text) { return history::ParseSerialNumber(Trimmed(text)).has_value(); }

uint32_t ScanSerialNumber(const std::string& text)
{
    constexpr uint32_t kTooLarge = history::kLastSerial + 1;
    std::string_view t = text;
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front())))
        t.remove_prefix(1);
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    uint32_t number = 0;
    for (; !t.empty() && IsDigit(t.front()); t.remove_prefix(1))
        number = std::min(number * 10 + static_cast<uint32_t>(t.front() - '0'), kTooLarge);
    return negative && number != 0 ? kTooLarge : number;
}

}  // namespace pmv::binding
