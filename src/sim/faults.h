#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>

#include "request.h"

namespace pmv::sim {

struct Fault {
    enum class Kind {
        NoAnswer,         // nothing comes back
        Delay,            // the answer comes delayMs late, and the instrument is busy meanwhile:
                          // requests that arrive in that time are served after it, in turn
        DelayApart,       // the answer comes delayMs late, while later requests are served at once
        GarbageBefore,    // raw (or some line noise when empty), no CR, then the answer
        Overlong,         // 300 bytes without CR instead of the answer
        Status,           // "$XXXX" with the given status instead of the answer; the request is refused
        BangBeyond64,     // 70 bytes without CR before the answer, so its "!" stands beyond byte 64
        WrongReadBack,    // reads return the stored byte XOR 1, or the stored float + 1.0
        RawAnswer,        // exactly raw instead of the answer
        FlippedBit,       // the answer with one bit flipped: flipMask in byte flipByte
        ForeignChecksum,  // a data answer's checksum taken over the "!" too, as an instrument
                          // that computes it otherwise would send it
    };
    Kind kind = Kind::NoAnswer;
    int count = 1;                        // requests it applies to; negative: until cleared
    uint32_t delayMs = 0;                 // Delay, DelayApart
    uint16_t status = 0;                  // Status
    std::string raw{};                    // RawAnswer, GarbageBefore
    int flipByte = -1;                    // FlippedBit: offset in the answer; -1: the first digit of a data
                                          // answer's data field, the last digit of a status answer
    uint8_t flipMask = 0x01;              // FlippedBit: a digit stays a digit, so the value read is wrong
    int bank = 0, memType = 0, reg = -1;  // reg -1: any request; else only that register
};

// What goes back on the line for one request.
struct Delivery {
    std::string bytes;     // empty: silence
    uint32_t delayMs = 0;  // on top of the turnaround
    bool apart = false;    // held back without holding up later requests
};

// The injected faults, oldest first. A request takes at most one fault that shapes the answer
// (the oldest that applies); WrongReadBack alters values instead and is taken apart from them.
// Each fault counts off the requests it was applied to and leaves the list at zero.
class FaultList {
public:
    void Add(const Fault& fault);
    void Clear() { faults_.clear(); }

    std::optional<Fault> TakeDeliveryFault(const Request& request);
    bool TakeWrongReadBack(const Request& request);

private:
    std::optional<Fault> Take(const Request& request, bool wrongReadBack);

    std::deque<Fault> faults_;
};

// Answers held back at random, as a busy instrument or a serial device server on a network may
// hold them: a share of the answers (per mille) comes between minMs and maxMs late, each either
// holding up the requests after it (busy) or not (apart), at random. Seeded, so a run repeats.
struct LateAnswers {
    uint32_t perMille = 0;
    uint32_t minMs = 0, maxMs = 0;
    uint32_t seed = 1;
};

class LateAnswerDraw {
public:
    explicit LateAnswerDraw(const LateAnswers& late = {}) : late_(late), random_(late.seed) {}
    // Holds the delivery back when its turn is drawn.
    void Apply(Delivery& delivery);

private:
    LateAnswers late_;
    std::mt19937 random_;
};

// The answer as the fault puts it on the line.
Delivery Deliver(const std::optional<Fault>& fault, const std::string& answer);

}  // namespace pmv::sim
