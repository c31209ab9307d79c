#pragma once

#include "model/settings_model.h"
#include "reports/page.h"

#include <string>
#include <vector>

namespace pmv::reports {

// The configuration report: a portrait sheet with both channels, the relay logic, the
// calibration coefficients and the general settings in boxes under fixed headings. The model is
// only read.
Page BuildConfigurationReport(const model::SettingsModel& model, const PrintDate& date);

// The report as text: the number label, the date label, then each box's heading followed by its
// lines (channel 1, channel 2, relay 1, relay 2, calibration 1, calibration 2), and last the lines
// of the general box.
std::vector<std::string> ConfigurationReportText(const Page& page);

}  // namespace pmv::reports
