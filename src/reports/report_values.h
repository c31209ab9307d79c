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

// The entry of the window's sensor-type list for dat; a type the list does not hold prints as
// its number, so a page never names a sensor the instrument does not have.
std::string SensorName(int32_t dat);
// The entry of the setpoint-type list ("Нет", "Понижение", "Повышение"); any other value prints
// as its number.
std::string SetpointTypeName(int32_t type);
// pogr of the sensor's Dat_bound entry; nothing for a type outside the table.
std::optional<float> AccuracyFigure(const model::SettingsModel& model, int32_t dat);

// The instrument's number: otk_type as "%03u", "-", then 256 x high byte + low byte.
std::string InstrumentNumberOf(const model::SettingsModel& model);

}  // namespace pmv::reports
