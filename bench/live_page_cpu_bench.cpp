// The window's processor time while it shows the page of current values with its trend: the
// window and a simulated instrument on a 9600-baud line in one process, as `pmvconf --simulate`
// runs, for SECONDS (60 by default) of wall time. The trend starts with a full hour of samples
// and shows its widest window, the most it ever draws. Goal: below 2 % of one core.
//
//   xvfb-run -a live_page_cpu_bench [SECONDS]
#include "gui/main_window.h"
#include "gui/trend_chart.h"
#include "sim/simulator.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
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

}  // namespace

int main(int argc, char** argv)
{
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

    pmv::MainWindow window({simulator.DevicePath()});
    window.show();
    auto* trend = window.findChild<pmv::TrendChart*>("TrendChart");
    auto* length = window.findChild<QComboBox*>("TrendWindow");
    length->setCurrentIndex(length->count() - 1);
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (int64_t t = now - pmv::TrendBuffer::kSpanMs; t < now; t += pmv::LivePoll::kIntervalMs) {
        pmv::LiveValues values;
        values.value = {static_cast<float>(21.5 + 0.5 * std::sin(t / 3000.0)), static_cast<float>(48.0 + 3.0 * std::cos(t / 3000.0))};
        trend->Add(values, t);
    }
    window.findChild<QTabWidget*>("TabbedNotebook1")->setCurrentIndex(3);  // "Текущие значения"

    // Start-up and the first polls are left out: the figure is the page left open.
    constexpr int kSettleMs = 3000;
    double startCpu = 0;
    QElapsedTimer wall;
    QTimer::singleShot(kSettleMs, [&] {
        startCpu = ProcessorSeconds();
        wall.start();
    });
    QTimer::singleShot(kSettleMs + seconds * 1000, [&] { app.quit(); });
    app.exec();

    const double cpu = ProcessorSeconds() - startCpu;
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    std::printf("live page for %.1f s: %.2f s of processor time, %.2f %% of one core; %zu samples in the trend\n",
                elapsed, cpu, 100.0 * cpu / elapsed, trend->buffer().size());
    return 0;
}
