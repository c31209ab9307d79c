#include "window_fixture.h"

#include "binding/binding.h"
#include "binding/number_text.h"
#include "device/register_map.h"
#include "gui/trend_chart.h"
#include "ini/ini_file.h"

#include <QAbstractItemView>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QWindow>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace pmv::test {
namespace {

const QString kCaption = QString::fromUtf8("Настройка ПМВ 77xx пользовательская верс.1.0.24.0 ");

QString Number(float value) { return QString::fromStdString(model::FormatNumber(value)); }

void ExpectBox(const BoxAnswerer::Box& box, const char* text, const char* caption, QMessageBox::Icon icon)
{
    EXPECT_EQ(box.text, QString::fromUtf8(text));
    EXPECT_EQ(box.caption, QString::fromUtf8(caption));
    EXPECT_EQ(box.icon, icon);
}

void ClickCell(QTableWidget& grid, int row, int column)
{
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualItemRect(grid.item(row, column)).center());
}

std::string ProfileValue(const std::string& path, const char* section, const char* key)
{
    return ini::IniFile::Load(path).get(section, key).value_or("");
}

// ---- Start-up and the controls ----

TEST_F(WindowTest, FirstStartInAnEmptyDirectory)
{
    Open();
    for (const char* name :
         {"dev.dat", "recent.prf", "PMV7700.prf", "PMV7701.prf", "PMV7703.prf", "PMV7706.prf", "PMV77XX_progon.prf",
          "PMV7706_PID.prf", "PMV77XX_pogrR.prf", "PMV77XX_pogrU100.prf", "PMV77XX_pogrU10.prf", "PMV77XX_pogrI.prf"})
        EXPECT_TRUE(std::filesystem::exists(File(name))) << name;
    EXPECT_TRUE(boxer.boxes.empty());

    EXPECT_EQ(window->windowHandle()->title(), kCaption);
    // The original client area, taller by the trend on the page of current values.
    EXPECT_EQ(window->centralWidget()->size(), QSize(703, 461 + gui::kTrendHeight));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(Get<QTabWidget>("TabbedNotebook1")->currentIndex(), 0);
    EXPECT_TRUE(Get<QFrame>(Part::Progress)->isHidden());

    const model::ChannelSettings& ch1 = window->model().channel[0];
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(ch1.th1));
    EXPECT_EQ(Text(controls.channels[0].rangeMax), Number(ch1.diap_max));
    EXPECT_EQ(Get<QComboBox>(controls.channels[0].sensorType)->currentIndex(), ch1.dat);
    EXPECT_EQ(Get<QComboBox>(controls.channels[0].averaging)->currentIndex(), ch1.ns - 1);
    EXPECT_EQ(Get<QTextEdit>(Part::Description)->toPlainText().split('\n').front().toStdString(),
              window->model().definition[0]);

    const QDate today = QDate::currentDate();
    EXPECT_EQ(Get<QLabel>(controls.general.productionDate)->text().toStdString(),
              binding::ProductionDateText(today.day(), today.month(), today.year()));
    EXPECT_EQ(Get<QLabel>(controls.top.portNumber)->text(), "1");
    EXPECT_EQ(Get<QLabel>("PortDeviceLabel")->text().toStdString(), simulator.DevicePath());
    EXPECT_EQ(window->exchange().values().RetryCount, 2u);
}

