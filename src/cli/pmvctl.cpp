#include "pmvctl.h"

#include "arguments.h"
#include "calibrate.h"
#include "history_command.h"
#include "monitor_command.h"
#include "produce_command.h"
#include "report_commands.h"
#include "binding/binding.h"
#include "binding/commands.h"
#include "binding/dates.h"
#include "binding/history_records.h"
#include "binding/settings_diff.h"
#include "connection_commands.h"
#include "exit_statuses.h"
#include "json.h"
#include "session.h"

#include "device/calibration_coefficients.h"
#include "device/device_settings.h"
#include "device/output_test.h"
#include "device/register_map.h"
#include "device/service_commands.h"
#include "link/link_settings.h"
#include "link/register_commands.h"
#include "messages/error_codes.h"
#include "messages/messages.h"
#include "model/profile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <thread>

namespace pmv::cli {
namespace {

constexpr const char* kUsage =
    "Использование: pmvctl [--port DEVICE] [--address N] [--baud N] [--quiet | --verbose] КОМАНДА ...\n"
    "       pmvctl КОМАНДА --help | help КОМАНДА\n"
    "       pmvctl --help | -h | help | --version\n";

constexpr const char* kGlobalOptions =
    "Общие параметры (до команды; в dev.dat не пишутся):\n"
    "  --port DEVICE    устройство прибора; без него - порт с номером из dev.dat текущей папки\n"
    "  --address N      адрес прибора 0..255\n"
    "  --baud N         скорость 4800, 9600, 19200, 38400 или 57600\n"
    "  --quiet          без строк хода операции (без --quiet они идут в stderr, если это терминал)\n"
    "  --verbose        строки хода операции и каждый обмен с прибором в stderr, даже без терминала\n"
    "  --version        версия программы\n";

struct Command {
    const char* name;
    const char* usage;  // the arguments after the command name
    const char* help;
    std::set<std::string> valueOptions;
    std::set<std::string> flagOptions;
    size_t minWords, maxWords;
    std::function<int(Session&, const Arguments&)> run;
    bool (*needsLine)(const Arguments&) = nullptr;  // nullptr: always
    bool runsWithoutPort = false;  // the command explains a port that does not open itself
};

bool NeverNeedsLine(const Arguments&)
{
    return false;
}

int Usage(Console& console, const std::string& problem)
{
    if (!problem.empty())
        std::fprintf(console.err, "pmvctl: %s\n", problem.c_str());
    std::fputs(kUsage, console.err);
    return kUsageStatus;
}

// The first clause of a command's help, for the list of commands.
std::string Summary(const std::string& help)
{
    const size_t end = help.find_first_of(".:;(");
    std::string summary = help.substr(0, end);
    while (!summary.empty() && summary.back() == ' ')
        summary.pop_back();
    return summary;
}

std::string Padded(const std::string& text, size_t width)
{
    return text.size() >= width ? text + ' ' : text + std::string(width - text.size(), ' ');
}

int WriteFailure(Session& s, const std::string& message)
{
    std::fprintf(s.console.err, "%s\n", message.c_str());
    return Session::kFileFailure;
}

// Prints the differences; 0 when there are none.
bool PrintDifferences(Session& s, const std::vector<FieldDifference>& differences)
{
    std::fputs(DifferenceLines(differences).c_str(), s.console.out);
    return !differences.empty();
}

// {"CH1":{"dat":3,"th1":55.5,...},...}: the selected groups by their profile sections and keys,
// each section once (the relay and regulator keys live in the channels' sections too).
std::string SettingsJson(const SettingsModel& model)
{
    std::vector<std::pair<std::string, std::string>> sections;
    for (const SettingValue& v : SelectedSettings(model)) {
        auto section = std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == v.section; });
        if (section == sections.end())
            section = sections.insert(sections.end(), {v.section, {}});
        section->second += (section->second.empty() ? "" : ",") + JsonString(v.key) + ":" + JsonNumber(v.text);
    }
    std::string json;
    for (const auto& [name, members] : sections)
        json += (json.empty() ? "" : ",") + JsonString(name) + ":{" + members + "}";
    return "{" + json + "}";
}

