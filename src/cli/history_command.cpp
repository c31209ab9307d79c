#include "history_command.h"

#include "command_table.h"
#include "json.h"

#include "binding/csv_format.h"
#include "binding/dates.h"
#include "binding/file_errors.h"
#include "binding/settings_diff.h"

#include <algorithm>

namespace pmv::cli {
namespace {

// Pads to a width in characters, not bytes: the operations are Cyrillic.
std::string Padded(const std::string& text, size_t width)
{
    const auto characters = static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    return characters >= width ? text : text + std::string(width - characters, ' ');
}

// The values a write sent, by profile section and key; a float that held no number is null.
std::string ValuesJson(const history::HistoryRecord& r)
{
    if (r.operation != history::kOperationWrite)
        return "{}";
    std::vector<std::pair<std::string, std::string>> sections;  // in the order they first come
    for (const binding::SettingValue& v : binding::ParseSettingsValueLines(r.details)) {
        auto section =
            std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == v.section; });
        if (section == sections.end())
            section = sections.insert(sections.end(), {v.section, ""});
        section->second +=
            (section->second.empty() ? "" : ",") + JsonString(v.key) + ":" + (v.finite ? JsonNumber(v.text) : "null");
    }
    std::string json;
    for (const auto& [name, keys] : sections)
        json += (json.empty() ? "" : ",") + JsonString(name) + ":{" + keys + "}";
    return "{" + json + "}";
}

int ImportHistory(TerminalSession& s, const std::string& file)
{
    if (!history::IsServerAddress(s.history.address())) {
        return Usage(s.console,
                     "--import переносит журнал на сервер: укажите его (--history URL или [HISTORY] Server в dev.dat)");
    }
    history::ImportReport report;
    if (const auto failure = s.history.Import(file, report)) {
        std::fprintf(s.console.err, "pmvctl: журнал %s не перенесен: %s\n", file.c_str(),
                     binding::HistoryErrorText(*failure).c_str());
        return TerminalSession::kFileFailure;
    }
    for (const std::string& conflict : report.conflicts)
        std::fprintf(s.console.err, "Номер выдан дважды: %s\n", conflict.c_str());
    std::fprintf(
        s.console.out,
        "Перенесено на сервер %s: записей %d, номеров %d; уже были там: записей %d; номеров, выданных дважды: %zu\n",
        s.history.where().c_str(), report.records, report.serials, report.recordsKept, report.conflicts.size());
    return 0;
}

}  // namespace

int RunHistory(TerminalSession& s, const Arguments& a)
{
    if (a.options.count("--import")) {
        if (!a.words.empty() || a.Has("--csv") || a.Has("--json") || a.options.size() != 1)
            return Usage(s.console, "--import ФАЙЛ без других параметров");
        return ImportHistory(s, a.options.at("--import"));
    }
    history::HistoryFilter filter;
    if (!a.words.empty()) {
        const auto instrument = history::ParseInstrumentNumber(a.words[0], history::LoneNumber::Serial);
        if (!instrument) {
            return Usage(s.console, "номер прибора 0..65535 или ТИП-НОМЕР");
        }
        filter.serial = instrument->serial;
        filter.typeCode = instrument->typeCode;
    }
    for (auto [option, date] : {std::pair{"--from", &filter.fromDate}, std::pair{"--to", &filter.toDate}}) {
        if (!a.options.count(option))
            continue;
        *date = a.options.at(option);
        std::string problem;
        if (!binding::ParseIsoDate(*date, &problem)) {
            return Usage(s.console, std::string(option) + ": " + problem);
        }
    }
    const auto format = binding::ParseCsvFormat(a.options.count("--csv-format") ? a.options.at("--csv-format") : "ru");
    if (!format || (a.Has("--csv") && a.Has("--json"))) {
        return Usage(s.console, "--csv [--csv-format ru|c] или --json");
    }
    std::vector<history::HistoryRecord> rows;
    if (const auto failure = s.history.Query(filter, rows)) {
        return s.FileFailure(binding::HistoryErrorText(*failure));
    }
    if (a.Has("--csv")) {
        std::fputs(binding::HistoryTable(rows, *format).c_str(), s.console.out);
        return 0;
    }
    if (a.Has("--json")) {
        for (const history::HistoryRecord& r : rows)
            std::fprintf(s.console.out,
                         "{\"time\":%s,\"operator\":%s,\"type\":%d,\"serial\":%d,\"instrument\":\"%s\","
                         "\"device_type\":%d,\"firmware\":%s,\"operation\":%s,\"operation_code\":\"%s\",\"profile\":%s,"
                         "\"profile_sha256\":%s,\"groups\":%s,\"result\":%u,\"values\":%s,\"details\":%s}\n",
                         JsonString(r.time).c_str(), JsonString(r.operatorName).c_str(), r.typeCode, r.serial,
                         history::InstrumentNumber(r.typeCode, r.serial).c_str(), r.deviceType,
                         JsonString(r.firmware).c_str(), JsonString(r.operation).c_str(),
                         history::OperationCode(r.operation).c_str(), JsonString(r.profile).c_str(),
                         JsonString(r.profileSha256).c_str(), JsonString(r.groups).c_str(), r.result,
                         ValuesJson(r).c_str(), JsonString(r.details).c_str());
        return 0;
    }
    for (const history::HistoryRecord& r : rows)
        std::fprintf(s.console.out, "%s  %s %s  %s %s  %s  %s  код %u\n", r.time.c_str(),
                     Padded(r.operatorName, 10).c_str(), history::InstrumentNumber(r.typeCode, r.serial).c_str(),
                     Padded(r.operation, 20).c_str(), r.groups.c_str(), r.profile.c_str(), r.firmware.c_str(),
                     r.result);
    return 0;
}

}  // namespace pmv::cli