TEST_F(WindowTest, EveryControlWithItsNameCaptionListAndHint)
{
    Open();
    const auto name = [&](Bound field) { return field.FormName(*window).toStdString(); };

    // The form's names, by which tools find the controls.
    const std::pair<Bound, const char*> formNames[] = {
        {controls.top.portNumber, "Label2"},
        {controls.top.port, "ComboBox17"},
        {controls.top.groupBoxes.channel1, "CheckBox1"},
        {controls.top.groupBoxes.channel2, "CheckBox2"},
        {controls.top.groupBoxes.relays, "CheckBox3"},
        {controls.top.groupBoxes.general, "CheckBox10"},
        {controls.top.groupPanels.channel1, "Panel1"},
        {controls.top.groupPanels.channel2, "Panel2"},
        {controls.top.groupPanels.relays, "Panel77"},
        {controls.top.groupPanels.general, "Panel71"},
        {controls.channels[0].rangeMax, "Edit1"},
        {controls.channels[1].rangeMax, "Edit13"},
        {controls.channels[0].setpoint1, "Edit5"},
        {controls.channels[1].setpoint1, "Edit17"},
        {controls.channels[0].hysteresis1, "Edit6"},
        {controls.channels[1].setpoint2, "Edit19"},
        {controls.channels[0].hysteresis2, "Edit8"},
        {controls.channels[1].hysteresis2, "Edit20"},
        {controls.channels[0].polynomial[0], "Edit9"},
        {controls.channels[0].polynomial[3], "Edit12"},
        {controls.channels[1].polynomial[0], "Edit21"},
        {controls.channels[1].polynomial[3], "Edit24"},
        {controls.channels[0].setpointStep, "ComboBox21"},
        {controls.channels[1].setpointStep, "ComboBox23"},
        {controls.channels[0].hysteresisStep, "ComboBox22"},
        {controls.channels[1].hysteresisStep, "ComboBox24"},
        {controls.channels[0].sensorType, "ComboBox1"},
        {controls.channels[1].sensorType, "ComboBox7"},
        {controls.channels[0].setpoint1Type, "ComboBox2"},
        {controls.channels[1].setpoint1Type, "ComboBox8"},
        {controls.channels[1].setpoint2Type, "ComboBox9"},
        {controls.channels[0].averaging, "ComboBox4"},
        {controls.channels[0].decimals, "ComboBox5"},
        {controls.channels[1].observations, "ComboBox12"},
        {controls.channels[0].relayLogic, "ComboBox13"},
        {controls.channels[1].relayLogic, "ComboBox14"},
        {controls.channels[0].squareRoot, "CheckBox4"},
        {controls.channels[0].exclude, "CheckBox5"},
        {controls.channels[1].exclude, "CheckBox7"},
        {controls.relays.decisionInterval, "ComboBox15"},
        {controls.relays.pulseLength, "ComboBox16"},
        {controls.relays.grid, "StringGrid1"},
        {controls.general.firmwareVersion, "Panel78"},
        {controls.general.deviceType, "ComboBox19"},
        {controls.general.errorDisplay, "ComboBox20"},
        {controls.general.typeCode, "ComboBox27"},
        {controls.general.serialNumber, "Edit53"},
        {controls.general.productionDate, "Panel79"},
        {controls.general.productionMonth, "ComboBox25"},
        {controls.general.productionYear, "ComboBox26"},
        {controls.general.calendar, "bcCalendar1"},
    };
    for (const auto& [field, formName] : formNames)
        EXPECT_EQ(name(field), formName);

    struct List {
        Bound field;
        int count;
        const char* first;
        const char* last;
        bool stepList = false;  // editable
    };
    for (const List& l : {
             List{controls.top.port, 9, "1", "Сетевой порт…"},
             List{controls.channels[0].sensorType, 25, "50М ТС медь Ro=50 W=1.428", "ТНН ТП НН(N) нихросил/нисил"},
             List{controls.channels[1].sensorType, 25, "50М ТС медь Ro=50 W=1.428", "ТНН ТП НН(N) нихросил/нисил"},
             List{controls.channels[0].setpoint1Type, 3, "Нет", "Повышение"},
             List{controls.channels[1].setpoint2Type, 3, "Нет", "Повышение"},
             List{controls.channels[0].setpointStep, 5, "0.001", "10.0", true},
             List{controls.channels[1].hysteresisStep, 5, "0.001", "10.0", true},
             List{controls.channels[0].averaging, 10, "1", "10"},
             List{controls.channels[1].observations, 10, "1", "10"},
             List{controls.channels[0].decimals, 4, "0", "3"},
             List{controls.channels[0].relayLogic, 3, "Упрощенная", "Управление задвижкой"},
             List{controls.channels[1].relayLogic, 2, "Упрощенная", "Расширенная"},
             List{controls.relays.decisionInterval, 231, "10", "240"},
             List{controls.relays.pulseLength, 56, "5", "60"},
             List{controls.general.deviceType, 4, "7700/01 Н Одноканальный", "7706 Н Одноканальн. ПИД регул."},
             List{controls.general.errorDisplay, 2, "Упрощенное", "Расширенное"},
             List{controls.general.typeCode, 256, "000", "255"},
             List{controls.general.productionMonth, 12, "Январь", "Декабрь"},
             List{controls.general.productionYear, 11, "2007", "2017"},
         }) {
        const QComboBox* list = Get<QComboBox>(l.field);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), l.count) << name(l.field);
        EXPECT_EQ(list->itemText(0), QString::fromUtf8(l.first)) << name(l.field);
        EXPECT_EQ(list->itemText(list->count() - 1), QString::fromUtf8(l.last)) << name(l.field);
        EXPECT_EQ(list->isEditable(), l.stepList) << name(l.field);
    }
    EXPECT_EQ(Get<QComboBox>(controls.channels[0].sensorType)->itemText(16),
              QString::fromUtf8("ТМК  ТП TMK(T) медь/константан"));

    const std::pair<Button, const char*> buttonCaptions[] = {
        {Button::ReadAll, "Прочитать все"},
        {Button::ReadSelected, "Прочитать выбранное"},
        {Button::WriteAll, "Записать все"},
        {Button::WriteSelected, "Записать выбранное"},
        {Button::PassportPage, "Генерируем страничку в паспорт"},
        {Button::ReadSerial, "Прочитать"},
        {Button::WriteSerial, "Записать"},
        {Button::Today, "Текущее"},
        {Button::StartLiveValues, "Начать чтение"},
    };
    for (const auto& [button, caption] : buttonCaptions)
        EXPECT_EQ(Caption(Get<QAbstractButton>(button)->text()), QString::fromUtf8(caption)) << FormName(button);
    const std::pair<Bound, const char*> boxCaptions[] = {
        {controls.top.groupBoxes.channel1, "1"},
        {controls.top.groupBoxes.channel2, "2"},
        {controls.top.groupBoxes.relays, "Реле"},
        {controls.top.groupBoxes.general, "Общие"},
        {controls.channels[0].squareRoot, "Корнеизвлечение"},
    };
    for (const auto& [box, caption] : boxCaptions)
        EXPECT_EQ(Caption(Get<QAbstractButton>(box)->text()), QString::fromUtf8(caption)) << name(box);
    EXPECT_EQ(Caption(Get<QLabel>(Part::PortHeading)->text()), QString::fromUtf8("Номер порта"));
    EXPECT_EQ(Get<QLabel>(Part::ChannelsHeading)->text(), QString::fromUtf8("Используемые каналы"));
    EXPECT_EQ(Caption(Get<QLabel>(Part::DescriptionHeading)->text()), QString::fromUtf8("Описание настроек"));
    EXPECT_EQ(Caption(Get<QAction>(MenuItem::OpenProfile)->text()),
              QString::fromUtf8("Прочитать из файла настройки прибора"));
    EXPECT_EQ(Caption(Get<QAction>(MenuItem::SaveProfile)->text()),
              QString::fromUtf8("Сохранить настройки прибора в файл"));

    const std::pair<Bound, const char*> hints[] = {
        {controls.top.port, "Задаем номер порта компьютора"},
        {controls.general.typeCode, "Тип прибора "},
        {controls.relays.grid, "Стявя значек в ячейке включаем реле от данного события."},
        {controls.top.groupBoxes.general, "При нажатии на кнопки прочитать / записать будут прочитаны или записаны "
                                          "заводские настройки : вид прибора, вид отображения ошибки. Прочитаются : "
                                          "версия ПО и заводской номер. "},
    };
    for (const auto& [field, hint] : hints)
        EXPECT_EQ(Get<QWidget>(field)->toolTip(), QString::fromUtf8(hint)) << name(field);
    EXPECT_EQ(Get<QWidget>(Button::WriteAll)->toolTip(),
              QString::fromUtf8("Записать параметры обоих каналов, реле, часть общеприборных  настроек."));

    const QTabWidget* notebook = Get<QTabWidget>("TabbedNotebook1");
    const char* pages[] = {"Настройки каналов", "Настройки реле", "Общие", "Текущие значения", "Конфигурация"};
    ASSERT_EQ(notebook->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(notebook->tabText(i), QString::fromUtf8(pages[i]));

    for (const Bound field : {Bound(controls.channels[0].exclude), Bound(controls.channels[1].exclude),
                              Bound(controls.channels[0].polynomial[0]), Bound(controls.channels[0].polynomial[3]),
                              Bound(controls.channels[1].polynomial[0]), Bound(controls.channels[1].polynomial[3]),
                              Bound(controls.channels[0].relayLogic), Bound(controls.channels[1].relayLogic),
                              Bound(controls.general.productionMonth), Bound(controls.general.productionYear),
                              Bound(controls.general.calendar)})
        EXPECT_TRUE(Get<QWidget>(field)->isHidden()) << name(field);
    for (const Button button : {Button::Report, Button::ReadAndReport, Button::StartLiveValues})
        EXPECT_TRUE(Get<QWidget>(button)->isHidden()) << FormName(button);
    for (const Bound field : {Bound(controls.channels[0].rangeMax), Bound(controls.channels[0].hysteresis2),
                              Bound(controls.channels[1].rangeMax), Bound(controls.channels[1].hysteresis2),
                              Bound(controls.general.serialNumber), Bound(controls.general.firmwareVersion),
                              Bound(controls.general.productionDate)})
        EXPECT_FALSE(Get<QWidget>(field)->isHidden()) << name(field);
    EXPECT_FALSE(Get<QWidget>(Part::Description)->isHidden());

    // The two channel panels differ only in names and one spelling.
    const auto labels = [&](Bound panel) {
        QStringList texts;
        for (const QLabel* l : Get<QWidget>(panel)->findChildren<QLabel*>())
            texts << l->text();
        return texts;
    };
    EXPECT_TRUE(labels(controls.top.groupPanels.channel1).contains(QString::fromUtf8("Шаг изменеия гистерезиса")));
    EXPECT_TRUE(labels(controls.top.groupPanels.channel2).contains(QString::fromUtf8("Шаг изменения гистерезиса")));

    const QTableWidget* headings = Get<QTableWidget>(Part::SetpointHeadings);
    const QTableWidget* relays = Get<QTableWidget>(controls.relays.grid);
    EXPECT_EQ(headings->columnCount(), 11);
    EXPECT_EQ(relays->rowCount(), 3);
    EXPECT_EQ(headings->item(0, 0)->text(), QString::fromUtf8("Уставка"));
    EXPECT_EQ(headings->item(0, 6)->text(), QString::fromUtf8("Обр."));
    EXPECT_EQ(headings->item(0, 10)->text(), QString::fromUtf8("Импульс"));
    EXPECT_EQ(relays->item(0, 0)->text(), QString::fromUtf8("Реле"));
    EXPECT_EQ(relays->item(2, 0)->text(), "    2");
    EXPECT_EQ(relays->columnWidth(3), 60);
    EXPECT_EQ(relays->rowHeight(1), 24);
}

