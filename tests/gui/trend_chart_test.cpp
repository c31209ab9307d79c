#include "window_fixture.h"

#include "gui/trend_chart.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTabWidget>

#include <fstream>
#include <sstream>

namespace pmv::test {
namespace {

class TrendTest : public WindowTest {
protected:
    gui::TrendChart& Trend() const { return *Get<gui::TrendChart>("TrendChart"); }

    QXYSeries& Series(const char* name) const
    {
        for (QAbstractSeries* s : Get<QChartView>("TrendView")->chart()->series())
            if (s->name() == QString::fromUtf8(name))
                return *static_cast<QXYSeries*>(s);
        ADD_FAILURE() << name;
        throw std::runtime_error(name);
    }

    void ShowLivePage() const { Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(3); }

    // A long window is drawn again only once its curve has moved by a pixel; the shortest one
    // shows every poll.
    void ChooseWindow(int index) const
    {
        auto* length = Get<QComboBox>("TrendWindow");
        length->setCurrentIndex(index);
        Q_EMIT length->activated(index);
    }

    // Lets the window's time run until the page's poll has put `more` samples into the trend.
    [[nodiscard]] bool WaitForSamples(size_t more)
    {
        const size_t target = Trend().buffer().size() + more;
        return clock.AdvanceUntil([&] { return Trend().buffer().size() >= target; }, 5000);
    }

    int BlockReads() const
    {
        int n = 0;
        for (const auto& r : simulator.Transcript())
            n += r.memType == 4 && r.reg == 2;
        return n;
    }

