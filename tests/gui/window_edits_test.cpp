#include "window_fixture.h"

#include "device/register_map.h"
#include "ini/ini_file.h"
#include "model/number_format.h"
#include "model/profile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QWindow>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace pmv::test {
namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QString Number(float value) { return QString::fromStdString(model::FormatNumber(value)); }

bool AsksAboutEdits(const BoxAnswerer::Box& box) { return box.text.contains(U("не сохранены")); }

class EditsTest : public WindowTest {
protected:
    // The window in front, so that typing and the focus reach its widgets.
    void Activate()
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // Typed key by key into a field that keeps the focus, as a user does before choosing a command.
    void Type(Bound field, const char* text)
    {
        Activate();  // a modal box or preview leaves the offscreen window inactive
        auto* edit = Get<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, U(text));
        ASSERT_TRUE(edit->hasFocus());
    }

    QTabWidget* Pages() const { return Get<QTabWidget>("TabbedNotebook1"); }
};

TEST_F(EditsTest, EveryCommandTakesTheValueBeingTyped)
{
    Open();

    // A report of the current settings, chosen while the value is still in its field.
    Type(controls.channels[0].setpoint1, "12,5");
    PreviewCatcher preview;
    Get<QAction>("ReportAction")->trigger();
    EXPECT_EQ(preview.shown, 1);
    EXPECT_FLOAT_EQ(window->model().channel[0].th1, 12.5f);

    // "Прочитать коэффициенты" shows the window again from the model: the typed value stays.
    Type(controls.channels[1].setpoint2, "-3");
    Get<QAction>("Button18")->trigger();
    EXPECT_EQ(Text(controls.channels[1].setpoint2), Number(-3.0f));
    EXPECT_TRUE(boxer.boxes.empty());
}

TEST_F(EditsTest, UnsavedEditsAreMarkedAndAskedAboutBeforeAnythingReplacesThem)
{
    Open();
    const QString shown = Text(controls.channels[0].setpoint1);
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_FALSE(window->windowHandle()->title().contains('*'));

    SetText(controls.channels[0].setpoint1, "5");
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(window->windowHandle()->title().endsWith('*'));
    // The same number written another way is no edit; neither is a group box.
    ASSERT_EQ(shown, Number(50.0f));
    SetText(controls.channels[0].setpoint1, "50");
    Get<QCheckBox>(controls.top.groupBoxes.channel2)->click();
    EXPECT_FALSE(window->isWindowModified());
    // A number that does not scan is an edit all the same.
    SetText(controls.channels[0].setpoint1, "5..");
    EXPECT_TRUE(window->isWindowModified());
    SetText(controls.channels[0].setpoint1, "5");

    // Ctrl+O, kept: no file dialog, the edit stays.
    Activate();
    boxer.answers = {QMessageBox::Cancel};
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(boxer.boxes.size(), 1u);
    const BoxAnswerer::Box& asked = boxer.boxes[0];
    EXPECT_TRUE(AsksAboutEdits(asked)) << asked.text.toStdString();
    EXPECT_EQ(asked.caption, U("Несохраненные изменения"));
    EXPECT_EQ(asked.icon, QMessageBox::Warning);
    EXPECT_TRUE(asked.buttons.contains(U("Сохранить")) && asked.buttons.contains(U("Не сохранять")) &&
                asked.buttons.contains(U("Отмена")))
        << asked.buttons.join('|').toStdString();
    EXPECT_EQ(asked.defaultButton, U("Сохранить"));
    EXPECT_EQ(boxer.fileDialogs, 0);
    EXPECT_EQ(Text(controls.channels[0].setpoint1), "5");

    // "Паспорт прибора…", kept: nothing is read.
    boxer.answers = {QMessageBox::Cancel};
    PreviewCatcher preview;
    Get<QAction>("PassportAction")->trigger();
    EXPECT_EQ(boxer.boxes.size(), 2u);
    EXPECT_EQ(preview.shown, 0);
    EXPECT_TRUE(simulator.Transcript().empty());

    // "Прочитать все", let go: the instrument's settings are the new reference.
    simulator.SetFloatRegister(2, device::regs::Th1(0).number, 7.25f);
    boxer.answers = {QMessageBox::Discard};
    Click(Button::ReadAll);
    EXPECT_EQ(boxer.boxes.size(), 3u);
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(7.25f));
    EXPECT_FALSE(window->isWindowModified());

    // The close, kept once, then saved into a profile.
    SetText(controls.channels[0].setpoint1, "8");
    boxer.answers = {QMessageBox::Cancel};
    window->close();
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(boxer.boxes.size(), 4u);
    EXPECT_TRUE(boxer.boxes[3].text.contains(U("перед выходом")));
    boxer.answers = {QMessageBox::Save};
    boxer.files = {QString::fromStdString(File("kept"))};
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ini::IniFile::Load(File("kept.prf")).get("CH1", "th1").value_or(""), "8.0000");
    EXPECT_EQ(boxer.boxes.size(), 5u);
}