TEST_F(WindowTest, UnwritableRecentProfileIsReportedAndTheWindowStillWorks)
{
    std::filesystem::create_directory(File("recent.prf"));
    Open();
    ASSERT_FALSE(boxer.boxes.empty());
    ExpectBox(boxer.boxes.front(),
              ("Не удается записать файл " + File("recent.prf") + ": под этим именем уже есть папка.").c_str(),
              "Ошибка", QMessageBox::Critical);
    EXPECT_EQ(window->windowHandle()->title(), kCaption);
    EXPECT_TRUE(std::filesystem::exists(File("PMV7700.prf")));

    const size_t shown = boxer.boxes.size();
    Click(Button::ReadSerial);
    EXPECT_EQ(boxer.boxes.size(), shown);

    // The second load and the close meet the same file: its message came once.
    window->close();
    const QString message =
        QString::fromStdString("Не удается записать файл " + File("recent.prf") + ": под этим именем уже есть папка.");
    EXPECT_EQ(std::count_if(boxer.boxes.begin(), boxer.boxes.end(), [&](const auto& b) { return b.text == message; }),
              1);
}

// ---- Reading and writing through the simulated instrument ----

TEST_F(WindowTest, ReadAllShowsTheInstrumentAndSelectsEveryGroup)
{
    Open();
    simulator.SetFloatRegister(2, device::regs::Th1(0).number, 123.5f);
    simulator.SetRegister(2, 1, device::regs::Dat(1).number, 18);

    Get<QCheckBox>(controls.top.groupBoxes.channel2)->click();
    EXPECT_EQ(window->model().channel[1].select, 0);
    EXPECT_EQ(Get<QWidget>(controls.top.groupPanels.channel2)->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Button));

    Click(Button::ReadAll);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(Text(controls.channels[0].setpoint1), "123.5000");
    EXPECT_EQ(Get<QComboBox>(controls.channels[1].sensorType)->currentIndex(), 18);
    EXPECT_FALSE(Get<QLabel>(controls.general.firmwareVersion)->text().isEmpty());
    EXPECT_TRUE(Get<QCheckBox>(controls.top.groupBoxes.channel2)->isChecked());
    EXPECT_EQ(window->model().channel[1].select, 1);
    EXPECT_EQ(Get<QWidget>(controls.top.groupPanels.channel2)->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(Get<QFrame>(Part::Progress)->isHidden());
    EXPECT_TRUE(Get<QPushButton>(Button::ReadAll)->isEnabled());
}

