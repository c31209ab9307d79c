// Pictures of the window's five pages for docs/ (scripts/screenshots builds and runs this): the window
// reads the simulated instrument,
// two relay cells are marked by a click, then each page is grabbed, and once the progress
// panel during the read. Then a window with its service menu: the menu open, and a
// calibration's dwell on the simulated bench; the user guide, a write refused by the entry checks,
// a write stopped part way (the box alone, the box over the window, the status bar after it), the
// production dialog, the live values of an instrument that stopped answering and the Tab order of
// the page of channel settings.
//
// Last, the bus view with a cabinet of three instruments.
//
//   xvfb-run -a gui_screenshots DIR [bus-view]

#include "form_names.h"
#include "gui/main_window.h"
#include "gui/simulated_bench.h"
#include "gui/window_messages.h"
#include "reports/configuration_report.h"
#include "reports/page_drawing.h"
#include "reports/passport_page.h"
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

    QTimer::singleShot(600, &window, [&] { window.grab().save(target.filePath("pmvconf-progress.png")); });
    window.findChild<QPushButton*>(FormName(Button::ReadAll))->click();

    auto* relays = window.findChild<QTableWidget*>(Bound(controls.relays.grid).FormName(window));
    for (auto [row, column] : {std::pair{1, 1}, std::pair{2, 8}})
        QTest::mouseClick(relays->viewport(), Qt::LeftButton, {},
                          relays->visualItemRect(relays->item(row, column)).center());

    auto* notebook = window.findChild<QTabWidget*>("TabbedNotebook1");
    const char* names[] = {"channels", "relays", "general", "live-values", "configuration"};
    for (int page = 0; page < notebook->count(); ++page) {
        notebook->setCurrentIndex(page);
        // The page of current values shows something after its first poll.
        QTest::qWait(page == 3 ? 1500 : 100);
        if (!window.grab().save(target.filePath(QStringLiteral("pmvconf-page%1-%2.png").arg(page).arg(names[page]))))
            return false;
    }
    // The two printed pages of the settings just read, at 120 dots per inch.
    const pmv::reports::PrintDate today = pmv::reports::Today();
    return pmv::reports::RenderPageImage(pmv::reports::BuildConfigurationReport(window.model(), today), 120)
               .save(target.filePath("configuration-report.png")) &&
           pmv::reports::RenderPageImage(pmv::reports::BuildPassportPage(window.model(), today), 120)
               .save(target.filePath("passport-page.png"));
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
    simulator.InjectFault(
        {.kind = pmv::sim::Fault::Kind::Status, .count = -1, .status = 6, .bank = 2, .memType = 1, .reg = 337});
    bool boxSaved = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (box->text().contains(QString::fromUtf8("еще раз"))) {
            boxSaved = box->grab().save(target.filePath("pmvconf-stopped-write.png"));
            // The box over the window, where the screen shows it.
            QPixmap shot = window.grab();
            QPainter painter(&shot);
            const QPoint at = box->mapToGlobal(QPoint(0, 0)) - window.mapToGlobal(QPoint(0, 0));
            const QRect place(
                QPoint(at.x() < 0 || at.x() + box->width() > shot.width() ? (shot.width() - box->width()) / 2 : at.x(),
                       at.y() < 0 || at.y() + box->height() > shot.height() ? (shot.height() - box->height()) / 2
                                                                            : at.y()),
                box->size());
            painter.drawPixmap(place.topLeft(), box->grab());
            painter.setPen(Qt::darkGray);
            painter.drawRect(place.adjusted(-1, -1, 0, 0));
            boxSaved = shot.save(target.filePath("pmvconf-stopped-write-message.png")) && boxSaved;
        }
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

// The page of current values once the instrument has stopped answering: its last values greyed
// with their age, and what the poll says.
bool ShootSilentInstrument(pmv::sim::Simulator& simulator, const QDir& target)
{
    pmv::gui::MainWindow window({simulator.DevicePath()});
    window.show();
    QTest::qWait(300);
    auto* notebook = window.findChild<QTabWidget*>("TabbedNotebook1");
    notebook->setCurrentIndex(3);
    QTest::qWait(1500);
    simulator.InjectFault({.kind = pmv::sim::Fault::Kind::NoAnswer, .count = -1});
    QTest::qWait(6000);
    const bool saved = window.grab().save(target.filePath("pmvconf-live-values-silent.png"));
    simulator.ClearFaults();
    notebook->setCurrentIndex(0);
    return saved;
}

// The page of channel settings with the place of each control in the Tab order numbered over it.
bool ShootTabOrder(pmv::sim::Simulator& simulator, const QDir& target)
{
    pmv::gui::MainWindow window({simulator.DevicePath()});
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        return false;
    QTest::qWait(300);
    QWidget* first = QApplication::focusWidget();
    if (!first)
        return false;
    std::vector<QWidget*> order;
    for (QWidget* w = first; w && order.size() < 200;) {
        order.push_back(w);
        QTest::keyClick(w, Qt::Key_Tab);
        w = QApplication::focusWidget();
        if (w == first)
            break;
    }
    QPixmap shot = window.grab();
    QPainter painter(&shot);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    for (size_t i = 0; i < order.size(); ++i) {
        const QPoint corner = order[i]->mapTo(&window, QPoint(0, 0)) + QPoint(-6, -6);
        const QRect badge(std::max(0, corner.x()), std::max(0, corner.y()), 18, 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(200, 0, 0));
        painter.drawRoundedRect(badge, 7, 7);
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter, QString::number(i + 1));
    }
    return shot.save(target.filePath("pmvconf-tab-order.png"));
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
    const bool silent = ShootSilentInstrument(simulator, target);
    const bool tabs = ShootTabOrder(simulator, target);
    return ShootProduction(simulator, target) && service && guide && refused && stopped && silent && tabs ? 0 : 1;
}
