// Pictures of the window's five pages for docs/: the window reads the simulated instrument,
// two relay cells are marked by a click, then each page is grabbed, and once the progress
// panel during the read. Then a window with its service menu: the menu open, and a
// calibration's dwell on the simulated bench; the user guide, a write refused by the entry checks,
// a write stopped part way and the production dialog.
//
// Last, the bus view with a cabinet of three instruments.
//
//   xvfb-run -a gui_screenshots DIR [bus-view]

#include "form_names.h"
#include "gui/main_window.h"
#include "gui/simulated_bench.h"
#include "gui/window_messages.h"
#include "sim/simulator.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

using pmv::test::Bound;
using pmv::test::Button;
using pmv::test::controls;
using pmv::test::FormName;
using pmv::test::MenuItem;

bool ShootPages(pmv::sim::Simulator& simulator, const QDir& target)
{
    pmv::gui::MainWindow window({simulator.DevicePath()});
    window.show();
    QTest::qWait(400);

    QTimer::singleShot(600, &window, [&] {
        window.grab().save(target.filePath("pmvconf-progress.png"));
    });
    window.findChild<QPushButton*>(FormName(Button::ReadAll))->click();

    auto* relays = window.findChild<QTableWidget*>(Bound(controls.relays.grid).FormName(window));
    for (auto [row, column] : {std::pair{1, 1}, std::pair{2, 8}})
        QTest::mouseClick(relays->viewport(), Qt::LeftButton, {}, relays->visualItemRect(relays->item(row, column)).center());

    auto* notebook = window.findChild<QTabWidget*>("TabbedNotebook1");
    const char* names[] = {"channels", "relays", "general", "live-values", "configuration"};
    for (int page = 0; page < notebook->count(); ++page) {
        notebook->setCurrentIndex(page);
        // The page of current values shows something after its first poll.
        QTest::qWait(page == 3 ? 1500 : 100);
        if (!window.grab().save(target.filePath(QStringLiteral("pmvconf-page%1-%2.png").arg(page).arg(names[page]))))
            return false;
    }
    return true;
}

// The menu drawn over the window, as the screen shows it.
QPixmap WithPopup(QWidget& window, QMenu& menu, QMenu* sub)
{
    QPixmap shot = window.grab();
    QPainter painter(&shot);
    for (QMenu* m : {&menu, sub})
        if (m && m->isVisible())
            painter.drawPixmap(m->pos() - window.mapToGlobal(QPoint(0, 0)), m->grab());
    return shot;
}

bool ShootService(pmv::sim::Simulator& simulator, const QDir& target)
{
    pmv::gui::WindowOptions options{simulator.DevicePath()};
    options.service = {true, nullptr, pmv::gui::SimulatedBench(simulator)};
    pmv::gui::MainWindow window(options);
    window.show();
    QTest::qWait(400);

    auto* menu = window.findChild<QMenu*>("ServiceMenu");
    window.menuBar()->setActiveAction(menu->menuAction());
    QTest::qWait(200);
    QMenu* channel = menu->actions().first()->menu();
    menu->setActiveAction(menu->actions().first());
    channel->popup(menu->pos() + QPoint(menu->width() - 4, 0));
    QTest::qWait(200);
    bool saved = WithPopup(window, *menu, channel).save(target.filePath("pmvconf-service-menu.png"));
    channel->hide();
    menu->hide();

    window.model().grad.del_ku = 10;
    QTimer::singleShot(300, &window, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
    QTimer::singleShot(3800, &window, [&] {
        saved = window.grab().save(target.filePath("pmvconf-calibration-dwell.png")) && saved;
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    QTimer::singleShot(6000, &window, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Ok)->click();
    });
    window.findChild<QAction*>(FormName(MenuItem::Ch1CalibrateKu10))->trigger();
    return saved;
}

// The user guide opened with F1 on the page of channel settings.
bool ShootGuide(pmv::sim::Simulator& simulator, const QDir& target)
{
    pmv::gui::MainWindow window({simulator.DevicePath()});
    window.show();
    QTest::qWait(300);
    window.findChild<QAction*>("UserGuideAction")->trigger();
    QTest::qWait(300);
    auto* guide = window.findChild<QDialog*>("UserGuide");
    return guide && guide->grab().save(target.filePath("pmvconf-user-guide.png"));
}

// "Записать все" refused by the entry checks: a setpoint that is no number, and the status bar
// telling the write as refused.
bool ShootRefusedWrite(pmv::sim::Simulator& simulator, const QDir& target)
{
    pmv::gui::MainWindow window({simulator.DevicePath()});
    window.show();
    QTest::qWait(300);
    auto* setpoint = window.findChild<QLineEdit*>(Bound(controls.channels[0].setpoint1).FormName(window));
    setpoint->setText("12,5,0");
    QTimer acknowledge;
    QObject::connect(&acknowledge, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible())
            box->button(box->button(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok)->click();
    });
    acknowledge.start(50);
    window.findChild<QPushButton*>(FormName(Button::WriteAll))->click();
    acknowledge.stop();
    QTest::qWait(200);
    return window.grab().save(target.filePath("pmvconf-refused-write.png"));
}

