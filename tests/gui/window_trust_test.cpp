#include "window_fixture.h"

#include "binding/settings_diff.h"
#include "device/register_map.h"
#include "gui/comparison_dialog.h"
#include "gui/file_dialog_texts.h"
#include "gui/main_window.h"
#include "gui/simulated_bench.h"
#include "ini/ini_file.h"
#include "sim/blocks.h"
#include "sim/simulator.h"
#include "temp_dir.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <vector>

namespace pmv::test {
namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QMessageBox::StandardButton YesUnless(const QString& text, const char* part)
{
    return text.contains(U(part)) ? QMessageBox::No : QMessageBox::Yes;
}

// The seconds of an outcome "… за 2,5 с".
double Seconds(const QString& outcome)
{
    const QRegularExpressionMatch m = QRegularExpression(U("за (\\d+),(\\d) с")).match(outcome);
    return m.hasMatch() ? m.captured(1).toDouble() + m.captured(2).toDouble() / 10 : -1;
}

// The window before a technician.
class TrustTest : public WindowFixture {
protected:
    // A technician at the window: Enter on every box unless a test decides otherwise.
    TrustTest()
    {
        user.decide = [](const QString&) { return QMessageBox::NoButton; };
    }

    gui::WindowOptions Options() const
    {
        gui::WindowOptions options;
        options.portDevice = simulator.DevicePath();
        return options;
    }
    void OpenWithService()
    {
        gui::WindowOptions options = Options();
        options.service = {true, nullptr, gui::SimulatedBench(simulator)};
        Open(options);
    }

    QString Outcome() const { return Get<QLabel>("StatusOutcome")->text(); }
    QString QFile(const char* name) const { return QString::fromStdString(dir.file(name)); }
    int Writes(int bank, int reg) const
    {
        int n = 0;
        for (const sim::Request& r : simulator.Transcript())
            n += r.bank == bank && r.memType == 1 && r.reg == reg && r.value.has_value();
        return n;
    }

    BoxAnswerer user;
};

// ---- What the status bar tells ----

TEST_F(TrustTest, StatusBarTellsARefusedWriteAsRefusedWithoutTheTimeItsBoxesStoodOpen)
{
    Open();
    user.decide = [](const QString& text) { return YesUnless(text, "9999"); };
    user.thinkMs = 1200;
    SetText(controls.channels[0].setpoint1, "10000");
    simulator.ClearTranscript();
    Click(Button::WriteAll);
    EXPECT_TRUE(user.Saw("9999"));
    EXPECT_TRUE(simulator.Transcript().empty());
    const QString outcome = Outcome();
    EXPECT_TRUE(outcome.startsWith(U("Отменено (ERR 17) за "))) << outcome.toStdString();
    EXPECT_GE(Seconds(outcome), 0.0) << outcome.toStdString();
    EXPECT_LT(Seconds(outcome), 1.0) << "two boxes stood open 1.2 s each: " << outcome.toStdString();
    EXPECT_TRUE(Get<QLabel>("StatusOutcome")->toolTip().contains("ERR 17"));
}

TEST_F(TrustTest, StatusBarTellsAReadStoppedByEscAsStoppedAndAGoodReadAsRead)
{
    Open();
    QTimer::singleShot(0, window.get(),
                       [&] { QTest::keyClick(Get<QLineEdit>(controls.channels[0].setpoint1), Qt::Key_Escape); });
    Click(Button::ReadAll);
    EXPECT_TRUE(user.Saw("ERR 20"));
    EXPECT_TRUE(Outcome().startsWith(U("Остановлено (ERR 20) за "))) << Outcome().toStdString();

    Click(Button::ReadAll);
    EXPECT_TRUE(Outcome().startsWith(U("Прочитано за "))) << Outcome().toStdString();

    simulator.InjectFault({.kind = sim::Fault::Kind::Status, .count = -1, .status = 2});
    Click(Button::ReadSelected);
    EXPECT_TRUE(Outcome().startsWith(U("Ошибка (ERR "))) << Outcome().toStdString();
}

TEST_F(TrustTest, StatusBarTellsACalibrationStoppedInItsDwellAsStopped)
{
    OpenWithService();
    window->model().grad.del_ku = 3;
    user.decide = [](const QString&) { return QMessageBox::Yes; };
    QTimer::singleShot(1500, window.get(),
                       [&] { QTest::keyClick(Get<QLineEdit>(controls.channels[0].setpoint1), Qt::Key_Escape); });
    Trigger(MenuItem::Ch1CalibrateKu100);
    EXPECT_TRUE(user.Saw("ERR 20"));
    EXPECT_TRUE(Outcome().startsWith(U("Остановлено (ERR 20) за "))) << Outcome().toStdString();
}

TEST_F(TrustTest, StatusBarTellsACalibrationDeclinedAtItsPromptAsRefused)
{
    OpenWithService();
    user.decide = [](const QString&) { return QMessageBox::No; };
    simulator.ClearTranscript();
    Trigger(MenuItem::Ch1CalibrateKu100);
    EXPECT_TRUE(user.Saw("Подключите"));
    EXPECT_TRUE(simulator.Transcript().empty());
    EXPECT_TRUE(Outcome().startsWith(U("Отменено (ERR 16)"))) << Outcome().toStdString();
}

// ---- No silent loss ----

TEST_F(TrustTest, ASerialNumberOutOfRangeOrNotANumberLeavesTheInstrumentsSerial)
{
    Open();
    simulator.SetRegister(2, 1, device::regs::kSerialHi.number, 0x12);
    simulator.SetRegister(2, 1, device::regs::kSerialLo.number, 0x34);
    for (const char* typed : {"70000", "abc"}) {
        user.boxes.clear();
        simulator.ClearTranscript();
        SetText(controls.general.serialNumber, typed);
        Click(Button::WriteSerial);
        ASSERT_EQ(user.boxes.size(), 1u) << typed;
        EXPECT_EQ(user.boxes[0].text, U("Неправильно задано число (ERR 23)")) << typed;
        EXPECT_TRUE(simulator.Transcript().empty()) << typed;
        EXPECT_TRUE(Outcome().startsWith(U("Ошибка (ERR 23)"))) << Outcome().toStdString();
    }
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kSerialHi.number), 0x12u);
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kSerialLo.number), 0x34u);
}