// Reads the written groups back after the instrument's restart and compares them with what was
// written: 15 when they differ.
uint32_t VerifyWrite(Session& s, const std::string& profile, const SettingsModel& identity)
{
    std::vector<FieldDifference> differences;
    const uint32_t code = VerifyWritten(s.device, s.model, differences);
    PrintDifferences(s, differences);
    s.Record(MakeHistoryRecord(identity, s.model, {kOperationVerify, code, profile, DifferenceLines(differences)}));
    if (code == kOk)
        std::fprintf(s.console.err, "Проверка после записи: прибор хранит записанное.\n");
    return code;
}

// Runs a read or write command of the window on PROFILE as the window does after opening it:
// the profile is loaded (its file unchanged) and shown, then the command runs on all groups, or
// on the groups of --groups as if only their boxes were ticked.
int RunWindowCommand(Session& s, const Arguments& a, bool write)
{
    const std::string& path = a.words[0];
    std::string error;
    const auto description = LoadProfileUnchanged(path, s.model, write, error);
    if (!description)
        return WriteFailure(s, error);
    const int32_t port = s.port.settings().Number;
    ControlValues controls;
    ShowSettings(s.model, port, controls);
    NoWindow host;
    CommandContext context{s.device, s.messages, host, controls, port};
    const bool selected = a.options.count("--groups") != 0;
    // The boxes themselves are set, so that the gather at the start of the command keeps them.
    if (selected)
        SetGroupBoxes(s.model, controls, *ParseGroups(a.options.at("--groups")));
    // The history rows name the instrument as it identifies itself on the line.
    SettingsModel identity;
    if (write)
        context.beforeWriting = IdentityBeforeWriting(s.device, identity);
    uint32_t code = 0;
    if (write)
        code = selected ? WriteSelected(context) : WriteAll(context);
    else
        code = selected ? ReadSelected(context) : ReadAll(context);
    if (write) {
        s.Record(MakeHistoryRecord(identity, s.model, {kOperationWrite, code, path, SettingsValueLines(s.model)}));
        if (code == kOk && a.Has("--verify"))
            return s.Finish(VerifyWrite(s, path, identity));
        return static_cast<int>(code);
    }
    if (code != kOk)
        return static_cast<int>(code);
    GatherSettings(controls, s.model, s.messages);
    if (const auto failure = SaveProfile(path, s.model, *description))
        return WriteFailure(s, *failure);
    if (a.Has("--json"))
        std::fprintf(s.console.out, "{\"profile\":%s,\"settings\":%s}\n", JsonString(path).c_str(),
                     SettingsJson(s.model).c_str());
    return 0;
}

// The profile as the window would write it (loaded, shown, the --groups boxes ticked,
// gathered) against the instrument's groups read into a separate model: 0 equal, 1 different.
int RunDiff(Session& s, const Arguments& a)
{
    const std::string& path = a.words[0];
    std::string error;
    if (!LoadProfileUnchanged(path, s.model, true, error))
        return WriteFailure(s, error);
    ControlValues controls;
    ShowSettings(s.model, s.port.settings().Number, controls);
    SetGroupBoxes(s.model, controls,
                  a.options.count("--groups") ? *ParseGroups(a.options.at("--groups")) : GroupSelection{});
    GatherSettings(controls, s.model, s.messages);
    SettingsModel instrument;
    if (const uint32_t code = ReadForComparison(s.device, s.model, instrument))
        return s.Finish(code);
    const std::vector<FieldDifference> differences = CompareSettings(s.model, instrument);
    if (a.Has("--json")) {
        std::string list;
        for (const FieldDifference& d : differences)
            list += std::string(list.empty() ? "" : ",") + "{\"section\":" + JsonString(d.section) +
                    ",\"key\":" + JsonString(d.key) + ",\"profile\":" + JsonNumber(d.expected) +
                    ",\"instrument\":" + JsonNumber(d.actual) + "}";
        std::fprintf(s.console.out, "{\"profile\":%s,\"equal\":%s,\"differences\":[%s]}\n", JsonString(path).c_str(),
                     differences.empty() ? "true" : "false", list.c_str());
        return differences.empty() ? 0 : kDiffersStatus;
    }
    if (PrintDifferences(s, differences))
        return kDiffersStatus;
    std::fprintf(s.console.err, "Настройки прибора совпадают с профилем.\n");
    return 0;
}

