#include "binding/csv_format.h"

#include <cmath>
#include <cstdio>

namespace pmv::binding {

std::optional<CsvFormat> ParseCsvFormat(const std::string& name)
{
    if (name == "ru")
        return kSpreadsheetCsv;
    if (name == "c")
        return kScriptCsv;
    return std::nullopt;
}

std::string CsvStart(const CsvFormat& format) { return format.byteOrderMark ? "\xEF\xBB\xBF" : ""; }

std::string CsvText(const std::string& text, const CsvFormat& format)
{
    if (text.find_first_of(std::string(1, format.separator) + "\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

std::string CsvDecimal(double value, int decimals, const CsvFormat& format)
{
    if (!std::isfinite(value))
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string out = text;
    for (char& c : out)
        if (c == '.')
            c = format.decimal;
    return out;
}

std::string HistoryTable(const std::vector<history::HistoryRecord>& rows, const CsvFormat& format)
{
    const auto line = [&](const std::vector<std::string>& fields) {
        std::string text;
        for (const std::string& f : fields)
            text += (text.empty() ? "" : std::string(1, format.separator)) + CsvText(f, format);
        return text + "\r\n";
    };
    std::string csv = CsvStart(format) + line({"Время", "Оператор", "Прибор", "Тип прибора", "ПО", "Операция",
                                               "Профиль", "SHA-256 профиля", "Группы", "Результат", "Подробности"});
    for (const history::HistoryRecord& r : rows) {
        // A Russian spreadsheet takes "1.1.2" for the date 01.01.2002; an invisible word joiner
        // in front keeps the version a text there.
        const std::string firmware = format.spreadsheet && !r.firmware.empty() ? "\u2060" + r.firmware : r.firmware;
        csv +=
            line({r.time, r.operatorName, history::InstrumentNumber(r.typeCode, r.serial), std::to_string(r.deviceType),
                  firmware, r.operation, r.profile, r.profileSha256, r.groups, std::to_string(r.result), r.details});
    }
    return csv;
}

}  // namespace pmv::binding
