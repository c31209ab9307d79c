// The installed programs as users run them: real processes, their help against their manual
// pages and the README, and what they print where.

#include "temp_dir.h"

#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace pmv {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome RunProgram(const char* program, const std::vector<std::string>& args, const std::string& folder = {},
                   QProcessEnvironment environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    QStringList list;
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    process.setProcessEnvironment(environment);
    if (!folder.empty())
        process.setWorkingDirectory(QString::fromStdString(folder));
    process.start(QString::fromUtf8(program), list);
    Outcome outcome;
    if (!process.waitForStarted(10000) || !process.waitForFinished(60000))
        return outcome;
    outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out = process.readAllStandardOutput().toStdString();
    outcome.err = process.readAllStandardError().toStdString();
    return outcome;
}

// A page's source with the escaped hyphens plain, as a reader sees them.
std::string ManPage(const std::string& name)
{
    std::string text = test::ReadFileBytes(std::string(PMV_PACKAGING_DIR) + "/" + name);
    for (size_t at; (at = text.find("\\-")) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

std::set<std::string> OptionsIn(const std::string& text)
{
    static const std::regex kOption("--[a-z][a-z-]*");
    std::set<std::string> options;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kOption); it != std::sregex_iterator(); ++it)
        options.insert(it->str());
    return options;
}

// The lines of a help text from the one after `heading` to the next empty line.
std::vector<std::string> Block(const std::string& help, const std::string& heading)
{
    std::vector<std::string> lines;
    std::istringstream in(help.substr(help.find(heading) + heading.size()));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && !line.empty())
        lines.push_back(line);
    return lines;
}

std::string FirstWord(const std::string& line)
{
    std::istringstream in(line);
    std::string word;
    in >> word;
    return word;
}

std::vector<std::string> PmvctlCommands()
{
    std::vector<std::string> names;
    for (const std::string& line : Block(RunProgram(PMVCTL_PATH, {"--help"}).out, "Команды"))
        names.push_back(FirstWord(line));
    return names;
}

// The entry of a command in the man page: from its ".B name" line to the next paragraph or section.
std::string CommandEntry(const std::string& page, const std::string& command)
{
    const size_t at = page.find("\n.B " + command + " ");
    const size_t atEnd = page.find("\n.B " + command + "\n");
    const size_t start = std::min(at, atEnd);
    if (start == std::string::npos)
        return {};
    return page.substr(start, std::min(page.find("\n.TP", start + 1), page.find("\n.SH", start + 1)) - start);
}

