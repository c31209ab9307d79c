// pmvconf: the configuration program's window.

#include "ini/ini_file.h"
#include "link/link_settings.h"
#include "main_window.h"
#include "window_messages.h"
#include "work_folder.h"

#ifdef PMV_SIMULATOR
#include "sim/simulator.h"
#include "simulated_bench.h"
#endif

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr const char* kUsage =
    "usage: pmvconf [--port DEVICE | --simulate] [--workdir DIR | --desktop] [--service] [--version]\n"
    "  (no option)      the instrument on the port numbered in dev.dat of the working directory\n"
    "  --workdir DIR    keep dev.dat, recent.prf, the profiles and the logs in DIR (created when missing)\n"
    "  --desktop        keep them in $XDG_DATA_HOME/pmvconf (the desktop entry starts the program so)\n"
    "  --port DEVICE    the instrument on DEVICE, for this run only (not written to dev.dat)\n"
#ifdef PMV_SIMULATOR
    "  --simulate       a simulated instrument inside the program, on a pseudo-terminal\n"
#endif
    "  --service        show the service menu (else Ctrl+Alt+S shows it)\n";

#ifdef PMV_SIMULATOR
// The simulated instrument answers the device address of dev.dat (1 when there is none yet).
uint32_t ConfiguredAddress()
{
    const std::string text = pmv::ReadIniString(pmv::LinkSettingsPath(), "DEVICE", "NetAdrr", "1");
    return static_cast<uint32_t>(pmv::ParseIniInt(text).value_or(1));
}
#endif

}  // namespace

int main(int argc, char** argv)
{
    // Help needs no display, so it is answered before the window system is opened.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pmvconf %s\n", PMV_VERSION);
            return 0;
        }

    QApplication app(argc, argv);
    QApplication::setApplicationName("pmvconf");
    pmv::InstallRussianTranslation(app);

    QCommandLineParser parser;
    const QCommandLineOption port("port", "Serial device of the instrument for this run (not saved).", "DEVICE");
    const QCommandLineOption workdir("workdir", "Folder of dev.dat, recent.prf, the profiles and the logs.", "DIR");
    const QCommandLineOption desktop("desktop", "Work in $XDG_DATA_HOME/pmvconf.");
    const QCommandLineOption service("service", "Show the service menu.");
    parser.addOption(port);
    parser.addOption(workdir);
    parser.addOption(desktop);
    parser.addOption(service);
#ifdef PMV_SIMULATOR
    const QCommandLineOption simulate("simulate", "Work with a simulated instrument inside the program.");
    parser.addOption(simulate);
#endif
    parser.process(app);

    const pmv::WorkFolderChoice choice{parser.value(workdir).toStdString(), parser.isSet(desktop)};
    if (const auto failure = pmv::EnterWorkFolder(pmv::WorkFolderFor(choice, std::getenv("XDG_DATA_HOME"), std::getenv("HOME")))) {
        std::fprintf(stderr, "pmvconf: %s\n", failure->c_str());
        return 1;
    }

    pmv::WindowOptions options;
    options.portDevice = parser.value(port).toStdString();
    options.service.visible = parser.isSet(service);

#ifdef PMV_SIMULATOR
    std::unique_ptr<pmv::sim::Simulator> simulator;
    if (parser.isSet(simulate)) {
        pmv::sim::SimOptions sim;
        sim.address = ConfiguredAddress();
        sim.baud = 9600;  // the pace of a real line, so that the progress of an operation can be seen
        simulator = std::make_unique<pmv::sim::Simulator>(sim);
        std::string error;
        if (!simulator->Start(&error)) {
            std::fprintf(stderr, "pmvconf: the simulated instrument does not start: %s\n", error.c_str());
            return 1;
        }
        options.portDevice = simulator->DevicePath();
        options.service.referenceConnected = pmv::SimulatedBench(*simulator);
        std::fprintf(stderr, "pmvconf: simulated instrument on %s\n", options.portDevice.c_str());
    }
#endif

    pmv::MainWindow window(options);
    window.show();
    return QApplication::exec();
}