TEST_F(WindowTest, WriteAllChangesTheInstrument)
{
    Open();
    boxer.yesToAll = true;
    SetText(controls.channels[0].setpoint1, "77.25");
    SetText(controls.channels[1].setpoint1, " -5 ");
    Click(Button::WriteAll);
    for (const BoxAnswerer::Box& box : boxer.boxes)
        EXPECT_FALSE(box.text.contains("ERR")) << box.text.toStdString();
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, device::regs::Th1(0).number), 77.25f);
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, device::regs::Th1(1).number), -5.0f);
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kDeviceMarker.number), device::regs::kDeviceMarkerValue);
    EXPECT_EQ(simulator.RestartCount(), 1);
    EXPECT_TRUE(Get<QPushButton>(Button::WriteAll)->isEnabled());
    EXPECT_TRUE(Get<QCheckBox>(controls.top.groupBoxes.general)->isChecked());
}

TEST_F(WindowTest, RelayQuestionAnsweredNoSendsNothing)
{
    Open();
    Get<QComboBox>(controls.general.deviceType)->setCurrentIndex(0);  // one-channel instrument
    auto* grid = Get<QTableWidget>(controls.relays.grid);
    for (int row = 1; row <= 2; ++row)
        for (int column = 1; column <= 10; ++column)
            if (!grid->item(row, column)->text().isEmpty())
                ClickCell(*grid, row, column);
    ClickCell(*grid, 1, 4);  // relay 1 on channel 2's setpoint 1
    EXPECT_EQ(grid->item(1, 4)->text(), " +");
    ClickCell(*grid, 0, 4);  // a heading: no mark
    EXPECT_EQ(grid->item(0, 4)->text(), Get<QComboBox>(controls.channels[1].setpoint1Type)->currentText().left(7));

    simulator.ClearTranscript();
    Click(Button::WriteAll);
    ASSERT_EQ(boxer.boxes.size(), 2u);
    ExpectBox(boxer.boxes[0], "В одноканальном приборе реле 1 назначено на второй канал. Записать так как есть?",
              "Ошибка в настройках реле ", QMessageBox::Critical);
    EXPECT_EQ(boxer.boxes[0].buttons.join('|').remove('&'), QString::fromUtf8("Да|Нет"));
    ExpectBox(boxer.boxes[1], "Прекратили запись чтобы поправить настройки (ERR 17)", "Замечание по настройкам",
              QMessageBox::Warning);
    EXPECT_TRUE(simulator.Transcript().empty());
    EXPECT_EQ(window->model().rele.rel0_msk1, 1);
    EXPECT_TRUE(Get<QPushButton>(Button::WriteAll)->isEnabled());
}

