// The window without a mouse: Tab through each page, pages turned from any control, the menu
// bar on F10 and an accelerator for every command that none of its neighbours shares.

#include "window_fixture.h"

#include "gui/keyboard.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>

#include <map>
#include <set>

namespace pmv::test {
namespace {

class KeyboardTest : public WindowTest {
protected:
    void OpenActive()
    {
        Open();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    QTabWidget* Pages() const { return Get<QTabWidget>("TabbedNotebook1"); }

    static void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    }

    // A letter the test library has no ASCII name for, with its text.
    static void PressLetter(char16_t letter, Qt::KeyboardModifiers modifiers)
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::sendKeyEvent(QTest::Click, target, static_cast<Qt::Key>(letter), QString(QChar(letter).toLower()),
                            modifiers);
    }

    // Tab from the control in focus until it comes back: each control it stopped at, in order.
    std::vector<QWidget*> TabCycle() const
    {
        std::vector<QWidget*> cycle;
        QWidget* start = QApplication::focusWidget();
        for (QWidget* w = start; w && cycle.size() < 200; w = QApplication::focusWidget()) {
            if (!cycle.empty() && w == start)
                break;
            cycle.push_back(w);
            QTest::keyClick(w, Qt::Key_Tab);
        }
        return cycle;
    }

    QWidget* Widget(Bound field) const { return Get<QWidget>(field); }

    // What Tab should reach on the page shown: its visible controls and those above the pages.
    std::set<QWidget*> Reachable() const
    {
        std::set<QWidget*> stops;
        for (QWidget* root : {Pages()->currentWidget(), Get<QWidget>(Part::PortHeading)->parentWidget()})
            for (QWidget* w : gui::TabStops(*root))
                if (w->isVisibleTo(window.get()) && w->isEnabled())
                    stops.insert(w);
        stops.insert(Pages()->tabBar());
        return stops;
    }
};

// The letter after "&" in a caption, in upper case; 0 when it has none.
QChar Accelerator(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] != '&')
            return caption[i + 1].toUpper();
        ++i;
    }
    return QChar();
}

TEST_F(KeyboardTest, TabWalksEachPageInReadingOrderThenTheBarAboveAndLeavesTheDescription)
{
    OpenActive();
    // The first setting has the focus at start, not the description.
    EXPECT_EQ(QApplication::focusWidget(), Widget(controls.channels[0].sensorType));

    std::vector<QWidget*> expected;
    for (const binding::ChannelControls& c : controls.channels)
        for (Bound field :
             {Bound(c.sensorType), Bound(c.squareRoot), Bound(c.rangeMin), Bound(c.rangeMax), Bound(c.shift),
              Bound(c.rangeAdjust), Bound(c.setpoint1Type), Bound(c.setpoint1), Bound(c.hysteresis1),
              Bound(c.setpoint2Type), Bound(c.setpoint2), Bound(c.hysteresis2), Bound(c.setpointStep),
              Bound(c.hysteresisStep), Bound(c.averaging), Bound(c.decimals), Bound(c.observations)})
            expected.push_back(Widget(field));
    const binding::TopBarControls& top = controls.top;
    for (Bound field : {Bound(top.port), Bound(top.groupBoxes.channel1), Bound(top.groupBoxes.channel2),
                        Bound(top.groupBoxes.relays), Bound(top.groupBoxes.general)})
        expected.push_back(Widget(field));
    for (Button b : {Button::ReadAll, Button::ReadSelected, Button::WriteAll, Button::WriteSelected})
        expected.push_back(Get<QWidget>(b));
    expected.push_back(Get<QWidget>(Part::Description));
    expected.push_back(Pages()->tabBar());

    const QString description = Get<QTextEdit>(Part::Description)->toPlainText();
    EXPECT_EQ(TabCycle(), expected);
    EXPECT_EQ(Get<QTextEdit>(Part::Description)->toPlainText(), description) << "Tab typed into the description";

    // Every other page: its own controls first, then the same bar, each control once.
    const std::map<int, std::vector<QWidget*>> pageFirst{
        {1,
         {Widget(controls.relays.grid), Widget(controls.relays.decisionInterval), Widget(controls.relays.pulseLength)}},
        {2,
         {Widget(controls.general.deviceType), Widget(controls.general.errorDisplay), Widget(controls.general.typeCode),
          Widget(controls.general.serialNumber), Get<QWidget>(Button::Today), Get<QWidget>(Button::ReadSerial),
          Get<QWidget>(Button::WriteSerial)}},
        {4, {Get<QWidget>(Button::PassportPage)}},
    };
    for (int page = 1; page < Pages()->count(); ++page) {
        Press(Qt::Key_PageDown, Qt::ControlModifier);
        ASSERT_EQ(Pages()->currentIndex(), page);
        const std::vector<QWidget*> cycle = TabCycle();
        const std::set<QWidget*> once(cycle.begin(), cycle.end());
        EXPECT_EQ(once.size(), cycle.size()) << "page " << page;
        EXPECT_EQ(once, Reachable()) << "page " << page;
        if (const auto first = pageFirst.find(page); first != pageFirst.end()) {
            ASSERT_GE(cycle.size(), first->second.size());
            EXPECT_EQ(
                std::vector<QWidget*>(cycle.begin(), cycle.begin() + static_cast<ptrdiff_t>(first->second.size())),
                first->second)
                << "page " << page;
        }
        EXPECT_EQ(cycle[cycle.size() - 2], Get<QWidget>(Part::Description)) << "page " << page;
    }
}