// The window's serial write once gave a number again without a word after it was produced.
TEST_F(TrustTest, ASerialNumberGivenBeforeIsWrittenAgainOnlyAfterTheOperatorAgrees)
{
    Open();
    SetText(controls.general.serialNumber, "513");
    Click(Button::WriteSerial);
    ASSERT_TRUE(user.boxes.empty()) << user.boxes[0].text.toStdString();
    simulator.SetRegister(2, 1, device::regs::kSerialLo.number, 0);
    simulator.ClearTranscript();
    user.decide = [](const QString&) { return QMessageBox::No; };
    Click(Button::WriteSerial);
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_TRUE(user.Saw("уже записан в прибор"));
    EXPECT_TRUE(user.Saw("Записать этот номер в прибор еще раз?"));
    EXPECT_TRUE(simulator.Transcript().empty());
    EXPECT_TRUE(Outcome().startsWith(U("Отменено (ERR 16)"))) << Outcome().toStdString();
    user.decide = [](const QString&) { return QMessageBox::Yes; };
    Click(Button::WriteSerial);
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kSerialLo.number), 513u % 256);
}

TEST_F(TrustTest, ACommaTypedInAFieldIsWrittenAsItsDecimalValue)
{
    Open();
    user.decide = [](const QString&) { return QMessageBox::Yes; };
    SetText(controls.channels[0].setpoint1, "7,5");
    Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(2);
    Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(0);
    EXPECT_EQ(Text(controls.channels[0].setpoint1), U("  7.5000"));
    SetText(controls.channels[1].setpoint1, "-0,25");
    SetText(controls.channels[0].hysteresis1, "abc");  // does not scan: refused before anything is sent
    simulator.ClearTranscript();
    Click(Button::WriteAll);
    EXPECT_TRUE(user.Saw("Ошибка задания гистерезиса уставки 1."));
    EXPECT_TRUE(simulator.Transcript().empty());

    SetText(controls.channels[0].hysteresis1, "0,5");
    Click(Button::WriteAll);
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, device::regs::Th1(0).number), 7.5f);
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, device::regs::Th1(1).number), -0.25f);
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, device::regs::His1(0).number), 0.5f);
}

