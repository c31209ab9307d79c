#include "model/profile_fields.h"

namespace pmv::model {

namespace {
using C = ChannelSettings;
using R = RelaySettings;
using G = GeneralSettings;
using K = CalibrationSettings;
}  // namespace

const std::array<ProfileField<ChannelSettings>, 42> kChannelFields = {{
    // section, key, member, missing key, new file
    {"CH%u", "dat", &C::dat, "17", "17"},
    {"CH%u", "diap_max", &C::diap_max, "100", "100"},
    {"CH%u", "diap_min", &C::diap_min, "0", "0"},
    {"CH%u", "adj", &C::adj, "1.0", "1.0"},
    {"CH%u", "lin", &C::lin, "0.2", "0.2"},
    {"CH%u", "wire", &C::wire, "3", "3"},
    {"CH%u", "flag", &C::flag, "0", "0"},
    {"CH%u", "ns", &C::ns, "0", "1"},
    {"CH%u", "shift", &C::shift, "0", "0"},
    {"CH%u", "th_type1", &C::th_type1, "0", "0"},
    {"CH%u", "th_type2", &C::th_type2, "0", "0"},
    {"CH%u", "th1", &C::th1, "50", "50"},
    {"CH%u", "th2", &C::th2, "60", "60"},
    {"CH%u", "his1", &C::his1, "0.02", "0.02"},
    {"CH%u", "his2", &C::his2, "0.02", "0.02"},
    {"CH%u", "spd_th", &C::spd_th, "0.1", "0.1"},
    {"CH%u", "spd_his", &C::spd_his, "0.01", "0.01"},
    {"CH%u", "koef0", &C::koef0, "0.0", "0.0"},
    {"CH%u", "koef1", &C::koef1, "0.0", "0.0"},
    {"CH%u", "koef2", &C::koef2, "0.0", "0.0"},
    {"CH%u", "koef3", &C::koef3, "0.0", "0.0"},
    {"CH%u", "search", &C::search, "2", "2"},
    {"CH%u", "point", &C::point, "1", "1"},
    {"CH%u", "use", &C::use, "0", "1"},
    {"CH%u", "ver_rel_proc", &C::ver_rel_proc, "1", "0"},
    {"CH%u", "reg_int", &C::reg_int, "30", "30"},
    {"CH%u", "pulse_int", &C::pulse_int, "5", "5"},
    {"CH%u", "text", &C::text, "Канал %u", "Канал %u"},
    {"CH%u", "unit", &C::unit, "<....>", "<....>"},
    {"CH%u", "select", &C::select, "1", "1"},
    {"CH%u", "uref", &C::uref, "26.32", "26.32"},
    {"CH%u", "rref", &C::rref, "7491.0", "7491.0"},
    {"CH%u", "ku", &C::ku, "94.44", "94.44"},
    {"CH%u", "ku10", &C::ku10, "9.43", "9.43"},
    {"CH%u", "ki05", &C::ki05, "18.43", "18.43"},
    {"CH%u", "ki020", &C::ki020, "18.43", "18.43"},
    {"CH%u", "set_ra", &C::set_ra, "40.0", "40.0"},
    {"CH%u", "set_rb", &C::set_rb, "300.0", "300.0"},
    {"CH%u", "set_ki05", &C::set_ki05, "5.0", "5.0"},
    {"CH%u", "set_ki020", &C::set_ki020, "20.0", "20.0"},
    {"CH%u", "set_ku", &C::set_ku, "100.0", "100.0"},
    {"CH%u", "set_ku10", &C::set_ku10, "10.0", "10.0"},
}};

// clang-format off
const std::array<const char*, 42> kChannelSaveOrder = {
    "dat", "diap_max", "diap_min", "adj", "lin", "wire", "flag", "ns", "shift",
    "th_type1", "th_type2", "th1", "th2", "his1", "his2", "spd_th", "spd_his",
    "koef0", "koef1", "koef2", "koef3",
    "uref", "rref", "ku", "ku10", "ki05", "ki020",
    "set_ra", "set_rb", "set_ku", "set_ku10", "set_ki05", "set_ki020",
    "search", "point", "select", "use", "ver_rel_proc", "reg_int", "pulse_int", "text", "unit",
};
// clang-format on

const std::array<ProfileField<RelaySettings>, 7> kRelayFields = {{
    {"RELE", "select", &R::select, "1", "1"},
    {"RELE", "test", &R::test, "0", "0"},
    {"RELE", "use", &R::use, "1", "1"},
    {"RELE", "rel0_msk0", &R::rel0_msk0, "0", "0"},
    {"RELE", "rel0_msk1", &R::rel0_msk1, "0", "0"},
    {"RELE", "rel1_msk0", &R::rel1_msk0, "0", "0"},
    {"RELE", "rel1_msk1", &R::rel1_msk1, "0", "0"},
}};

// clang-format off
const std::array<const char*, 7> kRelaySaveOrder = {
    "select", "use", "test", "rel0_msk0", "rel0_msk1", "rel1_msk0", "rel1_msk1",
};
// clang-format on

const std::array<ProfileField<GeneralSettings>, 6> kGeneralFields = {{
    {"ERR", "err_ver", &G::err_ver, "1", "1"},
    {"GEN", "gen_select", &G::gen_select, "1", "1"},
    {"GEN", "proc_ver", &G::proc_ver, "0", "0"},
    {"GEN", "use_max", &G::use_max, "0", "1"},
    {"GEN", "dev_type", std::monostate{}, "47", "47"},
    {"GEN", "otk_type", &G::otk_type, "47", "47"},
}};

// clang-format off
const std::array<const char*, 5> kGeneralSaveOrder = {
    "gen_select", "proc_ver", "err_ver", "use_max", "otk_type",
};
// clang-format on

const std::array<ProfileField<CalibrationSettings>, 21> kCalibrationFields = {{
    {"Grad", "kalib_usr", &K::kalib_usr, "8", "8"},
    {"Grad", "kalib_del", &K::kalib_del, "90", "180"},
    {"Grad", "rref_min", &K::rref_min, "5000.0", "5000.0"},
    {"Grad", "rref_max", &K::rref_max, "9000.0", "9000.0"},
    {"Grad", "uref_min", &K::uref_min, "18.0", "18.0"},
    {"Grad", "uref_max", &K::uref_max, "32.0", "32.0"},
    {"Grad", "ku_min", &K::ku_min, "75.0", "75.0"},
    {"Grad", "ku_max", &K::ku_max, "115.0", "115.0"},
    {"Grad", "ku10_min", &K::ku10_min, "7.5", "7.5"},
    {"Grad", "ku10_max", &K::ku10_max, "11.5", "11.5"},
    {"Grad", "ki05_min", &K::ki05_min, "14.0", "14.0"},
    {"Grad", "ki05_max", &K::ki05_max, "22.0", "22.0"},
    {"Grad", "ki020_min", &K::ki020_min, "14.0", "14.0"},
    {"Grad", "ki020_max", &K::ki020_max, "22.0", "22.0"},
    {"Grad", "usr_ref", &K::usr_ref, "8", "8"},
    {"Grad", "usr_ku", &K::usr_ku, "8", "8"},
    {"Grad", "usr_ki", &K::usr_ki, "8", "8"},
    {"Grad", "del_ref", &K::del_ref, "90", "90"},
    {"Grad", "del_ku", &K::del_ku, "40", "40"},
    {"Grad", "del_ki", &K::del_ki, "40", "40"},
    {"Grad", "wr_grad_immid", &K::wr_grad_immid, "1", "1"},
}};

const std::array<const char*, 2> kCalibrationSaveOrder = {"kalib_usr", "kalib_del"};

const char* const kDefinitionSection = "Definition";

const std::array<DefinitionField, 4> kDefinitionFields = {{
    {"txt0", "Прибор ПМВ77ХХ Н. Описение настроек текущего профиля.",
     "Прибор ПМВ 77XX Н. Описание настроек текущего профиля."},
    {"txt1", "", ""},
    {"txt2", "", ""},
    {"txt3", "", ""},
}};

const char* const kSensorBoundsSection = "Dat_bound%u";

const std::array<SensorBoundsField, 3> kSensorBoundsFields = {{
    {"max", &SensorBounds::max, &SensorType::max},
    {"min", &SensorBounds::min, &SensorType::min},
    {"pogr", &SensorBounds::pogr, &SensorType::pogr},
}};

std::string ExpandNumber(const char* literal, unsigned number)
{
    std::string text = literal;
    const std::size_t at = text.find("%u");
    if (at != std::string::npos)
        text.replace(at, 2, std::to_string(number));
    return text;
}

namespace {

template <class Record, std::size_t N>
void AppendFresh(std::vector<ProfileEntry>& out, const std::array<ProfileField<Record>, N>& table,
                 std::size_t first, std::size_t count, unsigned number = 0)
{
    for (std::size_t i = first; i < first + count; ++i) {
        const ProfileField<Record>& f = table[i];
        out.push_back({ExpandNumber(f.section, number), f.key, ExpandNumber(f.fresh, number)});
    }
}

}  // namespace

std::vector<ProfileEntry> NewProfileEntries()
{
    std::vector<ProfileEntry> out;
    for (unsigned number = 1; number <= 2; ++number)
        AppendFresh(out, kChannelFields, 0, kChannelFields.size(), number);
    AppendFresh(out, kRelayFields, 0, kRelayFields.size());
    AppendFresh(out, kCalibrationFields, 0, kCalibrationFirstRun);
    AppendFresh(out, kGeneralFields, 0, kGeneralFields.size());
    for (const DefinitionField& f : kDefinitionFields)
        out.push_back({kDefinitionSection, f.key, f.fresh});
    AppendFresh(out, kCalibrationFields, kCalibrationFirstRun, kCalibrationFields.size() - kCalibrationFirstRun);
    for (unsigned type = 0; type < kSensorTypes.size(); ++type) {
        for (const SensorBoundsField& f : kSensorBoundsFields)
            out.push_back({ExpandNumber(kSensorBoundsSection, type), f.key, kSensorTypes[type].*f.literal});
    }
    return out;
}

ini::IniFile ComposeProfile(const std::vector<ProfileEntry>& entries)
{
    ini::IniFile file;
    for (const ProfileEntry& e : entries)
        file.set(e.section, e.key, e.value);
    return file;
}

}  // namespace pmv::model
