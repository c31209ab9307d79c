#include "binding/csv_format.h"
#include "binding/trend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace pmv::binding {
namespace {

TrendSample At(int64_t timeMs, float ch1 = 0)
{
    TrendSample s;
    s.timeMs = timeMs;
    s.values.value = {ch1, -ch1};
    return s;
}

TEST(TrendBuffer, KeepsTheLastHourInARingAndSelectsTimeWindows)
{
    TrendBuffer trend;
    constexpr int64_t start = 1'800'000'000'000;
    // Two hours of polls every 500 ms: the ring holds only its capacity, the newest ones.
    const int64_t polls = 4 * 3600;
    for (int64_t i = 0; i < polls; ++i)
        trend.Add(At(start + i * 500, static_cast<float>(i)));
    EXPECT_EQ(trend.size(), TrendBuffer::kCapacity);
    const int64_t now = start + (polls - 1) * 500;

    const std::vector<TrendSample> hour = trend.All();
    ASSERT_FALSE(hour.empty());
    EXPECT_EQ(hour.back().values.value[0], static_cast<float>(polls - 1));
    EXPECT_GE(hour.front().timeMs, now - TrendBuffer::kSpanMs);
    for (size_t i = 1; i < hour.size(); ++i)
        ASSERT_EQ(hour[i].timeMs - hour[i - 1].timeMs, 500) << "oldest first, none lost at the wrap";

    for (int minutes : {1, 5, 15}) {
        const auto window = trend.Window(now, minutes * 60'000);
        EXPECT_EQ(window.size(), static_cast<size_t>(minutes * 120 + 1)) << minutes;
        EXPECT_EQ(window.back().timeMs, now);
    }
    EXPECT_EQ(trend.Window(now, 10 * TrendBuffer::kSpanMs).size(), hour.size()) << "never beyond the hour";

    // The clock set back: the old time line goes.
    trend.Add(At(start, 7));
    ASSERT_EQ(trend.size(), 1u);
    EXPECT_EQ(trend.All().front().values.value[0], 7.0f);
}

// Russian spreadsheets take ';' with a decimal comma and a byte order mark as numbers; a decimal
// point there reads as text. Every row has the same decimals, so a column lines up.
TEST(TrendCsv, SpreadsheetTableReadsAsNumbersInARussianLocale)
{
    setenv("TZ", "UTC", 1);
    tzset();
    TrendSample s = At(1'796'680'503'250, 21.5f);  // 2026-12-07 21:55:03.250 UTC
    s.values.value[1] = 1e-7f;
    s.values.status = {0, 9};
    s.values.relays = 0x02;
    s.values.signalBits = {0x05, 0x00};
    TrendSample later = At(1'796'680'503'750, -3.25f);
    const std::string csv = TrendCsv({s, later});
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u) << "UTF-8 with its mark";
    const std::string heading = csv.substr(3, csv.find("\r\n") - 3);
    EXPECT_EQ(heading.rfind("Время;Канал 1;", 0), 0u);
    EXPECT_EQ(std::count(heading.begin(), heading.end(), ';'), 12);
    EXPECT_EQ(csv.substr(heading.size() + 5),
              "2026-12-07T21:55:03.250;21,5000;Нормальное измерение;0,0000;Обрыв;0;1;1;0;1;0;0;0\r\n"
              "2026-12-07T21:55:03.750;-3,2500;Нормальное измерение;3,2500;Нормальное измерение;0;0;0;0;0;0;0;0\r\n");

    const std::string script = TrendCsv({s}, kScriptCsv);
    EXPECT_EQ(script.rfind("Время,Канал 1,", 0), 0u) << "no mark for scripts";
    EXPECT_NE(script.find("\r\n2026-12-07T21:55:03.250,21.5000,Нормальное измерение,0.0000,Обрыв,0,1,"),
              std::string::npos)
        << script;
    unsetenv("TZ");
    tzset();
}

TEST(HistoryTable, ATextWithTheSeparatorOrAQuoteStaysOneField)
{
    history::HistoryRecord r;
    r.time = "2025-01-31T10:00:00";
    r.typeCode = 7;
    r.serial = 12;
    r.details = "Канал 1 · Уставка I=50; \"ровно\"";
    const std::string csv = HistoryTable({r}, kSpreadsheetCsv);
    const std::string row = csv.substr(csv.find("\r\n") + 2);
    EXPECT_EQ(row.rfind("2025-01-31T10:00:00;;007-00012;", 0), 0u) << row;
    EXPECT_NE(row.find(";\"Канал 1 · Уставка I=50; \"\"ровно\"\"\"\r\n"), std::string::npos) << row;
}

}  // namespace
}  // namespace pmv::binding
