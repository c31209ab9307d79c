#include "ini/cp1251.h"

#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <utility>

namespace pmv::ini {

namespace {

// The characters of bytes 0x80..0xFF, taken once from the platform's code page converter. Both
// directions go through this one table, so a text converted there and back is unchanged and
// every character without a Windows-1251 byte becomes '?' (the converter itself writes 0x1A).
struct UpperHalf {
    std::array<char16_t, 128> toUnicode{};
    std::array<std::pair<char16_t, unsigned char>, 128> toByte{};  // sorted by character
};

const UpperHalf& Table()
{
    static const UpperHalf table = [] {
        UpperHalf t;
        QByteArray bytes;
        for (int b = 0x80; b <= 0xFF; ++b)
            bytes.append(static_cast<char>(b));
        const QString chars = QStringDecoder("windows-1251").decode(bytes);
        for (int i = 0; i < 128; ++i) {
            t.toUnicode[i] = i < chars.size() ? chars[i].unicode() : u'\uFFFD';
            t.toByte[i] = {t.toUnicode[i], static_cast<unsigned char>(0x80 + i)};
        }
        std::sort(t.toByte.begin(), t.toByte.end());
        return t;
    }();
    return table;
}

bool IsAscii(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void AppendUtf8(std::string& out, char16_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string Cp1251ToUtf8(const std::string& bytes)
{
    if (IsAscii(bytes))
        return bytes;
    const UpperHalf& table = Table();
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        AppendUtf8(out, b < 0x80 ? char16_t{b} : table.toUnicode[b - 0x80]);
    }
    return out;
}

std::string Utf8ToCp1251(const std::string& text)
{
    if (IsAscii(text))
        return text;
    const UpperHalf& table = Table();
    const QString chars = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    std::string out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const char16_t c = chars[i].unicode();
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        if (chars[i].isHighSurrogate() && i + 1 < chars.size() && chars[i + 1].isLowSurrogate())
            ++i;  // one character outside the basic plane: one '?'
        const auto it =
            std::lower_bound(table.toByte.begin(), table.toByte.end(), std::pair<char16_t, unsigned char>{c, 0});
        out += it != table.toByte.end() && it->first == c ? static_cast<char>(it->second) : '?';
    }
    return out;
}

}  // namespace pmv::ini