TEST_F(EditsTest, AReadAsksOnlyAboutTheEditsItWouldReplace)
{
    Open();
    const QString loaded = Text(controls.channels[1].setpoint1);
    // Channel 2 unticked: "Прочитать выбранное" takes its edit along and reads the others.
    Get<QCheckBox>(controls.top.groupBoxes.channel2)->click();
    SetText(controls.channels[1].setpoint1, "2");
    Click(Button::ReadSelected);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(Text(controls.channels[1].setpoint1), Number(2.0f));
    EXPECT_TRUE(window->isWindowModified());

    // No read changes the description: an edit of it alone is no question, and stays marked.
    SetText(controls.channels[1].setpoint1, loaded.toUtf8().constData());
    Get<QTextEdit>(Part::Description)->setPlainText(U("своё описание"));
    Click(Button::ReadAll);
    EXPECT_TRUE(boxer.boxes.empty());
    EXPECT_EQ(Get<QTextEdit>(Part::Description)->toPlainText(), U("своё описание"));
    EXPECT_TRUE(window->isWindowModified());
}

TEST_F(EditsTest, AProfileSavedOrOpenedIsTheNewReference)
{
    Open();
    SetText(controls.channels[0].setpoint1, "9");
    boxer.files = {QString::fromStdString(File("nine"))};
    Trigger(MenuItem::SaveProfile);
    EXPECT_FALSE(window->isWindowModified());

    Get<QTextEdit>(Part::Description)->setPlainText(U("другое описание"));
    EXPECT_TRUE(window->isWindowModified());
    boxer.answers = {QMessageBox::Discard};
    boxer.files = {QString::fromStdString(File("nine.prf"))};
    Trigger(MenuItem::OpenProfile);
    EXPECT_EQ(boxer.boxes.size(), 1u);
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(window->windowHandle()->title(), window->windowTitle().remove(U("[*]")));
}

TEST_F(EditsTest, AnEntryErrorBringsItsFieldForwardWithTheFocus)
{
    Open();
    Pages()->setCurrentIndex(2);
    SetText(controls.channels[1].hysteresis1, "0,5а");
    Click(Button::WriteAll);
    ASSERT_EQ(boxer.boxes.size(), 2u);
    EXPECT_EQ(boxer.boxes[0].text, U("Ошибка задания гистерезиса уставки 1."));
    EXPECT_EQ(boxer.boxes[0].detail, U("Поле «Канал 2 · Гистерезис I»: введено «0,5а»."));
    EXPECT_EQ(Pages()->currentIndex(), 0);
    auto* edit = Get<QLineEdit>(controls.channels[1].hysteresis1);
    EXPECT_EQ(window->focusWidget(), edit);
    EXPECT_TRUE(simulator.Transcript().empty());

    // The serial number lives on "Общие".
    SetText(controls.channels[1].hysteresis1, "0.5");
    SetText(controls.general.serialNumber, "");
    Click(Button::WriteAll);
    ASSERT_EQ(boxer.boxes.size(), 4u);
    EXPECT_EQ(boxer.boxes[2].detail, U("Поле «Заводской номер»: пусто."));
    EXPECT_EQ(Pages()->currentIndex(), 2);
    EXPECT_EQ(window->focusWidget(), Get<QLineEdit>(controls.general.serialNumber));
}

TEST_F(EditsTest, RecentProfilesAreKeptWithTheWindowsStateAndAMissingOneLeavesTheList)
{
    Open();
    const auto listed = [this] {
        QStringList paths;
        for (QAction* action : Get<QMenu>("RecentProfilesMenu")->actions())
            paths << action->text().section(' ', 1).replace(U("&&"), U("&"));
        return paths;
    };
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_FALSE(Get<QMenu>("RecentProfilesMenu")->menuAction()->isVisible());
    for (const char* name : {"a", "b", "c", "d", "e", "f&g"}) {
        boxer.files = {QString::fromStdString(File(name))};
        Trigger(MenuItem::SaveProfile);
    }
    boxer.files = {QString::fromStdString(File("c.prf"))};
    Trigger(MenuItem::OpenProfile);
    const QStringList five = {QString::fromStdString(File("c.prf")), QString::fromStdString(File("f&g.prf")),
                              QString::fromStdString(File("e.prf")), QString::fromStdString(File("d.prf")),
                              QString::fromStdString(File("b.prf"))};
    EXPECT_EQ(listed(), five);
    window->close();
    EXPECT_TRUE(boxer.boxes.empty());

    window.reset();
    Open();
    EXPECT_EQ(listed(), five);
    std::filesystem::remove(File("e.prf"));
    Get<QAction>("RecentProfile3")->trigger();
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text.toStdString(),
              "Нет файла профиля " + File("e.prf") + ": он убран из списка последних профилей.");
    EXPECT_EQ(listed().size(), 4);
    EXPECT_FALSE(listed().contains(QString::fromStdString(File("e.prf"))));

    Get<QAction>("RecentProfile2")->trigger();
    EXPECT_EQ(window->windowHandle()->title(), window->windowTitle().remove(U("[*]")));
    EXPECT_TRUE(window->windowTitle().contains(QString::fromStdString(File("f&g.prf"))));
    EXPECT_EQ(listed().first(), QString::fromStdString(File("f&g.prf")));
    EXPECT_EQ(boxer.boxes.size(), 1u);
}

