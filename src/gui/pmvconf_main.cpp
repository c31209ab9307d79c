// pmvconf: the configuration program's window.

#include "ini/ini_file.h"
#include "link/link_settings.h"
#include "main_window.h"
#include "window_messages.h"

#ifdef PMV_SIMULATOR
#include "sim/simulator.h"
#include "simulated_bench.h"
#endif

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

#ifdef PMV_SIMULATOR
constexpr const char* kUsage =
    "usage: pmvconf [--port DEVICE | --simulate] [--service]\n"
    "  (no option)      the instrument on the port numbered in dev.dat of the working directory\n"
    "  --port DEVICE    the instrument on DEVICE, for this run only (not written to dev.dat)\n"
    "  --simulate       a simulated instrument inside the program, on a pseudo-terminal\n"
    "  --service        show the service menu (else Ctrl+Alt+S shows it)\n";

// The simulated instrument answers the device address of dev.dat (1 when there is none yet).
uint32_t ConfiguredAddress()
{
    const std::string text = pmv::ReadIniString(pmv::LinkSettingsPath(), "DEVICE", "NetAdrr", "1");
    return static_cast<uint32_t>(pmv::ParseIniInt(text).value_or(1));
}
#else
constexpr const char* kUsage =
    "usage: pmvconf [--port DEVICE] [--service]\n"
    "  (no option)      the instrument on the port numbered in dev.dat of the working directory\n"
    "  --port DEVICE    the instrument on DEVICE, for this run only (not written to dev.dat)\n"
    "  --service        show the service menu (else Ctrl+Alt+S shows it)\n";
#endif

}  // namespace

int main(int argc, char** argv)
{
    // Help needs no display, so it is answered before the window system is opened.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }

    QApplication app(argc, argv);
    QApplication::setApplicationName("pmvconf");
    pmv::InstallRussianTranslation(app);

    QCommandLineParser parser;
    const QCommandLineOption port("port", "Serial device of the instrument for this run (not saved).", "DEVICE");
    parser.addOption(port);
#ifdef PMV_SIMULATOR
    const QCommandLineOption simulate("simulate", "Work with a simulated instrument inside the program.");
    parser.addOption(simulate);
#endif
    const QCommandLineOption service("service", "Show the service menu.");
    parser.addOption(service);
    parser.process(app);

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