struct Width {
    const char* word;
    uint32_t memoryType;
};
constexpr Width kWidths[] = {{"byte", kByteMemory}, {"long", kLongMemory}, {"block", kBlockMemory}};

std::optional<uint32_t> ParseWidth(const std::string& word)
{
    for (const Width& w : kWidths)
        if (word == w.word)
            return w.memoryType;
    return std::nullopt;
}

void PrintLong(std::FILE* out, uint32_t value)
{
    std::fprintf(out, "0x%08X %u f:%g\n", value, value, static_cast<double>(BitsToFloat(value)));
}

int RunGet(Session& s, const Arguments& a)
{
    const auto bank = ParseNumber(a.words[0], 1, 2);
    const auto width = ParseWidth(a.words[1]);
    const auto number = ParseNumber(a.words[2], 0, 8191);
    if (!bank || !width || !number)
        return Usage(s.console, "неверный регистр");
    uint32_t value = 0;
    if (*width == kByteMemory) {
        const uint32_t code = ReadByteRegister(s.exchange, static_cast<uint32_t>(*bank), static_cast<uint32_t>(*number), value);
        if (code)
            return s.Finish(code);
        std::fprintf(s.console.out, "%u 0x%02X\n", value, value);
    } else if (*width == kLongMemory) {
        const uint32_t code = ReadLongRegister(s.exchange, static_cast<uint32_t>(*bank), static_cast<uint32_t>(*number), value);
        if (code)
            return s.Finish(code);
        PrintLong(s.console.out, value);
    } else {
        const auto count = a.words.size() > 3 ? ParseNumber(a.words[3], 1, 100) : std::nullopt;
        if (*bank != 1 || !count)
            return Usage(s.console, "блоки читаются из банка 1, число байт 1..100");
        std::vector<uint8_t> bytes;
        if (const uint32_t code = ReadValueBlock(s.exchange, static_cast<uint32_t>(*number), static_cast<size_t>(*count), bytes, false))
            return s.Finish(code);
        for (size_t i = 0; i < bytes.size(); ++i)
            std::fprintf(s.console.out, "%s%02X", i ? " " : "", bytes[i]);
        std::fprintf(s.console.out, "\n");
    }
    return 0;
}

// A write answered with any text without "$" counts as done on the line, so the register is
// read back as the checked writes do. The command registers keep no value to read back.
uint32_t WriteAndReadBack(Exchange& exchange, uint32_t memoryType, uint32_t bank, uint32_t reg, uint32_t value,
                          bool isFloat)
{
    const auto is = [&](regs::Register r) { return r.bank == bank && r.memoryType == memoryType && r.number == reg; };
    if (is(regs::kRestart) || is(regs::kFactoryReset))
        return WriteByteRegister(exchange, bank, reg, value);
    if (memoryType == kByteMemory)
        return WriteByteRegisterChecked(exchange, bank, reg, value);
    if (isFloat)
        return WriteFloatRegisterChecked(exchange, bank, reg, BitsToFloat(value));
    for (uint32_t pass = 0; pass < exchange.values().RetryCount; ++pass) {
        if (const uint32_t code = WriteLongRegister(exchange, bank, reg, value))
            return code;
        uint32_t readBack = 0;
        if (const uint32_t code = ReadLongRegister(exchange, bank, reg, readBack))
            return code;
        if (readBack == value)
            return kOk;
    }
    return kReadBackMismatch;
}

int RunFactoryReset(Session& s, const Arguments&)
{
    const RecordedFactoryReset reset = FactoryResetWithRecord(s.device, s.messages);
    if (!reset.record) {
        std::fprintf(s.console.err, "Сброс не выполнен: нет подтверждения\n");
        return kNotConfirmedStatus;
    }
    s.Record(*reset.record);
    return s.Finish(reset.code);
}

