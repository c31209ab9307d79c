#pragma once

#include "ini/ini_file.h"
#include "model/settings_model.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pmv::model {

// The model field a profile key holds; monostate for a key that new files carry but the model
// never takes.
template <class Record>
using FieldMember = std::variant<std::monostate, int32_t Record::*, float Record::*, std::string Record::*>;

// What moves a setting between the model and the instrument, and so which groups read, write
// and compare it.
enum class Group : uint8_t {
    Channel,      // a channel's read and write, while its box is ticked
    Relay,        // the relay logic, while its box is ticked
    Regulator,    // the regulator parameters, with every read and write
    General,      // the general settings, while their box is ticked
    Calibration,  // the calibration coefficients, by the calibration commands of one channel
    Selection,    // a group's box: decides what a read or write takes, never sent itself
    ProfileOnly,  // never exchanged by the groups; the row's note says why
};

// A register as plain data, so that the model need not know the device's layer: bank, memory
// type (1 a byte, 3 four bytes), channel 1's number and the step to channel 2's. The device's
// register map names the same cells (a test holds them equal).
struct RegisterCell {
    uint32_t bank = 0;  // 0: no register
    uint32_t memoryType = 0;
    uint32_t number = 0;
    uint32_t channelStep = 0;
};

// The valid values of a setting: min..max for a number (any finite number for a float of the
// widest range), read as the items of a list when names is set.
enum class ValueNames : uint8_t { Number, SensorTypes, SetpointTypes, Ticks, DeviceTypes, ErrorDisplays };
struct ValueRule {
    double min;
    double max;
    ValueNames names = ValueNames::Number;
};

// What the program knows of a setting besides its profile key: the label the window, the
// comparison and the reports give it ("%u" the channel number; label2 for channel 2 when its
// label is not channel 1's with its number), the group that exchanges it, its register, its
// valid values, its place among its group's settings as the window shows them (the comparison's
// order), and for a setting the groups never exchange, why.
struct SettingDescription {
    const char* label;
    Group group;
    RegisterCell cell;
    ValueRule rule;
    int shown = 0;
    const char* label2 = nullptr;
    const char* note = nullptr;
};

// One setting: its profile key with its two defaults, as profile literals (the value taken when
// the key is missing, an int that is not a number takes it too, and the text written into the
// file that a load creates; "%u" in a section name or a text stands for the channel number),
// the model field and its description. These rows are the one description of every setting:
// the profile's load, save and new file, the device's steps, the comparison after a write, the
// JSON and report names and the checks of a profile before it is sent all come from them.
template <class Record>
struct ProfileField {
    const char* section;
    const char* key;
    FieldMember<Record> member;
    const char* missing;
    const char* fresh;
    SettingDescription about;
};

// Every table lists its keys in the order of the file that a load creates.
extern const std::array<ProfileField<ChannelSettings>, 42> kChannelFields;
extern const std::array<ProfileField<RelaySettings>, 7> kRelayFields;
extern const std::array<ProfileField<GeneralSettings>, 6> kGeneralFields;
extern const std::array<ProfileField<CalibrationSettings>, 21> kCalibrationFields;

// A new file holds the first keys of kCalibrationFields before ERR and the others after
// Definition, all in the one Grad section.
constexpr std::size_t kCalibrationFirstRun = 2;

// The keys a save writes, in its order.
extern const std::array<const char*, 42> kChannelSaveOrder;
extern const std::array<const char*, 7> kRelaySaveOrder;
extern const std::array<const char*, 2> kCalibrationSaveOrder;
extern const std::array<const char*, 5> kGeneralSaveOrder;

// The description lines, section Definition.
struct DefinitionField {
    const char* key;
    const char* missing;
    const char* fresh;
};
extern const char* const kDefinitionSection;
extern const std::array<DefinitionField, 4> kDefinitionFields;

// The keys of a Dat_bound section, with their defaults in kSensorTypes.
struct SensorBoundsField {
    const char* key;
    float SensorBounds::*member;
    const char* SensorType::*literal;
};
extern const char* const kSensorBoundsSection;  // "%u" is the sensor type
extern const std::array<SensorBoundsField, 3> kSensorBoundsFields;

// A section name or text literal with its "%u" replaced by number.
std::string ExpandNumber(const char* literal, unsigned number);

// The row of key in a table; nothing when the table has none.
template <class Record, std::size_t N>
const ProfileField<Record>* FindField(const std::array<ProfileField<Record>, N>& table, std::string_view key)
{
    for (const ProfileField<Record>& f : table)
        if (key == f.key)
            return &f;
    return nullptr;
}

// A value of the model as a row holds it, and the field that holds it.
using SettingValue = std::variant<std::monostate, int32_t, float, std::string>;
using SettingField = std::variant<std::monostate, int32_t*, float*, std::string*>;

// A row of any record's table, seen from the whole model: channel rows once for each channel.
struct Setting {
    std::string section;  // "CH1", "RELE"
    const char* key;
    std::string label;  // expanded; empty for a setting the window does not name
    const SettingDescription* about;
    unsigned channel;  // 1 or 2 in a channel's section, else 0
    std::function<SettingValue(const SettingsModel&)> value;
    std::function<SettingField(SettingsModel&)> field;
};

// Every row of the channel, relay, general and calibration tables, channel 1's rows before
// channel 2's, each table in its order.
const std::vector<Setting>& AllSettings();

// The setting of section and key as AllSettings names them ("CH2", "th1"); nothing when no row
// describes it.
const Setting* FindSetting(std::string_view section, std::string_view key);

// The name of value as the window's list or tick shows it; a number or a value outside the
// list gives its digits.
std::string ValueName(ValueNames names, int32_t value);

// One key written into a profile file.
struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// The keys of the file that a load creates at a path where none exists, in their order.
std::vector<ProfileEntry> NewProfileEntries();

// A document holding entries written one after the other by the private-profile rules.
ini::IniFile ComposeProfile(const std::vector<ProfileEntry>& entries);

}  // namespace pmv::model
