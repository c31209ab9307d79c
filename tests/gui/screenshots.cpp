// Pictures of the window's five pages for docs/: the window reads the simulated instrument,
// two relay cells are marked by a click, then each page is grabbed, and once the progress
// panel during the read.
//
//   xvfb-run -a gui_screenshots DIR

#include "gui/main_window.h"
#include "gui/window_messages.h"
#include "sim/simulator.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: gui_screenshots DIR\n");
        return 2;
    }
    // Taken before the working directory moves to a scratch folder below.
    const QDir target(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    pmv::InstallRussianTranslation(app);

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    pmv::sim::SimOptions options;
    options.baud = 9600;
    pmv::sim::Simulator simulator(options);
    if (!simulator.Start())
        return 1;

    pmv::MainWindow window({simulator.DevicePath()});
    window.show();
    QTest::qWait(400);

    QTimer::singleShot(600, &window, [&] {
        window.grab().save(target.filePath("pmvconf-progress.png"));
    });
    window.findChild<QPushButton*>("Button1")->click();

    auto* relays = window.findChild<QTableWidget*>("StringGrid1");
    for (auto [row, column] : {std::pair{1, 1}, std::pair{2, 8}})
        QTest::mouseClick(relays->viewport(), Qt::LeftButton, {}, relays->visualItemRect(relays->item(row, column)).center());

    auto* notebook = window.findChild<QTabWidget*>("TabbedNotebook1");
    const char* names[] = {"channels", "relays", "general", "live-values", "configuration"};
    for (int page = 0; page < notebook->count(); ++page) {
        notebook->setCurrentIndex(page);
        // The page of current values shows something after its first poll.
        QTest::qWait(page == 3 ? 1500 : 100);
        if (!window.grab().save(target.filePath(QStringLiteral("pmvconf-page%1-%2.png").arg(page).arg(names[page]))))
            return 1;
    }
    return 0;
}