// "Записать все" stopped by a refused regulator register: the box naming the groups written and
// not, then the window with the status bar after "Нет".
bool ShootStoppedWrite(pmv::sim::Simulator& simulator, const QDir& target)
{
    pmv::gui::MainWindow window({simulator.DevicePath()});
    window.show();
    QTest::qWait(300);
    // What the instrument holds is read first, so the history keeps it without reading again.
    window.findChild<QPushButton*>(FormName(Button::ReadAll))->click();
    simulator.InjectFault({.kind = pmv::sim::Fault::Kind::Status, .count = -1, .status = 6, .bank = 2, .memType = 1, .reg = 337});
    bool boxSaved = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (box->text().contains(QString::fromUtf8("еще раз")))
            boxSaved = box->grab().save(target.filePath("pmvconf-stopped-write.png"));
        box->button(box->button(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok)->click();
    });
    answer.start(50);
    window.findChild<QPushButton*>(FormName(Button::WriteAll))->click();
    answer.stop();
    simulator.ClearFaults();
    QTest::qWait(200);
    return window.grab().save(target.filePath("pmvconf-stopped-write-status.png")) && boxSaved;
}

// The production dialog after one instrument went through all its steps.
bool ShootProduction(pmv::sim::Simulator& simulator, const QDir& target)
{
    pmv::gui::MainWindow window({simulator.DevicePath()});
    window.show();
    QTest::qWait(300);
    bool saved = false;
    // The offer of the next instrument is declined.
    QTimer decline;
    QObject::connect(&decline, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible())
            box->button(box->button(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok)->click();
    });
    QTimer::singleShot(300, &window, [&] {
        auto* dialog = window.findChild<QDialog*>("ProductionDialog");
        if (!dialog)
            return;
        dialog->findChild<QLineEdit*>("ProductionProfile")->setText("PMV7706.prf");
        decline.start(20);
        dialog->findChild<QPushButton*>("ProductionStart")->click();
        decline.stop();
        saved = dialog->grab().save(target.filePath("pmvconf-production.png"));
        dialog->reject();
    });
    window.findChild<QAction*>("ProduceAction")->trigger();
    return saved;
}

}  // namespace

// A cabinet of three instruments on one line: the bus view after its scan, with each
// instrument's current values and the second one made the window's.
bool ShootBusView(const QDir& target)
{
    pmv::sim::SimOptions options;
    options.baud = 9600;
    options.addresses = {1, 5, 9};
    pmv::sim::Simulator cabinet(options);
    if (!cabinet.Start())
        return false;
    pmv::gui::MainWindow window({cabinet.DevicePath()});
    window.show();
    QTest::qWait(400);
    bool shot = false;
    QTimer::singleShot(300, &window, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QPushButton*>("BusScanButton")->click();
        auto* table = dialog->findChild<QTableWidget*>("BusTable");
        QTest::qWait(2500);
        table->resizeColumnsToContents();
        table->setCurrentCell(1, 0);
        QTest::keyClick(table, Qt::Key_Return);
        QTest::qWait(200);
        shot = dialog->grab().save(target.filePath("pmvconf-bus-view.png"));
        dialog->reject();
    });
    window.findChild<QAction*>("BusViewAction")->trigger();
    return shot;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: gui_screenshots DIR [bus-view]\n");
        return 2;
    }
    // Taken before the working directory moves to a scratch folder below.
    const QDir target(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    pmv::gui::InstallRussianTranslation(app);

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    pmv::sim::SimOptions options;
    options.baud = 9600;
    pmv::sim::Simulator simulator(options);
    if (!simulator.Start())
        return 1;

    // "bus-view" after the folder takes the bus view's picture alone.
    if (argc == 3 && QString::fromLocal8Bit(argv[2]) == "bus-view")
        return ShootBusView(target) ? 0 : 1;
    if (!ShootPages(simulator, target) || !ShootBusView(target))
        return 1;
    const bool service = ShootService(simulator, target);
    const bool guide = ShootGuide(simulator, target);
    const bool refused = ShootRefusedWrite(simulator, target);
    const bool stopped = ShootStoppedWrite(simulator, target);
    return ShootProduction(simulator, target) && service && guide && refused && stopped ? 0 : 1;
}
