#include "arguments.h"
#include "command_table.h"
#include "connection_commands.h"
#include "json.h"
#include "session.h"

#include "device/device_settings.h"
#include "device/instrument_search.h"
#include "link/link_settings.h"

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

}  // namespace

int RunScan(Session& s, const Arguments& a)
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
            std::fprintf(s.console.out, "Прибор найден: адрес %u, скорость %u, версия программы %s\n", f.address, f.baud,
                         firmware.c_str());
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
