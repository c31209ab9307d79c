#pragma once

#include "model/settings_model.h"
#include "reports/page.h"

#include <string>
#include <vector>

namespace pmv::reports {

// The passport page: a landscape sheet with two identical copies side by side, each headed by
// the print date and the title (type, number and production date of the instrument), followed
// by the configuration in words. The lines depend on the device type proc_ver (0 one channel
// with two setpoints, 1 two channels, 2 valve control, 3 PID heater control); any other type
// gives no title and no text. The model is only read.
Page BuildPassportPage(const model::SettingsModel& model, const PrintDate& date);

// "Дата печати " + day.month.year.
std::string PrintDateLine(const PrintDate& date);

// The page as text: the print date line, the title line, then the lines of the left copy.
std::vector<std::string> PassportText(const Page& page);

}  // namespace pmv::reports
