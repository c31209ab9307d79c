#include "window_fixture.h"

#include <QElapsedTimer>
#include <QLabel>

namespace pmv::test {
namespace {

QString StatusText(gui::MainWindow& window, const char* name)
{
    auto* label = window.findChild<QLabel*>(QString::fromUtf8(name));
    return label ? label->text() : QString();
}

TEST_F(WindowTest, AMissingPortIsExplainedAndAReadOnItFailsAtOnce)
{
    const std::string missing = File("ttyUSB9");
    Open({missing});
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text, "Невозможно открыть последовательный порт");
    EXPECT_EQ(boxer.boxes[0].caption, "Ошибка");
    const QString why = "Устройства " + QString::fromStdString(missing) + " нет";
    EXPECT_TRUE(boxer.boxes[0].detail.startsWith(why)) << boxer.boxes[0].detail.toStdString();
    EXPECT_TRUE(StatusText(*window, "StatusLink").contains("порт не открыт"));
    EXPECT_TRUE(StatusText(*window, "StatusProblem").startsWith(why));

    QElapsedTimer read;
    read.start();
    Click(Button::ReadAll);
    // Every register's tries would each wait out the answer time-out.
    EXPECT_LT(read.elapsed(), 1500);
    ASSERT_EQ(boxer.boxes.size(), 2u);
    EXPECT_TRUE(boxer.boxes[1].text.endsWith("(ERR 2)")) << boxer.boxes[1].text.toStdString();
    EXPECT_TRUE(StatusText(*window, "StatusOutcome").startsWith("Порт не открыт"))
        << StatusText(*window, "StatusOutcome").toStdString();
}

TEST_F(WindowTest, ThePortFollowsItsAdapterOutAndBackIn)
{
    sim::SimOptions options;
    options.linkPath = File("adapter");
    auto adapter = std::make_unique<sim::Simulator>(options);
    ASSERT_TRUE(adapter->Start());
    Open({options.linkPath});
    EXPECT_TRUE(StatusText(*window, "StatusLink").contains("порт открыт"));

    adapter->Stop();  // pulled out: its device goes away
    EXPECT_TRUE(clock.AdvanceUntil([&] { return StatusText(*window, "StatusLink").contains("порт не открыт"); }, 3000));

    adapter = std::make_unique<sim::Simulator>(options);
    ASSERT_TRUE(adapter->Start());
    ASSERT_TRUE(clock.AdvanceUntil([&] { return StatusText(*window, "StatusLink").contains("порт открыт"); }, 3000));
    Click(Button::ReadAll);
    EXPECT_TRUE(boxer.boxes.empty()) << boxer.boxes.front().text.toStdString();
    EXPECT_FALSE(adapter->Transcript().empty());
    EXPECT_TRUE(StatusText(*window, "StatusOutcome").startsWith("Прочитано за "))
        << StatusText(*window, "StatusOutcome").toStdString();
}

}  // namespace
}  // namespace pmv::test
