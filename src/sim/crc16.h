#pragma once

#include <cstdint>
#include <string_view>

namespace pmv::sim {

// CRC-16/MODBUS (start 0xFFFF, reflected polynomial 0xA001, no final XOR): the checksum of the
// command text of a request and of the text of a data answer.
uint16_t Crc16(std::string_view text);

}  // namespace pmv::sim
