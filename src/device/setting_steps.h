#pragma once

#include "link/exchange.h"
#include "messages/error_codes.h"
#include "model/profile_fields.h"
#include "register_map.h"

#include <string>
#include <vector>

namespace pmv::device {

// The device's steps name the settings they move by profile section and key; register, width
// and model field come from the setting's description row.

// The row of section and key; a name no row has is a fault of the step tables (std::out_of_range),
// which the tests of the settings on the line catch.
const model::Setting& SettingRow(const std::string& section, const std::string& key);
// "CH1" or "CH2" for channel index ch (0, 1).
std::string ChannelSection(uint32_t ch);

regs::Register RegisterOf(const model::Setting& setting);

// Reads the setting's register into its field of model.
ErrorCode ReadSetting(link::Exchange& exchange, const model::Setting& setting, model::SettingsModel& model);
// Writes the setting's value, or 0 when zero is set; checked writes read the register back.
ErrorCode WriteSetting(link::Exchange& exchange, const model::Setting& setting, const model::SettingsModel& model,
                       bool checked, bool zero = false);

// A setting a group's steps name.
struct SettingName {
    std::string section;
    std::string key;
};

// Every setting a full read (write) of all groups moves, in the order of the line; a setting
// sent twice (a setpoint type switched off, then set) is named each time.
std::vector<SettingName> SettingsOnTheLine(bool write);

}  // namespace pmv::device
