#pragma once

#include "binding/control_values.h"
#include "device/device.h"
#include "messages/error_codes.h"
#include "model/settings_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pmv::binding {

// One setting whose value in the instrument is not the one expected.
struct FieldDifference {
    std::string label;     // as the window names it: "Канал 1 · Уставка I"
    std::string expected;  // the profile's (or the written) value
    std::string actual;    // the instrument's value
    std::string section;   // the setting's profile section and key: "CH1", "th1"
    std::string key;
    // False for a float that is NaN or infinite: no number, whatever its text says.
    bool expectedFinite = true;
    bool actualFinite = true;
};

// Floats differ when they are further apart than a checked write accepts.
inline constexpr float kFloatTolerance = 0.01f;

// The settings of the groups selected in `expected` (a flag of 1; the regulator parameters
// always, as reads and writes always take them) that differ in `actual`, in the window's order.
// Identity (serial number, date, firmware) is not compared: a profile does not describe one
// instrument.
std::vector<FieldDifference> CompareSettings(const model::SettingsModel& expected, const model::SettingsModel& actual);

// Every compared setting, equal or not, for a table that marks the differing rows.
struct FieldComparison {
    FieldDifference values;
    bool differs = false;
    // The two values as the pages show them: a list item or a tick by its name ("Понижение",
    // "да"), a number as a number.
    std::string expectedShown, actualShown;
};
std::vector<FieldComparison> CompareFields(const model::SettingsModel& expected, const model::SettingsModel& actual);

// A setting of the groups selected in a model, named by its profile section and key.
struct SettingValue {
    std::string section;
    std::string key;
    std::string text;    // as the differences show it: "55.5000", "3", "nan"
    bool finite = true;  // false for a float that is NaN or infinite
};
std::vector<SettingValue> SelectedSettings(const model::SettingsModel& model);

// "label=value" lines of the groups selected in the model, in the same order: what a write sends.
std::string SettingsValueLines(const model::SettingsModel& model);
// Those lines read back, each setting named by its profile section and key; lines of no setting
// are left out.
std::vector<SettingValue> ParseSettingsValueLines(const std::string& lines);

// Reads the groups selected in `selection` from the instrument into `instrument`, which starts
// as a copy of `selection`; the caller's model is not touched. Returns the read's code.
ErrorCode ReadForComparison(device::Device& device, const model::SettingsModel& selection,
                            model::SettingsModel& instrument);

// The check after a write: the groups selected in `written` read back from the instrument and
// compared with it. Returns the read's code, or 15 when the instrument holds other values;
// `differences` lists them.
ErrorCode VerifyWritten(device::Device& device, const model::SettingsModel& written,
                        std::vector<FieldDifference>& differences);

// The group boxes whose write sends the differing settings: "Записать различия" ticks these and
// writes as "Записать выбранные" does. A difference in the regulator's parameters, which every
// write sends, ticks the relays that share their page.
GroupFlags DifferingGroups(const std::vector<FieldDifference>& differences);

// "Канал 1 · Уставка I: в профиле 50.0000, в приборе 45.0000", one line a difference.
std::string DifferenceLines(const std::vector<FieldDifference>& differences);

}  // namespace pmv::binding