int RunSet(Session& s, const Arguments& a)
{
    const auto bank = ParseNumber(a.words[0], 1, 2);
    const auto width = ParseWidth(a.words[1]);
    const auto number = ParseNumber(a.words[2], 0, 8191);
    if (!bank || !width || *width == kBlockMemory || !number)
        return Usage(s.console, "неверный регистр");
    const std::string& text = a.words[3];
    std::optional<int64_t> value;
    if (*width == kLongMemory && text.starts_with("f:")) {
        char* end = nullptr;
        const float f = std::strtof(text.c_str() + 2, &end);
        // No setting holds NaN or infinity; strtof gives infinity for a number beyond float too.
        if (end != text.c_str() + 2 && *end == '\0' && std::isfinite(f))
            value = FloatBits(f);
    } else {
        value = ParseNumber(text, 0, *width == kByteMemory ? 255 : 0xFFFFFFFFll);
    }
    if (!value)
        return Usage(s.console, "неверное значение " + text);
    const auto b = static_cast<uint32_t>(*bank), n = static_cast<uint32_t>(*number), v = static_cast<uint32_t>(*value);
    return s.Finish(WriteAndReadBack(s.exchange, *width, b, n, v, text.starts_with("f:")));
}

int RunSerial(Session& s, const Arguments& a)
{
    SettingsModel& m = s.model;
    if (a.options.count("--set")) {
        if (a.words.size() != 2)
            return Usage(s.console, "--set НОМЕР ТИП ДД.ММ.ГГГГ");
        const auto serial = ParseNumber(a.options.at("--set"), 0, 65535);
        const auto type = ParseNumber(a.words[0], 0, 255);
        std::string problem;
        const auto date = ParseProductionDate(a.words[1], &problem);
        if (!date)
            std::fprintf(s.console.err, "pmvctl: %s\n", problem.c_str());
        if (!serial || !type || !date)
            return s.Finish(kBadNumber);
        m.serial_lo = static_cast<int32_t>(*serial % 256);
        m.serial_hi = static_cast<int32_t>(*serial / 256);
        m.general.otk_type = static_cast<int32_t>(*type);
        m.made_month = date->month;
        m.made_year = date->year;
        const uint32_t code = WriteSerialAndDate(s.device, date->day);
        s.Record(MakeHistoryRecord(m, m, {kOperationSerial, code, {}, a.words[1]}));
        return s.Finish(code);
    }
    if (!a.words.empty())
        return Usage(s.console, "лишние параметры");
    if (const uint32_t code = ReadSerialAndDate(s.device))
        return s.Finish(code);
    if (a.Has("--json")) {
        std::fprintf(s.console.out, "{\"serial\":%d,\"type\":%d,\"made\":\"%04d-%02d-%02d\"}\n",
                     m.SerialNumber(), m.general.otk_type, m.made_year, m.made_month, m.made_day);
        return 0;
    }
    std::fprintf(s.console.out, "Заводской номер: %d\nТип: %03d\nДата изготовления: %02d.%02d.%04d\n",
                 m.SerialNumber(), m.general.otk_type, m.made_day, m.made_month, m.made_year);
    return 0;
}

std::optional<uint32_t> ChannelIndex(const std::string& word)
{
    const auto ch = ParseNumber(word, 1, 2);
    return ch ? std::optional<uint32_t>(static_cast<uint32_t>(*ch - 1)) : std::nullopt;
}