TEST_F(EditsTest, AHistoryRowOpensToShowTheValuesWritten)
{
    Open();
    SetText(controls.channels[0].setpoint1, "33,5");
    boxer.yesToAll = true;
    Click(Button::WriteAll);
    ASSERT_FLOAT_EQ(simulator.FloatRegister(2, device::regs::Th1(0).number), 33.5f);

    QString heading, values;
    bool opened = false;
    QTimer looker;
    QObject::connect(&looker, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (dialog->objectName() == "HistoryRowDialog") {
            heading = dialog->findChild<QLabel*>("HistoryRowHeading")->text();
            values = dialog->findChild<QPlainTextEdit*>("HistoryRowDetails")->toPlainText();
            dialog->reject();
            return;
        }
        auto* table = dialog->findChild<QTableWidget*>("HistoryTable");
        if (dialog->objectName() != "HistoryDialog" || !heading.isEmpty()) {
            dialog->reject();
            return;
        }
        // Opened once this tick has returned: the row's own box is answered by the next ticks.
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 3)->text() == U("запись") && !std::exchange(opened, true))
                QTimer::singleShot(0, table, [table, row] { Q_EMIT table->itemActivated(table->item(row, 1)); });
    });
    looker.start(20);
    Trigger("HistoryAction");
    looker.stop();
    EXPECT_TRUE(heading.contains(U(" · запись · выполнено"))) << heading.toStdString();
    EXPECT_TRUE(values.contains(U("Канал 1 · Уставка I=33.5"))) << values.toStdString();
}

class ReadOnlyFolderTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        std::filesystem::permissions(dir.path(),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
};

TEST_F(ReadOnlyFolderTest, IsToldOnceMarkedAndTheStateAtExitIsNotDroppedSilently)
{
    Open();
    const QString folder = QString::fromStdString(model::CurrentDirectory());
    ASSERT_EQ(boxer.boxes.size(), 1u) << boxer.boxes.front().text.toStdString();
    EXPECT_TRUE(boxer.boxes[0].text.contains(U("Рабочая папка ") + folder + U(" только для чтения")));
    EXPECT_EQ(Get<QLabel>("ReadOnlyFolderLabel")->text(), U("Папка только для чтения: ") + folder);
    EXPECT_TRUE(Get<QLabel>("ReadOnlyFolderLabel")->isVisible());
    // A new profile's values, not a window of zeros; nothing written into the folder.
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(50.0f));
    EXPECT_EQ(Get<QComboBox>(controls.channels[0].averaging)->currentIndex(), 0);
    EXPECT_FALSE(std::filesystem::exists(File("recent.prf")));
    EXPECT_FALSE(std::filesystem::exists(File("PMV7700.prf")));

    Click(Button::ReadSerial);
    EXPECT_EQ(boxer.boxes.size(), 1u) << boxer.boxes.back().text.toStdString();

    window->close();
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(boxer.boxes.size(), 2u);
    EXPECT_TRUE(boxer.boxes[1].text.startsWith(U("Состояние окна не сохранено"))) << boxer.boxes[1].text.toStdString();
    EXPECT_TRUE(boxer.boxes[1].text.contains(folder));
    EXPECT_FALSE(std::filesystem::exists(File("recent.prf")));
}

TEST_F(EditsTest, AStateThatCannotBeSavedAtExitIsToldEvenWhenItsFileWasToldOfBefore)
{
    // A read-only recent.prf opens without being updated, told once; dev.dat, a folder, is told at
    // start and again at exit, when the window's state cannot be kept.
    const std::string recent = "[CH1]\r\nth1=21\r\n";
    WriteFileBytes(File("recent.prf"), recent);
    std::filesystem::permissions(File("recent.prf"), std::filesystem::perms::owner_read);
    std::filesystem::create_directory(File("dev.dat"));
    Open();
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(21.0f));
    const size_t atStart = boxer.boxes.size();
    EXPECT_EQ(std::count_if(boxer.boxes.begin(), boxer.boxes.end(),
                            [](const auto& b) { return b.text.contains(U("открыт, но файл не обновлен")); }),
              1);
    window->close();
    ASSERT_EQ(boxer.boxes.size(), atStart + 1);
    EXPECT_TRUE(boxer.boxes.back().text.startsWith(U("Состояние окна не сохранено")));
    EXPECT_TRUE(boxer.boxes.back().text.contains(QString::fromStdString(File("dev.dat"))));
}

}  // namespace
}  // namespace pmv::test
