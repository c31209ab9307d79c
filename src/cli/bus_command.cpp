#include "bus_command.h"

#include "command_table.h"
#include "connection_commands.h"
#include "json.h"

#include "binding/binding.h"
#include "binding/bus.h"
#include "binding/commands.h"
#include "binding/csv_format.h"
#include "binding/live_view.h"
#include "binding/trend.h"
#include "device/live_values.h"
#include "ini/file_error.h"
#include "link/link_settings.h"
#include "messages/error_codes.h"
#include "model/profile_check.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace pmv::cli {
namespace {

int64_t WallMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The instruments of the batch: the addresses of --addresses at the line's speed, or every
// instrument a scan at that speed finds (two at one address are told and left out).
std::optional<std::vector<binding::BusInstrument>> Instruments(TerminalSession& s, const Arguments& a, int& status)
{
    const uint32_t baud = s.port.settings().BaudRate;
    std::vector<binding::BusInstrument> instruments;
    if (a.options.count("--addresses")) {
        const auto addresses = binding::ParseAddressList(a.options.at("--addresses"));
        if (!addresses) {
            status = Usage(s.console, "адреса через запятую или диапазоны, от 0 до 255: 2,5-7");
            return std::nullopt;
        }
        for (const uint32_t address : *addresses) {
            binding::BusInstrument instrument;
            instrument.address = address;
            instrument.baud = baud;
            instruments.push_back(instrument);
        }
        return instruments;
    }
    device::SearchOptions options;
    options.bauds = {baud};
    s.progress.SetProgressLines({"Приборы на линии"});
    s.progress.ShowProgressPanel();
    const binding::BusScan scan = binding::ScanBus(s.device, s.line, s.clock, options,
                                                   [&](const device::SearchStep& step) {
                                                       if (s.console.errIsTerminal) {
                                                           char text[96];
                                                           std::snprintf(text, sizeof text, "адрес %u (%u из %u)",
                                                                         step.address, step.probed, step.total);
                                                           s.progress.SetProgressStep(text);
                                                       }
                                                       return !s.progress.EscapePressed();
                                                   },
                                                   {});
    s.progress.HideProgressPanel();
    s.line.Configure(baud);
    if (scan.stopped) {
        status = s.Finish(kStoppedByUser);
        return std::nullopt;
    }
    for (const binding::BusInstrument& i : scan.instruments) {
        if (i.conflict)
            std::fprintf(s.console.err, "адрес %u: ответы искажены, на адресе несколько приборов; пропущен\n",
                         i.address);
        else
            instruments.push_back(i);
    }
    if (instruments.empty()) {
        std::fprintf(s.console.err, "pmvctl: на линии нет приборов (скорость %u)\n", baud);
        status = kNothingFoundStatus;
        return std::nullopt;
    }
    return instruments;
}

// The summary into the file the user names, as it is named (a pipe or /dev/stdout too).
std::optional<ini::FileError> WriteSummary(const std::string& path, const std::string& table)
{
    using ini::FileOperation;
    const bool existed = ::access(path.c_str(), F_OK) == 0;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return ini::FileError{existed ? FileOperation::Write : FileOperation::CreateFile, path, errno};
    const int writeError = std::fputs(table.c_str(), f) >= 0 ? 0 : errno;
    const int closeError = std::fclose(f) == 0 ? 0 : errno;
    if (writeError != 0)
        return ini::FileError{FileOperation::Write, path, writeError};
    if (closeError != 0)
        return ini::FileError{FileOperation::Sync, path, closeError};
    return std::nullopt;
}

// The table of results and the exit status: 0 only when every instrument succeeded, 20 when the
// batch was stopped, else the first failure's code.
int Report(TerminalSession& s, const std::vector<binding::BusOutcome>& outcomes, const std::string& summaryPath)
{
    std::string table;
    size_t succeeded = 0;
    ErrorCode first = kOk;
    bool stopped = false;
    for (const binding::BusOutcome& o : outcomes) {
        table += binding::OutcomeLine(o) + "\n";
        succeeded += o.done && o.code == kOk;
        stopped |= o.code == kStoppedByUser;
        if (o.code != kOk && first == kOk)
            first = o.code;
    }
    table += "Выполнено: " + std::to_string(succeeded) + " из " + std::to_string(outcomes.size()) + "\n";
    std::fputs(table.c_str(), s.console.out);
    if (!summaryPath.empty())
        if (const auto failure = WriteSummary(summaryPath, table))
            s.ReportFileProblem(*failure);
    if (stopped)
        return static_cast<int>(CodeNumber(kStoppedByUser));
    return static_cast<int>(CodeNumber(first));
}

int BusRead(TerminalSession& s, const Arguments& a, const std::string& folder)
{
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        std::fprintf(s.console.err, "pmvctl: нет папки %s\n", folder.c_str());
        return TerminalSession::kFileFailure;
    }
    int status = 0;
    const auto instruments = Instruments(s, a, status);
    if (!instruments)
        return status;
    std::vector<std::string> taken;
    const int32_t port = s.port.settings().Number;
    s.progress.DiscardEscape();
    const auto outcomes =
        binding::RunOnEach(s.device, s.line, *instruments, [&](device::Device& d, binding::BusOutcome& o) {
            return binding::ReadIntoFolder(d, s.messages, port, folder, taken, o);
        });
    return Report(s, outcomes, (std::filesystem::path(folder) / "summary.txt").string());
}