int RunCalib(Session& s, const Arguments& a)
{
    const auto ch = ChannelIndex(a.words[1]);
    if (!ch)
        return Usage(s.console, "канал 1 или 2");
    const ChannelSettings& c = s.model.channel[*ch];
    if (a.words[0] == "read" && a.words.size() == 2) {
        s.progress.DiscardEscape();
        if (const uint32_t code = ReadCalibrationCoefficients(s.device, *ch))
            return s.Finish(code);
        std::fprintf(s.console.out, "UREF %.4f\nRREF %.4f\nKu 100 mV %.4f\nKu 10 V %.4f\nKi 0-5 mA %.4f\nKi 0-20 mA %.4f\n",
                     c.uref, c.rref, c.ku, c.ku10, c.ki05, c.ki020);
        return 0;
    }
    if (a.words[0] == "write" && a.words.size() == 3) {
        std::string error;
        if (!LoadProfileUnchanged(a.words[2], s.model, true, error))
            return WriteFailure(s, error);
        s.progress.DiscardEscape();
        const uint32_t code = WriteCalibrationCoefficients(s.device, *ch);
        s.Finish(code);
        // The instrument takes new coefficients at its restart, which follows even a failed write.
        const uint32_t restart = Restart(s.exchange);
        s.Finish(restart);
        const uint32_t result = code ? code : restart;
        s.Record(CoefficientsRecord(s.device, *ch, result, a.words[2]));
        return static_cast<int>(result);
    }
    return Usage(s.console, "calib read КАНАЛ | calib write КАНАЛ ПРОФИЛЬ");
}

int RunTest(Session& s, const Arguments& a)
{
    OutputTest test(s.exchange);
    const std::string& what = a.words[0];
    if (what == "mode" && a.words.size() == 2 && (a.words[1] == "on" || a.words[1] == "off"))
        return s.Finish(test.SetTestMode(a.words[1] == "on"));
    if (what == "all-on" && a.words.size() == 1)
        return s.Finish(test.AllOn());
    if (what == "all-off" && a.words.size() == 1)
        return s.Finish(test.AllOff());
    if (what == "select" && a.words.size() == 2) {
        const auto n = ParseNumber(a.words[1], 0, OutputTest::kOutputCount - 1);
        if (!n)
            return Usage(s.console, "выход 0..35");
        return s.Finish(test.SelectTestOutput(static_cast<uint32_t>(*n)));
    }
    if (what == "run" && a.words.size() == 1) {
        const auto ticks = a.options.count("--count") ? ParseNumber(a.options.at("--count"), 1, 100000) : std::optional<int64_t>(-1);
        if (!ticks)
            return Usage(s.console, "--count 1..100000");
        s.progress.DiscardEscape();
        test.RunStop();
        for (int64_t i = 0; *ticks < 0 || i < *ticks; ++i) {
            std::fprintf(s.console.err, "Выход %u\n", test.runningIndex());
            if (const uint32_t code = test.Tick())
                return s.Finish(code);
            if (s.progress.EscapePressed())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(*ticks < 0 ? OutputTest::kTimerIntervalMs : 0));
        }
        return s.Finish(test.RunStop());
    }
    return Usage(s.console, "test mode on|off | all-on | all-off | select N | run [--count N]");
}

