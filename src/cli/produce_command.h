#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// `pmvctl produce --profile P --serial TYPE[-NUMBER] [--date DD.MM.YYYY] [--passport-dir DIR]`.
int RunProduce(Session& session, const Arguments& arguments);

inline constexpr const char* kProduceUsage =
    "--profile PROFILE --serial ТИП[-НОМЕР] [--date ДД.ММ.ГГГГ] [--passport-dir DIR] [--yes|--no]";
inline constexpr const char* kProduceHelp =
    "Выпуск прибора за один шаг: запись профиля с проверками, проверка записанного, заводской номер и дата "
    "(по умолчанию сегодня; без НОМЕРА - следующий после последнего выпущенного этого типа), паспорт в PDF "
    "(ТИП-НОМЕР.pdf) и запись в журнал приборов. Код - код первого неудачного шага.";

}  // namespace pmv::cli
