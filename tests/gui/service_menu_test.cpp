#include "window_fixture.h"

#include "device/register_map.h"
#include "fakes.h"
#include "gui/simulated_bench.h"
#include "history/sqlite_history.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>

namespace pmv::test {
namespace {

class ServiceMenuTest : public WindowTest {
protected:
    void OpenWithService(bool visible)
    {
        gui::WindowOptions options{simulator.DevicePath()};
        options.service = {visible, &waits, gui::SimulatedBench(simulator)};
        Open(options);
    }
    std::vector<history::HistoryRecord> HistoryRows() const
    {
        history::SqliteHistory history(File("history.sqlite"));
        std::vector<history::HistoryRecord> rows;
        EXPECT_EQ(history.Query({}, rows), std::nullopt);
        return rows;
    }

    TestClock waits;
};

TEST_F(ServiceMenuTest, HiddenUntilAskedForThenCalibratesAChannelOnTheBench)
{
    OpenWithService(false);
    QMenu* menu = window->findChild<QMenu*>("ServiceMenu");
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->menuAction()->isVisible());
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_TRUE(menu->menuAction()->isVisible());

    window->model().grad.del_ku = 2;
    window->model().grad.usr_ku = 4;
    boxer.yesToAll = true;
    Trigger(MenuItem::Ch2CalibrateKu100);
    const double truth = simulator.TrueCoefficientsOf(1).ku;
    EXPECT_NEAR(window->model().channel[1].ku, truth, truth * 1e-3);
    EXPECT_NEAR(simulator.FloatRegister(2, 22), truth, truth * 1e-3);
    EXPECT_EQ(simulator.RestartCount(), 1);
    EXPECT_EQ(waits.waitedMs, (2 + 4) * 1000);
    ASSERT_EQ(boxer.boxes.size(), 2u);
    EXPECT_EQ(boxer.boxes[0].caption, QString::fromUtf8("Градуировка параметра Ku 0-100 mV"));
    EXPECT_EQ(boxer.boxes[0].text, QString::fromUtf8("Подключите ко входу напряжение 100.0000  mV"));
    EXPECT_FALSE(window->busy());
    const std::vector<history::HistoryRecord> rows = HistoryRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].operation, history::kOperationCalibration);
    EXPECT_TRUE(rows[0].details.starts_with("канал 2: UREF")) << rows[0].details;
}

TEST_F(ServiceMenuTest, FactoryResetOnNoSendsNothingAndTheOutputWalkTicks)
{
    OpenWithService(true);
    simulator.ClearTranscript();
    Trigger(MenuItem::FactoryReset);
    ASSERT_EQ(boxer.boxes.size(), 1u) << "the operator's No is not told back to him";
    EXPECT_EQ(boxer.boxes[0].text, QString::fromUtf8("Вы хотите стереть все настройки прибора включая калибровки и "
                                                     "записать заводские значения по умолчанию?"));
    EXPECT_TRUE(simulator.Transcript().empty());
    EXPECT_TRUE(HistoryRows().empty());

    // On Yes the history names the instrument as it was before the reset erased its number.
    simulator.SetRegister(2, 1, 11, 0x39);
    simulator.SetRegister(2, 1, 12, 0x30);  // serial number 12345
    boxer.answers.push_back(QMessageBox::Yes);
    Trigger(MenuItem::FactoryReset);
    const std::vector<history::HistoryRecord> rows = HistoryRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].operation, history::kOperationFactoryReset);
    EXPECT_EQ(rows[0].serial, 12345);
    EXPECT_EQ(rows[0].result, 0u);
    simulator.ClearTranscript();

    Trigger(MenuItem::OutputWalk);  // run
    // The run arms the timer with 1800 ms.
    clock.Advance(2 * device::OutputTest::kTimerIntervalMs + 300);
    EXPECT_EQ(simulator.Register(1, 1, 5), 2u) << "outputs 0 and 1 in turn, one tick each";
    std::vector<std::string> writes;
    for (const auto& r : simulator.Transcript())
        writes.push_back(std::to_string(r.reg) + "=" + std::to_string(r.value.value_or(999)));
    EXPECT_EQ(writes, (std::vector<std::string>{"5=1", "5=1", "5=2", "5=2"}));
    Trigger(MenuItem::OutputWalk);  // stop: all off
    EXPECT_EQ(simulator.Register(1, 1, 5), 0u);
}

