#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pmv::link {

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
uint16_t Crc16(const char* data, size_t size);
inline uint16_t Crc16(std::string_view text) { return Crc16(text.data(), text.size()); }

}  // namespace pmv::link
