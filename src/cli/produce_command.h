#pragma once

#include "arguments.h"
#include "session.h"

namespace pmv::cli {

// `pmvctl produce --profile P --serial TYPE[-NUMBER] [--date DD.MM.YYYY] [--passport-dir DIR]
// [--reuse] [--new-history]`.
int RunProduce(TerminalSession& session, const Arguments& arguments);

inline constexpr const char* kProduceUsage =
    "--profile PROFILE --serial ТИП[-НОМЕР] [--date ДД.ММ.ГГГГ] [--passport-dir DIR] [--reuse] [--new-history] "
    "[--defaults] [--yes|--no]";
inline constexpr const char* kProduceHelp =
    "Выпуск прибора за один шаг: запись профиля с проверками, проверка записанного, заводской номер и дата "
    "(по умолчанию сегодня; без НОМЕРА - следующий после последнего выпущенного этого типа и после всех паспортов "
    "этого типа в папке паспортов), паспорт в PDF "
    "(ТИП-НОМЕР.pdf) и запись в журнал приборов. Номер резервируется в журнале до начала выпуска и больше не "
    "выдается, даже если выпуск не удался; уже выданный номер или существующий паспорт - только с --reuse. "
    "Выпуск не начинается (в прибор ничего не записано), если журнал приборов не читается или не пишется "
    "(код 14; поврежденный журнал откладывается и начинается новый только с --new-history), профиль не "
    "читается, содержит неверные значения или без --defaults не содержит ключей записываемых групп, или папку "
    "паспортов нельзя создать или ее имя не текст UTF-8 (14), номер уже выдан (66), номера типа исчерпаны (67). "
    "Иначе код - код первого неудачного шага.";

}  // namespace pmv::cli