TEST(ProgramHelp, EveryCommandAndOptionOfPmvctlIsInItsManPage)
{
    const std::string page = ManPage("pmvctl.1");
    const std::string global = RunProgram(PMVCTL_PATH, {"--help"}).out;
    const std::vector<std::string> commands = PmvctlCommands();
    ASSERT_GE(commands.size(), 18u);
    for (const std::string& command : commands) {
        const std::string entry = CommandEntry(page, command);
        EXPECT_FALSE(entry.empty()) << command << " has no entry in pmvctl.1";
        const Outcome help = RunProgram(PMVCTL_PATH, {command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        const std::string usage = help.out.substr(0, help.out.find('\n'));
        for (const std::string& option : OptionsIn(usage))
            EXPECT_NE(entry.find(option), std::string::npos) << command << " " << option << " missing from pmvctl.1";
        // And back: an option the page gives the command that the command no longer has.
        std::set<std::string> known = OptionsIn(help.out);
        known.merge(OptionsIn(global));
        for (const std::string& option : OptionsIn(entry))
            EXPECT_TRUE(known.count(option)) << command << " " << option << " in pmvctl.1 but not in its --help";
    }
    for (const std::string& line : Block(global, "Общие параметры"))
        EXPECT_NE(page.find(FirstWord(line)), std::string::npos) << FirstWord(line) << " missing from pmvctl.1";
    const size_t globalStart = page.find(".SH GLOBAL OPTIONS");
    for (const std::string& option : OptionsIn(page.substr(globalStart, page.find(".SH COMMANDS") - globalStart)))
        EXPECT_NE(global.find(option), std::string::npos) << option << " in GLOBAL OPTIONS but not in --help";
}

// What bash offers after the words typed, with the completion script as packaged; bash-completion's
// two helpers stand in as plain functions (files are offered as "FILES:ext").
std::string Offered(const std::string& line)
{
    const std::string script = "_init_completion() { words=(\"${COMP_WORDS[@]}\"); cword=$COMP_CWORD;"
                               " cur=${words[cword]}; prev=${words[cword-1]}; }\n"
                               "_filedir() { COMPREPLY=(FILES:$1); }\n"
                               "compopt() { :; }\n"
                               "source '" PMV_PACKAGING_DIR "/pmvctl.bash-completion'\n"
                               "COMP_WORDS=(" +
                               line +
                               ")\n"
                               "[[ '" +
                               line +
                               "' == *' ' ]] && COMP_WORDS+=('')\n"
                               "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                               "_pmvctl\n"
                               "echo \"${COMPREPLY[*]}\"\n";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", QString::fromUtf8(std::filesystem::path(PMVCTL_PATH).parent_path().c_str()) + ":" +
                                   environment.value("PATH"));
    const Outcome outcome = RunProgram("bash", {"-c", script}, {}, environment);
    return outcome.out.substr(0, outcome.out.find('\n'));
}

TEST(ProgramHelp, CompletionOffersTheWordsEachPlaceTakes)
{
    EXPECT_EQ(Offered("pmvctl history --csv-format "), "ru c");
    EXPECT_EQ(Offered("pmvctl monitor --csv --csv-format "), "ru c");
    EXPECT_EQ(Offered("pmvctl calibrate "), "1 2");
    EXPECT_EQ(Offered("pmvctl calibrate 1 "), "ku10 ku100 ki20 ki5 ref");
    EXPECT_EQ(Offered("pmvctl calibrate 1 k"), "ku10 ku100 ki20 ki5");
    EXPECT_EQ(Offered("pmvctl calibrate --yes 2 ref "), "FILES:prf");
    EXPECT_EQ(Offered("pmvctl test "), "mode all-on all-off select run");
    EXPECT_EQ(Offered("pmvctl --port /dev/ttyUSB0 test mode "), "on off");
    EXPECT_EQ(Offered("pmvctl test select "), "");
    EXPECT_EQ(Offered("pmvctl calib write 1 "), "FILES:prf");
    EXPECT_EQ(Offered("pmvctl read --groups ch1 "), "FILES:prf");
    EXPECT_EQ(Offered("pmvctl read --groups ch1,r"), "ch1,relay");
    EXPECT_EQ(Offered("pmvctl sc"), "scan");
    EXPECT_EQ(Offered("pmvctl history --c"), "--csv --csv-format");
    EXPECT_EQ(Offered("pmvctl --history postgresql://pmv@db/pmv history --c"), "--csv --csv-format");
    EXPECT_EQ(Offered("pmvctl --hi"), "--history");
    EXPECT_EQ(Offered("pmvctl history --import "), "FILES:sqlite");
}

TEST(ProgramHelp, EveryOptionOfPmvsimAndPmvconfIsInItsManPage)
{
    for (const auto& [program, name] : {std::pair{PMVSIM_PATH, "pmvsim.1"}, std::pair{PMVCONF_PATH, "pmvconf.1"}}) {
        const Outcome help = RunProgram(program, {"--help"});
        ASSERT_EQ(help.status, 0) << name;
        const std::string page = ManPage(name);
        const std::set<std::string> options = OptionsIn(help.out);
        EXPECT_GE(options.size(), 4u) << name;
        for (const std::string& option : options)
            EXPECT_NE(page.find(option), std::string::npos) << option << " missing from " << name;
    }
}

TEST(ProgramHelp, ExitStatusesAreOneTableInHelpManPageAndReadme)
{
    const std::vector<std::string> rows = Block(RunProgram(PMVCTL_PATH, {"--help"}).out, "Коды завершения");
    ASSERT_GE(rows.size(), 9u);
    const std::string page = ManPage("pmvctl.1");
    const std::string readme = test::ReadFileBytes(PMV_README_PATH);
    for (const std::string& row : rows) {
        const std::string status = FirstWord(row);
        const std::string meaning = row.substr(row.find_first_not_of(' ', row.find(status) + status.size()));
        EXPECT_NE(page.find(".B " + status + "\n" + meaning + "\n"), std::string::npos) << row << ": pmvctl.1";
        EXPECT_NE(readme.find("| " + status + " | " + meaning + " |"), std::string::npos) << row << ": README.md";
    }
}

TEST(ProgramHelp, HelpIsAskedForAsGitAndMbpollUsersDo)
{
    const Outcome help = RunProgram(PMVCTL_PATH, {"--help"});
    ASSERT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--version"), std::string::npos) << "the usage names --version";
    for (const std::vector<std::string>& asked : {std::vector<std::string>{"-h"}, {"help"}}) {
        const Outcome same = RunProgram(PMVCTL_PATH, asked);
        EXPECT_EQ(same.status, 0) << asked[0];
        EXPECT_EQ(same.out, help.out) << asked[0];
    }
    const Outcome command = RunProgram(PMVCTL_PATH, {"help", "write"});
    EXPECT_EQ(command.status, 0);
    EXPECT_EQ(command.out, RunProgram(PMVCTL_PATH, {"write", "-h"}).out);
    EXPECT_NE(command.out.find("--verify"), std::string::npos);
    EXPECT_EQ(RunProgram(PMVCTL_PATH, {"help", "nonsense"}).status, 64);
}

TEST(ProgramHelp, AllThreeProgramsHelpInRussianWithoutADisplay)
{
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    bare.remove("DISPLAY");
    bare.remove("WAYLAND_DISPLAY");
    bare.remove("QT_QPA_PLATFORM");
    for (const char* program : {PMVCTL_PATH, PMVSIM_PATH, PMVCONF_PATH}) {
        for (const char* asked : {"--help", "-h"}) {
            const Outcome help = RunProgram(program, {asked}, {}, bare);
            EXPECT_EQ(help.status, 0) << program << " " << asked;
            EXPECT_EQ(help.out.rfind("Использование: ", 0), 0u) << program << "\n" << help.out;
        }
    }
    const Outcome bogus = RunProgram(PMVCONF_PATH, {"--bogus"}, {}, bare);
    EXPECT_EQ(bogus.status, 64) << "parsed before the window system is opened";
    EXPECT_NE(bogus.err.find("неизвестный параметр --bogus"), std::string::npos) << bogus.err;
    EXPECT_NE(bogus.err.find("Использование: pmvconf"), std::string::npos) << bogus.err;
    const Outcome sim = RunProgram(PMVSIM_PATH, {"--bogus"}, {}, bare);
    EXPECT_EQ(sim.status, 64);
    EXPECT_NE(sim.err.find("Использование: pmvsim"), std::string::npos) << sim.err;
}

// pmvctl against the simulated instrument in a folder of its own.
class PmvctlProcess : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(simulator_.Start()); }

    Outcome Run(std::vector<std::string> args,
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment())
    {
        args.insert(args.begin(), {"--port", simulator_.DevicePath()});
        return RunProgram(PMVCTL_PATH, args, dir_.path().string(), environment);
    }

    test::TempDir dir_;
    sim::Simulator simulator_;
};