TEST_F(TrustTest, OpeningAFileThatIsNoProfileChangesNeitherItNorTheWindow)
{
    Open();
    const std::string csv = "time;ch1\r\n12:00;20,5\r\n";
    WriteFileBytes(File("log.csv"), csv);
    const QString title = window->windowTitle();
    SetText(controls.channels[0].setpoint1, "12.5");
    user.files = {QFile("log.csv")};
    user.decide = [](const QString& text) {
        return text.contains(U("не сохранены")) ? QMessageBox::Discard : QMessageBox::NoButton;
    };
    Trigger(MenuItem::OpenProfile);
    ASSERT_EQ(user.boxes.size(), 2u);
    EXPECT_TRUE(user.boxes[1].text.contains(U("не является профилем"))) << user.boxes[1].text.toStdString();
    EXPECT_EQ(ReadFileBytes(File("log.csv")), csv);
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_EQ(Text(controls.channels[0].setpoint1), U("12.5"));
}

TEST_F(TrustTest, ANamedWorkFolderKeepsDevDatAndTheRecentProfileAfterAFileDialog)
{
    gui::WindowOptions options = Options();
    options.keepWorkFolder = true;
    Open(options);
    std::filesystem::create_directory(File("sub"));
    user.files = {QFile("sub") + "/mine"};
    Trigger(MenuItem::SaveProfile);
    EXPECT_TRUE(std::filesystem::exists(File("sub/mine.prf")));
    EXPECT_EQ(QDir::currentPath(), QString::fromStdString(dir.path().string()));
    std::filesystem::remove(File("recent.prf"));
    window->close();
    EXPECT_TRUE(std::filesystem::exists(File("recent.prf")));
    EXPECT_FALSE(std::filesystem::exists(File("sub/recent.prf")));
    EXPECT_FALSE(std::filesystem::exists(File("sub/dev.dat")));
}

TEST_F(TrustTest, SavingOverAnExistingFileAsksFirstAndNoKeepsIt)
{
    Open();
    WriteFileBytes(File("mine.prf"), "kept");
    user.files = {QFile("mine")};
    Trigger(MenuItem::SaveProfile);
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].text, U("Файл %1 уже существует. Заменить его?").arg(QFile("mine.prf")));
    EXPECT_EQ(user.boxes[0].defaultButton, U("Нет"));
    EXPECT_EQ(ReadFileBytes(File("mine.prf")), "kept");
    EXPECT_EQ(user.offered.size(), 2) << "No opens the dialog again";

    user.decide = [](const QString&) { return QMessageBox::Yes; };
    user.files = {QFile("mine")};
    Trigger(MenuItem::SaveProfile);
    EXPECT_NE(ReadFileBytes(File("mine.prf")), "kept");
}

TEST_F(TrustTest, ThePassportIsOfferedAsTypeAndNumberAndNotSavedOverAFileUnasked)
{
    Open();
    simulator.SetRegister(2, 1, device::regs::kSerialHi.number, 0x01);
    simulator.SetRegister(2, 1, device::regs::kSerialLo.number, 0x02);  // 258
    simulator.SetRegister(2, 1, device::regs::kOtkType.number, 12);
    WriteFileBytes(File("p.pdf"), "kept");
    bool shown = false;
    QTimer preview;
    QObject::connect(&preview, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (shown || !modal || modal->objectName() != "ReportPreview")
            return;
        shown = true;
        const QSize room = modal->screen()->availableGeometry().size();
        EXPECT_GT(modal->width(), room.width() / 2) << "large enough to read the page";
        user.files = {QFile("p")};
        modal->findChild<QAction*>("SavePdf")->trigger();
        static_cast<QDialog*>(modal)->reject();
    });
    preview.start(20);
    Trigger("PassportAction");
    preview.stop();
    ASSERT_TRUE(shown);
    ASSERT_FALSE(user.offered.isEmpty());
    EXPECT_EQ(user.offered.front(), U("012-00258.pdf"));
    EXPECT_TRUE(user.Saw("уже существует"));
    EXPECT_EQ(ReadFileBytes(File("p.pdf")), "kept");
}

