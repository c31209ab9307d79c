#include "pmvctl.h"

#include "arguments.h"
#include "command_table.h"
#include "exit_statuses.h"
#include "session.h"

#include "history/postgres_history.h"
#include "link/link_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pmv::cli {
namespace {

constexpr const char* kGlobalOptions =
    "Общие параметры (до команды; в dev.dat не пишутся):\n"
    "  --port DEVICE    устройство прибора; без него - порт с номером из dev.dat текущей папки\n"
    "  --port tcp://УЗЕЛ:ПОРТ, rfc2217://УЗЕЛ:ПОРТ  линия за сервером в сети (RFC 2217: скорость с компьютера)\n"
    "  --address N      адрес прибора 0..255\n"
    "  --baud N         скорость 4800, 9600, 19200, 38400 или 57600\n"
    "  --history URL    журнал приборов на сервере PostgreSQL (postgresql://ПОЛЬЗОВАТЕЛЬ@СЕРВЕР/БАЗА; пароль\n"
    "                   в ~/.pgpass или PGPASSWORD) вместо [HISTORY] Server из dev.dat или history.sqlite\n"
    "  --quiet          без строк хода операции (без --quiet они идут в stderr, если это терминал)\n"
    "  --verbose        строки хода операции и каждый обмен с прибором в stderr, даже без терминала\n"
    "  --version        версия программы\n";

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

int RunCommandLine(const std::vector<std::string>& args, Console& console)
{
    LinkOverrides overrides;
    size_t at = 0;
    for (; at < args.size() && args[at].starts_with("-"); ++at) {
        const auto [option, given] = SplitOption(args[at]);
        const bool takesValue =
            option == "--port" || option == "--address" || option == "--baud" || option == "--history";
        if (given && !takesValue)
            return Usage(console, (option == "--quiet" || option == "--verbose" ? "у " + option + " нет значения"
                                                                                : "неизвестный параметр " + option));
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
        if (!takesValue)
            return Usage(console, "неизвестный параметр " + option);
        if (!given && ++at >= args.size())
            return Usage(console, "нет значения у " + option);
        const std::string& value = given ? *given : args[at];
        if (option == "--port") {
            overrides.port = value;
        } else if (option == "--history") {
            std::string problem;
            if (!history::ParseServerAddress(value, problem))
                return Usage(console, "--history: " + problem);
            overrides.history = value;
        } else if (option == "--address") {
            const auto address = ParseNumber(value, 0, 255);
            if (!address)
                return Usage(console, "неверный адрес " + value);
            overrides.address = static_cast<int32_t>(*address);
        } else {
            const auto baud = ParseNumber(value, 0, 1000000);
            if (!baud || link::ByteTimeoutForBaud(static_cast<uint32_t>(*baud)) == link::kUnknownBaudByteTimeout)
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
    console.command = command->name;
    console.commandUsage = command->usage;

    const std::vector<std::string> rest(args.begin() + static_cast<long>(at) + 1, args.end());
    if (std::find_if(rest.begin(), rest.end(), [](const std::string& a) { return a == "--help" || a == "-h"; }) !=
        rest.end())
        return PrintCommandHelp(console, *command);
    const Arguments parsed = ParseArguments(rest, command->valueOptions, command->flags);
    if (!parsed.error.empty())
        return Usage(console, parsed.error);
    if (parsed.words.size() < command->minWords || parsed.words.size() > command->maxWords)
        return Usage(console, parsed.words.size() < command->minWords ? "не хватает параметров" : "лишние параметры");
    if (parsed.options.count("--groups") && !ParseGroups(parsed.options.at("--groups")))
        return Usage(console, "группы: ch1, ch2, relay, general");
    if (parsed.Has("--yes") && parsed.Has("--no"))
        return Usage(console, "--yes и --no вместе");

    std::optional<bool> answer;
    if (parsed.Has("--yes"))
        answer = true;
    else if (parsed.Has("--no"))
        answer = false;
    TerminalSession session(console, answer);
    session.historyOverride = overrides.history;
    session.SelectHistory();
    if (!command->needsLine || command->needsLine(parsed))
        if (const ErrorCode code = session.Open(overrides); code != kOk && !command->runsWithoutPort)
            return session.Finish(code);
    return command->run(session, parsed);
}

}  // namespace

int RunPmvctl(const std::vector<std::string>& args, Console& console)
{
    const int status = RunCommandLine(args, console);
    // A result that never reached its file or pipe (a full disk, a closed reader) is no success.
    if (std::fflush(console.out) == 0 && !std::ferror(console.out))
        return status;
    std::fprintf(console.err, "pmvctl: стандартный вывод не записывается: %s\n", std::strerror(errno));
    return status == 0 ? kOutputFailedStatus : status;
}

}  // namespace pmv::cli
