#pragma once

#include "ini/ini_file.h"
#include "model/profile_fields.h"
#include "model/settings_model.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv::model {

// A value of a profile that must not reach the instrument.
struct BadProfileValue {
    std::string section;
    std::string key;
    std::size_t line = 0;  // from 1
    std::string value;     // as the file holds it
    std::string reason;    // "не число", "вне допустимых значений 0..24"
};

// What a profile about to be sent holds that the instrument would get wrong.
struct ProfileCheck {
    std::vector<BadProfileValue> bad;
    std::size_t missing = 0;  // keys of the sent settings the file lacks: their defaults would go
};

// Whether a command sends the settings of a group (channel 1 or 2 for a channel's section,
// else 0).
using SentSettings = std::function<bool(Group, unsigned channel)>;

// What a write of the groups sends as the boxes of selection stand: a ticked channel, the relay
// logic and the general settings when ticked, the regulator always. The boxes themselves are
// checked too, since they decide the rest.
SentSettings SentByWrite(const SettingsModel& selection);

// Every value of the sent settings that does not scan whole as its type or lies outside its
// valid values, in file order of the tables, and the count of sent settings the file lacks.
ProfileCheck CheckProfile(const ini::IniFile& file, const SentSettings& sent);

// "В профиле P неверные значения (2):" and a line for each: "[CH1] dat, строка 3: "30" — ...".
std::string BadValuesText(const std::string& path, const std::vector<BadProfileValue>& bad);
// "В профиле P нет 22 настроек записываемых групп: в прибор будут записаны значения по умолчанию."
std::string MissingKeysText(const std::string& path, std::size_t missing);

}  // namespace pmv::model