TEST_F(TrustTest, MeasurementsAreOfferedUnderTheirDateAndTime)
{
    Open();
    Click("TrendSave");
    ASSERT_EQ(user.offered.size(), 1);
    EXPECT_TRUE(
        QRegularExpression("^izm_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d\\.csv$").match(user.offered.front()).hasMatch())
        << user.offered.front().toStdString();
}

TEST_F(TrustTest, TheDescriptionHoldsFourLinesAndNamesACharacterItCannotKeep)
{
    Open();
    auto* description = Get<QTextEdit>(Part::Description);
    description->clear();
    description->setFocus();
    QTest::keyClicks(description, "a");
    for (const char* line : {"b", "c", "d", "e"}) {
        QTest::keyClick(description, Qt::Key_Return);
        QTest::keyClicks(description, line);
    }
    EXPECT_EQ(description->toPlainText(), "a\nb\nc\nde") << "a fifth line is not begun";
    EXPECT_TRUE(user.boxes.empty());

    description->insertPlainText(U("☃"));
    ASSERT_EQ(user.boxes.size(), 1u);
    EXPECT_EQ(user.boxes[0].text, U("Символ «☃» нельзя сохранить в файле настроек (кодировка Windows-1251): он "
                                    "убран из описания."));
    EXPECT_FALSE(description->toPlainText().contains(U("☃")));
}

TEST_F(TrustTest, ProductionLeavesTheWindowsUnwrittenEditsAsTheyWere)
{
    Open();
    SetText(controls.channels[0].setpoint1, "42.5");
    SetText(controls.general.serialNumber, "777");
    bool started = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = window->findChild<QDialog*>("ProductionDialog");
        if (!dialog || !dialog->isVisible() || started)
            return;
        started = true;
        dialog->findChild<QLineEdit*>("ProductionProfile")->setText("PMV7706.prf");
        dialog->findChild<QPushButton*>("ProductionStart")->click();
        dialog->reject();
    });
    driver.start(20);
    user.decide = [](const QString&) { return QMessageBox::No; };
    Trigger("ProduceAction");
    driver.stop();
    ASSERT_TRUE(started);
    EXPECT_TRUE(user.Saw("выпущен")) << "the instrument was made";
    EXPECT_EQ(Text(controls.channels[0].setpoint1), U("42.5"));
    EXPECT_EQ(Text(controls.general.serialNumber), U("777"));
}

TEST_F(TrustTest, WriteSelectedWithNoGroupTickedAsksBeforeItWritesAnything)
{
    Open();
    const binding::GroupFlags& boxes = controls.top.groupBoxes;
    for (const Bound box : {Bound(boxes.channel1), Bound(boxes.channel2), Bound(boxes.relays), Bound(boxes.general)})
        if (Get<QCheckBox>(box)->isChecked())
            Get<QCheckBox>(box)->click();
    simulator.ClearTranscript();
    Click(Button::WriteSelected);
    ASSERT_FALSE(user.boxes.empty());
    EXPECT_TRUE(user.boxes[0].text.startsWith(U("Не выбрана ни одна группа настроек.")))
        << user.boxes[0].text.toStdString();
    EXPECT_TRUE(simulator.Transcript().empty());
    EXPECT_EQ(simulator.RestartCount(), 0);
    EXPECT_TRUE(Outcome().startsWith(U("Отменено (ERR 16)"))) << Outcome().toStdString();
}

TEST_F(TrustTest, EnterOnADestructiveQuestionAnswersNo)
{
    OpenWithService();
    simulator.ClearTranscript();
    Trigger(MenuItem::FactoryReset);
    ASSERT_FALSE(user.boxes.empty());
    EXPECT_EQ(user.boxes[0].caption, U("Предупреждение"));
    EXPECT_EQ(user.boxes[0].defaultButton, U("Нет"));
    EXPECT_EQ(Writes(1, static_cast<int>(device::regs::kFactoryReset.number)), 0) << "Enter erased the instrument";
    EXPECT_TRUE(Outcome().startsWith(U("Отменено (ERR 16)"))) << Outcome().toStdString();

    user.boxes.clear();
    SetText(controls.channels[0].setpoint1, "10000");
    simulator.ClearTranscript();
    Click(Button::WriteAll);
    ASSERT_TRUE(user.Saw("9999"));
    for (const BoxAnswerer::Box& box : user.boxes) {
        if (box.text.contains("9999")) {
            EXPECT_EQ(box.defaultButton, U("Нет"));
        }
    }
    EXPECT_TRUE(simulator.Transcript().empty());
}

