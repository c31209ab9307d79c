#include "dates.h"

#include "device/device_settings.h"

#include <vector>

namespace pmv::binding {
namespace {

// Splits `text` at `separator` into runs of digits whose lengths lie within the given bounds.
std::optional<std::vector<int32_t>> DigitFields(const std::string& text, char separator,
                                                const std::vector<std::pair<size_t, size_t>>& lengths)
{
    std::vector<int32_t> fields;
    size_t at = 0;
    for (size_t i = 0; i < lengths.size(); ++i) {
        const size_t end = i + 1 < lengths.size() ? text.find(separator, at) : text.size();
        if (end == std::string::npos)
            return std::nullopt;
        const size_t length = end - at;
        if (length < lengths[i].first || length > lengths[i].second)
            return std::nullopt;
        int32_t value = 0;
        for (size_t k = at; k < end; ++k) {
            if (text[k] < '0' || text[k] > '9')
                return std::nullopt;
            value = value * 10 + (text[k] - '0');
        }
        fields.push_back(value);
        at = end + 1;
    }
    return fields;
}

std::optional<CalendarDate> Refuse(std::string* problem, std::string why)
{
    if (problem)
        *problem = std::move(why);
    return std::nullopt;
}

}  // namespace

bool IsCalendarDay(int32_t day, int32_t month, int32_t year)
{
    static constexpr int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::optional<CalendarDate> ParseProductionDate(const std::string& text, std::string* problem)
{
    const auto f = DigitFields(text, '.', {{1, 2}, {1, 2}, {4, 4}});
    if (!f)
        return Refuse(problem, "Дата " + text + " не в виде ДД.ММ.ГГГГ");
    const CalendarDate date{(*f)[0], (*f)[1], (*f)[2]};
    if (!IsCalendarDay(date.day, date.month, date.year))
        return Refuse(problem, "Даты " + text + " нет в календаре");
    if (date.year < device::kFirstProductionYear || date.year > device::kLastProductionYear)
        return Refuse(problem, "Дата " + text + ": прибор хранит год изготовления от " +
                                   std::to_string(device::kFirstProductionYear) + " до " +
                                   std::to_string(device::kLastProductionYear));
    return date;
}

std::optional<CalendarDate> ParseIsoDate(const std::string& text, std::string* problem)
{
    const auto f = DigitFields(text, '-', {{4, 4}, {2, 2}, {2, 2}});
    if (!f)
        return Refuse(problem, "Дата " + text + " не в виде ГГГГ-ММ-ДД");
    const CalendarDate date{(*f)[2], (*f)[1], (*f)[0]};
    if (!IsCalendarDay(date.day, date.month, date.year))
        return Refuse(problem, "Даты " + text + " нет в календаре");
    return date;
}

}  // namespace pmv::binding
