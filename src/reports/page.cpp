#include "reports/page.h"

#include <algorithm>
#include <ctime>

namespace pmv::reports {

const PageLabel* Page::Label(std::string_view name) const
{
    const auto found = std::find_if(labels.begin(), labels.end(), [&](const PageLabel& l) { return l.name == name; });
    return found == labels.end() ? nullptr : &*found;
}

const PageTextBox* Page::TextBox(std::string_view name) const
{
    const auto found = std::find_if(boxes.begin(), boxes.end(), [&](const PageTextBox& b) { return b.name == name; });
    return found == boxes.end() ? nullptr : &*found;
}

PrintDate Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

std::string DateText(int day, int month, int year)
{
    return std::to_string(day) + "." + std::to_string(month) + "." + std::to_string(year);
}

}  // namespace pmv::reports
