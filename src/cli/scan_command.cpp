#include "arguments.h"
#include "command_table.h"
#include "connection_commands.h"
#include "json.h"
#include "session.h"

#include "binding/bus.h"
#include "device/device_settings.h"
#include "device/instrument_search.h"
#include "link/link_settings.h"

#include <algorithm>
#include <sstream>

namespace pmv::cli {
namespace {

std::optional<std::vector<uint32_t>> ParseBauds(const std::string& list)
{
    std::vector<uint32_t> bauds;
    std::stringstream split(list);
    std::string word;
    while (std::getline(split, word, ',')) {
        const auto baud = ParseNumber(word, 1, 1000000);
        if (!baud || link::ByteTimeoutForBaud(static_cast<uint32_t>(*baud)) == link::kUnknownBaudByteTimeout)
            return std::nullopt;
        bauds.push_back(static_cast<uint32_t>(*baud));
    }
    if (bauds.empty())
        return std::nullopt;
    return bauds;
}

bool ParseAddresses(const std::string& range, device::SearchOptions& options)
{
    const size_t dash = range.find('-');
    const auto first = ParseNumber(range.substr(0, dash), 0, 255);
    const auto last = dash == std::string::npos ? first : ParseNumber(range.substr(dash + 1), 0, 255);
    if (!first || !last || *first > *last)
        return false;
    options.firstAddress = static_cast<uint32_t>(*first);
    options.lastAddress = static_cast<uint32_t>(*last);
    return true;
}

std::string Padded(std::string text, size_t width)
{
    // Columns count letters, not bytes: Cyrillic letters take two bytes each.
    size_t letters = 0;
    for (const char c : text)
        letters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (letters < width)
        text.append(width - letters, ' ');
    return text;
}

std::string InstrumentJson(const binding::BusInstrument& i)
{
    std::string json = "{\"address\":" + std::to_string(i.address) + ",\"baud\":" + std::to_string(i.baud);
    if (i.conflict)
        return json + ",\"conflict\":true}";
    json += ",\"firmware\":" + JsonString(binding::FirmwareText(i));
    if (i.code != kOk)
        return json + ",\"code\":" + std::to_string(CodeNumber(i.code)) + "}";
    return json + ",\"model\":" + JsonString(binding::ModelText(i)) +
           ",\"proc_ver\":" + std::to_string(i.identity.general.proc_ver) +
           ",\"type_code\":" + std::to_string(i.identity.general.otk_type) +
           ",\"serial\":" + std::to_string(i.identity.SerialNumber()) +
           ",\"number\":" + JsonString(binding::NumberText(i)) + "}";
}

// pmvctl scan --all: every instrument on the line with its identity, as a table or JSON.
int ScanAll(TerminalSession& s, const Arguments& a, const device::SearchOptions& options)
{
    const bool json = a.Has("--json");
    s.progress.SetProgressLines({"Приборы на линии"});
    s.progress.ShowProgressPanel();
    const binding::BusScan scan =
        binding::ScanBus(s.device, s.line, s.clock, options,
                         [&](const device::SearchStep& step) {
                             if (!s.console.errIsTerminal && step.address != options.firstAddress)
                                 return !s.progress.EscapePressed();
                             char text[128];
                             std::snprintf(text, sizeof text, "скорость %u, адрес %u (%u из %u)", step.baud,
                                           step.address, step.probed, step.total);
                             s.progress.SetProgressStep(text);
                             return !s.progress.EscapePressed();
                         },
                         {});
    s.progress.HideProgressPanel();
    bool conflict = false;
    std::string list;
    if (!json && !scan.instruments.empty())
        std::fprintf(s.console.out, "Адрес  Скорость  %s Тип  Номер  Прибор     Версия\n",
                     Padded("Модель", 31).c_str());
    for (const binding::BusInstrument& i : scan.instruments) {
        conflict |= i.conflict;
        if (json) {
            list += (list.empty() ? "" : ",") + InstrumentJson(i);
        } else if (i.conflict) {
            std::fprintf(s.console.out, "%5u  %8u  ответы искажены: на адресе несколько приборов\n", i.address, i.baud);
        } else if (i.code != kOk) {
            const ErrorMessage* message = FindErrorMessage(i.code);
            std::fprintf(s.console.out, "%5u  %8u  не прочитан: %s\n", i.address, i.baud,
                         message ? message->text : std::to_string(CodeNumber(i.code)).c_str());
        } else {
            std::fprintf(s.console.out, "%5u  %8u  %s %3d  %5d  %s  %s\n", i.address, i.baud,
                         Padded(binding::ModelText(i), 31).c_str(), i.identity.general.otk_type,
                         i.identity.SerialNumber(), binding::NumberText(i).c_str(), binding::FirmwareText(i).c_str());
        }
    }
    if (json)
        std::fprintf(s.console.out, "{\"found\":[%s]%s}\n", list.c_str(), scan.stopped ? ",\"stopped\":true" : "");
    if (scan.stopped) {
        std::fprintf(s.console.err, "Поиск остановлен: показаны приборы, найденные до остановки.\n");
        return s.Finish(kStoppedByUser);
    }
    if (scan.instruments.empty()) {
        if (!json)
            std::fprintf(s.console.out, "Прибор не найден\n");
        return kNothingFoundStatus;
    }
    if (!json)
        std::fprintf(s.console.out, "Приборов на линии: %zu\n", scan.instruments.size());
    if (a.Has("--save")) {
        const auto first = std::find_if(scan.instruments.begin(), scan.instruments.end(),
                                        [](const binding::BusInstrument& i) { return !i.conflict; });
        if (first != scan.instruments.end()) {
            if (const auto failure = device::SaveFoundInstrument(link::LinkSettingsPath(),
                                                                 {first->address, first->baud}, s.port.settings()))
                return s.FileFailure(*failure);
            std::fprintf(json ? s.console.err : s.console.out, "Адрес %u и скорость %u сохранены в dev.dat\n",
                         first->address, first->baud);
        }
    }
    if (conflict) {
        std::fprintf(s.console.err,
                     "pmvctl: на одном адресе несколько приборов: их ответы сталкиваются; дайте каждому свой адрес\n");
        return kConflictStatus;
    }
    for (const binding::BusInstrument& i : scan.instruments)
        if (i.code != kOk)
            return s.Finish(i.code);
    return 0;
}

}  // namespace

int RunScan(TerminalSession& s, const Arguments& a)
{
    device::SearchOptions options;
    options.all = a.Has("--all");
    if (s.overrides.baud)
        options.bauds = {*s.overrides.baud};
    else if (a.options.count("--bauds")) {
        const auto bauds = ParseBauds(a.options.at("--bauds"));
        if (!bauds) {
            return Usage(s.console, "скорости через запятую: 4800, 9600, 19200, 38400, 57600");
        }
        options.bauds = *bauds;
    } else {
        options.bauds = device::SearchBauds(s.port.settings().BaudRate);
    }
    if (a.options.count("--addresses") && !ParseAddresses(a.options.at("--addresses"), options)) {
        return Usage(s.console, "адреса A-B, от 0 до 255");
    }

    if (options.all)
        return ScanAll(s, a, options);
    s.progress.SetProgressLines({"Поиск прибора"});
    s.progress.ShowProgressPanel();
    device::InstrumentSearch search(s.line, s.clock);
    const device::SearchResult result = search.Run(options, [&](const device::SearchStep& step) {
        // Into a file or a pipe a line for every probe would only bury the result.
        if (!s.console.errIsTerminal && step.address != options.firstAddress)
            return !s.progress.EscapePressed();
        char text[128];
        std::snprintf(text, sizeof text, "скорость %u, адрес %u (%u из %u), %.0f адр/с", step.baud, step.address,
                      step.probed, step.total, step.addressesPerSecond);
        s.progress.SetProgressStep(text);
        return !s.progress.EscapePressed();
    });
    s.progress.HideProgressPanel();

    const bool json = a.Has("--json");
    std::string list;
    for (const device::FoundInstrument& f : result.found) {
        const std::string firmware = device::FirmwareVersionText(static_cast<int32_t>(f.firmware));
        if (json)
            list += std::string(list.empty() ? "" : ",") + "{\"address\":" + std::to_string(f.address) +
                    ",\"baud\":" + std::to_string(f.baud) + ",\"firmware\":" + JsonString(firmware) + "}";
        else
            std::fprintf(s.console.out, "Прибор найден: адрес %u, скорость %u, версия программы %s\n", f.address,
                         f.baud, firmware.c_str());
    }
    if (result.stopped && result.found.empty())
        return s.Finish(kStoppedByUser);
    if (json)
        std::fprintf(s.console.out, "{\"found\":[%s]}\n", list.c_str());
    if (result.found.empty()) {
        if (!json)
            std::fprintf(s.console.out, "Прибор не найден\n");
        return kNothingFoundStatus;
    }
    const device::FoundInstrument& first = result.found.front();
    if (a.Has("--save")) {
        if (const auto failure = device::SaveFoundInstrument(link::LinkSettingsPath(), first, s.port.settings())) {
            return s.FileFailure(*failure);
        }
        std::fprintf(json ? s.console.err : s.console.out, "Адрес и скорость сохранены в dev.dat\n");
    }
    return 0;
}

}  // namespace pmv::cli
