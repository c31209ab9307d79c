#include "monitor_command.h"

#include "command_table.h"
#include "json.h"

#include "binding/live_view.h"
#include "binding/trend.h"
#include "messages/error_codes.h"

#include <algorithm>
#include <charconv>
#include <chrono>

namespace pmv::cli {
namespace {

constexpr int64_t kDefaultIntervalMs = device::LivePoll::kIntervalMs;
// A stop is noticed within this time during the wait between two polls.

int64_t WallMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Marks(const std::array<bool, 3>& lamps)
{
    std::string marks;
    for (bool on : lamps)
        marks += on ? '1' : '0';
    return marks;
}

// "22:15:03.250  К1  21.5000 Нормальное измерение  К2  48.0000 Обрыв  Реле 0 1  Сигналы 101 000"
std::string TextLine(int64_t timeMs, const binding::LiveView& view)
{
    std::string line = binding::IsoLocalTime(timeMs).substr(11);
    for (size_t ch = 0; ch < 2; ++ch)
        line += "  К" + std::to_string(ch + 1) + ' ' + view.channel[ch].valueText + ' ' + view.channel[ch].statusText;
    line += std::string("  Реле ") + (view.relays[0] ? '1' : '0') + ' ' + (view.relays[1] ? '1' : '0');
    line += "  Сигналы " + Marks(view.channel[0].lamps) + ' ' + Marks(view.channel[1].lamps);
    return line;
}

// {"time":"...","code":0,"CH1":{"value":21.5,"status":0,"status_text":"...","signals":[1,0,0]},
//  "CH2":{...},"relays":[0,1]}; a failed poll: {"time":"...","code":2,"error":"..."}.
std::string JsonLine(int64_t timeMs, ErrorCode code, const device::LiveValues& v)
{
    std::string line =
        "{\"time\":" + JsonString(binding::IsoLocalTime(timeMs)) + ",\"code\":" + std::to_string(CodeNumber(code));
    if (code != kOk)
        return line + ",\"error\":" + JsonString(binding::ShowPollOutcome(code).text) + "}";
    for (size_t ch = 0; ch < 2; ++ch) {
        char value[32];
        const auto end = std::to_chars(std::begin(value), std::end(value), v.value[ch]).ptr;
        line += ",\"CH" + std::to_string(ch + 1) + "\":{\"value\":" + JsonNumber(std::string(value, end)) +
                ",\"status\":" + std::to_string(v.status[ch]) +
                ",\"status_text\":" + JsonString(binding::ChannelStatusText(v.status[ch])) + ",\"signals\":[";
        for (unsigned bit = 0; bit < 3; ++bit)
            line += std::string(bit ? "," : "") + ((v.signalBits[ch] >> bit) & 1u ? "1" : "0");
        line += "]}";
    }
    return line + ",\"relays\":[" + (v.relays & 1u ? "1" : "0") + "," + (v.relays & 2u ? "1" : "0") + "]}";
}

}  // namespace

int RunMonitor(TerminalSession& s, const Arguments& a)
{
    const auto interval = a.options.count("--interval") ? ParseNumber(a.options.at("--interval"), 100, 3'600'000)
                                                        : std::optional<int64_t>(kDefaultIntervalMs);
    const auto count =
        a.options.count("--count") ? ParseNumber(a.options.at("--count"), 1, 100'000'000) : std::optional<int64_t>(-1);
    if (!interval || !count) {
        return Usage(s.console, "--interval 100..3600000, --count 1..100000000");
    }
    const bool csv = a.Has("--csv");
    const bool json = a.Has("--json");
    const auto format = binding::ParseCsvFormat(a.options.count("--csv-format") ? a.options.at("--csv-format") : "ru");
    if ((csv && json) || !format) {
        return Usage(s.console, "--csv [--csv-format ru|c] или --json");
    }
    const link::LinkSettings& link = s.port.settings();
    const std::string log = link.UseIzmFile == 1 ? link.IzmFileName : std::string();

    s.progress.DiscardEscape();
    if (csv)
        std::fputs(binding::TrendCsvHeading(*format).c_str(), s.console.out);
    link::Clock& clock = s.waitClock();
    device::LivePoll poll;
    device::LiveValues values;
    ErrorCode lastCode = kOk;
    bool answered = false;
    bool stopped = false;
    for (int64_t n = 0; *count < 0 || n < *count; ++n) {
        const int64_t next = clock.MonotonicMs() + *interval;
        const device::LivePoll::Outcome outcome = poll.Tick(s.exchange, values, log);
        const int64_t now = WallMs();
        if (json) {
            std::fprintf(s.console.out, "%s\n", JsonLine(now, outcome.code, values).c_str());
        } else if (outcome.code != kOk) {
            std::fprintf(csv ? s.console.err : s.console.out, "%s  %s (ERR %u)\n",
                         binding::IsoLocalTime(now).substr(11).c_str(), binding::ShowPollOutcome(outcome.code).text,
                         CodeNumber(outcome.code));
        } else if (csv) {
            std::fputs(binding::TrendCsvLine({now, values}, *format).c_str(), s.console.out);
        } else {
            std::fprintf(s.console.out, "%s\n", TextLine(now, binding::ShowCurrentValues(values)).c_str());
        }
        // A reader gone or a full disk ends the watch: nobody gets its lines any more.
        if (std::fflush(s.console.out) != 0)
            return kOutputFailedStatus;
        lastCode = outcome.code;
        answered |= outcome.code == kOk;
        if (n + 1 != *count && WaitOrStop(s, clock, next)) {
            stopped = true;
            break;
        }
    }
    // A stop ends a watch as usual; what the instrument said last is what the watch ends with.
    // Run to its count, it has failed only when no poll was answered.
    if (stopped ? lastCode != kOk : !answered)
        return s.Finish(lastCode);
    return 0;
}

}  // namespace pmv::cli
