// The window's start as a technician sees it: from the program's start to its first painted frame,
// with the simulated instrument, against a bare Qt window on the same display. Each is a process
// of its own, started in turn; the medians of the elapsed and of the processor time (which a busy
// machine disturbs less) are printed. Goal: at most 1.5 times the bare window.
//
//   xvfb-run -a window_start_bench [RUNS]      (11 runs by default)
#include "gui/main_window.h"
#include "gui/simulated_bench.h"
#include "gui/window_messages.h"
#include "gui/work_folder.h"
#include "sim/simulator.h"

#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

// Ends the program when the window has painted its first frame.
class QuitOnFirstPaint final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        // Ends once the frame is flushed, without the teardown, which is no part of the start.
        if (e->type() == QEvent::Paint)
            QMetaObject::invokeMethod(
                this, [] { std::_Exit(0); }, Qt::QueuedConnection);
        return false;
    }
};

// What pmvconf --simulate does up to its first frame.
int Window(int argc, char** argv, const char* folder)
{
    QApplication app(argc, argv);
    pmv::gui::InstallRussianTranslation(app);
    if (pmv::gui::EnterWorkFolder(folder))
        return 1;
    pmv::sim::SimOptions sim;
    sim.baud = 9600;
    pmv::sim::Simulator simulator(sim);
    if (!simulator.Start())
        return 1;
    pmv::gui::WindowOptions options;
    options.portDevice = simulator.DevicePath();
    options.service.referenceConnected = pmv::gui::SimulatedBench(simulator);
    pmv::gui::MainWindow window(options);
    QuitOnFirstPaint quit;
    window.installEventFilter(&quit);
    window.show();
    return QApplication::exec();
}

struct Took {
    double elapsedMs = -1;
    double processorMs = -1;
};

// From the start of a program to its exit; negative when it failed.
Took Timed(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return {};
    int status = 0;
    rusage used{};
    while (wait4(pid, &status, 0, &used) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
            ms(used.ru_utime) + ms(used.ru_stime)};
}

double Median(std::vector<double> all)
{
    std::sort(all.begin(), all.end());
    return all[all.size() / 2];
}

// The lower and upper quartiles: how far a busy machine spread the runs.
std::pair<double, double> Quartiles(std::vector<double> all)
{
    std::sort(all.begin(), all.end());
    return {all[all.size() / 4], all[(3 * all.size()) / 4]};
}

// The machine's load average over the last minute, as the figures are read against it.
double LoadAverage()
{
    double load[1] = {-1};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--window")
        return Window(argc, argv, argv[2]);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 11;
    if (runs <= 0) {
        std::fprintf(stderr, "usage: window_start_bench [RUNS]\n");
        return 2;
    }
    QTemporaryDir folder;
    const double loadBefore = LoadAverage();
    std::vector<double> window, bare, windowCpu, bareCpu;
    for (int i = 0; i < runs; ++i) {
        const Took b = Timed({BARE_WINDOW_PATH});
        const Took w = Timed({"/proc/self/exe", "--window", folder.path().toStdString()});
        if (b.elapsedMs < 0 || w.elapsedMs < 0) {
            std::fprintf(stderr, "window_start_bench: a window did not start\n");
            return 1;
        }
        bare.push_back(b.elapsedMs);
        window.push_back(w.elapsedMs);
        bareCpu.push_back(b.processorMs);
        windowCpu.push_back(w.processorMs);
    }
    const auto print = [&](const char* what, const std::vector<double>& w, const std::vector<double>& b) {
        const auto [wLow, wHigh] = Quartiles(w);
        const auto [bLow, bHigh] = Quartiles(b);
        std::printf("first frame, %-15s window with the simulated instrument %4.0f ms (%.0f..%.0f), bare Qt window "
                    "%4.0f ms (%.0f..%.0f), ratio %.2f (goal: at most 1.5)\n",
                    what, Median(w), wLow, wHigh, Median(b), bLow, bHigh, Median(w) / Median(b));
    };
    print("elapsed:", window, bare);
    print("processor time:", windowCpu, bareCpu);
    std::printf("(%d runs each, in turn; medians, quartiles in brackets; load average %.2f before, %.2f after)\n", runs,
                loadBefore, LoadAverage());
    return 0;
}
