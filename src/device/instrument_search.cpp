#include "instrument_search.h"

#include "register_map.h"

#include "link/clock.h"
#include "link/exchange.h"
#include "link/link_settings.h"
#include "link/register_commands.h"
#include "link/serial_line.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace pmv::device {
namespace {

// The longest answer to the probe: "!255;FF;65535" CR.
constexpr size_t kLongestProbeAnswer = 14;
// The widest allowance an answer can ask for: a slower instrument is not worth waiting for at
// every silent address.
constexpr uint32_t kLongestAllowanceUs = 100'000;
// How long the last probe at a speed gets beyond its window for a late answer.
constexpr uint32_t kLastProbeTailUs = 15'000;

double WireMs(size_t bytes, uint32_t baud)
{
    return static_cast<double>(bytes) * 10.0 * 1000.0 / static_cast<double>(baud);
}

double WireUs(size_t bytes, uint32_t baud) { return WireMs(bytes, baud) * 1000.0; }

// The address an answer names after its "!"; the probe's own address must come back, so that
// an answer from another instrument on the line is not taken for this one.
bool NamesAddress(const std::string& answer, uint32_t address)
{
    const size_t bang = answer.find('!');
    if (bang == std::string::npos)
        return false;
    const size_t end = answer.find(';', bang);
    return end != std::string::npos && answer.substr(bang + 1, end - bang - 1) == std::to_string(address);
}

// "$" and four hexadecimal digits before the CR: the instrument refused the probe, in its own words.
bool IsStatusAnswer(const std::string& answer)
{
    const size_t dollar = answer.rfind('$');
    return dollar != std::string::npos && answer.size() - dollar == 6 &&
           std::all_of(answer.begin() + static_cast<long>(dollar) + 1, answer.end() - 1,
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::vector<uint32_t> SearchBauds(uint32_t configured)
{
    std::vector<uint32_t> bauds{configured};
    for (const uint32_t baud : kSearchBauds)
        if (baud != configured)
            bauds.push_back(baud);
    return bauds;
}

uint32_t InstrumentSearch::ProbeTimeoutUs(uint32_t baud, size_t requestBytes, uint32_t allowanceUs)
{
    return static_cast<uint32_t>(std::ceil(WireUs(requestBytes + kLongestProbeAnswer, baud))) + allowanceUs;
}

std::string InstrumentSearch::ProbeFrame(uint32_t address)
{
    std::string frame = "\xFF\xFF\xFF\xFF:" + std::to_string(address) + ";37;" +
                        link::RegisterAddressText(regs::kFirmwareVersion.bank, regs::kFirmwareVersion.memoryType,
                                                  regs::kFirmwareVersion.number) +
                        ";";
    link::AppendChecksum(frame);
    return frame;
}

void InstrumentSearch::Found(SearchResult& result, const FoundInstrument& found)
{
    result.found.push_back(found);
    if (onFound_)
        onFound_(found);
}

bool InstrumentSearch::TakeAnswers(const SentProbe& current, uint32_t baud, SearchResult& result, bool& own)
{
    // How long the quickest answer took beyond the wire, twice, becomes the allowance from now on:
    // that is the instrument's turnaround and the adapter's latency, while one answer held up by a
    // busy computer would slow every probe after it.
    const auto widen = [&](const SentProbe& probe, size_t answerBytes) {
        const double beyond =
            static_cast<double>(clock_.MonotonicUs() - probe.sent) - WireUs(probe.requestBytes + answerBytes, baud);
        quickestBeyondUs_ = std::min(quickestBeyondUs_, beyond);
        allowanceUs_ = std::clamp(static_cast<uint32_t>(std::max(2 * quickestBeyondUs_, 0.0)), kFirstAllowanceUs,
                                  kLongestAllowanceUs);
    };
    bool ended = false;
    for (size_t end; (end = heard_.find('\r')) != std::string::npos; heard_.erase(0, end + 1)) {
        const std::string answer = heard_.substr(0, end + 1);
        uint32_t firmware = 0;
        const bool data = link::ParseByteAnswer(answer, firmware) == kOk;
        const auto late = std::find_if(unanswered_.begin(), unanswered_.end(), [&](const SentProbe& probe) {
            return data && NamesAddress(answer, probe.address);
        });
        if (late != unanswered_.end()) {
            Found(result, {late->address, baud, firmware});
            result.wireMs += WireMs(answer.size(), baud);
            widen(*late, answer.size());
            unanswered_.erase(late);
            continue;
        }
        if (ended)
            continue;
        // Any other line ends the wait; only this address's own answer finds an instrument.
        ended = true;
        if (data && NamesAddress(answer, current.address)) {
            Found(result, {current.address, baud, firmware});
            result.wireMs += WireMs(answer.size(), baud);
            widen(current, answer.size());
            own = true;
        } else if (!data && lookForGarbled_ && !IsStatusAnswer(answer)) {
            // Neither an answer nor a status: answers that met on the line. The address is taken,
            // so no probe after it waits for this one.
            Found(result, {current.address, baud, 0, true});
            result.wireMs += WireMs(answer.size(), baud);
            own = true;
        }
    }
    return ended;
}

void InstrumentSearch::TakeInUntilQuiet(uint32_t quietUs)
{
    char chunk[link::kReadChunk];
    for (size_t got; heard_.size() <= link::kMaxAnswerBytes && (got = line_.ReadUs(chunk, sizeof chunk, quietUs)) > 0;)
        heard_.append(chunk, got);
}

bool InstrumentSearch::Probe(uint32_t address, uint32_t baud, SearchResult& result)
{
    const std::string frame = ProbeFrame(address);
    const uint32_t timeoutUs = ProbeTimeoutUs(baud, frame.size(), allowanceUs_);
    // What came since the last window closed: the late answer of a probe before, or noise.
    TakeInUntilQuiet(0);
    SentProbe probe{address, clock_.MonotonicUs(), frame.size()};
    bool own = false;
    TakeAnswers(probe, baud, result, own);
    if (heard_.size() > link::kMaxAnswerBytes)
        heard_.clear();
    // A line begun before the probe went out is no answer to it; it may end a late one.
    own = false;
    probe.sent = clock_.MonotonicUs();
    line_.Write(frame.data(), frame.size(), (timeoutUs + 999) / 1000);
    result.wireMs += WireMs(frame.size(), baud);
    // A silent address is known once its answer's first byte could have come: the rest of the
    // window is waited for only when something arrives.
    const uint32_t firstByteUs =
        std::min(timeoutUs, static_cast<uint32_t>(std::ceil(WireUs(frame.size() + 1, baud))) + allowanceUs_);
    bool arrived = false;
    char chunk[link::kReadChunk];
    for (;;) {
        const int64_t left = probe.sent + (arrived ? timeoutUs : firstByteUs) - clock_.MonotonicUs();
        if (left <= 0 || heard_.size() > link::kMaxAnswerBytes)
            break;
        const size_t got = line_.ReadUs(chunk, sizeof chunk, static_cast<uint32_t>(left));
        arrived |= got > 0;
        heard_.append(chunk, got);
        if (heard_.find('\r') != std::string::npos && TakeAnswers(probe, baud, result, own))
            break;
    }
    if (!own)
        unanswered_.push_back(probe);
    return own;
}

SearchResult InstrumentSearch::Run(const SearchOptions& options, const std::function<bool(const SearchStep&)>& onStep)
{
    SearchResult result;
    lookForGarbled_ = options.all;
    onFound_ = options.onFound;
    const int64_t start = clock_.MonotonicMs();
    SearchStep step;
    const uint32_t perBaud =
        options.lastAddress >= options.firstAddress ? options.lastAddress - options.firstAddress + 1 : 0;
    step.total = perBaud * static_cast<uint32_t>(options.bauds.size());
    for (const uint32_t baud : options.bauds) {
        line_.Configure(baud);
        unanswered_.clear();
        heard_.clear();
        for (uint32_t address = options.firstAddress; address <= options.lastAddress; ++address) {
            step.baud = baud;
            step.address = address;
            step.probed = ++result.probes;
            const int64_t elapsed = clock_.MonotonicMs() - start;
            step.addressesPerSecond = elapsed > 0 ? (step.probed - 1) * 1000.0 / static_cast<double>(elapsed) : 0;
            if (onStep && !onStep(step)) {
                result.stopped = true;
                --result.probes;
                result.elapsedMs = clock_.MonotonicMs() - start;
                return result;
            }
            Probe(address, baud, result);
            if (!result.found.empty() && !options.all) {
                result.elapsedMs = clock_.MonotonicMs() - start;
                return result;
            }
        }
        // The last probes' answers have no next probe to come in with.
        if (!unanswered_.empty()) {
            TakeInUntilQuiet(allowanceUs_ + kLastProbeTailUs);
            bool own = false;
            TakeAnswers(unanswered_.back(), baud, result, own);
        }
    }
    result.elapsedMs = clock_.MonotonicMs() - start;
    return result;
}

std::string SettingsWithBaud(const std::string& settings, uint32_t baud)
{
    for (const char* rate : {"57600", "38400", "19200", "9600", "4800"}) {
        const size_t at = settings.find(rate);
        if (at != std::string::npos)
            return settings.substr(0, at) + std::to_string(baud) + settings.substr(at + std::strlen(rate));
    }
    return std::to_string(baud) + ",N,8,1";
}

std::optional<ini::FileError> SaveFoundInstrument(const std::string& devDatPath, const FoundInstrument& found,
                                                  link::LinkSettings& settings)
{
    settings.NetAdrr = static_cast<int32_t>(found.address);
    settings.Settings = SettingsWithBaud(settings.Settings, found.baud);
    settings.BaudRate = found.baud;
    return link::SaveAddressAndSpeed(devDatPath, settings);
}

}  // namespace pmv::device
