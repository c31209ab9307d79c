// The pages after the first are built once the window's first frame is on the screen. Before
// then nothing is lost: the settings loaded at start, read or opened reach them when they are
// built, a write sends what they will show, a value typed stays, and whatever needs a page (a
// turn to it, an entry in error) builds it first.

#include "window_fixture.h"

#include "binding/number_text.h"
#include "device/register_map.h"
#include "gui/live_values_page.h"
#include "ini/ini_file.h"
#include "model/number_format.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>

namespace pmv::test {
namespace {

QString Number(float value) { return QString::fromStdString(model::FormatNumber(value)); }

std::string ProfileValue(const std::string& path, const char* section, const char* key)
{
    return ini::IniFile::Load(path).get(section, key).value_or("");
}

class LaterPagesTest : public WindowTest {
protected:
    // recent.prf with values of the pages after the first that no new profile has; the keys
    // left out take their defaults silently at start.
    void WriteRecentProfile() const
    {
        WriteFileBytes(File("recent.prf"), "[CH1]\r\nth1=12.5\r\nreg_int=37\r\npulse_int=17\r\n"
                                           "[RELE]\r\nrel0_msk0=5\r\n"
                                           "[GEN]\r\nproc_ver=2\r\notk_type=5\r\n"
                                           "[ERR]\r\nerr_ver=0\r\n");
    }

    // The window shown and drawn, its first page alone built: the time that would build the
    // others has not come yet.
    void OpenFirstPageOnly(bool active = false)
    {
        window = std::make_unique<gui::MainWindow>(gui::WindowOptions{simulator.DevicePath(), {}, false, &clock});
        window->show();
        QApplication::processEvents();
        if (active) {
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        ASSERT_FALSE(LaterPagesBuilt());
    }

    bool LaterPagesBuilt() const { return window->findChild<gui::LiveValuesPage*>() != nullptr; }

    QTabWidget* Pages() const { return Get<QTabWidget>("TabbedNotebook1"); }

    // The relay page as recent.prf above sets it.
    void ExpectRecentRelaysAndGeneral() const
    {
        EXPECT_EQ(Get<QComboBox>(controls.relays.decisionInterval)->currentText(), "37");
        EXPECT_EQ(Get<QComboBox>(controls.relays.pulseLength)->currentText(), "17");
        EXPECT_EQ(Get<QComboBox>(controls.general.deviceType)->currentIndex(), 2);
        EXPECT_EQ(Get<QComboBox>(controls.general.errorDisplay)->currentIndex(), 0);
        EXPECT_EQ(Get<QComboBox>(controls.general.typeCode)->currentText(), "005");
        const QTableWidget* grid = Get<QTableWidget>(controls.relays.grid);
        int marks = 0;
        for (int column = 1; column < grid->columnCount(); ++column)
            marks += grid->item(1, column)->text().isEmpty() ? 0 : 1;
        EXPECT_EQ(marks, 2) << "relay 1 switched by two events of channel 1 and the regulator";
    }
};

TEST_F(LaterPagesTest, TheProfileLoadedAtStartReachesThePagesBuiltAfterTheFirstFrame)
{
    WriteRecentProfile();
    OpenFirstPageOnly();
    // Before they exist: their tabs are there with their titles, the bound widgets of the first
    // page and the bar above answer by name, and the others are built by the first frame's time.
    EXPECT_EQ(Pages()->count(), 5);
    EXPECT_EQ(Pages()->tabText(3), QString::fromUtf8("Текущие значения"));
    EXPECT_EQ(Text(controls.channels[0].setpoint1), Number(12.5f));
    EXPECT_EQ(window->findChild<QComboBox*>("ComboBox15"), nullptr);
    EXPECT_FALSE(window->isWindowModified());

    clock.Advance(1);
    ASSERT_TRUE(LaterPagesBuilt());
    ExpectRecentRelaysAndGeneral();
    EXPECT_FALSE(window->isWindowModified()) << "building the pages is no edit";
    // The second load of recent.prf puts the same values into them.
    clock.Advance(200);
    ExpectRecentRelaysAndGeneral();
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(LaterPagesTest, AWindowClosedBeforeThePagesAreBuiltKeepsTheirSettings)
{
    WriteRecentProfile();
    OpenFirstPageOnly();
    SetText(controls.channels[0].setpoint1, "7,5");
    boxer.answers = {QMessageBox::Discard};
    window->close();
    EXPECT_FALSE(LaterPagesBuilt());
    const std::string recent = File("recent.prf");
    EXPECT_EQ(ProfileValue(recent, "CH1", "reg_int"), "37");
    EXPECT_EQ(ProfileValue(recent, "CH1", "pulse_int"), "17");
    EXPECT_EQ(ProfileValue(recent, "RELE", "rel0_msk0"), "5");
    EXPECT_EQ(ProfileValue(recent, "GEN", "proc_ver"), "2");
    EXPECT_EQ(ProfileValue(recent, "ERR", "err_ver"), "0");
    EXPECT_FLOAT_EQ(binding::ParseNumberText(ProfileValue(recent, "CH1", "th1")), 7.5f) << "the typed value is taken";
}

TEST_F(LaterPagesTest, WriteAndReadBeforeThePagesAreBuiltTakeAndShowEveryPage)
{
    WriteRecentProfile();
    OpenFirstPageOnly();
    boxer.yesToAll = true;
    Click(Button::WriteAll);
    for (const BoxAnswerer::Box& box : boxer.boxes)
        EXPECT_FALSE(box.text.contains("ERR")) << box.text.toStdString();
    EXPECT_EQ(simulator.Register(2, 1, device::regs::RegInt(0).number), 37u);
    EXPECT_EQ(simulator.Register(2, 1, device::regs::PulseInt(0).number), 17u);
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kRel0Msk0.number), 5u);
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kProcVer.number), 2u);
    EXPECT_EQ(simulator.Register(2, 1, device::regs::kErrVer.number), 0u);
    EXPECT_FLOAT_EQ(simulator.FloatRegister(2, device::regs::Th1(0).number), 12.5f);

