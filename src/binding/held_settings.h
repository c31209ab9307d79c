#pragma once

#include "model/settings_model.h"

#include <string>

namespace pmv::binding {

// What an instrument held before "Записать все", as its history row keeps it, so that the
// history window can write it back: one "SECTION.key=value" line for each setting a write of
// every group sends, floats with all the digits a float needs to come back the same.
std::string HeldSettingsText(const model::SettingsModel& held);

// Those lines into `model`, every group then selected. False, and `model` untouched, when the
// text lacks a setting, names one no write sends or holds a value that does not scan whole.
bool TakeHeldSettings(const std::string& text, model::SettingsModel& model);

// True when two models name the same instrument: serial number, type code and firmware.
bool SameInstrument(const model::SettingsModel& a, const model::SettingsModel& b);

}  // namespace pmv::binding
