#include "pmvctl.h"
#include "terminal_io.h"

#include <QCoreApplication>

#include <cstring>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("pmvctl %s\n", PMV_VERSION);
        return 0;
    }
    QCoreApplication app(argc, argv);
    pmv::cli::TerminalProgress::CatchInterrupt();
    pmv::cli::Console console;
    console.in = &std::cin;
    console.errIsTerminal = isatty(STDERR_FILENO);
    console.inIsTerminal = isatty(STDIN_FILENO);
    return pmv::cli::RunPmvctl(std::vector<std::string>(argv + 1, argv + argc), console);
}
