// pmvconf: the configuration program's window.

#include "link/link_settings.h"
#include "main_window.h"
#include "window_messages.h"
#include "work_folder.h"

#ifdef PMV_SIMULATOR
#include "sim/simulator.h"
#include "simulated_bench.h"
#endif

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr int kUsageStatus = 64;

constexpr const char* kUsage =
    "Использование: pmvconf [--port DEVICE | --simulate] [--workdir DIR | --desktop] [--service]\n"
    "       pmvconf --help | -h | --version\n";

constexpr const char* kHelp =
    "Окно настройки приборов PMV 77xx. Без параметров: прибор на порту с номером из dev.dat рабочей папки.\n"
    "  --port DEVICE    прибор на устройстве DEVICE, только в этот раз (в dev.dat не пишется)\n"
#ifdef PMV_SIMULATOR
    "  --simulate       моделируемый прибор внутри программы, на псевдотерминале\n"
#endif
    "  --workdir DIR    dev.dat, recent.prf, профили и журналы в папке DIR (создается при отсутствии)\n"
    "  --desktop        они же в $XDG_DATA_HOME/pmvconf (так программу запускает пункт меню)\n"
    "  --service        показать меню \"Сервис\" (иначе Ctrl+Alt+S)\n"
    "  --version        версия программы\n"
    "Код завершения: 0 после закрытия окна, 1, если рабочая папка или моделируемый прибор недоступны,\n"
    "64 при неверных аргументах.\n";

struct Options {
    std::string port;
    std::string workdir;
    bool desktop = false;
    bool service = false;
    bool simulate = false;
};

int UsageError(const std::string& problem)
{
    std::fprintf(stderr, "pmvconf: %s\n%s", problem.c_str(), kUsage);
    return kUsageStatus;
}

// The program's own options, parsed before the window system is opened: help and mistakes need no
// display. The window system's own options (-platform, -display, -style with a value, -reverse) pass
// through to it. Returns an exit status when the program ends here.
std::optional<int> ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        }
        if (arg == "--version") {
            std::printf("pmvconf %s\n", PMV_VERSION);
            return 0;
        }
        if (arg == "--desktop") {
            options.desktop = true;
        } else if (arg == "--service") {
            options.service = true;
#ifdef PMV_SIMULATOR
        } else if (arg == "--simulate") {
            options.simulate = true;
#endif
        } else if ((arg == "--port" || arg == "--workdir") && hasValue && argv[i + 1][0] != '\0') {
            (arg == "--port" ? options.port : options.workdir) = argv[++i];
        } else if ((arg == "-platform" || arg == "-display" || arg == "-style") && hasValue) {
            ++i;
        } else if (arg != "-reverse") {
            return UsageError((arg == "--port" || arg == "--workdir" ? "нет значения у " : "неизвестный параметр ") +
                              arg);
        }
    }
    return std::nullopt;
}

#ifdef PMV_SIMULATOR
// The simulated instrument answers the device address of dev.dat (1 when there is none yet).
uint32_t ConfiguredAddress()
{
    return static_cast<uint32_t>(pmv::link::ReadDeviceAddress(pmv::link::LinkSettingsPath(), 1));
}
#endif

}  // namespace

int main(int argc, char** argv)
{
    Options parsed;
    if (const std::optional<int> status = ParseOptions(argc, argv, parsed))
        return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationName("pmvconf");
    pmv::gui::InstallRussianTranslation(app);

    const pmv::gui::WorkFolderChoice choice{parsed.workdir, parsed.desktop};
    if (const auto failure = pmv::gui::EnterWorkFolder(
            pmv::gui::WorkFolderFor(choice, std::getenv("XDG_DATA_HOME"), std::getenv("HOME")))) {
        std::fprintf(stderr, "pmvconf: %s\n", failure->c_str());
        return 1;
    }

    pmv::gui::WindowOptions options;
    options.portDevice = parsed.port;
    options.service.visible = parsed.service;
    options.keepWorkFolder = !parsed.workdir.empty() || parsed.desktop;

#ifdef PMV_SIMULATOR
    std::unique_ptr<pmv::sim::Simulator> simulator;
    if (parsed.simulate) {
        pmv::sim::SimOptions sim;
        sim.address = ConfiguredAddress();
        sim.baud = 9600;  // the pace of a real line, so that the progress of an operation can be seen
        simulator = std::make_unique<pmv::sim::Simulator>(sim);
        std::string error;
        if (!simulator->Start(&error)) {
            std::fprintf(stderr, "pmvconf: моделируемый прибор не запустился: %s\n", error.c_str());
            return 1;
        }
        options.portDevice = simulator->DevicePath();
        options.simulated = true;
        options.service.referenceConnected = pmv::gui::SimulatedBench(*simulator);
        std::fprintf(stderr, "pmvconf: моделируемый прибор на %s\n", options.portDevice.c_str());
    }
#endif

    pmv::gui::MainWindow window(options);
    window.show();
    return QApplication::exec();
}
