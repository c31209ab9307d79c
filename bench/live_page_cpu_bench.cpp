// The window's processor time, the window and a simulated instrument on a 9600-baud line in one
// process, as `pmvconf --simulate` runs: first left idle on its first page, then showing the
// page of current values with its trend, SECONDS (60 by default) of wall time each. The trend
// starts with a full hour of samples and shows its widest window, the most it ever draws.
// Goals: idle below 0.1 % of one core, the live page below 1 %.
//
//   live_page_cpu_bench [SECONDS]      (offscreen unless QT_QPA_PLATFORM says otherwise,
//                                       e.g. QT_QPA_PLATFORM=xcb xvfb-run -a live_page_cpu_bench)
#include "gui/main_window.h"
#include "gui/trend_chart.h"
#include "sim/simulator.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

double ProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor time over `seconds` of the event loop, after `settleMs` left out. A loop of its own:
// quitting the application would close the window.
double CorePercent(int settleMs, int seconds)
{
    double startCpu = 0;
    QElapsedTimer wall;
    QEventLoop loop;
    QTimer::singleShot(settleMs, &loop, [&] {
        startCpu = ProcessorSeconds();
        wall.start();
    });
    QTimer::singleShot(settleMs + seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = ProcessorSeconds() - startCpu;
    return 100.0 * cpu / (static_cast<double>(wall.elapsed()) / 1000.0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: live_page_cpu_bench [SECONDS]\n");
        return 2;
    }
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    pmv::sim::SimOptions options;
    options.baud = 9600;
    pmv::sim::Simulator simulator(options);
    if (!simulator.Start())
        return 1;

    pmv::gui::MainWindow window({simulator.DevicePath()});
    window.show();
    // Start-up is left out: the figure is the window left open.
    const double idle = CorePercent(3000, seconds);
    std::printf("idle on the first page for %d s: %.3f %% of one core (goal < 0.1 %%)\n", seconds, idle);

    auto* trend = window.findChild<pmv::gui::TrendChart*>("TrendChart");
    auto* length = window.findChild<QComboBox*>("TrendWindow");
    length->setCurrentIndex(length->count() - 1);
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (int64_t t = now - pmv::binding::TrendBuffer::kSpanMs; t < now; t += pmv::device::LivePoll::kIntervalMs) {
        pmv::device::LiveValues values;
        values.value = {static_cast<float>(21.5 + 0.5 * std::sin(t / 3000.0)),
                        static_cast<float>(48.0 + 3.0 * std::cos(t / 3000.0))};
        trend->Add(values, t);
    }
    window.findChild<QTabWidget*>("TabbedNotebook1")->setCurrentIndex(3);  // "Текущие значения"
    // The first polls are left out: the figure is the page left open.
    simulator.ClearTranscript();
    const double live = CorePercent(3000, seconds);
    std::printf("live page for %d s: %.2f %% of one core (goal < 1 %%); %zu requests, %zu samples in the trend\n",
                seconds, live, simulator.Transcript().size(), trend->buffer().size());
    return 0;
}
