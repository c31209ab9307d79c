#pragma once

#include "model/settings_model.h"

#include <optional>
#include <string>

namespace pmv::reports {

// The separator line of the pages' texts: 53 underscores.
inline constexpr const char* kSeparatorLine = "_____________________________________________________";

// A float as the pages print it ("%8.4f"), an integer in decimal.
std::string Value(float value);
std::string Value(int32_t value);

// pogr of the sensor's Dat_bound entry; nothing for a type outside the table.
std::optional<float> AccuracyFigure(const model::SettingsModel& model, int32_t dat);

// The instrument's number: otk_type as "%03u", "-", then 256 x high byte + low byte.
std::string InstrumentNumberOf(const model::SettingsModel& model);

}  // namespace pmv::reports
