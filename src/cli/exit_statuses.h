#pragma once

namespace pmv::cli {

struct ExitStatusRow {
    const char* status;
    const char* meaning;
};

// pmvctl's exit statuses, as --help prints them; the man page and the README list the same rows.
inline constexpr ExitStatusRow kExitStatuses[] = {
    {"0", "выполнено"},
    {"2", "прибор не ответил или порт не открылся; scan: прибор не найден; doctor: найдена неполадка"},
    {"14",
     "файл не открывается или не записывается (профиль, PDF, журнал приборов, стандартный вывод); профиль с неверными значениями или без ключей записываемых групп (без --defaults)"},
    {"15", "записанное не совпадает с прочитанным (write --verify, produce)"},
    {"20", "остановлено пользователем (Ctrl-C)"},
    {"1..23", "другие ошибки обмена и проверок: код ошибки, ее сообщение в stderr"},
    {"64", "неверные аргументы командной строки"},
    {"65", "factory-reset не выполнен: нет подтверждения"},
    {"66", "produce, serial --set: номер уже выдан (другой номер или --reuse)"},
    {"67", "produce: номера этого типа исчерпаны"},
    {"68", "diff: настройки прибора отличаются от профиля"},
    {"69", "scan --all: на одном адресе несколько приборов (их ответы искажены)"},
};

}  // namespace pmv::cli
