// The simulator's request framer and parser on arbitrary line bytes, and its answer to each.
#include "sim/faults.h"
#include "sim/instrument.h"
#include "sim/request_framer.h"
#include "sim/request_parser.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool lenient = (data[0] & 1) != 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    pmv::sim::RequestFramer framer(lenient);
    pmv::sim::Instrument instrument;
    pmv::sim::FaultList faults;
    const auto now = pmv::sim::Clock::now();
    const size_t half = bytes.size() / 2;
    for (const std::string_view part : {bytes.substr(0, half), bytes.substr(half)}) {
        for (const pmv::sim::Frame& frame : framer.Feed(part, now)) {
            const pmv::sim::ParsedRequest parsed = pmv::sim::ParseRequest(frame.line, 1, lenient);
            if (parsed.verdict != pmv::sim::Verdict::ForeignAddress)
                (void)instrument.Respond(parsed, faults);
        }
    }
    (void)pmv::sim::ParseRequest(bytes, data[0] >> 1, lenient);
    return 0;
}
