#include "pmvctl.h"
#include "report_commands.h"
#include "terminal_io.h"

#include <QGuiApplication>

#include <cstring>
#include <iostream>
#include <memory>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("pmvctl %s\n", PMV_VERSION);
        return 0;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Pages are drawn with fonts, which need a GUI application; no display is needed for that.
    std::unique_ptr<QCoreApplication> app;
    if (pmv::cli::NeedsPageDrawing(args)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    pmv::cli::TerminalProgress::CatchInterrupt();
    pmv::cli::Console console;
    console.in = &std::cin;
    console.errIsTerminal = isatty(STDERR_FILENO);
    console.inIsTerminal = isatty(STDIN_FILENO);
    return pmv::cli::RunPmvctl(args, console);
}
