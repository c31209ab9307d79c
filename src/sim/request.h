#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pmv::sim {

// One complete request line as the instrument received it, with the fields it could decode.
struct Request {
    std::string text{};               // command text between ':' and the checksum, e.g. "1;38;00200B;05;"
                                      // (the whole line when it holds no ';')
    uint32_t address = 0;             // device address named by the request
    uint32_t command = 0;             // command number (0 when not decodable)
    int bank = 0;                     // register coordinates: from the 3 address bytes (37, 38) or the
    int memType = 0;                  // command number and plain register number (29..32); reg -1 when
    int reg = -1;                     // the request names no register
    std::optional<uint32_t> value{};  // value of a write
    int valueBytes = 0;               // 1 or 4 for a write
    bool checksumOk = false;
    bool answered = false;  // something was sent back
    std::string answer{};   // the bytes sent back (empty when silent)
    size_t wireBytes = 0;   // the request's bytes on the line, preamble and noise before it included
};

}  // namespace pmv::sim
