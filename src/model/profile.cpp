#include "model/profile.h"

#include "model/number_format.h"

#include "ini/ini_file.h"
#include "model/profile_fields.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <system_error>

namespace pmv::model {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};

template <class Record>
void ReadField(const ini::IniFile& file, const ProfileField<Record>& f, Record& record, unsigned number)
{
    const std::optional<std::string> text = file.get(ExpandNumber(f.section, number), f.key);
    const std::string missing = ExpandNumber(f.missing, number);
    std::visit(Overloaded{
                   [](std::monostate) {},
                   [&](int32_t Record::*m) {
                       const int32_t fallback = ini::ParseIniInt(missing).value_or(0);
                       record.*m = text ? ini::ParseIniInt(*text).value_or(fallback) : fallback;
                   },
                   [&](float Record::*m) {
                       if (!text)
                           record.*m = ParseProfileFloat(missing).value_or(0.0f);
                       else if (const std::optional<float> value = ParseProfileFloat(*text))
                           record.*m = *value;
                   },
                   [&](std::string Record::*m) { record.*m = text.value_or(missing); },
               },
               f.member);
}

template <class Record, std::size_t N>
void ReadKeys(const ini::IniFile& file, const std::array<ProfileField<Record>, N>& table,
              std::initializer_list<std::string_view> keys, Record& record, unsigned number = 0)
{
    for (std::string_view key : keys) {
        if (const ProfileField<Record>* f = FindField(table, key))
            ReadField(file, *f, record, number);
    }
}

template <class Record, std::size_t N>
void ReadAll(const ini::IniFile& file, const std::array<ProfileField<Record>, N>& table, Record& record,
             unsigned number = 0)
{
    for (const ProfileField<Record>& f : table)
        ReadField(file, f, record, number);
}

template <class Record, std::size_t N, std::size_t M>
void WriteKeys(ini::IniFile& file, const std::array<ProfileField<Record>, N>& table,
               const std::array<const char*, M>& order, const Record& record, unsigned number = 0)
{
    for (const char* key : order) {
        const ProfileField<Record>* f = FindField(table, key);
        if (f == nullptr)
            continue;
        const std::string text = std::visit(Overloaded{
                                                [](std::monostate) { return std::string(); },
                                                [&](int32_t Record::*m) { return std::to_string(record.*m); },
                                                [&](float Record::*m) { return FormatNumber(record.*m); },
                                                [&](std::string Record::*m) { return record.*m; },
                                            },
                                            f->member);
        file.set(ExpandNumber(f->section, number), f->key, text);
    }
}

// Fills the model from file. With save, the new file and the write-backs go to path;
// without, they change only the document in memory, so that later reads see them all the same.
LoadProfileResult FillModel(ini::IniFile& file, const std::string& path, SettingsModel& model, bool save)
{
    LoadProfileResult result;
    if (!file.exists()) {
        // The whole new file is written in one atomic save, so a failure leaves neither a file
        // nor a part of one, and the model has not been touched.
        file = ComposeProfile(NewProfileEntries());
        if (save && (result.error = file.save(path)))
            return result;
    }

    for (unsigned number = 1; number <= 2; ++number)
        ReadAll(file, kChannelFields, model.channel[number - 1], number);
    ReadAll(file, kRelayFields, model.rele);
    ReadKeys(file, kCalibrationFields,
             {"kalib_usr", "kalib_del", "usr_ref", "del_ref", "usr_ku", "del_ku", "usr_ki", "del_ki"}, model.grad);

    for (std::size_t i = 0; i < kDefinitionFields.size(); ++i) {
        const DefinitionField& f = kDefinitionFields[i];
        model.definition[i] = file.getString(kDefinitionSection, f.key, f.missing);
    }
    result.description = model.definition;

    ReadKeys(file, kGeneralFields, {"err_ver", "proc_ver", "gen_select", "use_max"}, model.general);

    // The two write-backs are saved one by one: a failure of the first leaves the rest of the
    // load undone, as with the platform's single-key writes. A write-back that would leave the
    // file as it is saves nothing, so a read-only profile that already holds both keys loads.
    const auto writeBack = [&](const char* section, const char* key, const std::string& value) {
        const std::string before = file.bytes();
        file.set(section, key, value);
        return !save || file.bytes() == before ? std::nullopt : file.save(path);
    };
    ReadKeys(file, kCalibrationFields, {"wr_grad_immid"}, model.grad);
    if ((result.error = writeBack("Grad", "wr_grad_immid", "1")))
        return result;
    ReadKeys(file, kGeneralFields, {"otk_type"}, model.general);
    if ((result.error = writeBack("GEN", "otk_type", std::to_string(model.general.otk_type))))
        return result;

    ReadKeys(file, kCalibrationFields,
             {"rref_max", "rref_min", "uref_max", "uref_min", "ki05_max", "ki05_min", "ki020_max", "ki020_min",
              "ku_max", "ku_min", "ku10_max", "ku10_min"},
             model.grad);
    for (unsigned type = 0; type < kSensorTypes.size(); ++type) {
        const std::string section = ExpandNumber(kSensorBoundsSection, type);
        for (const SensorBoundsField& f : kSensorBoundsFields) {
            const std::optional<std::string> text = file.get(section, f.key);
            const std::optional<float> value = ParseProfileFloat(text.value_or(kSensorTypes[type].*f.literal));
            if (value)
                model.datBound[type].*f.member = *value;
        }
    }
    return result;
}

