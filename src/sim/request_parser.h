#pragma once

#include <cstdint>
#include <string_view>

#include "request.h"

namespace pmv::sim {

// What the instrument makes of a request line before executing it.
enum class Verdict {
    Ok,              // well formed, for this instrument, checksum right
    ForeignAddress,  // names another device address: stays unanswered
    BadChecksum,     // checksum wrong or missing: "$000D"
    Malformed,       // text not parsable (fields, digits, lengths): "$000B"
    UnknownCommand,  // command number the instrument does not know: "$0002"
    NoSuchRegister,  // address outside the register space: "$0003"
};

struct ParsedRequest {
    Request request;
    Verdict verdict = Verdict::Malformed;
};

// Decodes the line between ':' and CR. Only a decimal address naming another device silences
// the instrument; an unparsable address is answered like any other malformed text. With
// lenient set, a line that ends right after its last ';' counts as carrying a good checksum.
ParsedRequest ParseRequest(std::string_view line, uint32_t ownAddress, bool lenient);

}  // namespace pmv::sim
