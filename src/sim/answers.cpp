#include "answers.h"

#include "crc16.h"

namespace pmv::sim {

std::string HexValue(uint32_t value, int digits)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        s[static_cast<size_t>(i)] = kDigits[value & 0xF];
    return s;
}

std::string HexBytes(std::span<const uint8_t> bytes)
{
    std::string s;
    s.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes)
        s += HexValue(b, 2);
    return s;
}

std::string StatusAnswer(uint16_t code) { return "$" + HexValue(code, 4) + "\r"; }

std::string DataAnswer(uint32_t address, std::string_view data)
{
    std::string covered = std::to_string(address) + ";";
    covered.append(data);
    covered += ";";
    return "!" + covered + std::to_string(Crc16(covered)) + "\r";
}

}  // namespace pmv::sim
