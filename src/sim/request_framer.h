#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pmv::sim {

using Clock = std::chrono::steady_clock;

// One request line cut from the input stream.
struct Frame {
    std::string line;         // between ':' and CR
    Clock::time_point start;  // arrival of the first byte after the previous request
    Clock::time_point end;    // arrival of the CR
    size_t wireBytes = 0;     // bytes from that first byte up to and including the CR
};

// Cuts requests out of the bytes from the line: everything before ':' (the 0xFF preamble,
// noise) is skipped, a ':' starts the request anew, CR ends it. A request that grows past
// kMaxLine bytes without CR is dropped.
class RequestFramer {
public:
    static constexpr size_t kMaxLine = 512;

    // lineFeedEnds: LF ends a request like CR (for terminals that send LF on Enter).
    explicit RequestFramer(bool lineFeedEnds) : lineFeedEnds_(lineFeedEnds) {}

    std::vector<Frame> Feed(std::string_view bytes, Clock::time_point now);

private:
    bool lineFeedEnds_;
    bool inRun_ = false;   // bytes have come since the previous request
    bool inLine_ = false;  // a ':' has come
    Clock::time_point runStart_{};
    size_t runBytes_ = 0;
    std::string line_;
};

}  // namespace pmv::sim
