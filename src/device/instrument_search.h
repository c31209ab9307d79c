#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv {

class Clock;
class SerialLine;
struct LinkSettings;

// The speeds an instrument may be set to, in the order a search tries them after the
// configured one.
inline constexpr uint32_t kSearchBauds[] = {9600, 19200, 4800, 38400, 57600};

// The configured speed first, then the others.
std::vector<uint32_t> SearchBauds(uint32_t configured);

struct SearchOptions {
    std::vector<uint32_t> bauds;
    uint32_t firstAddress = 1;
    uint32_t lastAddress = 255;
    bool all = false;  // go on after the first instrument found
};

struct FoundInstrument {
    uint32_t address = 0;
    uint32_t baud = 0;
    uint32_t firmware = 0;
};

struct SearchStep {
    uint32_t baud = 0;
    uint32_t address = 0;
    uint32_t probed = 0;  // probes so far, this one included
    uint32_t total = 0;   // probes of the whole search
    double addressesPerSecond = 0;
};

struct SearchResult {
    std::vector<FoundInstrument> found;
    bool stopped = false;  // the user stopped it
    uint32_t probes = 0;
    int64_t elapsedMs = 0;
    double wireMs = 0;  // what the probes and the answers need on the wire
};

// Tries addresses at each speed with a probe that reads the firmware version, waiting only as
// long as a request and its answer need on the wire plus an allowance for adapter latency and
// the instrument's turnaround. The line is left at the last speed tried.
class InstrumentSearch {
public:
    InstrumentSearch(SerialLine& line, const Clock& clock) : line_(line), clock_(clock) {}

    // `onStep` runs before each probe; returning false stops the search.
    SearchResult Run(const SearchOptions& options, const std::function<bool(const SearchStep&)>& onStep);

    // Time a probe waits for its answer at a speed, in milliseconds.
    static uint32_t ProbeTimeoutMs(uint32_t baud, size_t requestBytes);
    // The probe frame for an address, as written to the line.
    static std::string ProbeFrame(uint32_t address);

private:
    // The firmware version when the instrument at `address` answered.
    bool Probe(uint32_t address, uint32_t baud, uint32_t& firmware, double& wireMs);

    SerialLine& line_;
    const Clock& clock_;
};

// The line description with its speed replaced by `baud` (the rest of the text kept).
std::string SettingsWithBaud(const std::string& settings, uint32_t baud);

// Keeps a found instrument's address (NetAdrr) and speed (Settings) in dev.dat and in the
// settings; returns the message of a failed write.
std::optional<std::string> SaveFoundInstrument(const std::string& devDatPath, const FoundInstrument& found,
                                               LinkSettings& settings);

}  // namespace pmv