int BusWrite(TerminalSession& s, const Arguments& a, const std::string& path)
{
    std::string error;
    const auto description = LoadProfileUnchanged(path, s.model, true, error);
    if (!description)
        return s.FileFailure(error);
    model::SettingsModel boxes = s.model;
    const int32_t port = s.port.settings().Number;
    binding::ControlValues controls;
    binding::ShowSettings(s.model, port, controls);
    binding::SelectAllGroups(boxes, controls);
    if (RefusedToSend(s, path, model::SentByWrite(boxes), true, a.Has("--defaults")))
        return TerminalSession::kFileFailure;
    binding::ShowSettings(s.model, port, controls);
    NoWindow host;
    binding::CommandContext context{s.device, s.messages, host, controls, port};
    if (const ErrorCode code = binding::CheckAllBeforeWriting(context); code != kOk)
        return static_cast<int>(CodeNumber(code));
    int status = 0;
    const auto instruments = Instruments(s, a, status);
    if (!instruments)
        return status;
    const model::SettingsModel checked = s.model;
    s.history.OpenAside();
    s.progress.DiscardEscape();
    const auto outcomes =
        binding::RunOnEach(s.device, s.line, *instruments, [&](device::Device& d, binding::BusOutcome& o) {
            return binding::WriteAndVerify(
                d, s.messages, port, checked, path, [&](const history::HistoryRecord& r) { s.Record(r); }, o);
        });
    return Report(s, outcomes, {});
}

std::string Number(float value)
{
    char text[32];
    const auto end = std::to_chars(std::begin(text), std::end(text), value).ptr;
    return JsonNumber(std::string(text, end));
}

int BusMonitor(TerminalSession& s, const Arguments& a)
{
    const auto interval = a.options.count("--interval") ? ParseNumber(a.options.at("--interval"), 100, 3'600'000)
                                                        : std::optional<int64_t>(device::LivePoll::kIntervalMs);
    const auto count =
        a.options.count("--count") ? ParseNumber(a.options.at("--count"), 1, 100'000'000) : std::optional<int64_t>(-1);
    const auto format = binding::ParseCsvFormat(a.options.count("--csv-format") ? a.options.at("--csv-format") : "ru");
    if (!interval || !count || !format || (a.Has("--csv") && a.Has("--json")))
        return Usage(s.console, "--interval 100..3600000, --count 1..100000000, --csv [--csv-format ru|c] или --json");
    const bool json = a.Has("--json");
    int status = 0;
    const auto instruments = Instruments(s, a, status);
    if (!instruments)
        return status;
    const binding::CsvFormat& f = *format;
    if (!json) {
        std::string heading = binding::CsvStart(f) + "Время";
        for (const binding::BusInstrument& i : *instruments)
            for (int ch = 1; ch <= 2; ++ch)
                heading +=
                    f.separator + binding::CsvText("Адрес " + std::to_string(i.address) + " К" + std::to_string(ch), f);
        std::fprintf(s.console.out, "%s\n", heading.c_str());
    }
    std::vector<device::LivePoll> polls(instruments->size());
    std::vector<device::LiveValues> values(instruments->size());
    link::Clock& clock = s.waitClock();
    s.progress.DiscardEscape();
    bool answered = false;
    for (int64_t n = 0; *count < 0 || n < *count; ++n) {
        const int64_t next = clock.MonotonicMs() + *interval;
        std::vector<ErrorCode> codes;
        const auto outcomes =
            binding::RunOnEach(s.device, s.line, *instruments, [&](device::Device& d, binding::BusOutcome&) {
                const size_t at = codes.size();
                const ErrorCode code = polls[at].Tick(d.exchange, values[at], {}).code;
                codes.push_back(code);
                return code;
            });
        const std::string time = binding::IsoLocalTime(WallMs());
        std::string row;
        if (json) {
            row = "{\"time\":" + JsonString(time) + ",\"instruments\":[";
            for (size_t i = 0; i < outcomes.size(); ++i) {
                const device::LiveValues& v = values[i];
                row += std::string(i ? "," : "") + "{\"address\":" + std::to_string(outcomes[i].instrument.address) +
                       ",\"code\":" + std::to_string(CodeNumber(outcomes[i].code));
                if (outcomes[i].code == kOk)
                    row += ",\"CH1\":" + Number(v.value[0]) + ",\"CH2\":" + Number(v.value[1]) + ",\"status\":[" +
                           std::to_string(v.status[0]) + "," + std::to_string(v.status[1]) + "],\"relays\":[" +
                           (v.relays & 1u ? "1" : "0") + "," + (v.relays & 2u ? "1" : "0") + "]";
                row += "}";
            }
            row += "]}";
        } else {
            row = binding::CsvText(time, f);
            for (size_t i = 0; i < outcomes.size(); ++i)
                for (size_t ch = 0; ch < 2; ++ch)
                    row += f.separator + (outcomes[i].done && outcomes[i].code == kOk
                                              ? binding::CsvDecimal(values[i].value[ch], 4, f)
                                              : std::string());
        }
        std::fprintf(s.console.out, "%s\n", row.c_str());
        if (std::fflush(s.console.out) != 0)
            return kOutputFailedStatus;
        for (const ErrorCode code : codes)
            answered |= code == kOk;
        const bool cut =
            std::any_of(outcomes.begin(), outcomes.end(), [](const binding::BusOutcome& o) { return !o.done; });
        if (cut || (n + 1 != *count && WaitOrStop(s, clock, next)))
            break;
    }
    return answered ? 0 : s.Finish(kNoAnswer);
}

}  // namespace

int RunBus(TerminalSession& s, const Arguments& a)
{
    const std::string& action = a.words[0];
    if (action == "monitor" && a.words.size() == 1)
        return BusMonitor(s, a);
    if (a.words.size() != 2 || (action != "read" && action != "write"))
        return Usage(s.console, "read ПАПКА, write ПРОФИЛЬ или monitor");
    return action == "read" ? BusRead(s, a, a.words[1]) : BusWrite(s, a, a.words[1]);
}

}  // namespace pmv::cli
