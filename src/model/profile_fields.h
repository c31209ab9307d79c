#pragma once

#include "ini/ini_file.h"
#include "model/settings_model.h"

#include <array>
#include <cstddef>
#include <string>
#include <variant>
#include <vector>

namespace pmv::model {

// The model field a profile key holds; monostate for a key that new files carry but the model
// never takes.
template <class Record>
using FieldMember = std::variant<std::monostate, int32_t Record::*, float Record::*, std::string Record::*>;

// One profile key of a record with its two defaults, as profile literals: the value taken when
// the key is missing (an int that is not a number takes it too) and the text written into the
// file that a load creates. "%u" in a section name or a text stands for the channel number.
template <class Record>
struct ProfileField {
    const char* section;
    const char* key;
    FieldMember<Record> member;
    const char* missing;
    const char* fresh;
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