// ---- What the instrument's description asks for ----

TEST_F(TrustTest, TheControlByteToggleSwitchesBit1)
{
    OpenWithService();
    user.decide = [](const QString&) { return QMessageBox::Yes; };
    Trigger(MenuItem::ToggleControlByte);
    EXPECT_EQ(simulator.Register(1, 1, static_cast<int>(device::regs::kControl.number)), 0x02u);
    Trigger(MenuItem::ToggleControlByte);
    EXPECT_EQ(simulator.Register(1, 1, static_cast<int>(device::regs::kControl.number)), 0x00u);
}

TEST_F(TrustTest, LiveValuesArePolledAndLoggedWhileTheWindowIsMinimised)
{
    Open();
    Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(3);
    ASSERT_TRUE(clock.AdvanceUntil([&] { return Get<QLabel>("PollPanel")->text() == U("Получен ответ"); }, 5000));
    window->showMinimized();
    simulator.ClearTranscript();
    const auto polls = [this] {
        int n = 0;
        for (const sim::Request& r : simulator.Transcript())
            n += r.memType == 4;
        return n;
    };
    EXPECT_TRUE(clock.AdvanceUntil([&] { return polls() >= 2; }, 3000)) << "polls while minimised: " << polls();
}

// ---- Russian throughout, easy to read ----

TEST_F(TrustTest, DatesReadDayMonthYearWhateverTheLocale)
{
    Open();
    const QRegularExpression russian("^\\d\\d\\.\\d\\d\\.\\d{4}$");
    QStringList dates;
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        for (QDateEdit* date : dialog->findChildren<QDateEdit*>())
            dates << date->text();
        dialog->reject();
    });
    reader.start(20);
    Trigger("ProduceAction");
    Trigger("HistoryAction");
    reader.stop();
    ASSERT_EQ(dates.size(), 3) << "the production date, and the history's from and to";
    for (const QString& date : dates)
        EXPECT_TRUE(russian.match(date).hasMatch()) << date.toStdString();
    EXPECT_EQ(dates.front(), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
}

TEST_F(TrustTest, FileDialogsGiveSizesAndDatesInRussian)
{
    WriteFileBytes(File("big.prf"), std::string(20000, 'x'));
    QFileDialog dialog;
    dialog.setOptions(QFileDialog::DontUseNativeDialog);
    gui::ShowRussianFileColumns(dialog);
    dialog.setDirectory(QString::fromStdString(dir.path().string()));
    auto* proxy = qobject_cast<QAbstractProxyModel*>(dialog.proxyModel());
    ASSERT_NE(proxy, nullptr);
    auto* files = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
    ASSERT_NE(files, nullptr);
    const auto shown = [&](int column) {
        return proxy->mapFromSource(files->index(QFile("big.prf"), column)).data().toString();
    };
    EXPECT_TRUE(WaitFor([&] { return shown(1) == U("19,5 КБ"); }, 5000)) << shown(1).toStdString();
    EXPECT_TRUE(QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d$").match(shown(3)).hasMatch())
        << shown(3).toStdString();
}

TEST_F(TrustTest, TheComparisonNamesListedValuesAndCanShowOnlyTheDifferences)
{
    Open();
    Click(Button::ReadAll);                                                         // the window shows the instrument
    simulator.SetRegister(2, 1, static_cast<int>(device::regs::Dat(0).number), 0);  // 50М ТС медь Ro=50 W=1.428
    int rows = 0, shownRows = 0, differing = 0;
    bool sensorShown = false;
    QString sensorRow;
    QTimer looker;
    QObject::connect(&looker, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog->objectName() != "ComparisonDialog")
            return;
        auto* table = dialog->findChild<QTableWidget*>("ComparisonTable");
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0)->text() == U("Канал 1 · Тип датчика"))
                sensorRow = table->item(row, 2)->text();
        rows = table->rowCount();
        for (int row = 0; row < table->rowCount(); ++row)
            differing += table->item(row, 0)->font().bold();
        dialog->findChild<QCheckBox*>("OnlyDifferences")->setChecked(true);
        for (int row = 0; row < table->rowCount(); ++row) {
            shownRows += !table->isRowHidden(row);
            sensorShown |= !table->isRowHidden(row) && table->item(row, 0)->text() == U("Канал 1 · Тип датчика");
        }
        dialog->reject();
    });
    looker.start(20);
    Trigger("CompareAction");
    looker.stop();
    EXPECT_EQ(sensorRow, U("50М ТС медь Ro=50 W=1.428"));
    EXPECT_GT(rows, 10);
    EXPECT_GE(differing, 1);
    EXPECT_EQ(shownRows, differing) << "only the differing rows";
    EXPECT_TRUE(sensorShown);
}