    simulator.SetRegister(2, 1, device::regs::RegInt(0).number, 99);
    simulator.SetRegister(2, 1, device::regs::kProcVer.number, 1);
    simulator.SetRegister(2, 1, device::regs::kSerialLo.number, 0x39);
    simulator.SetRegister(2, 1, device::regs::kSerialHi.number, 0x30);
    boxer.boxes.clear();
    Click(Button::ReadAll);
    EXPECT_TRUE(boxer.boxes.empty());
    ASSERT_FALSE(LaterPagesBuilt()) << "neither the write nor the read needed them";

    clock.Advance(1);
    ASSERT_TRUE(LaterPagesBuilt());
    EXPECT_EQ(Get<QComboBox>(controls.relays.decisionInterval)->currentText(), "99");
    EXPECT_EQ(Get<QComboBox>(controls.general.deviceType)->currentIndex(), 1);
    EXPECT_EQ(Text(controls.general.serialNumber), QString::number(0x30 * 256 + 0x39));
    EXPECT_FALSE(Get<QLabel>(controls.general.firmwareVersion)->text().isEmpty());
    EXPECT_FALSE(window->isWindowModified()) << "what was read is what the pages show";
}

TEST_F(LaterPagesTest, AValueTypedWhileThePagesAreBuiltStaysAndCounts)
{
    OpenFirstPageOnly();
    auto* setpoint = Get<QLineEdit>(controls.channels[0].setpoint1);
    setpoint->setText("3,25");
    setpoint->setCursorPosition(1);
    ASSERT_TRUE(window->isWindowModified());

    clock.Advance(1);
    ASSERT_TRUE(LaterPagesBuilt());
    EXPECT_EQ(setpoint->text(), "3,25");
    EXPECT_EQ(setpoint->cursorPosition(), 1) << "the field being typed in is left alone";
    EXPECT_TRUE(window->isWindowModified());
    setpoint->setText(Number(50.0f));
    EXPECT_FALSE(window->isWindowModified());

    // The pages built later mark their edits like the first.
    auto* interval = Get<QComboBox>(controls.relays.decisionInterval);
    const int shown = interval->currentIndex();
    interval->setCurrentIndex(shown + 1);
    EXPECT_TRUE(window->isWindowModified());
    interval->setCurrentIndex(shown);
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(LaterPagesTest, ATurnToAPageNotBuiltBuildsItWithItsKeysAndNames)
{
    OpenFirstPageOnly(true);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    ASSERT_TRUE(LaterPagesBuilt());
    EXPECT_EQ(Pages()->currentIndex(), 1);
    auto* grid = Get<QTableWidget>(controls.relays.grid);
    EXPECT_TRUE(grid->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), grid) << "the page turned to has the focus on its first control";
    // Tab walks the new page's controls, then the bar above.
    const std::vector<QWidget*> expected = {Get<QWidget>(controls.relays.decisionInterval),
                                            Get<QWidget>(controls.relays.pulseLength), Get<QWidget>(controls.top.port)};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    // The page of current values, turned to first, polls and draws its trend.
    Pages()->setCurrentWidget(Get<QWidget>("Текущие значения"));
    EXPECT_TRUE(clock.AdvanceUntil([&] { return window->findChild<QWidget*>("TrendView") != nullptr; }, 100));
    EXPECT_TRUE(clock.AdvanceUntil([&] { return !Get<QLabel>("ValuePanel1")->text().isEmpty(); }, 3000));
}

TEST_F(LaterPagesTest, AnEntryInErrorBuildsThePagesAndPointsAtItsField)
{
    OpenFirstPageOnly(true);
    SetText(controls.channels[0].setpoint1, "12,5.0");
    Pages()->tabBar()->setFocus();
    Click(Button::WriteAll);
    ASSERT_GE(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text, QString::fromUtf8("Ошибка задания уставки 1."));
    EXPECT_TRUE(LaterPagesBuilt());
    EXPECT_EQ(Pages()->currentIndex(), 0);
    EXPECT_EQ(window->focusWidget(), Get<QWidget>(controls.channels[0].setpoint1));
}

TEST_F(LaterPagesTest, APageBuiltWhileAnOperationRunsIsHeldUntilItEnds)
{
    OpenFirstPageOnly();
    bool heldWhileRunning = false;
    QTimer meddler;
    QObject::connect(&meddler, &QTimer::timeout, [&] {
        if (!window->busy() || LaterPagesBuilt())
            return;
        clock.Advance(1);  // the time to build them comes while the read runs
        heldWhileRunning = LaterPagesBuilt() && !Get<QPushButton>(Button::ReadSerial)->isEnabled() &&
                           !Get<QPushButton>(Button::PassportPage)->isEnabled();
    });
    meddler.start(0);
    Click(Button::ReadAll);
    meddler.stop();
    EXPECT_TRUE(heldWhileRunning);
    EXPECT_TRUE(Get<QPushButton>(Button::ReadSerial)->isEnabled());
    EXPECT_TRUE(Get<QPushButton>(Button::WriteSerial)->isEnabled());
    EXPECT_TRUE(Get<QPushButton>(Button::PassportPage)->isEnabled());
}

}  // namespace
}  // namespace pmv::test
