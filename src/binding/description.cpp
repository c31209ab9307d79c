#include "binding/description.h"

#include "ini/cp1251.h"

namespace pmv::binding {
namespace {

size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

}  // namespace

DescriptionFit FitDescription(const std::string& text)
{
    DescriptionFit fit;
    size_t lines = 1;
    for (size_t i = 0; i < text.size();) {
        const std::string c = text.substr(i, Utf8Length(static_cast<unsigned char>(text[i])));
        i += c.size();
        if (c == "\n" && ++lines > kDescriptionLines)
            break;
        if (c != "?" && ini::Utf8ToCp1251(c) == "?") {
            if (fit.refused.find(c) == std::string::npos)
                fit.refused += c;
            continue;
        }
        fit.text += c;
    }
    return fit;
}

std::string RefusedCharactersText(const std::string& refused)
{
    const bool one = Utf8Length(static_cast<unsigned char>(refused.front())) == refused.size();
    return std::string(one ? "Символ «" : "Символы «") + refused +
           (one ? "» нельзя сохранить в файле настроек (кодировка Windows-1251): он убран из описания."
                : "» нельзя сохранить в файле настроек (кодировка Windows-1251): они убраны из описания.");
}

}  // namespace pmv::binding