// Where the window and the instrument differ, the comparison takes the instrument's values into
// the window, or writes the differing groups alone into the instrument, as "Записать выбранные"
// with only those ticked would; the boxes the user ticked stay as they were.
TEST_F(TrustTest, TheComparisonTakesTheInstrumentsValuesOrWritesOnlyTheDifferingGroups)
{
    Open();
    user.decide = [](const QString&) { return QMessageBox::Yes; };
    Click(Button::ReadAll);
    const int shownSensor = Get<QComboBox>(controls.channels[0].sensorType)->currentIndex();
    const int sensorRegister = static_cast<int>(device::regs::Dat(0).number);
    ASSERT_NE(shownSensor, 0);
    Get<QCheckBox>(controls.top.groupBoxes.general)->click();
    const auto ticks = [&] {
        std::vector<bool> ticked;
        for (Bound box : {Bound(controls.top.groupBoxes.channel1), Bound(controls.top.groupBoxes.channel2),
                          Bound(controls.top.groupBoxes.relays), Bound(controls.top.groupBoxes.general)})
            ticked.push_back(Get<QCheckBox>(box)->isChecked());
        return ticked;
    };
    const std::vector<bool> ticked = ticks();
    const auto writes = [&] {
        int count = 0;
        for (const sim::Request& r : simulator.Transcript())
            count += r.text.rfind("1;38;", 0) == 0;
        return count;
    };

    const char* choice = "";
    bool enabled = false;
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog->objectName() != "ComparisonDialog")
            return;
        auto* button = dialog->findChild<QPushButton*>(choice);
        enabled = button && button->isEnabled();
        if (enabled)
            button->click();
        else
            dialog->reject();
    });
    chooser.start(5);

    choice = "TakeInstrumentValues";
    simulator.SetRegister(2, 1, sensorRegister, 0);  // 50М ТС медь Ro=50 W=1.428
    simulator.ClearTranscript();
    Trigger("CompareAction");
    EXPECT_TRUE(enabled);
    EXPECT_EQ(Get<QComboBox>(controls.channels[0].sensorType)->currentIndex(), 0) << "the instrument's value shown";
    EXPECT_EQ(writes(), 0) << "taking the values writes nothing";
    EXPECT_TRUE(window->isWindowModified()) << "the values taken are edits not yet saved";

    Get<QComboBox>(controls.channels[0].sensorType)->setCurrentIndex(shownSensor);
    simulator.ClearTranscript();
    choice = "WriteDifferences";
    Trigger("CompareAction");
    EXPECT_TRUE(enabled);
    EXPECT_EQ(simulator.Register(2, 1, sensorRegister), static_cast<uint32_t>(shownSensor)) << "written";
    EXPECT_EQ(ticks(), ticked) << "the user's boxes come back";
    const int differencesWritten = writes();
    EXPECT_GT(differencesWritten, 0);

    // The window's rules for the sensor's range left channel 2's maximum differing too: the same
    // as "Записать выбранные" with both channels ticked and the relays not.
    Get<QCheckBox>(controls.top.groupBoxes.relays)->click();
    simulator.ClearTranscript();
    Click(Button::WriteSelected);
    EXPECT_EQ(writes(), differencesWritten);
    chooser.stop();

    // Where nothing differs, neither is offered.
    const model::SettingsModel same;
    gui::ComparisonDialog equal(window.get(), binding::CompareFields(same, same));
    for (const char* name : {"TakeInstrumentValues", "WriteDifferences"})
        EXPECT_FALSE(equal.findChild<QPushButton*>(name)->isEnabled()) << name;
}

