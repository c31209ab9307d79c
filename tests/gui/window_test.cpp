#include "window_fixture.h"

#include "binding/binding.h"
#include "binding/number_text.h"
#include "device/register_map.h"
#include "gui/trend_chart.h"
#include "ini/ini_file.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>

#include <algorithm>
#include <filesystem>

namespace pmv::test {
namespace {

const QString kCaption = QString::fromUtf8("Настройка ПМВ 77xx пользовательская верс.1.0.24.0 ");

QString Number(float value)
{
    return QString::fromStdString(FormatNumber(value));
}

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
    return IniFile::Load(path).get(section, key).value_or("");
}

// ---- Start-up and the controls ----

TEST_F(WindowTest, FirstStartInAnEmptyDirectory)
{
    Open();
    for (const char* name : {"dev.dat", "recent.prf", "PMV7700.prf", "PMV7701.prf", "PMV7703.prf", "PMV7706.prf",
                             "PMV77XX_progon.prf", "PMV7706_PID.prf", "PMV77XX_pogrR.prf", "PMV77XX_pogrU100.prf",
                             "PMV77XX_pogrU10.prf", "PMV77XX_pogrI.prf"})
        EXPECT_TRUE(std::filesystem::exists(File(name))) << name;
    EXPECT_TRUE(boxer.boxes.empty());

    EXPECT_EQ(window->windowTitle(), kCaption);
    // The original client area, taller by the trend on the page of current values.
    EXPECT_EQ(window->centralWidget()->size(), QSize(703, 461 + kTrendHeight));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(Get<QTabWidget>("TabbedNotebook1")->currentIndex(), 0);
    EXPECT_TRUE(Get<QFrame>("Panel76")->isHidden());

    const ChannelSettings& ch1 = window->model().channel[0];
    EXPECT_EQ(Text("Edit5"), Number(ch1.th1));
    EXPECT_EQ(Text("Edit1"), Number(ch1.diap_max));
    EXPECT_EQ(Get<QComboBox>("ComboBox1")->currentIndex(), ch1.dat);
    EXPECT_EQ(Get<QComboBox>("ComboBox4")->currentIndex(), ch1.ns - 1);
    EXPECT_EQ(Get<QTextEdit>("RichEdit1")->toPlainText().split('\n').front().toStdString(),
              window->model().definition[0]);

    const QDate today = QDate::currentDate();
    EXPECT_EQ(Get<QLabel>("Panel79")->text().toStdString(), ProductionDateText(today.day(), today.month(), today.year()));
    EXPECT_EQ(Get<QLabel>("Label2")->text(), "1");
    EXPECT_EQ(Get<QLabel>("PortDeviceLabel")->text().toStdString(), simulator.DevicePath());
    EXPECT_EQ(window->exchange().values().RetryCount, 2u);
}

TEST_F(WindowTest, EveryControlWithItsNameCaptionListAndHint)
{
    Open();
    struct List {
        const char* name;
        int count;
        const char* first;
        const char* last;
    };
    for (const List& l : {
             List{"ComboBox17", 8, "1", "8"},
             List{"ComboBox1", 25, "50М ТС медь Ro=50 W=1.428", "ТНН ТП НН(N) нихросил/нисил"},
             List{"ComboBox7", 25, "50М ТС медь Ro=50 W=1.428", "ТНН ТП НН(N) нихросил/нисил"},
             List{"ComboBox2", 3, "Нет", "Повышение"},
             List{"ComboBox9", 3, "Нет", "Повышение"},
             List{"ComboBox21", 5, "0.001", "10.0"},
             List{"ComboBox24", 5, "0.001", "10.0"},
             List{"ComboBox4", 10, "1", "10"},
             List{"ComboBox12", 10, "1", "10"},
             List{"ComboBox5", 4, "0", "3"},
             List{"ComboBox13", 3, "Упрощенная", "Управление задвижкой"},
             List{"ComboBox14", 2, "Упрощенная", "Расширенная"},
             List{"ComboBox15", 231, "10", "240"},
             List{"ComboBox16", 56, "5", "60"},
             List{"ComboBox19", 4, "7700/01 Н Одноканальный", "7706 Н Одноканальн. ПИД регул."},
             List{"ComboBox20", 2, "Упрощенное", "Расширенное"},
             List{"ComboBox27", 256, "000", "255"},
             List{"ComboBox25", 12, "Январь", "Декабрь"},
             List{"ComboBox26", 11, "2007", "2017"},
         }) {
        const QComboBox* list = Get<QComboBox>(l.name);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), l.count) << l.name;
        EXPECT_EQ(list->itemText(0), QString::fromUtf8(l.first)) << l.name;
        EXPECT_EQ(list->itemText(list->count() - 1), QString::fromUtf8(l.last)) << l.name;
        const bool stepList = QStringList{"ComboBox21", "ComboBox22", "ComboBox23", "ComboBox24"}.contains(l.name);
        EXPECT_EQ(list->isEditable(), stepList) << l.name;
    }
    EXPECT_EQ(Get<QComboBox>("ComboBox1")->itemText(16), QString::fromUtf8("ТМК  ТП TMK(T) медь/константан"));

    const std::pair<const char*, const char*> captions[] = {
        {"Button1", "Прочитать все"},  {"Button2", "Прочитать выбранное"}, {"Button3", "Записать все"},
        {"Button4", "Записать выбранное"}, {"Button42", "Генерируем страничку в паспорт"},
        {"Button44", "Прочитать"},     {"Button45", "Записать"},           {"Button46", "Текущее"},
        {"Button5", "Начать чтение"},  {"CheckBox1", "1"},                 {"CheckBox2", "2"},
        {"CheckBox3", "Реле"},         {"CheckBox10", "Общие"},            {"CheckBox4", "Корнеизвлечение"},
    };
    for (const auto& [name, caption] : captions)
        EXPECT_EQ(Get<QAbstractButton>(name)->text(), QString::fromUtf8(caption)) << name;
    EXPECT_EQ(Get<QLabel>("Label1")->text(), QString::fromUtf8("Номер порта"));
    EXPECT_EQ(Get<QLabel>("Label3")->text(), QString::fromUtf8("Используемые каналы"));
    EXPECT_EQ(Get<QLabel>("Label5")->text(), QString::fromUtf8("Описание настроек"));
    EXPECT_EQ(window->findChild<QAction*>("N2")->text(), QString::fromUtf8("Прочитать из файла настройки прибора"));
    EXPECT_EQ(window->findChild<QAction*>("N3")->text(), QString::fromUtf8("Сохранить настройки прибора в файл"));

    const std::pair<const char*, const char*> hints[] = {
        {"ComboBox17", "Задаем номер порта компьютора"},
        {"ComboBox27", "Тип прибора "},
        {"StringGrid1", "Стявя значек в ячейке включаем реле от данного события."},
        {"Button3", "Записать параметры обоих каналов, реле, часть общеприборных  настроек."},
        {"CheckBox10", "При нажатии на кнопки прочитать / записать будут прочитаны или записаны заводские настройки : "
                       "вид прибора, вид отображения ошибки. Прочитаются : версия ПО и заводской номер. "},
    };
    for (const auto& [name, hint] : hints)
        EXPECT_EQ(Get<QWidget>(name)->toolTip(), QString::fromUtf8(hint)) << name;

    const QTabWidget* notebook = Get<QTabWidget>("TabbedNotebook1");
    const char* pages[] = {"Настройки каналов", "Настройки реле", "Общие", "Текущие значения", "Конфигурация"};
    ASSERT_EQ(notebook->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(notebook->tabText(i), QString::fromUtf8(pages[i]));

    for (const char* name : {"CheckBox5", "CheckBox7", "Edit9", "Edit12", "Edit21", "Edit24", "ComboBox13",
                             "ComboBox14", "ComboBox25", "ComboBox26", "bcCalendar1", "Button40", "Button41", "Button5"})
        EXPECT_TRUE(Get<QWidget>(name)->isHidden()) << name;
    for (const char* name : {"Edit1", "Edit8", "Edit13", "Edit20", "Edit53", "Panel78", "Panel79", "RichEdit1"})
        EXPECT_FALSE(Get<QWidget>(name)->isHidden()) << name;

    // The two channel panels differ only in names and one spelling.
    const auto labels = [&](const char* panel) {
        QStringList texts;
        for (const QLabel* l : Get<QWidget>(panel)->findChildren<QLabel*>())
            texts << l->text();
        return texts;
    };
    EXPECT_TRUE(labels("Panel1").contains(QString::fromUtf8("Шаг изменеия гистерезиса")));
    EXPECT_TRUE(labels("Panel2").contains(QString::fromUtf8("Шаг изменения гистерезиса")));

    const QTableWidget* headings = Get<QTableWidget>("StringGrid2");
    const QTableWidget* relays = Get<QTableWidget>("StringGrid1");
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
              ("Не удается записать файл " + File("recent.prf") + ": под этим именем уже есть папка.").c_str(), "Ошибка",
              QMessageBox::Critical);
    EXPECT_EQ(window->windowTitle(), kCaption);
    EXPECT_TRUE(std::filesystem::exists(File("PMV7700.prf")));

    const size_t shown = boxer.boxes.size();
    Click("Button44");
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
    simulator.SetFloatRegister(2, regs::Th1(0).number, 123.5f);
    simulator.SetRegister(2, 1, regs::Dat(1).number, 18);

    Get<QCheckBox>("CheckBox2")->click();
    EXPECT_EQ(window->model().channel[1].select, 0);
    EXPECT_EQ(Get<QWidget>("Panel2")->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Button));

    Click("Button1");
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(Text("Edit5"), "123.5000");
    EXPECT_EQ(Get<QComboBox>("ComboBox7")->currentIndex(), 18);
    EXPECT_FALSE(Get<QLabel>("Panel78")->text().isEmpty());
    EXPECT_TRUE(Get<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_EQ(window->model().channel[1].select, 1);
    EXPECT_EQ(Get<QWidget>("Panel2")->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(Get<QFrame>("Panel76")->isHidden());
    EXPECT_TRUE(Get<QPushButton>("Button1")->isEnabled());
}

TEST_F(WindowTest, WriteAllChangesTheInstrument)
{
    Open();
    boxer.yesToAll = true;
    SetText("Edit5", "77.25");
    SetText("Edit17", " -5 ");
    Click("Button3");
    for (const BoxAnswerer::Box& box : boxer.boxes)
        EXPECT_FALSE(box.text.contains("ERR")) << box.text.toStdString();
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, regs::Th1(0).number), 77.25f);
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, regs::Th1(1).number), -5.0f);
    EXPECT_EQ(simulator.Register(2, 1, regs::kDeviceMarker.number), regs::kDeviceMarkerValue);
    EXPECT_EQ(simulator.RestartCount(), 1);
    EXPECT_TRUE(Get<QPushButton>("Button3")->isEnabled());
    EXPECT_TRUE(Get<QCheckBox>("CheckBox10")->isChecked());
}

