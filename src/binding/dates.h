#pragma once

#include "control_values.h"

#include <optional>
#include <string>

namespace pmv::binding {

// A day of the Gregorian calendar: month 1..12, day within the month (29.02 in leap years).
bool IsCalendarDay(int32_t day, int32_t month, int32_t year);

// A production date typed as DD.MM.YYYY (day and month of one or two digits): a day that
// exists, in a year the instrument's year register can hold. Otherwise nothing, and `problem`
// says why.
std::optional<CalendarDate> ParseProductionDate(const std::string& text, std::string* problem = nullptr);

// A day typed as YYYY-MM-DD, as the history is filtered by: a day that exists. Otherwise
// nothing, and `problem` says why.
std::optional<CalendarDate> ParseIsoDate(const std::string& text, std::string* problem = nullptr);

}  // namespace pmv::binding
