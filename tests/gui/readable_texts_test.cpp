// Texts shown whole: captions of boxes, page titles, the comparison's columns, the file dialog's
// dates; one version in the caption and in "О программе"; what the window says of the port it
// was given and of a simulated instrument.

#include "window_fixture.h"

#include "binding/settings_diff.h"
#include "gui/comparison_dialog.h"
#include "gui/file_dialog_texts.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTreeView>

#include <fstream>

namespace pmv::test {
namespace {

// Room the title bar needs beside the caption for the window's icon and close button.
constexpr int kTitleBarButtons = 100;

int CaptionWidth(const QString& caption)
{
    QFont bold = QApplication::font();
    bold.setBold(true);
    return QFontMetrics(bold).horizontalAdvance(caption);
}

// The desktop's font at a size a real screen often has, for the length of a test.
class LargerDesktopFont {
public:
    LargerDesktopFont()
    {
        QFont larger = saved_;
        larger.setPointSizeF(13);
        QApplication::setFont(larger);
    }
    ~LargerDesktopFont() { QApplication::setFont(saved_); }

private:
    QFont saved_ = QApplication::font();
};

TEST_F(WindowTest, BoxesAreWideEnoughForTheirWholeCaption)
{
    Open();
    std::vector<std::pair<QString, int>> seen;
    boxer.decide = [&](const QString&) {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            seen.emplace_back(box->windowTitle(), box->width());
        return QMessageBox::Ok;
    };
    SetText(controls.channels[0].setpoint1, "12,5,0");
    Click(Button::WriteAll);
    Trigger("AboutAction");
    ASSERT_GE(seen.size(), 2u);
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const auto& s) {
        return s.first == QString::fromUtf8("Ошибка задания параметров канала 1.");
    }));
    for (const auto& [caption, width] : seen)
        EXPECT_GE(width, CaptionWidth(caption) + kTitleBarButtons) << caption.toStdString();
}

TEST_F(WindowTest, AboutShowsTheVersionOfTheCaption)
{
    Open();
    const QString prefix = QString::fromUtf8("Настройка ПМВ 77xx пользовательская верс.");
    const QString title = window->windowTitle().remove(QStringLiteral("[*]"));
    ASSERT_TRUE(title.startsWith(prefix));
    const QString version = title.mid(prefix.size()).trimmed();
    EXPECT_EQ(version.count('.'), 3) << version.toStdString();
    Trigger("AboutAction");
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_TRUE(boxer.boxes[0].text.contains(QString::fromUtf8("Версия ") + version + '\n'))
        << boxer.boxes[0].text.toStdString();
}

TEST_F(WindowTest, PageTitlesAndMenusAreNotCut)
{
    Open();
    auto* pages = Get<QTabWidget>("TabbedNotebook1");
    QTabBar* tabs = pages->tabBar();
    for (int i = 0; i < tabs->count(); ++i)
        EXPECT_GE(tabs->tabRect(i).width(), tabs->fontMetrics().horizontalAdvance(tabs->tabText(i)) + 8)
            << tabs->tabText(i).toStdString();
    EXPECT_LE(tabs->tabRect(tabs->count() - 1).right(), pages->width());
    for (QAction* menu : window->menuBar()->actions()) {
        if (!menu->isVisible())
            continue;
        EXPECT_LE(window->menuBar()->actionGeometry(menu).right(), window->menuBar()->width())
            << menu->text().toStdString();
    }
}

