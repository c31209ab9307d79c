#include "register_commands.h"

#include "messages/error_codes.h"

#include <bit>
#include <cmath>
#include <cstdio>

namespace pmv::link {
namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads `count` bytes as pairs of hexadecimal digits (either case) starting at `pos`.
bool ReadHexBytes(const std::string& text, size_t pos, size_t count, uint8_t* out)
{
    if (text.size() < pos || text.size() - pos < 2 * count)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const int high = HexDigit(text[pos + 2 * i]);
        const int low = HexDigit(text[pos + 2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        out[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

// Finds the data field of a data answer "!" address ";" data ";" checksum. The answering
// address and the checksum are not compared with anything.
ErrorCode LocateDataField(const std::string& answer, size_t& dataStart)
{
    const size_t bang = answer.find('!');
    if (bang == std::string::npos || answer.find(';') == std::string::npos)
        return kCannotParse;
    const size_t addressEnd = answer.find(';', bang + 1);
    if (addressEnd == std::string::npos)
        return kCannotParse;
    if (bang > kMaxBangOffset)
        return kTooManyChars;
    dataStart = addressEnd + 1;
    return kOk;
}

// A late answer of another register has that register's width, so the data field must end
// exactly after the digits read: at its ";", or for a long, whose ";" may be missing, at the
// line's end.
bool FieldEndsAt(const std::string& answer, size_t end, bool lineMayEnd)
{
    if (end < answer.size() && answer[end] == ';')
        return true;
    return lineMayEnd && (end == answer.size() || answer[end] == '\r');
}

bool ValidBank(uint32_t bank) { return bank == 1 || bank == 2; }

// Write, read back, compare; up to RetryCount passes. An answer without "$" says the request
// arrived, not that the value is in the register.
template <class Write, class Read, class Same>
ErrorCode WriteChecked(Exchange& exchange, Write write, Read read, Same same)
{
    for (uint32_t pass = 0; pass < exchange.values().RetryCount; ++pass) {
        if (const ErrorCode code = write(); code != kOk)
            return code;
        uint32_t readBack = 0;
        if (const ErrorCode code = read(readBack); code != kOk)
            return code;
        if (same(readBack))
            return kOk;
    }
    return kReadBackMismatch;
}

}  // namespace

uint32_t FloatBits(float value) { return std::bit_cast<uint32_t>(value); }

float BitsToFloat(uint32_t bits) { return std::bit_cast<float>(bits); }

std::string RegisterAddressText(uint32_t bank, uint32_t memoryType, uint32_t reg)
{
    reg &= kRegisterMask;
    const unsigned middle = (((memoryType - 1) & 3u) << 6) | (bank == 1 ? 0x20u : 0u) | (reg >> 8);
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", 0u, middle, reg & 0xFFu);
    return text;
}

std::string ReadCommand(uint32_t bank, uint32_t memoryType, uint32_t reg)
{
    return "37;" + RegisterAddressText(bank, memoryType, reg) + ";";
}

ErrorCode ParseByteAnswer(const std::string& answer, uint32_t& value)
{
    size_t data = 0;
    if (const ErrorCode code = LocateDataField(answer, data); code != kOk)
        return code;
    uint8_t byte = 0;
    if (!ReadHexBytes(answer, data, 1, &byte) || !FieldEndsAt(answer, data + 2, false))
        return kCannotParse;
    value = byte;
    return kOk;
}

ErrorCode ParseLongAnswer(const std::string& answer, uint32_t& value)
{
    size_t data = 0;
    if (const ErrorCode code = LocateDataField(answer, data); code != kOk)
        return code;
    uint8_t b[4];
    if (!ReadHexBytes(answer, data, 4, b) || !FieldEndsAt(answer, data + 8, true))
        return kCannotParse;
    value = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    return kOk;
}

ErrorCode ParseBlockAnswer(const std::string& answer, size_t count, std::vector<uint8_t>& bytes)
{
    size_t data = 0;
    if (const ErrorCode code = LocateDataField(answer, data); code != kOk)
        return code;
    std::vector<uint8_t> parsed(count);
    if (!ReadHexBytes(answer, data, count, parsed.data()))
        return kCannotParse;
    bytes = std::move(parsed);
    return kOk;
}

ErrorCode ReadByteRegister(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t& value)
{
    if (!ValidBank(bank))
        return kAddressTooLarge;
    return exchange.RunRead(ReadCommand(bank, kByteMemory, reg), AnswerShape{2, true},
                            [&value](const std::string& a) { return ParseByteAnswer(a, value); });
}

ErrorCode WriteByteRegister(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t value)
{
    if (!ValidBank(bank))
        return kAddressTooLarge;
    char fields[32];
    std::snprintf(fields, sizeof fields, "38;%s;%02X;", RegisterAddressText(bank, kByteMemory, reg).c_str(),
                  value > 255 ? 255u : value);
    return exchange.RunExchange(fields, &Exchange::AnswerStatus);
}

ErrorCode ReadLongRegister(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t& value)
{
    if (!ValidBank(bank))
        return kAddressTooLarge;
    return exchange.RunRead(ReadCommand(bank, kLongMemory, reg), AnswerShape{8, true},
                            [&value](const std::string& a) { return ParseLongAnswer(a, value); });
}

ErrorCode WriteLongRegister(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t value)
{
    if (!ValidBank(bank))
        return kAddressTooLarge;
    char fields[40];
    std::snprintf(fields, sizeof fields, "38;%s;%02X%02X%02X%02X;", RegisterAddressText(bank, kLongMemory, reg).c_str(),
                  value >> 24, (value >> 16) & 0xFFu, (value >> 8) & 0xFFu, value & 0xFFu);
    return exchange.RunExchange(fields, &Exchange::AnswerStatus);
}

ErrorCode WriteByteRegisterChecked(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t value)
{
    return WriteChecked(
        exchange, [&] { return WriteByteRegister(exchange, bank, reg, value); },
        [&](uint32_t& readBack) { return ReadByteRegister(exchange, bank, reg, readBack); },
        [&](uint32_t readBack) { return readBack == value; });
}

ErrorCode WriteLongRegisterChecked(Exchange& exchange, uint32_t bank, uint32_t reg, uint32_t value)
{
    return WriteChecked(
        exchange, [&] { return WriteLongRegister(exchange, bank, reg, value); },
        [&](uint32_t& readBack) { return ReadLongRegister(exchange, bank, reg, readBack); },
        [&](uint32_t readBack) { return readBack == value; });
}

ErrorCode WriteFloatRegisterChecked(Exchange& exchange, uint32_t bank, uint32_t reg, float value)
{
    return WriteChecked(
        exchange, [&] { return WriteLongRegister(exchange, bank, reg, FloatBits(value)); },
        [&](uint32_t& readBack) { return ReadLongRegister(exchange, bank, reg, readBack); },
        [&](uint32_t readBack) { return std::fabs(BitsToFloat(readBack) - value) <= 0.01; });
}

ErrorCode ReadValueBlock(Exchange& exchange, uint32_t block, size_t count, std::vector<uint8_t>& bytes, bool statusTest)
{
    return exchange.RunRead(ReadCommand(1, kBlockMemory, block), AnswerShape{2 * count, false},
                            [&](const std::string& a) {
                                if (statusTest)
                                    if (const ErrorCode code = Exchange::AnswerStatus(a); code != kOk)
                                        return code;
                                return ParseBlockAnswer(a, count, bytes);
                            });
}

}  // namespace pmv::link
