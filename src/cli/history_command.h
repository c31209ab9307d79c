#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// `pmvctl history [[TYPE-]SERIAL] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--csv]`.
int RunHistory(TerminalSession& session, const Arguments& arguments);

inline constexpr const char* kHistoryUsage =
    "[[ТИП-]НОМЕР] [--from ГГГГ-ММ-ДД] [--to ГГГГ-ММ-ДД] [--csv [--csv-format ru|c] | --json] | --import ФАЙЛ";
inline constexpr const char* kHistoryHelp =
    "Печатает журнал приборов (history.sqlite в текущей папке или сервер из dev.dat и --history): все записи "
    "или записи одного прибора. --csv: таблица для электронных таблиц (ru, по умолчанию: \";\", десятичная "
    "запятая, UTF-8 с BOM; c: \",\", десятичная точка, без BOM); --json: объект JSON на строку. --import ФАЙЛ: "
    "переносит журнал станции (history.sqlite) на сервер; перенесенное раньше не повторяется, номер, выданный и "
    "там, и там, остается как на сервере и называется.";

}  // namespace pmv::cli
