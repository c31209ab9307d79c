#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pmv::sim {

// Status codes of the instrument's "$XXXX" answers.
namespace status {
inline constexpr uint16_t kOk = 0x0000;
inline constexpr uint16_t kUnknownCommand = 0x0002;
inline constexpr uint16_t kNoSuchRegister = 0x0003;
inline constexpr uint16_t kMalformed = 0x000B;
inline constexpr uint16_t kBadChecksum = 0x000D;
}  // namespace status

// "$" and four upper-case hex digits, CR.
std::string StatusAnswer(uint16_t code);

// "!" address ";" data ";" checksum CR; the checksum covers the text after "!" up to and
// including the last ";".
std::string DataAnswer(uint32_t address, std::string_view data);

// Upper-case hex digits: a value in the given number of digits, or bytes in order.
std::string HexValue(uint32_t value, int digits);
std::string HexBytes(std::span<const uint8_t> bytes);

}  // namespace pmv::sim