TEST_F(KeyboardTest, PagesTurnWithCtrlTabAndCtrlPageKeysWhereverTheFocusIs)
{
    OpenActive();
    auto* decimals = Get<QComboBox>(controls.channels[0].decimals);
    decimals->setFocus();
    const int decimalsBefore = decimals->currentIndex();
    Press(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(Pages()->currentIndex(), 1);
    EXPECT_EQ(decimals->currentIndex(), decimalsBefore) << "Ctrl+PgDn went to the list";
    // The page turned to has the focus on its first control.
    EXPECT_EQ(QApplication::focusWidget(), Widget(controls.relays.grid));

    Press(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(Pages()->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), Widget(controls.channels[0].sensorType));

    auto* description = Get<QTextEdit>(Part::Description);
    description->setFocus();
    const QString text = description->toPlainText();
    Press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Pages()->currentIndex(), 1);
    EXPECT_EQ(description->toPlainText(), text);
    Press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Pages()->currentIndex(), 0);
    Press(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(Pages()->currentIndex(), Pages()->count() - 1) << "from the first page back to the last";
    Press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Pages()->currentIndex(), 0);

    // On the relay page Space marks the cell in hand, as a click does.
    Press(Qt::Key_PageDown, Qt::ControlModifier);
    auto* grid = Get<QTableWidget>(controls.relays.grid);
    const QString before = grid->item(1, 1)->text();
    Press(Qt::Key_Space);
    EXPECT_NE(grid->item(1, 1)->text(), before);
    Press(Qt::Key_Space);
    EXPECT_EQ(grid->item(1, 1)->text(), before);
}

TEST_F(KeyboardTest, F10AndAltLettersReachTheMenusAndButtonsAndNoTwoShareALetter)
{
    gui::WindowOptions options{simulator.DevicePath()};
    options.service.visible = true;
    Open(options);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    // Within each menu of the bar and its submenus, every item has a letter of its own.
    std::vector<QMenu*> menus;
    for (QAction* title : window->menuBar()->actions())
        menus.push_back(title->menu());
    for (size_t i = 0; i < menus.size(); ++i)
        for (QAction* a : menus[i]->actions())
            if (a->menu())
                menus.push_back(a->menu());
    EXPECT_GE(menus.size(), 8u);
    for (QMenu* menu : menus) {
        std::map<QChar, QString> letters;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator() || !a->isVisible())
                continue;
            const QChar letter = Accelerator(a->text());
            EXPECT_FALSE(letter.isNull()) << a->text().toStdString();
            if (letter.isNull())
                continue;
            const auto [where, fresh] = letters.emplace(letter, a->text());
            EXPECT_TRUE(fresh) << a->text().toStdString() << " and " << where->second.toStdString() << " in "
                               << menu->title().toStdString();
        }
    }

    // Alt+letter: the menu titles, the bar above the pages and the page shown share one set.
    for (int page = 0; page < Pages()->count(); ++page) {
        Pages()->setCurrentIndex(page);
        std::map<QChar, QString> letters;
        const auto take = [&](const QString& caption) {
            const QChar letter = Accelerator(caption);
            EXPECT_FALSE(letter.isNull()) << caption.toStdString() << " on page " << page;
            if (letter.isNull())
                return;
            const auto [where, fresh] = letters.emplace(letter, caption);
            EXPECT_TRUE(fresh) << caption.toStdString() << " and " << where->second.toStdString() << " on page "
                               << page;
        };
        for (QAction* menu : window->menuBar()->actions())
            if (menu->isVisible())
                take(menu->text());
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
            if (b->isVisibleTo(window.get()) && !b->text().isEmpty() && !qobject_cast<QTabBar*>(b->parentWidget()))
                take(b->text());
        for (QLabel* l : window->findChildren<QLabel*>())
            if (l->buddy() && l->isVisibleTo(window.get()))
                take(l->text());
    }

    Pages()->setCurrentIndex(0);
    // Alt+Р ticks the relay group, Alt+Н puts the focus on the port selector.
    Widget(controls.channels[0].sensorType)->setFocus();
    auto* relays = Get<QCheckBox>(controls.top.groupBoxes.relays);
    const bool ticked = relays->isChecked();
    PressLetter(u'Р', Qt::AltModifier);
    // A button's accelerator clicks it the way the mouse does, pressed for a moment.
    EXPECT_TRUE(WaitFor([&] { return relays->isChecked() != ticked; }, 2000));
    PressLetter(u'Н', Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Widget(controls.top.port));

    Press(Qt::Key_F10);
    ASSERT_NE(window->menuBar()->activeAction(), nullptr);
    EXPECT_EQ(window->menuBar()->activeAction(), window->menuBar()->actions().front());
    EXPECT_EQ(Caption(window->menuBar()->activeAction()->text()), QString::fromUtf8("Файл"));
}

}  // namespace
}  // namespace pmv::test