TEST_F(ServiceMenuTest, RestartAndControlByteAskFirstAndEveryNoEndsWithItsQuestionAlone)
{
    OpenWithService(true);
    window->model().grad.del_ku = 2;
    window->model().grad.usr_ku = 4;
    const QLabel* outcome = Get<QLabel>("StatusOutcome");
    simulator.ClearTranscript();
    for (const MenuItem item :
         {MenuItem::FactoryReset, MenuItem::Ch1CalibrateKu100, MenuItem::Restart, MenuItem::ToggleControlByte}) {
        boxer.boxes.clear();
        Trigger(item);
        ASSERT_EQ(boxer.boxes.size(), 1u) << FormName(item) << ": " << boxer.boxes.back().text.toStdString();
        EXPECT_TRUE(outcome->text().startsWith(QString::fromUtf8("Отменено (ERR 16)")))
            << outcome->text().toStdString();
    }
    EXPECT_TRUE(simulator.Transcript().empty());

    boxer.boxes.clear();
    boxer.answers = {QMessageBox::Yes};
    Trigger(MenuItem::Restart);
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].caption, QString::fromUtf8("Перезапуск прибора"));
    EXPECT_EQ(simulator.RestartCount(), 1);
    boxer.answers = {QMessageBox::Yes};
    Trigger(MenuItem::ToggleControlByte);
    EXPECT_TRUE(boxer.boxes.back().text.contains("0x02")) << boxer.boxes.back().text.toStdString();
    EXPECT_EQ(simulator.Register(1, 1, static_cast<int>(device::regs::kControl.number)), 0x02u);

    // A result kept in the window on No is done, and the status bar says it never reached the instrument.
    boxer.answers = {QMessageBox::Yes, QMessageBox::No};
    Trigger(MenuItem::Ch1CalibrateKu100);
    EXPECT_EQ(simulator.RestartCount(), 1);
    EXPECT_NEAR(window->model().channel[0].ku, simulator.TrueCoefficientsOf(0).ku,
                simulator.TrueCoefficientsOf(0).ku * 1e-3);
    EXPECT_TRUE(outcome->text().contains(QString::fromUtf8("в прибор не записан"))) << outcome->text().toStdString();
}

TEST_F(ServiceMenuTest, ServiceAndProductionItemsAreHeldOffWhileAReadRuns)
{
    OpenWithService(true);
    std::vector<QAction*> items;
    for (QAction* a : window->findChild<QMenu*>("ServiceMenu")->findChildren<QAction*>())
        if (!a->isSeparator() && !a->menu())
            items.push_back(a);
    for (const char* name : {"CompareAction", "ProduceAction", "HistoryAction", "VerifyAfterWriteAction"})
        items.push_back(window->findChild<QAction*>(name));
    ASSERT_EQ(items.size(), 33u);

    Trigger(MenuItem::OutputWalk);  // the output walk runs: its ticks wait for the read too
    bool sawBusy = false;
    QStringList enabled;
    QTimer meddler;
    QObject::connect(&meddler, &QTimer::timeout, [&] {
        if (!window->busy())
            return;
        sawBusy = true;
        clock.Advance(device::OutputTest::kTimerIntervalMs);
        for (QAction* a : items)
            if (a->isEnabled() && !enabled.contains(a->objectName()))
                enabled << a->objectName();
        for (MenuItem item : {MenuItem::Restart, MenuItem::ToggleControlByte, MenuItem::Registers})
            Trigger(item);
        Trigger("CompareAction");
    });
    meddler.start(0);
    simulator.ClearTranscript();
    Click(Button::ReadAll);
    meddler.stop();

    EXPECT_TRUE(sawBusy);
    EXPECT_TRUE(enabled.isEmpty()) << enabled.join(' ').toStdString();
    EXPECT_EQ(simulator.RestartCount(), 0);
    for (const auto& r : simulator.Transcript())
        EXPECT_FALSE(r.value.has_value()) << "a write during the read: " << r.text;
    EXPECT_TRUE(boxer.boxes.empty());
    for (QAction* a : items)
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString() << " after the read";
    simulator.ClearTranscript();
    clock.Advance(device::OutputTest::kTimerIntervalMs);
    EXPECT_FALSE(simulator.Transcript().empty()) << "the walk ticks again once the read has ended";
}

TEST_F(ServiceMenuTest, CalibrationSettingsAreCheckedBeforeTheyReachTheModel)
{
    OpenWithService(true);
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>("usr_ku")->setText("0");
        dialog->findChild<QLineEdit*>("set_ku102")->setText("9.5");
        dialog->accept();  // refused: the count
        dialog->findChild<QLineEdit*>("usr_ku")->setText("12");
        dialog->accept();
    });
    Trigger("CalibrationSettings");
    EXPECT_EQ(window->model().grad.usr_ku, 12);
    EXPECT_FLOAT_EQ(window->model().channel[1].set_ku10, 9.5f);
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text, QString::fromUtf8("Ошибка задания числа измерений Ku. Допустимо от 1 до 255."));
}

}  // namespace
}  // namespace pmv::test
