#include "binding/dates.h"

#include <gtest/gtest.h>

namespace pmv::binding {
namespace {

TEST(DatesTest, AProductionDateIsADayOfTheCalendarInAYearTheInstrumentHolds)
{
    EXPECT_EQ(ParseProductionDate("28.11.2009"), (CalendarDate{28, 11, 2009}));
    EXPECT_EQ(ParseProductionDate("1.2.2026"), (CalendarDate{1, 2, 2026}));
    EXPECT_EQ(ParseProductionDate("29.02.2024"), (CalendarDate{29, 2, 2024}));
    EXPECT_EQ(ParseProductionDate("01.01.2000"), (CalendarDate{1, 1, 2000}));
    EXPECT_EQ(ParseProductionDate("31.12.2255"), (CalendarDate{31, 12, 2255}));

    std::string problem;
    for (const char* day : {"31.02.2026", "29.02.2100", "29.02.2025", "31.04.2026", "00.01.2026", "01.13.2026"}) {
        EXPECT_FALSE(ParseProductionDate(day, &problem)) << day;
        EXPECT_EQ(problem, "Даты " + std::string(day) + " нет в календаре");
    }
    for (const char* year : {"31.12.1999", "01.01.2256", "01.01.2300"}) {
        EXPECT_FALSE(ParseProductionDate(year, &problem)) << year;
        EXPECT_EQ(problem, "Дата " + std::string(year) + ": прибор хранит год изготовления от 2000 до 2255");
    }
    for (const char* text : {"", "1.2.26", "01.02.2026x", " 1.02.2026", "+1.02.2026", "1.-2.2026", "001.02.2026",
                             "01-02-2026", "01.02.", "2026-02-01"}) {
        EXPECT_FALSE(ParseProductionDate(text, &problem)) << text;
        EXPECT_EQ(problem, "Дата " + std::string(text) + " не в виде ДД.ММ.ГГГГ");
    }
}

TEST(DatesTest, AHistoryFilterDateIsADayOfTheCalendar)
{
    EXPECT_EQ(ParseIsoDate("2026-02-01"), (CalendarDate{1, 2, 2026}));
    EXPECT_EQ(ParseIsoDate("2024-02-29"), (CalendarDate{29, 2, 2024}));
    std::string problem;
    EXPECT_FALSE(ParseIsoDate("2026-13-45", &problem));
    EXPECT_EQ(problem, "Даты 2026-13-45 нет в календаре");
    EXPECT_FALSE(ParseIsoDate("2026-02-30"));
    for (const char* text : {"2026-2-1", "01.02.2026", "2026-02-01 ", "20260201", "2026-02"}) {
        EXPECT_FALSE(ParseIsoDate(text, &problem)) << text;
        EXPECT_EQ(problem, "Дата " + std::string(text) + " не в виде ГГГГ-ММ-ДД");
    }
}

}  // namespace
}  // namespace pmv::binding