    static sim::LiveBlock Block(uint8_t relays, uint8_t ch1Signals, uint8_t ch2Status = 0)
    {
        sim::LiveValues live;
        live.relays = relays;
        live.signals[0] = ch1Signals;
        live.status[1] = ch2Status;
        return sim::EncodeLiveBlock(live);
    }
};

TEST_F(TrendTest, ThePagePollsFeedTheChartWithoutExchangesOfItsOwn)
{
    Open();
    // Entered on the channels page; the change of page takes them into the model.
    Get<QComboBox>(controls.channels[0].setpoint1Type)->setCurrentIndex(2);
    SetText(controls.channels[0].setpoint1, "22.5");
    Get<QComboBox>(controls.channels[1].setpoint2Type)->setCurrentIndex(1);
    SetText(controls.channels[1].setpoint2, "45");
    ChooseWindow(0);
    clock.Advance(600);
    EXPECT_EQ(Trend().buffer().size(), 0u) << "no samples while another page is shown";

    ShowLivePage();
    ASSERT_TRUE(WaitForSamples(2));
    // A poll refused with an error status on every try adds nothing; the next good one does.
    const int tries = static_cast<int>(window->exchange().values().RetryCount);
    const size_t beforeRefusal = Trend().buffer().size();
    simulator.InjectFault({sim::Fault::Kind::Status, tries, 0, 0x0001, {}, 1, 4, 2});
    const QLabel* outcome = Get<QLabel>("PollPanel");
    ASSERT_TRUE(
        clock.AdvanceUntil([&] { return outcome->text() == QString::fromUtf8("Какая-то ошибка в ответе"); }, 5000))
        << outcome->text().toStdString();
    EXPECT_EQ(Trend().buffer().size(), beforeRefusal);
    ASSERT_TRUE(WaitForSamples(2));
    EXPECT_EQ(outcome->text(), QString::fromUtf8("Получен ответ"));
    Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(0);
    clock.Advance(100);

    const size_t samples = Trend().buffer().size();
    EXPECT_EQ(BlockReads(), static_cast<int>(samples) + tries)
        << "one block read per good poll, and every try of the refused one";
    EXPECT_EQ(Series("Канал 1").count(), static_cast<int>(samples));
    EXPECT_EQ(Series("Канал 2").count(), static_cast<int>(samples));
    // The simulated values change with every read.
    const QList<QPointF> points = Series("Канал 1").points();
    EXPECT_NE(points.front().y(), points.back().y());
    EXPECT_LT(points.front().x(), points.back().x());

    const QXYSeries& setpoint = Series("К1 уставка 1");
    ASSERT_TRUE(setpoint.isVisible());
    ASSERT_EQ(setpoint.count(), 2);
    EXPECT_FLOAT_EQ(setpoint.at(0).y(), 22.5f);
    EXPECT_FLOAT_EQ(setpoint.at(1).y(), 22.5f);
    EXPECT_EQ(setpoint.pen().style(), Qt::DashLine);
    EXPECT_TRUE(Series("К2 уставка 2").isVisible());
    EXPECT_FLOAT_EQ(Series("К2 уставка 2").at(0).y(), 45.0f);
    EXPECT_FALSE(Series("К1 уставка 2").isVisible()) << "setpoint type 0";
    EXPECT_FALSE(Series("К2 уставка 1").isVisible()) << "setpoint type 0";
}

TEST_F(TrendTest, RelaySwitchingAndBreaksAreMarkedAndAChannelOffIsHidden)
{
    simulator.SetLiveBlock(Block(0, 0));
    Open();
    ChooseWindow(0);
    ShowLivePage();
    ASSERT_TRUE(WaitForSamples(1));
    simulator.SetLiveBlock(Block(0b01, 0b100));
    ASSERT_TRUE(WaitForSamples(2));
    simulator.SetLiveBlock(Block(0b11, 0b100, 12));
    ASSERT_TRUE(WaitForSamples(1));

    EXPECT_EQ(Series("Реле 1").count(), 1);
    EXPECT_EQ(Series("Реле 2").count(), 1);
    EXPECT_EQ(Series("Обрыв 1").count(), 1) << "a break is marked where it begins";
    EXPECT_EQ(Series("Обрыв 2").count(), 0);
    EXPECT_TRUE(Series("Канал 1").isVisible());
    EXPECT_FALSE(Series("Канал 2").isVisible()) << "status 12";

    simulator.SetLiveBlock(Block(0b11, 0));
    ASSERT_TRUE(WaitForSamples(1));
    EXPECT_TRUE(Series("Канал 2").isVisible());
    EXPECT_EQ(Series("Канал 2").count(), static_cast<int>(Trend().buffer().size()) - 1)
        << "the sample of the channel off has no point";
}

TEST_F(TrendTest, PauseHoldsThePictureWhileTheBufferFills)
{
    Open();
    ShowLivePage();
    ASSERT_TRUE(WaitForSamples(2));
    Click("TrendPause");
    EXPECT_TRUE(Trend().paused());
    EXPECT_EQ(Caption(Get<QPushButton>("TrendPause")->text()), QString::fromUtf8("Продолжить"));
    const int shown = Series("Канал 1").count();
    ASSERT_TRUE(WaitForSamples(2));
    EXPECT_EQ(Series("Канал 1").count(), shown);

    Click("TrendPause");
    EXPECT_FALSE(Trend().paused());
    EXPECT_EQ(Caption(Get<QPushButton>("TrendPause")->text()), QString::fromUtf8("Пауза"));
    EXPECT_EQ(Series("Канал 1").count(), static_cast<int>(Trend().buffer().size()));
}

TEST_F(TrendTest, TheTimeWindowChoosesTheLastMinutes)
{
    Open();
    // The chart laid out once; then another page, so that no poll comes in between.
    ShowLivePage();
    QApplication::processEvents();
    Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(0);
    const int64_t now = clock.EpochMs();
    // Twenty minutes of samples, one a second.
    for (int64_t t = now - 20 * 60 * 1000; t <= now; t += 1000)
        Trend().Add(device::LiveValues{}, t);
    for (size_t i = 0; i < gui::TrendChart::kWindowMinutes.size(); ++i) {
        ChooseWindow(static_cast<int>(i));
        EXPECT_EQ(Series("Канал 1").count(), gui::TrendChart::kWindowMinutes[i] * 60 + 1) << i;
    }

    // A clock set back starts the trend afresh, and the picture follows at once.
    Trend().Add(device::LiveValues{}, now - 60 * 60 * 1000);
    EXPECT_EQ(Trend().buffer().size(), 1u);
    EXPECT_EQ(Series("Канал 1").count(), 1);

    // Fifteen minutes at two polls a second: no more than two points per pixel column, and a
    // single high value among them still drawn.
    const int64_t later = now + 60 * 60 * 1000;
    for (int64_t t = later - 15 * 60 * 1000; t <= later; t += 500) {
        device::LiveValues v;
        v.value[0] = t == later - 7 * 60 * 1000 ? 30.0f : 20.0f + static_cast<float>(t % 7000) / 7000.0f;
        Trend().Add(v, t);
    }
    ChooseWindow(2);
    const QXYSeries& curve = Series("Канал 1");
    EXPECT_LE(curve.count(), 2 * static_cast<int>(Get<QChartView>("TrendView")->chart()->plotArea().width()) + 2);
    qreal highest = 0;
    for (const QPointF& p : curve.points())
        highest = std::max(highest, p.y());
    EXPECT_EQ(highest, 30.0);
}

TEST_F(TrendTest, SaveMeasurementsWritesTheBufferAsCsv)
{
    Open();
    ShowLivePage();
    ASSERT_TRUE(WaitForSamples(3));
    Get<QTabWidget>("TabbedNotebook1")->setCurrentIndex(0);
    clock.Advance(100);

    boxer.files.push_back(QString::fromStdString(File("measurements")));
    Click("TrendSave");
    EXPECT_EQ(boxer.fileDialogs, 1);
    std::ifstream in(File("measurements.csv"), std::ios::binary);
    ASSERT_TRUE(in) << "\".csv\" appended";
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), binding::TrendCsv(Trend().buffer().All()));
    EXPECT_EQ(Trend().buffer().All().size(), Trend().buffer().size());

    boxer.files.push_back(QString::fromStdString(File("again.CSV")));
    Click("TrendSave");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(File("again.CSV"))));
    EXPECT_TRUE(boxer.boxes.empty());

    boxer.files.push_back(QString::fromStdString(File("no-such-folder/measurements")));
    Click("TrendSave");
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text,
              QString::fromStdString("Не удается записать файл " + File("no-such-folder/measurements.csv") +
                                     ": нет папки " + File("no-such-folder") + "."));
    EXPECT_EQ(boxer.boxes[0].caption, QString::fromUtf8("Ошибка"));

    boxer.files.clear();
    Click("TrendSave");
    EXPECT_EQ(boxer.boxes.size(), 1u) << "a cancelled dialog writes nothing";
}

}  // namespace
}  // namespace pmv::test
