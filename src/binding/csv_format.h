#pragma once

#include "history/history.h"

#include <optional>
#include <string>
#include <vector>

namespace pmv::binding {

// How a CSV file is written. Russian spreadsheets (LibreOffice in a Russian locale, Excel) read
// ';' with a decimal comma and UTF-8 with a byte order mark as numbers; without the mark Excel
// takes another code page, and with a decimal point LibreOffice takes the numbers as text.
// Scripts want the C convention.
struct CsvFormat {
    char separator;
    char decimal;
    bool byteOrderMark;
    bool spreadsheet;  // read by a Russian spreadsheet, which turns texts such as "1.1.2" into dates
};
inline constexpr CsvFormat kSpreadsheetCsv{';', ',', true, true};
inline constexpr CsvFormat kScriptCsv{',', '.', false, false};

// "ru" (the default of the programs) or "c".
std::optional<CsvFormat> ParseCsvFormat(const std::string& name);

// What a file starts with: the byte order mark, or nothing.
std::string CsvStart(const CsvFormat& format);
// A text field, quoted when it holds the separator, a quote or a line end.
std::string CsvText(const std::string& text, const CsvFormat& format);
// A number with a fixed count of decimals, so that a column lines up and reads alike in every row.
std::string CsvDecimal(double value, int decimals, const CsvFormat& format);

// The history rows as a table: one column "Прибор" with the instrument's number "012-00345".
std::string HistoryTable(const std::vector<history::HistoryRecord>& rows, const CsvFormat& format);

}  // namespace pmv::binding