TEST_F(WindowTest, EntryErrorNamesItsFieldWhicheverGroupsAreSelected)
{
    Open();
    Get<QCheckBox>(controls.top.groupBoxes.channel1)->setChecked(true);
    Get<QCheckBox>(controls.top.groupBoxes.channel1)->click();  // only channel 2 and the rest stay selected
    const float th1 = window->model().channel[0].th1;
    SetText(controls.channels[0].setpoint1, "12,5.0");
    simulator.ClearTranscript();
    Click(Button::WriteSelected);
    ASSERT_EQ(boxer.boxes.size(), 2u);
    ExpectBox(boxer.boxes[0], "Ошибка задания уставки 1.", "Ошибка задания параметров канала 1.",
              QMessageBox::Critical);
    ExpectBox(boxer.boxes[1], "Прекратили запись чтобы поправить настройки (ERR 17)", "Замечание по настройкам",
              QMessageBox::Warning);
    EXPECT_TRUE(simulator.Transcript().empty());
    EXPECT_EQ(window->model().channel[0].th1, th1);
}

TEST_F(WindowTest, EscStopsAReadWithCode20AndLeavesTheWindowUnlocked)
{
    Open();
    Click(Button::ReadAll);
    const size_t fullRead = simulator.Transcript().size();

    // An Esc pressed before the command is forgotten.
    simulator.ClearTranscript();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    Click(Button::ReadAll);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(simulator.Transcript().size(), fullRead);

    simulator.ClearTranscript();
    QTimer::singleShot(0, window.get(),
                       [&] { QTest::keyClick(Get<QLineEdit>(controls.channels[0].setpoint1), Qt::Key_Escape); });
    Click(Button::ReadAll);
    ASSERT_EQ(boxer.boxes.size(), 1u);
    ExpectBox(boxer.boxes[0], "Ход процесса остановлен пользователем (ERR 20)", "Информация пользователю",
              QMessageBox::Warning);
    EXPECT_LT(simulator.Transcript().size(), fullRead);
    for (const Button button :
         {Button::ReadAll, Button::ReadSelected, Button::WriteAll, Button::WriteSelected, Button::ReadSerial})
        EXPECT_TRUE(Get<QWidget>(button)->isEnabled()) << FormName(button);
    const binding::GroupFlags& boxes = controls.top.groupBoxes;
    for (const Bound field : {Bound(boxes.channel1), Bound(boxes.channel2), Bound(boxes.relays), Bound(boxes.general),
                              Bound(controls.top.port)})
        EXPECT_TRUE(Get<QWidget>(field)->isEnabled()) << field.FormName(*window).toStdString();
    EXPECT_TRUE(Get<QAction>(MenuItem::OpenProfile)->isEnabled());
    EXPECT_TRUE(Get<QFrame>(Part::Progress)->isHidden());
    EXPECT_FALSE(window->busy());
}

TEST_F(WindowTest, NothingChangesTheModelWhileAReadRuns)
{
    Open();
    simulator.SetFloatRegister(2, device::regs::Th1(0).number, 321.0f);
    bool sawBusy = false, sawLocked = false, sawHeld = false;
    QTimer meddler;
    QObject::connect(&meddler, &QTimer::timeout, [&] {
        sawBusy |= window->busy() && Get<QFrame>(Part::Progress)->isVisible();
        sawLocked |= !Get<QPushButton>(Button::WriteAll)->isEnabled() &&
                     !Get<QCheckBox>(controls.top.groupBoxes.channel1)->isEnabled();
        sawHeld |= !Get<QAction>(MenuItem::OpenProfile)->isEnabled() && !Get<QComboBox>(controls.top.port)->isEnabled();
        SetText(controls.channels[0].setpoint1, "999");
        auto* notebook = Get<QTabWidget>("TabbedNotebook1");
        notebook->setCurrentIndex((notebook->currentIndex() + 1) % notebook->count());
        Q_EMIT Get<QComboBox>(controls.channels[0].sensorType)->activated(0);
        Click(Button::WriteAll);
        Click(Button::ReadSerial);
        Trigger(MenuItem::OpenProfile);
    });
    meddler.start(0);
    Click(Button::ReadAll);
    meddler.stop();

    EXPECT_TRUE(sawBusy);
    EXPECT_TRUE(sawLocked);
    EXPECT_TRUE(sawHeld);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(boxer.fileDialogs, 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FLOAT_EQ(window->model().channel[0].th1, 321.0f);
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(321.0f));
    EXPECT_FALSE(window->busy());
}

