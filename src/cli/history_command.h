#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// `pmvctl history [[TYPE-]SERIAL] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--csv]`.
int RunHistory(Session& session, const Arguments& arguments);

inline constexpr const char* kHistoryUsage =
    "[[ТИП-]НОМЕР] [--from ГГГГ-ММ-ДД] [--to ГГГГ-ММ-ДД] [--csv [--csv-format ru|c] | --json]";
inline constexpr const char* kHistoryHelp =
    "Печатает журнал приборов (history.sqlite в текущей папке): все записи или записи одного прибора. "
    "--csv: таблица для электронных таблиц (ru, по умолчанию: \";\", десятичная запятая, UTF-8 с BOM; "
    "c: \",\", десятичная точка, без BOM); --json: объект JSON на строку.";

}  // namespace pmv::cli