const std::vector<Command>& Commands()
{
    static const std::vector<Command> kCommands{
        {"read", "[--groups ch1,ch2,relay,general] [--json] PROFILE",
         "Читает группы настроек из прибора и сохраняет их в профиль (остальные ключи профиля сохраняются). "
         "--json: прочитанное еще и в stdout, по разделам и ключам профиля.",
         {"--groups"}, {"--json"}, 1, 1, [](Session& s, const Arguments& a) { return RunWindowCommand(s, a, false); }},
        {"write", "[--groups ch1,ch2,relay,general] [--yes|--no] [--verify] PROFILE",
         "Записывает профиль в прибор, как окно после открытия профиля и \"Записать все\" (\"Записать выбранное\" "
         "с --groups); вопросы проверок задаются на терминале, --yes или --no отвечает на все. --verify: после "
         "перезапуска прибора читает записанные группы и сверяет их (код 15 при отличии).",
         {"--groups"}, {"--yes", "--no", "--verify"}, 1, 1, [](Session& s, const Arguments& a) { return RunWindowCommand(s, a, true); }},
        {"diff", "[--groups ch1,ch2,relay,general] [--json] PROFILE",
         "Читает группы настроек из прибора и перечисляет отличия от профиля; код 0: совпадают, 1: отличаются.",
         {"--groups"}, {"--json"}, 1, 1, RunDiff},
        {"get", "BANK byte|long|block NUMBER [COUNT]", "Читает регистр прибора.", {}, {}, 3, 4, RunGet},
        {"set", "BANK byte|long NUMBER VALUE", "Записывает регистр прибора; VALUE: число, 0x.., $.. или f:12.5.",
         {}, {}, 4, 4, RunSet},
        {"serial", "[--set SERIAL TYPE DD.MM.YYYY] [--json]",
         "Читает или записывает заводской номер, тип и дату изготовления.", {"--set"}, {"--json"}, 0, 2, RunSerial},
        {"restart", "", "Перезапускает прибор.", {}, {}, 0, 0,
         [](Session& s, const Arguments&) { return s.Finish(Restart(s.exchange)); }},
        {"factory-reset", "[--yes|--no]",
         "Стирает все настройки прибора и загружает заводские значения. Без подтверждения (ответ \"нет\", --no "
         "или нет терминала) ничего не делает и завершается с кодом 65.",
         {}, {"--yes", "--no"}, 0, 0, RunFactoryReset},
        {"calib", "read CH | write CH PROFILE", "Читает или записывает градуировочные коэффициенты канала.", {}, {}, 2, 3,
         RunCalib},
        {"calibrate", kCalibrateUsage, kCalibrateHelp, {}, {"--yes", "--no"}, 3, 3, RunCalibrate},
        {"test", "mode on|off | all-on | all-off | select N | run [--count N]", "Проверка выходов прибора.",
         {"--count"}, {}, 1, 2, RunTest},
        {"passport", "[--pdf FILE] [--text]",
         "Читает настройки из прибора и выводит страничку в паспорт: текстом (по умолчанию) и/или в PDF.",
         {"--pdf"}, {"--text"}, 0, 0, RunPassport},
        {"report", "[--read] [--pdf FILE] [--text] PROFILE",
         "Отчет по настройкам профиля; с --read сначала читает настройки и коэффициенты из прибора и при успехе "
         "сохраняет их в профиль.",
         {"--pdf"}, {"--read", "--text"}, 1, 1, RunReport, ReportNeedsLine},
        {"produce", kProduceUsage, kProduceHelp, {"--profile", "--serial", "--date", "--passport-dir"},
         {"--yes", "--no", "--reuse", "--new-history"}, 0, 0, RunProduce},
        {"history", kHistoryUsage, kHistoryHelp, {"--from", "--to", "--csv-format"}, {"--csv", "--json"}, 0, 1,
         RunHistory, NeverNeedsLine},
        {"monitor", kMonitorUsage, kMonitorHelp, {"--interval", "--count", "--csv-format"}, {"--csv", "--json"}, 0, 0,
         RunMonitor},
        {"doctor", "[--json]", "Проверка связи: устройство, права, другие программы, brltty, ModemManager, таймер задержки, "
         "ответ прибора; для каждой найденной причины команда, которая её устраняет.", {}, {"--json"}, 0, 0, RunDoctor,
         nullptr, true},
        {"scan", "[--bauds LIST] [--addresses A-B] [--all] [--save] [--json]",
         "Поиск прибора по адресам и скоростям (с глобальным --baud только на этой скорости); --save сохраняет "
         "адрес и скорость в dev.dat. Код 0, если прибор найден, 2, если нет.",
         {"--bauds", "--addresses"}, {"--all", "--save", "--json"}, 0, 0, RunScan},
    };
    return kCommands;
}

int PrintHelp(Console& console)
{
    std::fputs(kUsage, console.out);
    std::fputs("\nКоманды (справка по команде: pmvctl КОМАНДА --help):\n", console.out);
    for (const Command& c : Commands())
        std::fprintf(console.out, "  %s%s\n", Padded(c.name, 15).c_str(), Summary(c.help).c_str());
    std::fprintf(console.out, "\n%s\nКоды завершения:\n", kGlobalOptions);
    for (const ExitStatusRow& row : kExitStatuses)
        std::fprintf(console.out, "  %s%s\n", Padded(row.status, 7).c_str(), row.meaning);
    return 0;
}