TEST_F(WindowTest, ClosingDuringAReadStopsItAndThenCloses)
{
    Open();
    Click(Button::ReadAll);
    const size_t fullRead = simulator.Transcript().size();
    simulator.ClearTranscript();
    SetText(controls.channels[0].setpoint1, "42.5");
    // The edit is let go at the read's question; the close comes once the read runs.
    bool closing = false;
    boxer.decide = [&](const QString& text) {
        if (!text.contains(QString::fromUtf8("не сохранены")))
            return QMessageBox::Ok;
        if (!std::exchange(closing, true))
            QTimer::singleShot(0, window.get(), [&] { window->close(); });
        return QMessageBox::Discard;
    };
    Click(Button::ReadAll);
    EXPECT_TRUE(WaitFor([&] { return !window->isVisible(); }, 5000));
    ASSERT_FALSE(boxer.boxes.empty());
    EXPECT_TRUE(boxer.boxes[0].text.contains(QString::fromUtf8("не сохранены")));
    boxer.boxes.erase(boxer.boxes.begin());

    EXPECT_LT(simulator.Transcript().size(), fullRead);
    // The read took the edit before it stopped: the close asks about it again.
    ASSERT_EQ(boxer.boxes.size(), 2u);
    EXPECT_EQ(boxer.boxes[0].text, QString::fromUtf8("Ход процесса остановлен пользователем (ERR 20)"));
    EXPECT_TRUE(boxer.boxes[1].text.contains(QString::fromUtf8("перед выходом")));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(std::filesystem::exists(File("recent.prf")));
}

TEST_F(WindowTest, SerialNumberReadReplacesUnwrittenEditsWithoutTakingThem)
{
    Open();
    const QString shownTh1 = Text(controls.channels[0].setpoint1);
    simulator.SetRegister(2, 1, device::regs::kSerialLo.number, 7);
    simulator.SetRegister(2, 1, device::regs::kSerialHi.number, 0);
    SetText(controls.general.serialNumber, "70000");  // above 65535: taking it would show ERR 23
    SetText(controls.channels[0].setpoint1, "5");
    boxer.answers = {QMessageBox::Discard};
    Click(Button::ReadSerial);
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_TRUE(boxer.boxes[0].text.contains(QString::fromUtf8("не сохранены")));
    EXPECT_EQ(Text(controls.general.serialNumber), "7");
    EXPECT_EQ(Text(controls.channels[0].setpoint1), shownTh1);
}

TEST_F(WindowTest, SerialNumberAndDateButtons)
{
    Open();
    simulator.SetRegister(2, 1, device::regs::kSerialLo.number, 0x34);
    simulator.SetRegister(2, 1, device::regs::kSerialHi.number, 0x12);
    simulator.SetRegister(2, 1, device::regs::kMadeDay.number, 5);
    simulator.SetRegister(2, 1, device::regs::kMadeMonth.number, 3);
    simulator.SetRegister(2, 1, device::regs::kMadeYear.number, 8);
    Click(Button::ReadSerial);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(Text(controls.general.serialNumber), "4660");
    EXPECT_EQ(Get<QLabel>(controls.general.productionDate)->text(), QString::fromUtf8("5 Марта 2008"));

    // The hidden month list moves the production month.
    Q_EMIT Get<QComboBox>(controls.general.productionMonth)->activated(0);
    EXPECT_EQ(Get<QLabel>(controls.general.productionDate)->text(), QString::fromUtf8("5 Января 2008"));

    SetText(controls.general.serialNumber, "513");
    Click(Button::Today);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(Get<QLabel>(controls.general.productionDate)->text().toStdString(),
              binding::ProductionDateText(today.day(), today.month(), today.year()));
    EXPECT_EQ(Text(controls.general.serialNumber), "513");

    Click(Button::WriteSerial);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kSerialLo.number), 1u);
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kSerialHi.number), 2u);
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kMadeDay.number), static_cast<uint32_t>(today.day()));
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kMadeYear.number), static_cast<uint32_t>(today.year() - 2000));
}

TEST_F(WindowTest, PassportButtonReadsEveryGroupAndKeepsTheSelection)
{
    Open();
    Get<QCheckBox>(controls.top.groupBoxes.channel2)->setChecked(true);
    Get<QCheckBox>(controls.top.groupBoxes.channel2)->click();
    simulator.SetFloatRegister(2, device::regs::Th1(1).number, 55.5f);
    simulator.SetRegister(2, 1, device::regs::kMadeMonth.number, 12);
    SetText(controls.channels[1].setpoint1, "1");  // not written: the reading replaces it, once let go

    PreviewCatcher preview;
    boxer.answers = {QMessageBox::Discard};
    Click(Button::PassportPage);
    EXPECT_EQ(preview.shown, 1);
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_TRUE(boxer.boxes[0].text.contains(QString::fromUtf8("не сохранены")));
    EXPECT_EQ(Text(controls.channels[1].setpoint1), Number(55.5f));
    EXPECT_TRUE(Get<QLabel>(controls.general.productionDate)->text().contains(QString::fromUtf8("Декабря")));
    EXPECT_FALSE(Get<QCheckBox>(controls.top.groupBoxes.channel2)->isChecked());
    EXPECT_EQ(window->model().channel[1].select, 0);
    EXPECT_TRUE(Get<QPushButton>(Button::ReadAll)->isEnabled());
}

