#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

inline constexpr const char* kBusUsage =
    "read [--addresses LIST] FOLDER | write [--addresses LIST] [--yes|--no] [--defaults] PROFILE | "
    "monitor [--addresses LIST] [--interval MS] [--count N] [--csv [--csv-format ru|c] | --json]";
inline constexpr const char* kBusHelp =
    "Работа со всеми приборами на линии по очереди, с результатом для каждого; без --addresses (например "
    "2,5-7) - с приборами, которых находит поиск на скорости из dev.dat. read: профиль каждого прибора в "
    "папку под его номером (012-00345.prf) и сводка summary.txt. write: проверки профиля один раз, затем "
    "для каждого прибора запись, проверка после записи и строки журнала. monitor: текущие значения всех "
    "приборов, строка CSV или JSON на круг опроса. Прибор с ошибкой называется, остальные продолжают; "
    "Ctrl-C останавливает между приборами. Код 0, только если выполнено для всех; 20 после остановки; "
    "иначе код первой ошибки.";

// pmvctl bus read / write / monitor: one-instrument flows on every instrument of the line.
int RunBus(TerminalSession& session, const Arguments& arguments);

}  // namespace pmv::cli
