#include "model/factory_profiles.h"

#include "ini/ini_file.h"
#include "model/profile.h"
#include "model/profile_fields.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace pmv::model {

namespace {

// A section that stands for both channel sections in a difference.
constexpr std::string_view kEachChannel = "CH*";

// A key whose value differs from profile 1; a null value leaves the key out of the file.
struct Difference {
    std::string_view section;
    const char* key;
    const char* value;
};

struct FactoryProfile {
    const char* file;
    const char* txt0;
    const char* txt1;
    const char* txt2;
    std::vector<Difference> differences;
    bool graf;  // ends with section GRAF, key wr_int 1
};

// Profile 1 is the file that a load creates at a missing path with these differences.
// clang-format off
const std::vector<Difference> kProfile1 = {
    {kEachChannel, "th_type1", "2"}, {kEachChannel, "th_type2", "2"}, {"RELE", "rel0_msk0", "1"},
    {"RELE", "rel1_msk0", "6"},      {"Grad", "kalib_del", "90"},     {"ERR", "err_ver", "0"},
    {"GEN", "use_max", "0"},         {"GEN", "otk_type", nullptr},
};
// clang-format on

// In their order of creation, with their differences from profile 1.
const std::vector<FactoryProfile> kFactoryProfiles = {
    {"PMV7700.prf",
     "Прибор ПМВ 7700 Н. Одноканальный прибор.",
     "Реле 1 назначено на 1 уставку.",
     "Реле 2 сработает при обрыве датчика или при срабатывании второй уставки",
     {},
     false},
    {"PMV7701.prf",
     "Прибор ПМВ 7701 Н. Одноканальный прибор.",
     "Две уставки. Реле 1 назначено на 1 уставку, реле 2 - на вторую.",
     "",
     {{kEachChannel, "th_type1", "0"}, {kEachChannel, "th_type2", "0"}, {"RELE", "rel1_msk0", "2"}},
     false},
    {"PMV7703.prf",
     "Прибор ПМВ 7703 Н. Двухканальный прибор.",
     "В каждом канале одна уставка. Реле 1 назначено на 1 уставку первого канала, реле 2 - на 1 уставку второго канала.",
     "",
     {{kEachChannel, "th_type1", "0"},
      {kEachChannel, "th_type2", "0"},
      {"RELE", "rel1_msk0", "0"},
      {"RELE", "rel1_msk1", "1"},
      {"GEN", "proc_ver", "1"}},
     false},
    {"PMV7706.prf",
     "Прибор ПМВ 7706 Н. Одноканальный прибор с пропорциональным управлением задвижкой.",
     "Реле 1 включает задвижку на закрытие, реле 2 - на открытие.",
     "",
     {{kEachChannel, "th_type1", "0"},
      {kEachChannel, "th_type2", "0"},
      {kEachChannel, "his1", "10.0"},
      {kEachChannel, "his2", "0.5"},
      {kEachChannel, "spd_th", "1.0"},
      {kEachChannel, "spd_his", "0.1"},
      {kEachChannel, "pulse_int", "10"},
      {"RELE", "rel0_msk0", "16"},
      {"RELE", "rel1_msk0", "8"},
      {"GEN", "proc_ver", "2"}},
     false},
    {"PMV77XX_progon.prf",
     "Профиль для технологического прогона. Двухканальный прибор.",
     "В каждом канале одна уставка. Реле 1 назначено на 1 уставку первого канала, реле 2 - на 1 уставку второго канала.",
     "",
     {{kEachChannel, "dat", "19"},
      {kEachChannel, "th_type2", "0"},
      {"RELE", "rel1_msk0", "0"},
      {"RELE", "rel1_msk1", "1"},
      {"GEN", "proc_ver", "1"}},
     false},
    {"PMV7706_PID.prf",
     "Прибор ПМВ 7706 Н ПИД. Одноканальный прибор с ПИД управлением нагревателем.",
     "Реле 1 включает нагреватель, реле 2 - дополнительная уставка.",
     "",
     {{"CH1", "th_type1", "0"},   {"CH1", "th_type2", "0"},  {"CH1", "th1", "40"},        {"CH1", "th2", "555"},
      {"CH1", "his1", "5.0"},     {"CH1", "his2", "0.5"},    {"CH1", "spd_th", "1.0"},    {"CH1", "spd_his", "0.1"},
      {"CH1", "koef0", "1.0"},    {"CH1", "koef1", "4.4"},   {"CH1", "koef2", "444.0"},   {"CH1", "koef3", "1.0"},
      {"CH1", "reg_int", "2"},    {"CH1", "pulse_int", "2"}, {"CH2", "th_type2", "0"},    {"CH2", "th2", "0"},
      {"CH2", "his1", "1.0"},     {"CH2", "his2", "0.5"},    {"CH2", "spd_th", "1.0"},    {"CH2", "spd_his", "0.1"},
      {"CH2", "koef0", "0"},      {"CH2", "koef1", "0"},     {"CH2", "koef2", "0"},       {"CH2", "koef3", "0"},
      {"CH2", "reg_int", "2"},    {"CH2", "pulse_int", "2"}, {"RELE", "rel0_msk0", "16"}, {"RELE", "rel1_msk0", "0"},
      {"RELE", "rel1_msk1", "1"}, {"GEN", "proc_ver", "3"}},
     true},
    {"PMV77XX_pogrR.prf",
     "Определение погрешности по R. Двухканальный прибор.",
     "Реле отключены.",
     "",
     {{kEachChannel, "dat", "22"},
      {kEachChannel, "th_type1", "0"},
      {kEachChannel, "th_type2", "0"},
      {"RELE", "rel0_msk0", "0"},
      {"RELE", "rel1_msk0", "0"},
      {"GEN", "proc_ver", "1"}},
     false},
    {"PMV77XX_pogrU100.prf",
     "Определение погрешности по 100 мВ. Двухканальный прибор.",
     "Реле отключены.",
     "",
     {{kEachChannel, "dat", "20"},
      {kEachChannel, "th_type1", "0"},
      {kEachChannel, "th_type2", "0"},
      {"RELE", "rel0_msk0", "0"},
      {"RELE", "rel1_msk0", "0"},
      {"GEN", "proc_ver", "1"}},
     false},
    {"PMV77XX_pogrU10.prf",
     "Определение погрешности по U 10 В. Двухканальный прибор.",
     "Реле отключены.",
     "",
     {{kEachChannel, "dat", "23"},
      {kEachChannel, "th_type1", "0"},
      {kEachChannel, "th_type2", "0"},
      {"RELE", "rel0_msk0", "0"},
      {"RELE", "rel1_msk0", "0"},
      {"GEN", "proc_ver", "1"},
      {"Dat_bound6", "min", "-100.0"}},
     false},
    {"PMV77XX_pogrI.prf",
     "Определение погрешности по I. Двухканальный прибор.",
     "Реле отключены.",
     "",
     {{kEachChannel, "dat", "19"},
      {kEachChannel, "th_type1", "0"},
      {kEachChannel, "th_type2", "0"},
      {"RELE", "rel0_msk0", "0"},
      {"RELE", "rel1_msk0", "0"},
      {"GEN", "proc_ver", "1"}},
     false},
};

void Apply(std::vector<ProfileEntry>& entries, const Difference& d)
{
    for (auto it = entries.begin(); it != entries.end();) {
        const bool section =
            d.section == kEachChannel ? it->section == "CH1" || it->section == "CH2" : it->section == d.section;
        if (!section || it->key != d.key) {
            ++it;
        } else if (d.value == nullptr) {
            it = entries.erase(it);
        } else {
            it->value = d.value;
            ++it;
        }
    }
}

std::vector<ProfileEntry> Entries(const FactoryProfile& profile)
{
    std::vector<ProfileEntry> entries = NewProfileEntries();
    for (const Difference& d : kProfile1)
        Apply(entries, d);
    Apply(entries, {kDefinitionSection, "txt0", profile.txt0});
    Apply(entries, {kDefinitionSection, "txt1", profile.txt1});
    Apply(entries, {kDefinitionSection, "txt2", profile.txt2});
    for (const Difference& d : profile.differences)
        Apply(entries, d);
    if (profile.graf)
        entries.push_back({"GRAF", "wr_int", "1"});
    return entries;
}

}  // namespace

std::optional<ini::FileError> CreateDefaultProfiles()
{
    for (const FactoryProfile& profile : kFactoryProfiles) {
        const std::string path = CurrentDirectory() + "/" + profile.file;
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error))
            continue;
        // Each profile is written in one atomic save, so a failure leaves no part of a file that
        // later starts would take as present and never complete.
        if (std::optional<ini::FileError> failure = ComposeProfile(Entries(profile)).save(path))
            return failure;
    }
    return std::nullopt;
}

}  // namespace pmv::model