// ---- Profiles, close and ports ----

TEST_F(WindowTest, ProfilesOpenAndSaveWithTheCaptionAndTheWorkingDirectory)
{
    Open();
    const QString sub = QString::fromStdString(File("sub"));
    std::filesystem::create_directory(sub.toStdString());

    SetText(controls.channels[0].setpoint1, "33.5");
    boxer.files = {sub + "/mine"};
    Trigger(MenuItem::SaveProfile);
    EXPECT_TRUE(std::filesystem::exists((sub + "/mine.prf").toStdString()));
    EXPECT_EQ(QDir::currentPath(), sub);
    boxer.files = {sub + "/other.prf"};
    Trigger(MenuItem::SaveProfile);
    EXPECT_TRUE(std::filesystem::exists((sub + "/other.prf.prf").toStdString()));

    SetText(controls.channels[0].setpoint1, "1");
    boxer.answers = {QMessageBox::Discard, QMessageBox::Discard};  // the edit is let go each time
    Trigger(MenuItem::OpenProfile);                                // cancelled: nothing happens
    EXPECT_EQ(window->windowHandle()->title(), kCaption + "*");
    boxer.files = {sub + "/mine.prf"};
    Trigger(MenuItem::OpenProfile);
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(33.5f));
    EXPECT_EQ(window->windowHandle()->title(), kCaption + sub + "/mine.prf");
    EXPECT_EQ(boxer.fileDialogs, 4);

    window->close();
    EXPECT_TRUE(std::filesystem::exists((sub + "/recent.prf").toStdString()));
    EXPECT_TRUE(std::filesystem::exists((sub + "/dev.dat").toStdString()));
    EXPECT_EQ(boxer.boxes.size(), 2u);
}

TEST_F(WindowTest, AReadOnlyProfileIsOpenedAndLeftAsItIs)
{
    Open();
    // No otk_type: the load would write it back, which a read-only reference profile refuses.
    const std::string text = "[CH1]\r\nth1=77\r\n";
    WriteFileBytes(File("ro.prf"), text);
    std::filesystem::permissions(File("ro.prf"), std::filesystem::perms::owner_read);
    boxer.files = {QString::fromStdString(File("ro.prf"))};
    // The profile lacks the other settings: their defaults are taken.
    boxer.answers = {QMessageBox::Yes};
    Trigger(MenuItem::OpenProfile);
    ASSERT_EQ(boxer.boxes.size(), 2u);
    EXPECT_EQ(boxer.boxes[0].text.toStdString().rfind("В профиле " + File("ro.prf") + " нет 55 настроек", 0), 0u);
    EXPECT_EQ(boxer.boxes[1].text.toStdString(), "Профиль " + File("ro.prf") +
                                                     " открыт, но файл не обновлен.\nНе удается записать файл " +
                                                     File("ro.prf") + ": файл защищен от записи.");
    EXPECT_EQ(boxer.boxes[1].icon, QMessageBox::Information);
    EXPECT_EQ(window->windowHandle()->title(), kCaption + QString::fromStdString(File("ro.prf")));
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(77.0f));
    EXPECT_EQ(window->model().channel[0].th1, 77.0f);
    EXPECT_EQ(window->model().general.otk_type, 47) << "the missing key's value, as the load gives it";
    EXPECT_EQ(ReadFileBytes(File("ro.prf")), text);
}

TEST_F(WindowTest, CloseWritesRecentProfileAndPortNumber)
{
    Open();
    SetText(controls.channels[0].setpoint1, "42.5");
    auto* selector = Get<QComboBox>(controls.top.port);
    selector->setCurrentIndex(2);
    Q_EMIT selector->activated(2);
    EXPECT_EQ(Get<QLabel>(controls.top.portNumber)->text(), "3");
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(42.5f));  // typed values survive the port change
    // The port reopened on the same device answers; the edit is saved into a profile first.
    boxer.answers = {QMessageBox::Save};
    boxer.files = {QString::fromStdString(File("kept"))};
    Click(Button::ReadSerial);
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_TRUE(boxer.boxes[0].text.contains(QString::fromUtf8("не сохранены")));
    EXPECT_FLOAT_EQ(binding::ParseNumberText(ProfileValue(File("kept.prf"), "CH1", "th1")), 42.5f);
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(42.5f));

    window->close();
    EXPECT_EQ(ProfileValue(File("dev.dat"), "COM_SETTINGS", "Number"), "3");
    EXPECT_FLOAT_EQ(binding::ParseNumberText(ProfileValue(File("recent.prf"), "CH1", "th1")), 42.5f);
}

