#pragma once

#include "exchange.h"
#include "messages/error_codes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pmv::link {

// Memory types of a register address: separate address spaces of the instrument.
enum MemoryType : uint32_t {
    kByteMemory = 1,
    kLongMemory = 3,
    kBlockMemory = 4,
};

inline constexpr uint32_t kRegisterMask = 0x1FFF;  // 13-bit register numbers
inline constexpr size_t kMaxBangOffset = 63;       // "!" must stand within the first 64 bytes

// The six upper-case hexadecimal digits of a register address. Bank 1 sets the bank flag;
// bits of the number above 13 are dropped.
std::string RegisterAddressText(uint32_t bank, uint32_t memoryType, uint32_t reg);

// The fields of a read request (command 37) of one register or block.
std::string ReadCommand(uint32_t bank, uint32_t memoryType, uint32_t reg);

// Answer parsers (also the answer checks of the read exchanges). Each returns an error code:
// 3 for a malformed answer or a data field of another width than the register's (two digits
// for a byte, eight for a long, each closed by ";"; a block takes at least its own), 1 for a "!"
// beyond the 64th byte.
ErrorCode ParseByteAnswer(const std::string& answer, uint32_t& value);
ErrorCode ParseLongAnswer(const std::string& answer, uint32_t& value);
ErrorCode ParseBlockAnswer(const std::string& answer, size_t count, std::vector<uint8_t>& bytes);

ErrorCode ReadByteRegister(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t& value);
// Values of 256 and more are sent as 255.
ErrorCode WriteByteRegister(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t value);
ErrorCode ReadLongRegister(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t& value);
ErrorCode WriteLongRegister(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t value);

// Write, then read back; repeated for RetryCount passes, then 15.
ErrorCode WriteByteRegisterChecked(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t value);
// As above for a long register.
ErrorCode WriteLongRegisterChecked(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t value);
// As above for a float register; a read-back within 0.01 of the value passes.
ErrorCode WriteFloatRegisterChecked(Exchange& exchange, uint32_t bank, uint32_t reg, float value);

// Reads `count` bytes of a block of bank 1. With `statusTest` an error status answer is
// mapped to its code before the data are parsed (the live-values block).
ErrorCode ReadValueBlock(Exchange& exchange, uint32_t block, size_t count, std::vector<uint8_t>& bytes,
                         bool statusTest);

// IEEE-754 single precision bit patterns, as floats travel on the line.
uint32_t FloatBits(float value);
float BitsToFloat(uint32_t bits);

}  // namespace pmv::link
