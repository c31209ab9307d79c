#include "command_table.h"

#include "bus_command.h"
#include "calib_command.h"
#include "calibrate.h"
#include "connection_commands.h"
#include "history_command.h"
#include "monitor_command.h"
#include "produce_command.h"
#include "profile_commands.h"
#include "register_commands.h"
#include "report_commands.h"
#include "restart_commands.h"
#include "serial_command.h"
#include "test_command.h"

#include <algorithm>

namespace pmv::cli {
namespace {

bool NeverNeedsLine(const Arguments&) { return false; }

}  // namespace

const std::vector<Command>& Commands()
{
    static const std::vector<Command> kCommands{
        {.name = "read",
         .usage = "[--groups ch1,ch2,relay,general] [--json] PROFILE",
         .help = "Читает группы настроек из прибора и сохраняет их в профиль (остальные ключи профиля сохраняются). "
                 "--json: прочитанное еще и в stdout, по разделам и ключам профиля.",
         .valueOptions = {"--groups"},
         .flags = {"--json"},
         .minWords = 1,
         .maxWords = 1,
         .run = RunRead},
        {.name = "write",
         .usage = "[--groups ch1,ch2,relay,general] [--yes|--no] [--verify] [--defaults] PROFILE",
         .help = "Записывает профиль в прибор, как окно после открытия профиля и \"Записать все\" (\"Записать "
                 "выбранное\" с --groups); вопросы проверок задаются на терминале, --yes или --no отвечает на все. "
                 "--verify: после перезапуска прибора читает записанные группы и сверяет их (код 15 при отличии). "
                 "Профиль с неверными значениями не записывается (код 14); профиль без ключей записываемых групп "
                 "записывается только с --defaults: вместо недостающих значений будут записаны значения по умолчанию.",
         .valueOptions = {"--groups"},
         .flags = {"--yes", "--no", "--verify", "--defaults"},
         .minWords = 1,
         .maxWords = 1,
         .run = RunWrite},
        {.name = "diff",
         .usage = "[--groups ch1,ch2,relay,general] [--json] PROFILE",
         .help =
             "Читает группы настроек из прибора и перечисляет отличия от профиля; код 0: совпадают, 68: отличаются (вне кодов ошибок 1..23).",
         .valueOptions = {"--groups"},
         .flags = {"--json"},
         .minWords = 1,
         .maxWords = 1,
         .run = RunDiff},
        {.name = "get",
         .usage = "BANK byte|long|block NUMBER [COUNT]",
         .help = "Читает регистр прибора.",
         .minWords = 3,
         .maxWords = 4,
         .run = RunGet},
        {.name = "set",
         .usage = "BANK byte|long NUMBER VALUE",
         .help = "Записывает регистр прибора; VALUE: число, 0x.., $.. или f:12.5.",
         .minWords = 4,
         .maxWords = 4,
         .run = RunSet},
        {.name = "serial",
         .usage = "[--set SERIAL TYPE DD.MM.YYYY [--reuse]] [--json]",
         .help = "Читает или записывает заводской номер, тип и дату изготовления. Запись сверяется с журналом "
                 "приборов и вносится в него: номер, уже выданный этому типу (выпуском или записью), - код 66, "
                 "записать его еще раз - --reuse; журнал, который не читается, - код 14, номер не записан.",
         .valueOptions = {"--set"},
         .flags = {"--json", "--reuse"},
         .minWords = 0,
         .maxWords = 2,
         .run = RunSerial},
        {.name = "restart", .usage = "", .help = "Перезапускает прибор.", .run = RunRestart},
        {.name = "factory-reset",
         .usage = "[--yes|--no]",
         .help = "Стирает все настройки прибора и загружает заводские значения. Без подтверждения (ответ \"нет\", "
                 "--no или нет терминала) ничего не делает и завершается с кодом 65.",
         .flags = {"--yes", "--no"},
         .run = RunFactoryReset},
        {.name = "calib",
         .usage = "read CH | write CH PROFILE",
         .help = "Читает или записывает градуировочные коэффициенты канала.",
         .minWords = 2,
         .maxWords = 3,
         .run = RunCalib},
        {.name = "calibrate",
         .usage = kCalibrateUsage,
         .help = kCalibrateHelp,
         .flags = {"--yes", "--no"},
         .minWords = 3,
         .maxWords = 3,
         .run = RunCalibrate},
        {.name = "test",
         .usage = "mode on|off | all-on | all-off | select N | run [--count N]",
         .help = "Проверка выходов прибора.",
         .valueOptions = {"--count"},
         .minWords = 1,
         .maxWords = 2,
         .run = RunTest},
        {.name = "passport",
         .usage = "[--pdf FILE] [--text]",
         .help = "Читает настройки из прибора и выводит страничку в паспорт: текстом (по умолчанию) и/или в PDF.",
         .valueOptions = {"--pdf"},
         .flags = {"--text"},
         .run = RunPassport},
        {.name = "report",
         .usage = "[--read] [--pdf FILE] [--text] PROFILE",
         .help = "Отчет по настройкам профиля; с --read сначала читает настройки и коэффициенты из прибора и при "
                 "успехе сохраняет их в профиль.",
         .valueOptions = {"--pdf"},
         .flags = {"--read", "--text"},
         .minWords = 1,
         .maxWords = 1,
         .run = RunReport,
         .needsLine = ReportNeedsLine},
        {.name = "produce",
         .usage = kProduceUsage,
         .help = kProduceHelp,
         .valueOptions = {"--profile", "--serial", "--date", "--passport-dir"},
         .flags = {"--yes", "--no", "--reuse", "--new-history", "--defaults"},
         .run = RunProduce},
        {.name = "history",
         .usage = kHistoryUsage,
         .help = kHistoryHelp,
         .valueOptions = {"--from", "--to", "--csv-format", "--import"},
         .flags = {"--csv", "--json"},
         .minWords = 0,
         .maxWords = 1,
         .run = RunHistory,
         .needsLine = NeverNeedsLine},
        {.name = "monitor",
         .usage = kMonitorUsage,
         .help = kMonitorHelp,
         .valueOptions = {"--interval", "--count", "--csv-format"},
         .flags = {"--csv", "--json"},
         .run = RunMonitor},
        {.name = "doctor",
         .usage = "[--json]",
         .help = "Проверка связи: устройство, права, другие программы, brltty, ModemManager, таймер задержки, "
                 "ответ прибора, журнал приборов (файл или сервер: доступен ли, пускает ли, его ли это таблицы); "
                 "для каждой найденной причины команда, которая её устраняет.",
         .flags = {"--json"},
         .run = RunDoctor,
         .runsWithoutPort = true},
        {.name = "scan",
         .usage = "[--bauds LIST] [--addresses A-B] [--all] [--save] [--json]",
         .help = "Поиск прибора по адресам и скоростям (с глобальным --baud только на этой скорости); --save "
                 "сохраняет адрес и скорость (первого найденного) в dev.dat. --all: все приборы на линии, с адресом, "
                 "скоростью, моделью, кодом типа, заводским номером и версией программы. Код 0, если прибор найден, "
                 "2, если нет, 69, если на одном адресе несколько приборов.",
         .valueOptions = {"--bauds", "--addresses"},
         .flags = {"--all", "--save", "--json"},
         .run = RunScan},
        {.name = "bus",
         .usage = kBusUsage,
         .help = kBusHelp,
         .valueOptions = {"--addresses", "--interval", "--count", "--csv-format"},
         .flags = {"--yes", "--no", "--defaults", "--csv", "--json"},
         .minWords = 1,
         .maxWords = 2,
         .run = RunBus},
    };
    return kCommands;
}

const Command* FindCommand(const std::string& name)
{
    const auto& commands = Commands();
    const auto found = std::find_if(commands.begin(), commands.end(), [&](const Command& c) { return name == c.name; });
    return found == commands.end() ? nullptr : &*found;
}

int Usage(Console& console, const std::string& problem)
{
    if (!problem.empty())
        std::fprintf(console.err, "pmvctl: %s\n", problem.c_str());
    if (console.command.empty())
        std::fputs(kUsage, console.err);
    else
        std::fprintf(console.err, "Использование: pmvctl %s %s\nСправка: pmvctl %s --help\n", console.command.c_str(),
                     console.commandUsage.c_str(), console.command.c_str());
    return kUsageStatus;
}

}  // namespace pmv::cli
