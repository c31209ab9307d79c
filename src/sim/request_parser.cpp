#include "request_parser.h"

#include <optional>
#include <vector>

#include "crc16.h"

namespace pmv::sim {
namespace {

std::optional<uint32_t> ParseDecimal(std::string_view s, size_t maxDigits)
{
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    uint64_t v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > UINT32_MAX)
        return std::nullopt;
    return static_cast<uint32_t>(v);
}

// Either letter case is accepted: requests typed by hand come in lower case.
std::optional<uint32_t> ParseHex(std::string_view s, size_t minDigits, size_t maxDigits)
{
    if (s.size() < minDigits || s.size() > maxDigits)
        return std::nullopt;
    uint32_t v = 0;
    for (const char c : s) {
        uint32_t d = 0;
        if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            d = static_cast<uint32_t>(c - 'a' + 10);
        else
            return std::nullopt;
        v = v << 4 | d;
    }
    return v;
}

// The fields of a command text that ends with ';', without their separators.
std::vector<std::string_view> SplitFields(std::string_view text)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t end = text.find(';'); end != std::string_view::npos; end = text.find(';', start)) {
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

// Three address bytes as six hex digits: byte 0 zero; byte 1 memory type - 1 (bits 7-6), bank 1
// flag (bit 5), register bits 12-8; byte 2 register bits 7-0.
Verdict DecodeRegisterAddress(std::string_view field, Request& r)
{
    const auto a = ParseHex(field, 6, 6);
    if (!a)
        return Verdict::Malformed;
    const uint32_t b1 = (*a >> 8) & 0xFF;
    r.memType = static_cast<int>(b1 >> 6) + 1;
    r.bank = (b1 & 0x20) ? 1 : 2;
    r.reg = static_cast<int>((b1 & 0x1F) << 8 | (*a & 0xFF));
    return (*a >> 16) == 0 ? Verdict::Ok : Verdict::NoSuchRegister;
}

// Commands 29..32 name a byte register by its plain number in hex.
Verdict DecodePlainRegister(std::string_view field, int bank, Request& r)
{
    const auto n = ParseHex(field, 1, 4);
    if (!n)
        return Verdict::Malformed;
    r.bank = bank;
    r.memType = 1;
    r.reg = static_cast<int>(*n);
    return *n <= 8191 ? Verdict::Ok : Verdict::NoSuchRegister;
}

Verdict DecodeCommand(const std::vector<std::string_view>& f, Request& r)
{
    const auto command = f.size() >= 2 ? ParseDecimal(f[1], 5) : std::nullopt;
    if (!command)
        return Verdict::Malformed;
    r.command = *command;
    switch (r.command) {
    case 37: return f.size() == 3 ? DecodeRegisterAddress(f[2], r) : Verdict::Malformed;
    case 38: {
        if (f.size() != 4)
            return Verdict::Malformed;
        const Verdict v = DecodeRegisterAddress(f[2], r);
        const auto value = ParseHex(f[3], 2, 8);
        if (!value || (f[3].size() != 2 && f[3].size() != 8))
            return Verdict::Malformed;
        r.value = value;
        r.valueBytes = static_cast<int>(f[3].size() / 2);
        if (v != Verdict::Ok)
            return v;
        if ((r.memType == 1 && r.valueBytes != 1) || (r.memType == 3 && r.valueBytes != 4))
            return Verdict::Malformed;
        return Verdict::Ok;
    }
    case 30:
    case 32: return f.size() == 3 ? DecodePlainRegister(f[2], r.command == 30 ? 1 : 2, r) : Verdict::Malformed;
    case 29:
    case 31: {
        if (f.size() != 4)
            return Verdict::Malformed;
        const Verdict v = DecodePlainRegister(f[2], r.command == 29 ? 1 : 2, r);
        std::string_view digits = f[3];
        while (!digits.empty() && digits.front() == ' ')  // "%2x" pads with a blank
            digits.remove_prefix(1);
        const auto value = ParseHex(digits, 1, 2);
        if (!value)
            return Verdict::Malformed;
        r.value = value;
        r.valueBytes = 1;
        return v;
    }
    default: return Verdict::UnknownCommand;
    }
}

}  // namespace

ParsedRequest ParseRequest(std::string_view line, uint32_t ownAddress, bool lenient)
{
    ParsedRequest p;
    Request& r = p.request;
    const size_t last = line.rfind(';');
    if (last == std::string_view::npos) {
        r.text = line;
        p.verdict = lenient ? Verdict::Malformed : Verdict::BadChecksum;
        return p;
    }
    const std::string_view text = line.substr(0, last + 1);
    const std::string_view checksum = line.substr(last + 1);
    r.text = text;
    const auto sent = ParseDecimal(checksum, 5);
    r.checksumOk = sent && *sent == Crc16(text);

    const auto fields = SplitFields(text);
    const auto address = ParseDecimal(fields.front(), 10);
    if (address)
        r.address = *address;
    const Verdict decoded = address ? DecodeCommand(fields, r) : Verdict::Malformed;

    if (address && *address != ownAddress)
        p.verdict = Verdict::ForeignAddress;
    else if (!r.checksumOk && !(lenient && checksum.empty()))
        p.verdict = Verdict::BadChecksum;
    else
        p.verdict = decoded;
    return p;
}

}  // namespace pmv::sim
