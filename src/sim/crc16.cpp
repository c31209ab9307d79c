#include "crc16.h"

namespace pmv::sim {

uint16_t Crc16(std::string_view text)
{
    uint16_t crc = 0xFFFF;
    for (const char c : text) {
        crc ^= static_cast<uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

}  // namespace pmv::sim