TEST_F(WindowTest, RelayQuestionAnsweredNoSendsNothing)
{
    Open();
    Get<QComboBox>("ComboBox19")->setCurrentIndex(0);  // one-channel instrument
    auto* grid = Get<QTableWidget>("StringGrid1");
    for (int row = 1; row <= 2; ++row)
        for (int column = 1; column <= 10; ++column)
            if (!grid->item(row, column)->text().isEmpty())
                ClickCell(*grid, row, column);
    ClickCell(*grid, 1, 4);  // relay 1 on channel 2's setpoint 1
    EXPECT_EQ(grid->item(1, 4)->text(), " +");
    ClickCell(*grid, 0, 4);  // a heading: no mark
    EXPECT_EQ(grid->item(0, 4)->text(), Get<QComboBox>("ComboBox8")->currentText().left(7));

    simulator.ClearTranscript();
    Click("Button3");
    ASSERT_EQ(boxer.boxes.size(), 2u);
    ExpectBox(boxer.boxes[0], "В одноканальном приборе реле 1 назначено на второй канал. Записать так как есть?",
              "Ошибка в настройках реле ", QMessageBox::Critical);
    EXPECT_EQ(boxer.boxes[0].buttons.join('|').remove('&'), QString::fromUtf8("Да|Нет"));
    ExpectBox(boxer.boxes[1], "Прекратили запись чтобы поправить настройки (ERR 17)", "Замечание по настройкам",
              QMessageBox::Warning);
    EXPECT_TRUE(simulator.Transcript().empty());
    EXPECT_EQ(window->model().rele.rel0_msk1, 1);
    EXPECT_TRUE(Get<QPushButton>("Button3")->isEnabled());
}