TEST_F(PmvctlProcess, ProgressStaysOutOfALogUnlessVerboseAsksForEveryExchange)
{
    const Outcome plain = Run({"read", "x.prf"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "") << "no progress lines into a file";
    const Outcome verbose = Run({"--verbose", "read", "y.prf"});
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_NE(verbose.err.find("Чтение типа датчика"), std::string::npos) << verbose.err;
    EXPECT_NE(verbose.err.find("> :1;37;"), std::string::npos) << "each request";
    EXPECT_NE(verbose.err.find("< !1;"), std::string::npos) << "each answer";
    EXPECT_EQ(Run({"--quiet", "--verbose", "read", "z.prf"}).status, 64);
}

TEST_F(PmvctlProcess, AProductionIntoALogPrintsThePassportOnceAndNoSteps)
{
    ASSERT_EQ(Run({"read", "d.prf"}).status, 0);
    const Outcome produced = Run({"produce", "--profile", "d.prf", "--serial", "12", "--yes"});
    ASSERT_EQ(produced.status, 0) << produced.err;
    EXPECT_EQ(produced.err, "");
    EXPECT_TRUE(produced.out.ends_with("012-00001.pdf\n")) << produced.out;
    EXPECT_EQ(produced.out.find('\n'), produced.out.size() - 1) << produced.out;
    const Outcome verbose = Run({"--verbose", "produce", "--profile", "d.prf", "--serial", "12", "--yes"});
    ASSERT_EQ(verbose.status, 0) << verbose.err;
    EXPECT_NE(verbose.err.find("Прибор 012-00002"), std::string::npos) << verbose.err;
    EXPECT_NE(verbose.err.find("4/4 "), std::string::npos) << verbose.err;
    EXPECT_EQ(verbose.err.find("012-00002.pdf"), std::string::npos) << "the path is stdout's";
}

TEST_F(PmvctlProcess, AnErrorIsNamedOnceAndAMissingPortNamesTheDeviceTried)
{
    // No --port and no dev.dat: port 1 is whatever serial device the machine lists first, or none.
    const Outcome noPort = RunProgram(PMVCTL_PATH, {"--address", "254", "serial"}, dir_.path().string());
    EXPECT_EQ(noPort.status, 2);
    EXPECT_NE(noPort.err.find("Нет dev.dat: создан с портом 1 ("), std::string::npos) << noPort.err;
    EXPECT_EQ(noPort.err.find("Ошибка (ошибка)"), std::string::npos) << noPort.err;
    EXPECT_NE(noPort.err.find("Ошибка: Прибор не ответил (ERR 2)"), std::string::npos) << noPort.err;
    const Outcome again = RunProgram(PMVCTL_PATH, {"--address", "254", "serial"}, dir_.path().string());
    EXPECT_EQ(again.err.find("Нет dev.dat"), std::string::npos) << "said once, when dev.dat is made";
}

TEST_F(PmvctlProcess, PageDrawingPrintsNoRuntimeFolderNoise)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("XDG_RUNTIME_DIR");
    ASSERT_EQ(Run({"read", "r.prf"}).status, 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"produce", "--help"}, {"report", "--pdf", "r.pdf", "r.prf"}}) {
        const Outcome outcome = Run(args, environment);
        EXPECT_EQ(outcome.status, 0) << args[0] << outcome.err;
        EXPECT_EQ(outcome.err.find("XDG_RUNTIME_DIR"), std::string::npos) << args[0] << outcome.err;
    }
}

