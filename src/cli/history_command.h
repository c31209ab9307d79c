#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// `pmvctl history [[TYPE-]SERIAL] [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--csv]`.
int RunHistory(Session& session, const Arguments& arguments);

inline constexpr const char* kHistoryUsage = "[[ТИП-]НОМЕР] [--from ГГГГ-ММ-ДД] [--to ГГГГ-ММ-ДД] [--csv]";
inline constexpr const char* kHistoryHelp =
    "Печатает журнал приборов (history.sqlite в текущей папке): все записи или записи одного прибора, "
    "--csv: таблица для электронных таблиц.";

}  // namespace pmv::cli