TEST_F(WindowTest, EntryErrorNamesItsFieldWhicheverGroupsAreSelected)
{
    Open();
    Get<QCheckBox>("CheckBox1")->setChecked(true);
    Get<QCheckBox>("CheckBox1")->click();  // only channel 2 and the rest stay selected
    const float th1 = window->model().channel[0].th1;
    SetText("Edit5", "12,5.0");
    simulator.ClearTranscript();
    Click("Button4");
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
    Click("Button1");
    const size_t fullRead = simulator.Transcript().size();

    // An Esc pressed before the command is forgotten.
    simulator.ClearTranscript();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    Click("Button1");
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(simulator.Transcript().size(), fullRead);

    simulator.ClearTranscript();
    QTimer::singleShot(0, window.get(), [&] { QTest::keyClick(Get<QLineEdit>("Edit5"), Qt::Key_Escape); });
    Click("Button1");
    ASSERT_EQ(boxer.boxes.size(), 1u);
    ExpectBox(boxer.boxes[0], "Ход процесса остановлен пользователем (ERR 20)", "Информация пользователю",
              QMessageBox::Warning);
    EXPECT_LT(simulator.Transcript().size(), fullRead);
    for (const char* name : {"Button1", "Button2", "Button3", "Button4", "CheckBox1", "CheckBox2", "CheckBox3",
                             "CheckBox10", "ComboBox17", "Button44"})
        EXPECT_TRUE(Get<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(window->findChild<QAction*>("N2")->isEnabled());
    EXPECT_TRUE(Get<QFrame>("Panel76")->isHidden());
    EXPECT_FALSE(window->busy());
}

TEST_F(WindowTest, NothingChangesTheModelWhileAReadRuns)
{
    Open();
    simulator.SetFloatRegister(2, regs::Th1(0).number, 321.0f);
    bool sawBusy = false, sawLocked = false, sawHeld = false;
    QTimer meddler;
    QObject::connect(&meddler, &QTimer::timeout, [&] {
        sawBusy |= window->busy() && Get<QFrame>("Panel76")->isVisible();
        sawLocked |= !Get<QPushButton>("Button3")->isEnabled() && !Get<QCheckBox>("CheckBox1")->isEnabled();
        sawHeld |= !window->findChild<QAction*>("N2")->isEnabled() && !Get<QComboBox>("ComboBox17")->isEnabled();
        SetText("Edit5", "999");
        auto* notebook = Get<QTabWidget>("TabbedNotebook1");
        notebook->setCurrentIndex((notebook->currentIndex() + 1) % notebook->count());
        Q_EMIT Get<QComboBox>("ComboBox1")->activated(0);
        Click("Button3");
        Click("Button44");
        window->findChild<QAction*>("N2")->trigger();
    });
    meddler.start(0);
    Click("Button1");
    meddler.stop();

    EXPECT_TRUE(sawBusy);
    EXPECT_TRUE(sawLocked);
    EXPECT_TRUE(sawHeld);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(boxer.fileDialogs, 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FLOAT_EQ(window->model().channel[0].th1, 321.0f);
    EXPECT_EQ(Text("Edit5"), Number(321.0f));
    EXPECT_FALSE(window->busy());
}

TEST_F(WindowTest, ClosingDuringAReadStopsItAndThenCloses)
{
    Open();
    Click("Button1");
    const size_t fullRead = simulator.Transcript().size();
    simulator.ClearTranscript();
    SetText("Edit5", "42.5");
    QTimer::singleShot(0, window.get(), [&] { window->close(); });
    Click("Button1");
    QTest::qWait(50);

    EXPECT_LT(simulator.Transcript().size(), fullRead);
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text, QString::fromUtf8("Ход процесса остановлен пользователем (ERR 20)"));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(std::filesystem::exists(File("recent.prf")));
}

TEST_F(WindowTest, SerialNumberReadReplacesUnwrittenEditsWithoutTakingThem)
{
    Open();
    const QString shownTh1 = Text("Edit5");
    simulator.SetRegister(2, 1, regs::kSerialLo.number, 7);
    simulator.SetRegister(2, 1, regs::kSerialHi.number, 0);
    SetText("Edit53", "70000");  // above 65535: taking it would show ERR 23
    SetText("Edit5", "5");
    Click("Button44");
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(Text("Edit53"), "7");
    EXPECT_EQ(Text("Edit5"), shownTh1);
}

TEST_F(WindowTest, SerialNumberAndDateButtons)
{
    Open();
    simulator.SetRegister(2, 1, regs::kSerialLo.number, 0x34);
    simulator.SetRegister(2, 1, regs::kSerialHi.number, 0x12);
    simulator.SetRegister(2, 1, regs::kMadeDay.number, 5);
    simulator.SetRegister(2, 1, regs::kMadeMonth.number, 3);
    simulator.SetRegister(2, 1, regs::kMadeYear.number, 8);
    Click("Button44");
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(Text("Edit53"), "4660");
    EXPECT_EQ(Get<QLabel>("Panel79")->text(), QString::fromUtf8("5 Марта 2008"));

    // The hidden month list moves the production month.
    Q_EMIT Get<QComboBox>("ComboBox25")->activated(0);
    EXPECT_EQ(Get<QLabel>("Panel79")->text(), QString::fromUtf8("5 Января 2008"));

    SetText("Edit53", "513");
    Click("Button46");
    const QDate today = QDate::currentDate();
    EXPECT_EQ(Get<QLabel>("Panel79")->text().toStdString(), ProductionDateText(today.day(), today.month(), today.year()));
    EXPECT_EQ(Text("Edit53"), "513");

    Click("Button45");
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(simulator.Register(2, 1, regs::kSerialLo.number), 1u);
    EXPECT_EQ(simulator.Register(2, 1, regs::kSerialHi.number), 2u);
    EXPECT_EQ(simulator.Register(2, 1, regs::kMadeDay.number), static_cast<uint32_t>(today.day()));
    EXPECT_EQ(simulator.Register(2, 1, regs::kMadeYear.number), static_cast<uint32_t>(today.year() - 2000));
}

TEST_F(WindowTest, PassportButtonReadsEveryGroupAndKeepsTheSelection)
{
    Open();
    Get<QCheckBox>("CheckBox2")->setChecked(true);
    Get<QCheckBox>("CheckBox2")->click();
    simulator.SetFloatRegister(2, regs::Th1(1).number, 55.5f);
    simulator.SetRegister(2, 1, regs::kMadeMonth.number, 12);
    SetText("Edit17", "1");  // not written: the reading replaces it

    PreviewCatcher preview;
    Click("Button42");
    EXPECT_EQ(preview.shown, 1);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(Text("Edit17"), Number(55.5f));
    EXPECT_TRUE(Get<QLabel>("Panel79")->text().contains(QString::fromUtf8("Декабря")));
    EXPECT_FALSE(Get<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_EQ(window->model().channel[1].select, 0);
    EXPECT_TRUE(Get<QPushButton>("Button1")->isEnabled());
}

// ---- Profiles, close and ports ----

TEST_F(WindowTest, ProfilesOpenAndSaveWithTheCaptionAndTheWorkingDirectory)
{
    Open();
    const QString sub = QString::fromStdString(File("sub"));
    std::filesystem::create_directory(sub.toStdString());

    SetText("Edit5", "33.5");
    boxer.files = {sub + "/mine"};
    window->findChild<QAction*>("N3")->trigger();
    EXPECT_TRUE(std::filesystem::exists((sub + "/mine.prf").toStdString()));
    EXPECT_EQ(QDir::currentPath(), sub);
    boxer.files = {sub + "/other.prf"};
    window->findChild<QAction*>("N3")->trigger();
    EXPECT_TRUE(std::filesystem::exists((sub + "/other.prf.prf").toStdString()));

    SetText("Edit5", "1");
    window->findChild<QAction*>("N2")->trigger();  // cancelled: nothing happens
    EXPECT_EQ(window->windowTitle(), kCaption);
    boxer.files = {sub + "/mine.prf"};
    window->findChild<QAction*>("N2")->trigger();
    EXPECT_EQ(Text("Edit5"), Number(33.5f));
    EXPECT_EQ(window->windowTitle(), kCaption + sub + "/mine.prf");
    EXPECT_EQ(boxer.fileDialogs, 4);

    window->close();
    EXPECT_TRUE(std::filesystem::exists((sub + "/recent.prf").toStdString()));
    EXPECT_TRUE(std::filesystem::exists((sub + "/dev.dat").toStdString()));
    EXPECT_TRUE(boxer.boxes.empty());
}

TEST_F(WindowTest, AProfileThatFailsToLoadChangesNothing)
{
    Open();
    // No otk_type: the load writes it back, which a read-only profile refuses.
    WriteFileBytes(File("ro.prf"), "[CH1]\r\nth1=77\r\n");
    std::filesystem::permissions(File("ro.prf"), std::filesystem::perms::owner_read);
    const QString th1 = Text("Edit5");
    const float modelTh1 = window->model().channel[0].th1;
    boxer.files = {QString::fromStdString(File("ro.prf"))};
    window->findChild<QAction*>("N2")->trigger();
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text.toStdString(), "Не удается записать файл " + File("ro.prf") + ": файл защищен от записи.");
    EXPECT_EQ(window->windowTitle(), kCaption);
    EXPECT_EQ(Text("Edit5"), th1);
    EXPECT_EQ(window->model().channel[0].th1, modelTh1);
}

TEST_F(WindowTest, CloseWritesRecentProfileAndPortNumber)
{
    Open();
    SetText("Edit5", "42.5");
    auto* selector = Get<QComboBox>("ComboBox17");
    selector->setCurrentIndex(2);
    Q_EMIT selector->activated(2);
    EXPECT_EQ(Get<QLabel>("Label2")->text(), "3");
    EXPECT_EQ(Text("Edit5"), Number(42.5f));  // typed values survive the port change
    Click("Button44");  // the port reopened on the same device answers
    EXPECT_TRUE(boxer.boxes.empty());

    window->close();
    EXPECT_EQ(ProfileValue(File("dev.dat"), "COM_SETTINGS", "Number"), "3");
    EXPECT_FLOAT_EQ(ParseNumberText(ProfileValue(File("recent.prf"), "CH1", "th1")), 42.5f);
}

TEST_F(WindowTest, PortNumbersNameTheDevicesOfDevDat)
{
    WriteFileBytes(File("dev.dat"), "[COM_SETTINGS]\r\nNumber=2\r\n[PORTS]\r\nCOM2=" + simulator.DevicePath() + "\r\n");
    Open({});
    EXPECT_EQ(Get<QLabel>("Label2")->text(), "2");
    EXPECT_EQ(Get<QLabel>("PortDeviceLabel")->text().toStdString(), simulator.DevicePath());
    EXPECT_TRUE(Get<QComboBox>("ComboBox17")->itemData(1, Qt::ToolTipRole).toString().endsWith(
        QString::fromStdString(simulator.DevicePath())));
    Click("Button44");
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
    QTest::qWait(1200);
    const auto polls = [this] {
        int n = 0;
        for (const auto& r : simulator.Transcript())
            n += r.memType == 4;
        return n;
    };
    EXPECT_EQ(polls(), 0) << "page 0 is shown";

    Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(3);
    const QLabel* value = Get<QLabel>("ValuePanel1");
    ASSERT_TRUE(WaitFor([&] { return value->text() == QString(" 23.2500"); }, 3000)) << value->text().toStdString();
    EXPECT_EQ(Get<QLabel>("StatusPanel2")->text(), QString::fromUtf8("Канал выключен"));
    EXPECT_EQ(Get<QLabel>("PollPanel")->text(), QString::fromUtf8("Получен ответ"));
    EXPECT_GE(polls(), 1);
}

}  // namespace
}  // namespace pmv::test