int PrintCommandHelp(Console& console, const Command& command)
{
    std::fprintf(console.out, "Использование: pmvctl %s %s\n%s\n", command.name, command.usage, command.help);
    return 0;
}

const Command* FindCommand(const std::string& name)
{
    const auto& commands = Commands();
    const auto found = std::find_if(commands.begin(), commands.end(), [&](const Command& c) { return name == c.name; });
    return found == commands.end() ? nullptr : &*found;
}

}  // namespace

int RunPmvctl(const std::vector<std::string>& args, Console& console)
{
    LinkOverrides overrides;
    size_t at = 0;
    for (; at < args.size() && args[at].starts_with("-"); ++at) {
        const std::string& option = args[at];
        if (option == "--help" || option == "-h")
            return PrintHelp(console);
        if (option == "--version") {
            std::fprintf(console.out, "pmvctl %s\n", PMV_VERSION);
            return 0;
        }
        if (option == "--quiet" || option == "--verbose") {
            (option == "--quiet" ? console.quiet : console.verbose) = true;
            continue;
        }
        if (option != "--port" && option != "--address" && option != "--baud")
            return Usage(console, "неизвестный параметр " + option);
        if (++at >= args.size())
            return Usage(console, "нет значения у " + option);
        const std::string& value = args[at];
        if (option == "--port") {
            overrides.port = value;
        } else if (option == "--address") {
            const auto address = ParseNumber(value, 0, 255);
            if (!address)
                return Usage(console, "неверный адрес " + value);
            overrides.address = static_cast<int32_t>(*address);
        } else {
            const auto baud = ParseNumber(value, 0, 1000000);
            if (!baud || ByteTimeoutForBaud(static_cast<uint32_t>(*baud)) == kUnknownBaudByteTimeout)
                return Usage(console, "скорость 4800, 9600, 19200, 38400 или 57600");
            overrides.baud = static_cast<uint32_t>(*baud);
        }
    }
    if (console.quiet && console.verbose)
        return Usage(console, "--quiet и --verbose вместе");
    if (at >= args.size())
        return Usage(console, "не задана команда");
    if (args[at] == "help") {
        if (at + 1 >= args.size())
            return PrintHelp(console);
        const Command* named = FindCommand(args[at + 1]);
        if (!named || at + 2 != args.size())
            return Usage(console, "неизвестная команда " + args[at + 1]);
        return PrintCommandHelp(console, *named);
    }
    const Command* command = FindCommand(args[at]);
    if (!command)
        return Usage(console, "неизвестная команда " + args[at]);

    const std::vector<std::string> rest(args.begin() + static_cast<long>(at) + 1, args.end());
    if (std::find_if(rest.begin(), rest.end(), [](const std::string& a) { return a == "--help" || a == "-h"; }) != rest.end())
        return PrintCommandHelp(console, *command);
    const Arguments parsed = ParseArguments(rest, command->valueOptions, command->flagOptions);
    if (!parsed.error.empty())
        return Usage(console, parsed.error);
    if (parsed.words.size() < command->minWords || parsed.words.size() > command->maxWords)
        return Usage(console, std::string("pmvctl ") + command->name + " " + command->usage);
    if (parsed.options.count("--groups") && !ParseGroups(parsed.options.at("--groups")))
        return Usage(console, "группы: ch1, ch2, relay, general");
    if (parsed.Has("--yes") && parsed.Has("--no"))
        return Usage(console, "--yes и --no вместе");

    std::optional<bool> answer;
    if (parsed.Has("--yes"))
        answer = true;
    else if (parsed.Has("--no"))
        answer = false;
    Session session(console, answer);
    if (!command->needsLine || command->needsLine(parsed))
        if (const uint32_t code = session.Open(overrides); code && !command->runsWithoutPort)
            return session.Finish(code);
    return command->run(session, parsed);
}

}  // namespace pmv::cli
