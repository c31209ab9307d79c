#include "messages/error_codes.h"
#include "page_module.h"
#include "pmvctl.h"
#include "report_commands.h"
#include "terminal_io.h"

#include <QDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool AsksForHelp(const std::vector<std::string>& args)
{
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h" || a == "--version"; });
}

// Page drawing asks Qt for the runtime folder, and Qt warns on stderr when XDG_RUNTIME_DIR is
// unset (a cron job, a service, ssh without a login session). The folder Qt would take then, a
// private one in the temporary folder, is named here, so the warning does not bury our output.
void NameRuntimeFolder()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const passwd* user = getpwuid(geteuid());
    if (user == nullptr)
        return;
    const std::string folder = QDir::tempPath().toStdString() + "/runtime-" + user->pw_name;
    mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
        (info.st_mode & 0777) == 0700)
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Pages are drawn with fonts, which need a GUI application; no display is needed for that.
    std::unique_ptr<QCoreApplication> app;
    const bool drawsPages = pmv::cli::NeedsPageDrawing(args) && !AsksForHelp(args);
    if (drawsPages) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        NameRuntimeFolder();
        std::string error;
        app = pmv::cli::CreatePageApplication(argc, argv, error);
        if (app == nullptr) {
            std::fprintf(stderr, "pmvctl: модуль рисования страниц не загружается: %s\n", error.c_str());
            return static_cast<int>(pmv::CodeNumber(pmv::kFileNotOpened));
        }
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName("pmvctl");
    pmv::cli::TerminalProgress::CatchInterrupt();
    pmv::cli::Console console;
    console.in = &std::cin;
    console.errIsTerminal = isatty(STDERR_FILENO);
    console.inIsTerminal = isatty(STDIN_FILENO);
    const int status = pmv::cli::RunPmvctl(args, console);
    // Taking the GUI application down (fonts, the platform plugin) costs some 3 ms at the end of
    // every production, and the system frees all of it with the process anyway. The command has
    // closed its files and let go of the port and its locks by now: only the output is flushed.
    if (drawsPages) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