// QtGui takes longer to load than a whole read at 57600 baud: only the commands that draw pages
// load it, from pmvctl's page module; a pmvctl without its module still does everything else.
TEST_F(PmvctlProcess, OnlyPageDrawingLoadsQtGuiAndAMissingModuleIsNamed)
{
    QProcessEnvironment listing = QProcessEnvironment::systemEnvironment();
    listing.insert("LD_TRACE_LOADED_OBJECTS", "1");
    const Outcome libraries = RunProgram(PMVCTL_PATH, {}, {}, listing);
    ASSERT_NE(libraries.out.find("libQt6Core"), std::string::npos) << libraries.out;
    EXPECT_EQ(libraries.out.find("libQt6Gui"), std::string::npos) << libraries.out;

    std::filesystem::create_directory(dir_.file("bin"));
    const std::string alone = dir_.file("bin/pmvctl");
    std::filesystem::copy_file(PMVCTL_PATH, alone);
    const auto runAlone = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", simulator_.DevicePath()});
        return RunProgram(alone.c_str(), args, dir_.path().string());
    };
    ASSERT_EQ(runAlone({"read", "r.prf"}).status, 0);
    const Outcome report = runAlone({"report", "--pdf", "r.pdf", "r.prf"});
    EXPECT_EQ(report.status, 14);
    EXPECT_NE(report.err.find("pmvctl: модуль рисования страниц не загружается: "), std::string::npos) << report.err;
    EXPECT_NE(report.err.find("pmvctl-pages.so"), std::string::npos) << report.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.file("r.pdf")));
}

// PDF viewers and print queues show the document's title, not the file name; its creator is the
// program that made it.
TEST_F(PmvctlProcess, PdfTitlesNameThePassportAndTheProfile)
{
    ASSERT_EQ(Run({"serial", "--set", "12", "47", "05.03.2026"}).status, 0);
    ASSERT_EQ(Run({"read", "Печь 3.prf"}).status, 0);
    ASSERT_EQ(Run({"passport", "--pdf", "p.pdf"}).status, 0);
    ASSERT_EQ(Run({"report", "--pdf", "r.pdf", "Печь 3.prf"}).status, 0);
    const auto title = [this](const std::string& file) {
        const Outcome info = RunProgram("pdfinfo", {file}, dir_.path().string());
        const size_t at = info.out.find("Title:");
        if (at == std::string::npos)
            return std::string();
        const size_t start = info.out.find_first_not_of(' ', at + 6);
        return info.out.substr(start, info.out.find('\n', start) - start);
    };
    EXPECT_EQ(title("p.pdf"), "Паспорт 047-00012");
    EXPECT_EQ(title("r.pdf"), "Печь 3");
    const Outcome info = RunProgram("pdfinfo", {"p.pdf"}, dir_.path().string());
    EXPECT_TRUE(std::regex_search(info.out, std::regex("\nCreator: +pmvctl\n"))) << info.out;
}

}  // namespace
}  // namespace pmv