TEST_F(WindowTest, PortNumbersNameTheDevicesOfDevDat)
{
    WriteFileBytes(File("dev.dat"), "[COM_SETTINGS]\r\nNumber=2\r\n[PORTS]\r\nCOM2=" + simulator.DevicePath() + "\r\n");
    Open({});
    EXPECT_EQ(Get<QLabel>(controls.top.portNumber)->text(), "2");
    EXPECT_EQ(Get<QLabel>("PortDeviceLabel")->text().toStdString(), simulator.DevicePath());
    EXPECT_TRUE(Get<QComboBox>(controls.top.port)
                    ->itemData(1, Qt::ToolTipRole)
                    .toString()
                    .endsWith(QString::fromStdString(simulator.DevicePath())));
    // The list, built when it first opens, shows each number with its device and is as wide.
    auto* selector = Get<QComboBox>(controls.top.port);
    selector->showPopup();
    const int deviceWidth = selector->fontMetrics().horizontalAdvance(QString::fromStdString(simulator.DevicePath()));
    EXPECT_GT(selector->view()->minimumWidth(), deviceWidth);
    QStyleOptionViewItem item;
    item.initFrom(selector->view());
    EXPECT_GT(selector->view()->itemDelegate()->sizeHint(item, selector->model()->index(1, 0)).width(), deviceWidth);
    selector->hidePopup();
    Click(Button::ReadSerial);
    EXPECT_TRUE(boxer.boxes.empty());
}

// ---- Live values ----

TEST_F(WindowTest, LiveValuesArePolledOnlyWhileTheirPageIsShown)
{
    sim::LiveValues live;
    live.value[0] = 23.25f;
    live.status[1] = 12;
    simulator.SetLiveBlock(sim::EncodeLiveBlock(live));
    Open();
    clock.Advance(1200);
    const auto polls = [this] {
        int n = 0;
        for (const auto& r : simulator.Transcript())
            n += r.memType == 4;
        return n;
    };
    EXPECT_EQ(polls(), 0) << "page 0 is shown";

    Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(3);
    const QLabel* value = Get<QLabel>("ValuePanel1");
    ASSERT_TRUE(clock.AdvanceUntil([&] { return value->text() == QString(" 23.2500"); }, 3000))
        << value->text().toStdString();
    EXPECT_EQ(Get<QLabel>("StatusPanel2")->text(), QString::fromUtf8("Канал выключен"));
    EXPECT_EQ(Get<QLabel>("PollPanel")->text(), QString::fromUtf8("Получен ответ"));
    EXPECT_GE(polls(), 1);
}

TEST_F(WindowTest, NoNumberBeforeTheFirstAnswerAndValuesNoLongerRenewedGreyedWithTheirAge)
{
    sim::LiveValues live;
    live.value[0] = 23.25f;
    simulator.SetLiveBlock(sim::EncodeLiveBlock(live));
    // Every poll refused, as the poll of an instrument that does not answer fails.
    const sim::Fault refusal{
        .kind = sim::Fault::Kind::Status, .count = -1, .status = 2, .bank = 1, .memType = 4, .reg = 2};
    simulator.InjectFault(refusal);
    Open();
    Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(3);
    const QLabel* value = Get<QLabel>("ValuePanel1");
    const QLabel* status = Get<QLabel>("StatusPanel1");
    const QLabel* outcome = Get<QLabel>("PollPanel");
    const auto failed = [&] {
        return !outcome->text().isEmpty() && outcome->text() != QString::fromUtf8("Получен ответ");
    };
    ASSERT_TRUE(clock.AdvanceUntil(failed, 5000));
    EXPECT_EQ(value->text(), QString());
    EXPECT_EQ(status->text(), QString::fromUtf8("Значений от прибора ещё не было"));
    auto* timeAxis = qobject_cast<QDateTimeAxis*>(Get<QChartView>("TrendView")->chart()->axes(Qt::Horizontal).front());
    ASSERT_NE(timeAxis, nullptr);
    EXPECT_FALSE(timeAxis->labelsVisible()) << "no time before the first value";

    simulator.ClearFaults();
    ASSERT_TRUE(clock.AdvanceUntil([&] { return value->text() == QString(" 23.2500"); }, 5000))
        << value->text().toStdString();
    EXPECT_TRUE(value->isEnabled());
    EXPECT_EQ(status->text(), QString::fromUtf8("Нормальное измерение"));
    const auto* trend = Get<gui::TrendChart>("TrendChart");
    ASSERT_TRUE(trend->buffer().OldestMs());
    EXPECT_TRUE(timeAxis->labelsVisible());
    EXPECT_EQ(timeAxis->min().toMSecsSinceEpoch(), *trend->buffer().OldestMs()) << "the axis starts at the first value";

    simulator.InjectFault(refusal);
    ASSERT_TRUE(clock.AdvanceUntil(failed, 5000));
    EXPECT_EQ(value->text(), QString(" 23.2500"));
    EXPECT_FALSE(value->isEnabled()) << "greyed";
    EXPECT_TRUE(status->text().startsWith(QString::fromUtf8("Получено "))) << status->text().toStdString();
    EXPECT_TRUE(status->text().endsWith(QString::fromUtf8(" с назад"))) << status->text().toStdString();
}

}  // namespace
}  // namespace pmv::test
