#pragma once

#include "ini/file_error.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv::link {
class Clock;
class SerialLine;
struct LinkSettings;
}  // namespace pmv::link

namespace pmv::device {

// The speeds an instrument may be set to, in the order a search tries them after the
// configured one.
inline constexpr uint32_t kSearchBauds[] = {9600, 19200, 4800, 38400, 57600};

// The configured speed first, then the others.
std::vector<uint32_t> SearchBauds(uint32_t configured);

struct FoundInstrument;

struct SearchOptions {
    std::vector<uint32_t> bauds;
    uint32_t firstAddress = 1;
    uint32_t lastAddress = 255;
    bool all = false;                                       // go on after the first instrument found
    std::function<void(const FoundInstrument&)> onFound{};  // hears each instrument as it is found
};

struct FoundInstrument {
    uint32_t address = 0;
    uint32_t baud = 0;
    uint32_t firmware = 0;
    // A line came back in the probe's window but was no answer: instruments at one address
    // answering at once. Its firmware is unknown.
    bool garbled = false;
};

struct SearchStep {
    uint32_t baud = 0;
    uint32_t address = 0;
    uint32_t probed = 0;  // probes so far, this one included
    uint32_t total = 0;   // probes of the whole search
    double addressesPerSecond = 0;
};

struct SearchResult {
    std::vector<FoundInstrument> found;  // garbled ones only with `all`, which looks at every address
    bool stopped = false;                // the user stopped it
    uint32_t probes = 0;
    int64_t elapsedMs = 0;
    double wireMs = 0;  // what the probes and the answers need on the wire
};

// Tries addresses at each speed with a probe that reads the firmware version, waiting only as
// long as a request and its longest answer need on the wire plus an allowance for the
// instrument's turnaround and adapter latency: a fraction of a millisecond until an instrument
// has answered, then twice what the quickest of its answers showed. An answer that comes after
// its window (a slow instrument, or a busy computer) is still taken for the address it names, at
// any time while the search is at that speed. A silent address is known once its answer's first
// byte is due.
// The line is left at the last speed tried.
class InstrumentSearch {
public:
    InstrumentSearch(link::SerialLine& line, const link::Clock& clock) : line_(line), clock_(clock) {}

    // `onStep` runs before each probe; returning false stops the search.
    SearchResult Run(const SearchOptions& options, const std::function<bool(const SearchStep&)>& onStep);

    // The allowance before any instrument has answered, in microseconds.
    static constexpr uint32_t kFirstAllowanceUs = 300;

    // Time a probe waits for its answer at a speed, in microseconds.
    static uint32_t ProbeTimeoutUs(uint32_t baud, size_t requestBytes, uint32_t allowanceUs = kFirstAllowanceUs);
    // The probe frame for an address, as written to the line.
    static std::string ProbeFrame(uint32_t address);

private:
    struct SentProbe {
        uint32_t address;
        int64_t sent;  // monotonic µs
        size_t requestBytes;
    };

    void Found(SearchResult& result, const FoundInstrument& found);
    // Reads what the line holds into `heard_` until it stays quiet for `quietUs`.
    void TakeInUntilQuiet(uint32_t quietUs);
    // Probes `address`; what answered (the address, or one before it late) goes to `result`.
    // True when `address` answered.
    bool Probe(uint32_t address, uint32_t baud, SearchResult& result);
    // Takes the lines in `heard_`: a late answer of a probe before counts for its address; true
    // when another line came, which ends `current`'s wait, `own` when it was its answer.
    bool TakeAnswers(const SentProbe& current, uint32_t baud, SearchResult& result, bool& own);

    link::SerialLine& line_;
    const link::Clock& clock_;
    uint32_t allowanceUs_ = kFirstAllowanceUs;
    double quickestBeyondUs_ = 1e12;  // of the answers so far
    bool lookForGarbled_ = false;
    std::function<void(const FoundInstrument&)> onFound_;
    std::vector<SentProbe> unanswered_;  // the probes at this speed whose answers may still come
    std::string heard_;                  // an answer begun in one probe's window may end in the next
};

// The line description with its speed replaced by `baud` (the rest of the text kept).
std::string SettingsWithBaud(const std::string& settings, uint32_t baud);

// Keeps a found instrument's address (NetAdrr) and speed (Settings) in dev.dat and in the
// settings; returns the write the system refused.
std::optional<ini::FileError> SaveFoundInstrument(const std::string& devDatPath, const FoundInstrument& found,
                                                  link::LinkSettings& settings);

}  // namespace pmv::device
