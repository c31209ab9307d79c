#include "window_fixture.h"

#include "ini/ini_file.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTabWidget>
#include <QTextBrowser>

#include <filesystem>

namespace pmv::test {
namespace {

QAction* Action(QWidget& window, const char* name)
{
    auto* action = window.findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
}

TEST_F(WindowTest, ExitInTheFileMenuClosesAndSavesLikeTheWindowsClose)
{
    Open();
    SetText(controls.channels[0].setpoint1, "42.5");
    QAction* exit = Action(*window, "Exit");
    EXPECT_EQ(Caption(exit->text()), QString::fromUtf8("Выход"));
    EXPECT_EQ(exit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    boxer.answers = {QMessageBox::Discard};  // not into a profile: the window's state is kept all the same
    exit->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ini::IniFile::Load(File("recent.prf")).get("CH1", "th1").value_or(""), "42.5000");
    EXPECT_TRUE(std::filesystem::exists(File("dev.dat")));
}

TEST_F(WindowTest, ProfileItemsAnswerCtrlOAndCtrlS)
{
    Open();
    EXPECT_EQ(Get<QAction>(MenuItem::OpenProfile)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(Get<QAction>(MenuItem::SaveProfile)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(boxer.fileDialogs, 1);
    boxer.files = {QString::fromStdString(File("copy"))};
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(boxer.fileDialogs, 2);
    EXPECT_TRUE(std::filesystem::exists(File("copy.prf")));
}

TEST_F(WindowTest, AboutNamesTheVersionTheQtAndTheDeviceInUse)
{
    Open();
    Action(*window, "AboutAction")->trigger();
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].caption, QString::fromUtf8("О программе"));
    EXPECT_TRUE(boxer.boxes[0].text.contains(QStringLiteral(PMV_VERSION)));
    EXPECT_TRUE(boxer.boxes[0].text.contains(QString::fromLatin1(qVersion())));
    EXPECT_TRUE(boxer.boxes[0].text.contains(QString::fromStdString(simulator.DevicePath())));
}

TEST_F(WindowTest, F1OpensTheUserGuideBesideTheWindow)
{
    Open();
    QAction* guide = Action(*window, "UserGuideAction");
    EXPECT_EQ(guide->shortcut(), QKeySequence(Qt::Key_F1));
    guide->trigger();
    auto* dialog = window->findChild<QDialog*>("UserGuide");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    const QString text = dialog->findChild<QTextBrowser*>()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("dev.dat")));
    EXPECT_TRUE(text.contains(QString::fromUtf8("Первые шаги")));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/docs/pmvconf-service-menu.png"))) << "a picture of the guide";
    guide->trigger();
    EXPECT_EQ(window->findChildren<QDialog*>("UserGuide").size(), 1);
}

// Whether the window, drawn as the screen shows it, has a border line along the inside of the
// widget's bottom edge, in the middle of it.
bool BottomBorderDrawn(QWidget& window, QWidget& widget)
{
    const QImage shot = window.grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    const QPoint bottom = widget.mapTo(&window, QPoint(widget.width() / 2, widget.height() - 1));
    const int y = qRound(bottom.y() * ratio);
    for (int dy = -3; dy <= 1; ++dy)
        if (qGray(shot.pixel(qRound(bottom.x() * ratio), y + dy)) < 200)
            return true;
    return false;
}

// Run once more by ctest with QT_FONT_DPI 120 and 144: a larger system font scales the window
// by 1.25 or 1.5, and it clips nothing and loses no frame line.
TEST_F(WindowTest, NothingIsClippedWhateverTheSystemFont)
{
    Open();
    auto* pages = Get<QTabWidget>("TabbedNotebook1");
    const binding::GroupFlags& panels = controls.top.groupPanels;
    const std::pair<int, Bound> framed[] = {
        {0, panels.channel1}, {0, panels.channel2}, {1, panels.relays}, {2, panels.general}};
    for (const auto& [page, panel] : framed) {
        pages->setCurrentIndex(page);
        EXPECT_TRUE(BottomBorderDrawn(*window, *Get<QWidget>(panel))) << panel.FormName(*window).toStdString();
    }
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->isWindow() || !w->parentWidget())
                continue;
            const QRect inside = w->parentWidget()->rect();
            EXPECT_TRUE(inside.contains(w->geometry()))
                << w->metaObject()->className() << " " << w->objectName().toStdString() << " on page " << page;
            if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
                EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
                    << label->text().toStdString();
            }
            if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()) {
                EXPECT_LE(button->sizeHint().width(), button->width() + 4) << button->text().toStdString();
            }
        }
    }
}

}  // namespace
}  // namespace pmv::test
