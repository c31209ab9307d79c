#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pmv::link {

// How long an answer the instrument still owes is watched for. A device server or a busy
// instrument may hold an answer back for seconds; one later than this is beyond protection.
inline constexpr int64_t kLateAnswerHorizonMs = 15000;

// The answer in a received line: from its "!" or "$" up to its carriage return, without the
// noise before it.
std::string_view AnswerText(std::string_view received);

// The hexadecimal digits of an answer's data field; 0 for a status answer or a line that is
// neither.
size_t DataDigits(std::string_view line);

// The device address an answer names after its "!"; nothing for a status answer or a line
// without one.
std::optional<uint32_t> AnswerAddress(std::string_view line);

// The answers requested and not received: each may still come, late, and would then stand as
// the answer of whatever request waits at that moment. An answer carries no register, so a late
// one with a good checksum can only be told by its width and its text. On a line of several
// instruments it names its instrument's address, so an answer owed by another instrument can
// stand for nothing the exchange waits for (the exchange refuses an answer naming it).
class OwedAnswers {
public:
    // The instrument the requests go to from now on; what is owed is owed by it.
    void SetAddress(uint32_t address) { address_ = address; }
    // An answer that names `address` where one of the instrument `current` is awaited, while that
    // instrument owes one: it is that late answer.
    bool OwedByAnother(std::optional<uint32_t> address) const;

    bool Empty() const { return owed_.empty(); }
    size_t Size() const { return owed_.size(); }

    // Forgets answers requested longer ago than the horizon.
    void Expire(int64_t nowMs);

    // An attempt of exchange `exchange` with the request `fields` got no answer; its answer has
    // `digits` data digits (0: a status answer) and reads `line` when that is known.
    void Add(int64_t sentMs, const std::string& fields, size_t digits, uint64_t exchange, const std::string& line = {});

    // A write or command went out: a register read before it may read otherwise now.
    void WriteSent();

    // The exchange's own owed answers will read `line`: a register read again gives the same line.
    void Settle(uint64_t exchange, const std::string& line);

    // A line arrived that answers no request waiting for it (or stood for one that was answered
    // otherwise): it settles one owed answer, the one known to read so before one not yet known.
    void Arrived(std::string_view line);

    // How many answers owed for other exchanges could read exactly `line` and stand for another
    // value than the register of `fields` holds: those of other requests, and those of this one
    // sent before a write.
    uint32_t Foreign(uint64_t exchange, const std::string& fields, std::string_view line) const;
    // How many answers owed for other exchanges are still unknown and `digits` wide.
    uint32_t ForeignUnknown(uint64_t exchange, size_t digits) const;

    // The owed answers for the next program on the line, one a line: "<end of watch, ms since the
    // epoch> <digits> <1 when sent before a write> <request> <text>", "-" for a request or text
    // not known; `epochMs` is the epoch's time of monotonic `nowMs`.
    std::string Handover(int64_t nowMs, int64_t epochMs) const;
    // Takes the answers another program left owed, as owed for no exchange of this one. Lines
    // that do not scan are skipped.
    void TakeHandover(std::string_view text, int64_t nowMs, int64_t epochMs);

private:
    struct Owed {
        int64_t sentMs;
        size_t digits;
        std::string fields;
        std::string line;  // empty while unknown
        uint64_t exchange;
        bool beforeWrite = false;
        std::optional<uint32_t> address = std::nullopt;  // unknown for one handed over without it
    };
    // Owed by the instrument requests go to now, or by one not known.
    bool Ours(const Owed& o) const { return !o.address || *o.address == address_; }

    std::vector<Owed> owed_;  // oldest first
    uint32_t address_ = 0;
};

}  // namespace pmv::link