TEST_F(WindowTest, ComparisonShowsTheInstrumentsColumnWhole)
{
    Open();
    const LargerDesktopFont font;
    model::SettingsModel shown;
    model::SettingsModel held;
    shown.channel[0].dat = 15;  // the longest sensor names, in both value columns
    held.channel[0].dat = 13;
    shown.channel[1].th1 = 12345.678f;
    gui::ComparisonDialog dialog(window.get(), binding::CompareFields(shown, held));
    dialog.show();
    QApplication::processEvents();
    auto* table = dialog.findChild<QTableWidget*>("ComparisonTable");
    ASSERT_NE(table, nullptr);
    const QHeaderView* header = table->horizontalHeader();
    const int last = header->logicalIndex(header->count() - 1);
    EXPECT_LE(header->sectionViewportPosition(last) + header->sectionSize(last), table->viewport()->width());
    int widest = 0;
    for (int row = 0; row < table->rowCount(); ++row)
        widest = std::max(
            widest, QFontMetrics(table->item(row, last)->font()).horizontalAdvance(table->item(row, last)->text()));
    EXPECT_GE(header->sectionSize(last), widest);
    EXPECT_LE(dialog.width(), window->screen()->availableGeometry().width());
}

TEST_F(WindowTest, FileDialogShowsWholeDatesWithTheirTime)
{
    Open();
    const LargerDesktopFont font;
    std::ofstream(File("a.prf")) << "[CH1]\n";
    QFileDialog dialog(window.get());
    dialog.setOptions(QFileDialog::DontUseNativeDialog);
    gui::ShowRussianFileColumns(dialog);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setDirectory(QString::fromStdString(dir.path().string()));
    dialog.resize(620, 400);
    dialog.show();
    auto* tree = dialog.findChild<QTreeView*>("treeView");
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(WaitFor([&] { return tree->model()->rowCount(tree->rootIndex()) > 0; }, 5000));
    QApplication::processEvents();
    const QModelIndex date = tree->model()->index(0, 3, tree->rootIndex());
    const QString text = date.data().toString();
    EXPECT_EQ(text.size(), 16) << text.toStdString();
    EXPECT_GE(tree->header()->sectionSize(3), tree->fontMetrics().horizontalAdvance(text)) << text.toStdString();
    dialog.reject();
}

TEST_F(WindowTest, SimulatedInstrumentIsMarkedInTheCaptionAndTheStatusBar)
{
    gui::WindowOptions options{simulator.DevicePath()};
    options.simulated = true;
    Open(options);
    EXPECT_TRUE(window->windowTitle().endsWith(QString::fromUtf8("Имитация прибора")))
        << window->windowTitle().toStdString();
    auto* mark = Get<QLabel>("SimulatedMark");
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(mark->isVisible());
    EXPECT_EQ(mark->text(), QString::fromUtf8("Имитация прибора"));
    // It lasts: an operation's outcome in the status bar leaves it in place.
    Click(Button::ReadAll);
    EXPECT_TRUE(mark->isVisible());
}

TEST_F(WindowTest, PortGivenOnTheCommandLineIsBlamedForItselfAndTheNumbersKeepTheirDevices)
{
    WriteFileBytes(File("dev.dat"), "[COM_SETTINGS]\r\nNumber=1\r\n[PORTS]\r\nCOM2=" + simulator.DevicePath() + "\r\n");
    Open({"/dev/pmv-test-no-such-adapter"});
    ASSERT_EQ(boxer.boxes.size(), 1u);
    const QString why = boxer.boxes[0].detail;
    EXPECT_TRUE(why.contains(QStringLiteral("--port"))) << why.toStdString();
    EXPECT_FALSE(why.contains(QStringLiteral("dev.dat"))) << why.toStdString();
    EXPECT_FALSE(why.contains(QStringLiteral("ls -l"))) << why.toStdString();

    auto* port = Get<QComboBox>(controls.top.port);
    EXPECT_TRUE(port->itemData(1, Qt::ToolTipRole).toString().endsWith(QString::fromStdString(simulator.DevicePath())));
    for (int n = 0; n < port->count(); ++n)
        EXPECT_FALSE(port->itemData(n, Qt::ToolTipRole).toString().contains(QStringLiteral("pmv-test-no-such-adapter")))
            << n;
    EXPECT_TRUE(Get<QLabel>("PortDeviceLabel")->toolTip().contains(QStringLiteral("--port")));
}

}  // namespace
}  // namespace pmv::test
