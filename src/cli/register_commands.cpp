#include "register_commands.h"

#include "command_table.h"

#include "device/register_map.h"
#include "link/register_commands.h"
#include "messages/error_codes.h"

#include <cmath>
#include <cstdlib>

namespace pmv::cli {
namespace {

struct Width {
    const char* word;
    uint32_t memoryType;
};
constexpr Width kWidths[] = {{"byte", link::kByteMemory}, {"long", link::kLongMemory}, {"block", link::kBlockMemory}};

std::optional<uint32_t> ParseWidth(const std::string& word)
{
    for (const Width& w : kWidths)
        if (word == w.word)
            return w.memoryType;
    return std::nullopt;
}

void PrintLong(std::FILE* out, uint32_t value)
{
    std::fprintf(out, "0x%08X %u f:%g\n", value, value, static_cast<double>(link::BitsToFloat(value)));
}

// A write answered with any text without "$" counts as done on the line, so the register is
// read back as the checked writes do. The command registers keep no value to read back.
ErrorCode WriteAndReadBack(link::Exchange& exchange, uint32_t memoryType, uint32_t bank, uint32_t reg, uint32_t value,
                           bool isFloat)
{
    const auto is = [&](device::regs::Register r) {
        return r.bank == bank && r.memoryType == memoryType && r.number == reg;
    };
    if (is(device::regs::kRestart) || is(device::regs::kFactoryReset))
        return link::WriteByteRegister(exchange, bank, reg, value);
    if (memoryType == link::kByteMemory)
        return link::WriteByteRegisterChecked(exchange, bank, reg, value);
    if (isFloat)
        return link::WriteFloatRegisterChecked(exchange, bank, reg, link::BitsToFloat(value));
    return link::WriteLongRegisterChecked(exchange, bank, reg, value);
}

}  // namespace

int RunGet(TerminalSession& s, const Arguments& a)
{
    const auto bank = ParseNumber(a.words[0], 1, 2);
    const auto width = ParseWidth(a.words[1]);
    const auto number = ParseNumber(a.words[2], 0, 8191);
    if (!bank || !width || !number)
        return Usage(s.console, "неверный регистр");
    uint32_t value = 0;
    if (*width == link::kByteMemory) {
        const ErrorCode code =
            link::ReadByteRegister(s.exchange, static_cast<uint32_t>(*bank), static_cast<uint32_t>(*number), value);
        if (code != kOk)
            return s.Finish(code);
        std::fprintf(s.console.out, "%u 0x%02X\n", value, value);
    } else if (*width == link::kLongMemory) {
        const ErrorCode code =
            link::ReadLongRegister(s.exchange, static_cast<uint32_t>(*bank), static_cast<uint32_t>(*number), value);
        if (code != kOk)
            return s.Finish(code);
        PrintLong(s.console.out, value);
    } else {
        const auto count = a.words.size() > 3 ? ParseNumber(a.words[3], 1, 100) : std::nullopt;
        if (*bank != 1 || !count)
            return Usage(s.console, "блоки читаются из банка 1, число байт 1..100");
        std::vector<uint8_t> bytes;
        if (const ErrorCode code = link::ReadValueBlock(s.exchange, static_cast<uint32_t>(*number),
                                                        static_cast<size_t>(*count), bytes, false);
            code != kOk)
            return s.Finish(code);
        for (size_t i = 0; i < bytes.size(); ++i)
            std::fprintf(s.console.out, "%s%02X", i ? " " : "", bytes[i]);
        std::fprintf(s.console.out, "\n");
    }
    return 0;
}

int RunSet(TerminalSession& s, const Arguments& a)
{
    const auto bank = ParseNumber(a.words[0], 1, 2);
    const auto width = ParseWidth(a.words[1]);
    const auto number = ParseNumber(a.words[2], 0, 8191);
    if (!bank || !width || *width == link::kBlockMemory || !number)
        return Usage(s.console, "неверный регистр");
    const std::string& text = a.words[3];
    std::optional<int64_t> value;
    if (*width == link::kLongMemory && text.starts_with("f:")) {
        char* end = nullptr;
        const float f = std::strtof(text.c_str() + 2, &end);
        // No setting holds NaN or infinity; strtof gives infinity for a number beyond float too.
        if (end != text.c_str() + 2 && *end == '\0' && std::isfinite(f))
            value = link::FloatBits(f);
    } else {
        value = ParseNumber(text, 0, *width == link::kByteMemory ? 255 : 0xFFFFFFFFll);
    }
    if (!value)
        return Usage(s.console, "неверное значение " + text);
    const auto b = static_cast<uint32_t>(*bank), n = static_cast<uint32_t>(*number), v = static_cast<uint32_t>(*value);
    return s.Finish(WriteAndReadBack(s.exchange, *width, b, n, v, text.starts_with("f:")));
}

}  // namespace pmv::cli
