#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// `pmvctl monitor [--interval MS] [--count N] [--csv]`: polls the current values as the page of
// current values does and prints one line per poll; Ctrl-C ends it with status 0, or with the last
// poll's error code when that poll failed; run to --count, it fails when no poll was answered.
int RunMonitor(TerminalSession& session, const Arguments& arguments);

inline constexpr const char* kMonitorUsage = "[--interval MS] [--count N] [--csv [--csv-format ru|c] | --json]";
inline constexpr const char* kMonitorHelp =
    "Опрашивает текущие значения прибора и печатает строку на каждый опрос (--csv: таблица для "
    "электронных таблиц, ru по умолчанию или c, как у history; --json: объект JSON на строку); журнал "
    "измерений пишется, как в окне. Ctrl-C завершает опрос; код выхода - ошибка последнего опроса, "
    "если он не удался, а с --count - если не удался ни один опрос.";

}  // namespace pmv::cli