// Whether the document holds any section a profile is made of.
bool HoldsProfileSection(const ini::IniFile& file)
{
    const auto any = [&](const auto& table, unsigned number) {
        return std::any_of(table.begin(), table.end(),
                           [&](const auto& f) { return file.hasSection(ExpandNumber(f.section, number)); });
    };
    if (any(kChannelFields, 1) || any(kChannelFields, 2) || any(kRelayFields, 0) || any(kCalibrationFields, 0) ||
        any(kGeneralFields, 0) || file.hasSection(kDefinitionSection))
        return true;
    for (unsigned type = 0; type < kSensorTypes.size(); ++type)
        if (file.hasSection(ExpandNumber(kSensorBoundsSection, type)))
            return true;
    return false;
}

}  // namespace

LoadProfileResult LoadProfile(const std::string& path, SettingsModel& model)
{
    ini::IniFile file = ini::IniFile::Load(path);
    return FillModel(file, path, model, true);
}

ReadProfileResult ReadProfile(const std::string& path, SettingsModel& model)
{
    ReadProfileResult result;
    ini::IniFile file = ini::IniFile::Load(path);
    if (file.exists() && !file.readable()) {
        result.error = ini::FileError{ini::FileOperation::Read, path, file.readError()};
        return result;
    }
    result.exists = file.exists();
    result.holdsProfile = HoldsProfileSection(file);
    result.description = *FillModel(file, path, model, false).description;
    return result;
}

std::optional<ini::FileError> SaveProfile(const std::string& path, SettingsModel& model,
                                          const std::vector<std::string>& descriptionLines)
{
    // A read-only profile is made writable first, as the platform's attribute clearing does;
    // when that fails the write below reports it.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);

    for (std::size_t i = 0; i < model.definition.size(); ++i)
        // A line ends at its first line break, which the file could not hold inside a value.
        model.definition[i] = i < descriptionLines.size()
                                  ? descriptionLines[i].substr(0, descriptionLines[i].find_first_of("\r\n"))
                                  : std::string();

    // All keys go into one document that is saved once. The file is replaced atomically, so a
    // failure leaves the old file whole rather than with some of its keys rewritten; the model
    // is not changed by the writes either way.
    ini::IniFile file = ini::IniFile::Load(path);
    for (unsigned number = 1; number <= 2; ++number)
        WriteKeys(file, kChannelFields, kChannelSaveOrder, model.channel[number - 1], number);
    WriteKeys(file, kRelayFields, kRelaySaveOrder, model.rele);
    WriteKeys(file, kCalibrationFields, kCalibrationSaveOrder, model.grad);
    for (std::size_t i = 0; i < kDefinitionFields.size(); ++i)
        file.set(kDefinitionSection, kDefinitionFields[i].key, model.definition[i]);
    WriteKeys(file, kGeneralFields, kGeneralSaveOrder, model.general);
    return file.save(path);
}

std::string CurrentDirectory()
{
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::current_path(error);
    return error ? std::string(".") : directory.string();
}

std::string RecentProfilePath() { return CurrentDirectory() + "/recent.prf"; }

}  // namespace pmv::model
