#include "window_fixture.h"

#include "device/register_map.h"
#include "history/sqlite_history.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <filesystem>
#include <functional>

namespace pmv::test {
namespace {

// Opens "Выпуск прибора…" and runs `act` once on the dialog as soon as it shows, then closes it.
void WithProductionDialog(gui::MainWindow& window, const std::function<void(QDialog&)>& act)
{
    bool acted = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = window.findChild<QDialog*>("ProductionDialog");
        if (!dialog || !dialog->isVisible() || acted)
            return;
        acted = true;
        act(*dialog);
        dialog->reject();
    });
    driver.start(20);
    window.findChild<QAction*>("ProduceAction")->trigger();
    driver.stop();
}

TEST_F(WindowTest, ProductionDialogMakesOneInstrumentAndKeepsTheCount)
{
    Open();
    QString step4, step4Hint, count;
    WithProductionDialog(*window, [&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("ProductionProfile")->setText("PMV7706.prf");
        dialog.findChild<QSpinBox*>("ProductionType")->setValue(12);
        dialog.findChild<QSpinBox*>("ProductionSerial")->setValue(345);
        boxer.answers = {QMessageBox::No};  // no next instrument
        dialog.findChild<QPushButton*>("ProductionStart")->click();
        step4 = dialog.findChild<QLabel*>("ProductionStep4")->text();
        step4Hint = dialog.findChild<QLabel*>("ProductionStep4")->toolTip();
        count = dialog.findChild<QLabel*>("ProductionCount")->text();
    });

    // The passport's step names the file it saved, in full in its hint.
    EXPECT_EQ(step4, QString::fromUtf8("сохранён в 012-00345.pdf"));
    EXPECT_EQ(QFileInfo(step4Hint).canonicalFilePath(),
              QFileInfo(QString::fromStdString(File("012-00345.pdf"))).canonicalFilePath());
    EXPECT_EQ(count, QString::fromUtf8("Выпущено за сеанс: 1"));
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kOtkType.number), 12u);
    EXPECT_TRUE(std::filesystem::exists(File("012-00345.pdf")));
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_TRUE(boxer.boxes[0].text.startsWith(QString::fromUtf8("Прибор 012-00345 выпущен.")));
}

TEST_F(WindowTest, ProductionDialogRefusesAUsedNumberAndShowsTheReservedOne)
{
    Open();
    {
        history::SqliteHistory history(File("history.sqlite"));
        ASSERT_EQ(history.ReserveSerial(12, 345, false, {}, {}).outcome, history::SerialReservation::Outcome::Reserved);
    }
    QString proposed, refusedState, reservedState;
    // The number state while the steps run, between two register operations.
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (auto* state = window->findChild<QLabel*>("ProductionNumberState");
            state && state->text().contains(QString::fromUtf8("зарезервирован в журнале приборов")))
            reservedState = state->text();
    });
    sampler.start(5);
    const size_t before = simulator.Transcript().size();
    WithProductionDialog(*window, [&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("ProductionProfile")->setText("PMV7706.prf");
        auto* serial = dialog.findChild<QSpinBox*>("ProductionSerial");
        dialog.findChild<QSpinBox*>("ProductionType")->setValue(12);
        proposed = QString::number(serial->value());
        serial->setValue(345);
        boxer.answers = {QMessageBox::No};  // not again under the used number
        dialog.findChild<QPushButton*>("ProductionStart")->click();
        refusedState = dialog.findChild<QLabel*>("ProductionNumberState")->text();
        serial->setValue(proposed.toInt());
        boxer.answers = {QMessageBox::No};  // no next instrument
        dialog.findChild<QPushButton*>("ProductionStart")->click();
    });
    sampler.stop();

    EXPECT_EQ(proposed, "346");
    EXPECT_TRUE(refusedState.contains(QString::fromUtf8("012-00345 уже выдан"))) << refusedState.toStdString();
    ASSERT_GE(boxer.boxes.size(), 3u);
    EXPECT_TRUE(boxer.boxes[0].text.contains(QString::fromUtf8("еще раз"))) << boxer.boxes[0].text.toStdString();
    EXPECT_TRUE(boxer.boxes[1].text.contains(QString::fromUtf8("в прибор ничего не записано")))
        << boxer.boxes[1].text.toStdString();
    EXPECT_TRUE(boxer.boxes[2].text.startsWith(QString::fromUtf8("Прибор 012-00346 выпущен.")))
        << boxer.boxes[2].text.toStdString();
    EXPECT_EQ(reservedState, QString::fromUtf8("Номер 012-00346 зарезервирован в журнале приборов."))
        << "shown while the steps run";
    EXPECT_GT(simulator.Transcript().size(), before);
    EXPECT_TRUE(std::filesystem::exists(File("012-00346.pdf")));
    EXPECT_FALSE(std::filesystem::exists(File("012-00345.pdf")));
}

TEST_F(WindowTest, ACorruptHistoryIsReplacedOnlyWhenTheOperatorSaysSo)
{
    Open();
    const std::string junk(4096, '\x5A');
    test::WriteFileBytes(File("history.sqlite"), junk);
    std::string afterNo;
    WithProductionDialog(*window, [&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("ProductionProfile")->setText("PMV7706.prf");
        dialog.findChild<QSpinBox*>("ProductionSerial")->setValue(5);
        boxer.answers = {QMessageBox::No};  // keep the damaged history
        dialog.findChild<QPushButton*>("ProductionStart")->click();
        afterNo = test::ReadFileBytes(File("history.sqlite"));
        boxer.answers = {QMessageBox::Yes, QMessageBox::No};  // a new history; no next instrument
        dialog.findChild<QPushButton*>("ProductionStart")->click();
    });

    EXPECT_EQ(afterNo, junk);
    ASSERT_GE(boxer.boxes.size(), 4u);
    EXPECT_TRUE(boxer.boxes[0].text.contains(QString::fromUtf8("начать новый журнал")))
        << boxer.boxes[0].text.toStdString();
    EXPECT_TRUE(boxer.boxes[1].text.contains(QString::fromUtf8("в прибор ничего не записано")));
    EXPECT_TRUE(boxer.boxes[2].text.contains(QString::fromUtf8("начать новый журнал")));
    EXPECT_TRUE(boxer.boxes.back().text.startsWith(QString::fromUtf8("Прибор 000-00005 выпущен.")))
        << boxer.boxes.back().text.toStdString();
    EXPECT_NE(test::ReadFileBytes(File("history.sqlite")), junk);
}

}  // namespace
}  // namespace pmv::test