TEST_F(TrustTest, TheHistoryShowsGroupNamesAndDatesAsTheWindowDoes)
{
    Open();
    user.decide = [](const QString&) { return QMessageBox::Yes; };
    Click(Button::WriteAll);
    QString time, groups;
    QTimer looker;
    QObject::connect(&looker, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog->objectName() != "HistoryDialog")
            return;
        auto* table = dialog->findChild<QTableWidget*>("HistoryTable");
        if (table->rowCount() > 0) {
            time = table->item(0, 0)->text();
            groups = table->item(0, 6)->text();
        }
        dialog->reject();
    });
    looker.start(20);
    Trigger("HistoryAction");
    looker.stop();
    EXPECT_TRUE(QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$").match(time).hasMatch())
        << time.toStdString();
    EXPECT_EQ(groups, U("канал 1, канал 2, реле, общие"));
}

TEST_F(TrustTest, AStoppedWriteNamesWhatWasWrittenAndTheHistoryPutsBackWhatTheInstrumentHeld)
{
    Open();
    simulator.SetFloatRegister(2, 29, 45.0f);
    Click(Button::ReadAll);
    ASSERT_EQ(Text(controls.channels[0].setpoint1).trimmed(), U("45.0000"));

    SetText(controls.channels[0].setpoint1, "50");
    simulator.InjectFault(
        {.kind = sim::Fault::Kind::Status, .count = -1, .status = 6, .bank = 2, .memType = 1, .reg = 337});
    user.decide = [](const QString& text) { return YesUnless(text, "еще раз"); };
    Click(Button::WriteAll);
    EXPECT_TRUE(user.Saw("Записаны: канал 1, канал 2, реле."));
    EXPECT_TRUE(user.Saw("Не дописана: регулятор"));
    EXPECT_EQ(user.boxes.size(), 1u) << "the question says it all; no second box of the code";
    EXPECT_TRUE(Outcome().startsWith(U("Ошибка (ERR 4) за "))) << Outcome().toStdString();
    EXPECT_TRUE(Outcome().endsWith(U(" · прервана на: регулятор"))) << Outcome().toStdString();
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, 29), 50.0f);

    simulator.ClearFaults();
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog->objectName() != "HistoryDialog")
            return;
        auto* table = dialog->findChild<QTableWidget*>("HistoryTable");
        auto* restore = dialog->findChild<QPushButton*>("HistoryRestore");
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 3)->text() == U("до записи"))
                table->selectRow(row);
        EXPECT_TRUE(restore->isEnabled());
        restore->click();
    });
    chooser.start(20);
    Trigger("HistoryAction");
    chooser.stop();
    EXPECT_TRUE(user.Saw("настройки, которые он хранил до записи"));
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, 29), 45.0f);
    EXPECT_EQ(Text(controls.channels[0].setpoint1).trimmed(), U("45.0000"));
    EXPECT_TRUE(Outcome().startsWith(U("Записано за "))) << Outcome().toStdString();
}

TEST_F(TrustTest, TheOutputTestShowsItsModeAndOutput)
{
    OpenWithService();
    auto* menu = Get<QMenu>("OutputTestMenu");
    Trigger(MenuItem::OutputTestMode);  // mode on
    Trigger(MenuItem::NextOutput);
    EXPECT_EQ(Caption(menu->title()), U("Проверка выходов (режим вкл., выход 2)"));
    Trigger(MenuItem::OutputTestMode);  // mode off
    EXPECT_EQ(Caption(menu->title()), U("Проверка выходов (режим выкл.)"));
}

TEST_F(TrustTest, TheCalibrationSettingsLeaveNoBoxStretchedPastItsRows)
{
    OpenWithService();
    int checked = 0;
    QTimer looker;
    QObject::connect(&looker, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog->objectName() != "CalibrationSettings")
            return;
        for (const char* name : {"ReferencesBox", "ProcedureBox", "BoundsBox"}) {
            auto* box = dialog->findChild<QWidget*>(name);
            ASSERT_NE(box, nullptr) << name;
            EXPECT_LE(box->height() - box->sizeHint().height(), 20) << name;
            ++checked;
        }
        dialog->reject();
    });
    looker.start(20);
    Trigger("CalibrationSettings");
    looker.stop();
    EXPECT_EQ(checked, 3);
}

}  // namespace
}  // namespace pmv::test
