#include "binding/live_view.h"
#include "binding/trend.h"

#include <gtest/gtest.h>

namespace pmv::binding {
namespace {

device::LiveValues Measuring()
{
    device::LiveValues v;
    v.value = {23.25f, 0.0f};
    v.status = {0, 8};
    v.signalBits = {0x01, 0x04};
    v.relays = 0x01;
    return v;
}

TEST(LiveView, NoNumberBeforeTheFirstAnswerAndValuesTheLastPollDidNotRenewGreyedWithTheirAge)
{
    device::LiveValues zeros;
    const LiveView none = ShowReceivedValues(zeros, std::nullopt, 5000);
    for (const LiveChannelView& c : none.channel) {
        EXPECT_EQ(c.valueText, "") << "zeros never received are no measurement";
        EXPECT_EQ(c.statusText, "Значений от прибора ещё не было");
        EXPECT_EQ(c.valueColour, PanelColour::ButtonFace) << "white means a normal measurement";
        EXPECT_EQ(c.lamps, (std::array<bool, 3>{}));
    }
    EXPECT_FALSE(none.stale);

    device::LiveValues values = Measuring();
    const LiveView fresh = ShowReceivedValues(values, 5000, 5000);
    EXPECT_EQ(fresh.channel[0].valueText, " 23.2500");
    EXPECT_EQ(fresh.channel[0].statusText, "Нормальное измерение");
    EXPECT_EQ(fresh.channel[0].valueColour, PanelColour::White);
    EXPECT_EQ(fresh.channel[1].statusColour, PanelColour::Yellow);
    EXPECT_EQ(fresh.litColour, PanelColour::Yellow);
    EXPECT_FALSE(fresh.stale);

    const LiveView old = ShowReceivedValues(values, 5000, 17'900);
    EXPECT_TRUE(old.stale);
    EXPECT_EQ(old.channel[0].valueText, " 23.2500") << "the last value stays, marked as old";
    for (const LiveChannelView& c : old.channel) {
        EXPECT_EQ(c.statusText, "Получено 12 с назад");
        EXPECT_EQ(c.valueColour, PanelColour::ButtonFace);
        EXPECT_EQ(c.statusColour, PanelColour::ButtonFace);
    }
    EXPECT_EQ(old.channel[1].lamps, (std::array<bool, 3>{false, false, true}));
    EXPECT_EQ(old.relays, (std::array<bool, 2>{true, false}));
    EXPECT_EQ(old.litColour, PanelColour::Grey) << "a lamp still lit would read as current";
}

TEST(LiveView, AgeTellsSecondsThenMinutesThenHours)
{
    EXPECT_EQ(AgeText(-5), "0 с") << "a clock set back";
    EXPECT_EQ(AgeText(59'999), "59 с");
    EXPECT_EQ(AgeText(60'000), "1 мин 0 с");
    EXPECT_EQ(AgeText(3'599'999), "59 мин 59 с");
    EXPECT_EQ(AgeText(3'725'000), "1 ч 2 мин");
}

TEST(TrendAxis, StartsAtTheFirstSampleUntilTheSamplesFillTheWindow)
{
    TrendBuffer buffer;
    EXPECT_FALSE(TrendAxis(buffer, 1'000'000, 300'000)) << "no time to tell before a sample";

    buffer.Add({1'000'000, {}});
    buffer.Add({1'060'000, {}});
    const std::optional<TimeSpan> young = TrendAxis(buffer, 1'060'000, 300'000);
    ASSERT_TRUE(young);
    EXPECT_EQ(young->startMs, 1'000'000);
    EXPECT_EQ(young->endMs, 1'300'000) << "the window keeps its length";

    buffer.Add({1'400'000, {}});
    const std::optional<TimeSpan> full = TrendAxis(buffer, 1'400'000, 300'000);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->startMs, 1'100'000);
    EXPECT_EQ(full->endMs, 1'400'000);
}

}  // namespace
}  // namespace pmv::binding
