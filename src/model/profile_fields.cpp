#include "model/profile_fields.h"

#include <limits>
#include <type_traits>

namespace pmv::model {

namespace {
using C = ChannelSettings;
using R = RelaySettings;
using G = GeneralSettings;
using K = CalibrationSettings;

constexpr RegisterCell Byte(uint32_t number, uint32_t channelStep = 0) { return {2, 1, number, channelStep}; }
constexpr RegisterCell Float(uint32_t number, uint32_t channelStep = 0) { return {2, 3, number, channelStep}; }
constexpr ValueRule Range(double min, double max, ValueNames names = ValueNames::Number) { return {min, max, names}; }
constexpr ValueRule kAnyFloat = {-std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
constexpr ValueRule kAnyInt = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
constexpr ValueRule kAnyText = {0, 0};  // a text holds anything
constexpr ValueRule kByte = {0, 255};
constexpr ValueRule kTick = {0, 1, ValueNames::Ticks};

}  // namespace

// clang-format off
const std::array<ProfileField<ChannelSettings>, 42> kChannelFields = {{
    // section, key, member, missing key, new file, {label, group, register, valid values, shown, label of
    // channel 2, note}
    {"CH%u", "dat", &C::dat, "17", "17", {"Канал %u · Тип датчика", Group::Channel, Byte(315, 1), Range(0, 24, ValueNames::SensorTypes), 1}},
    {"CH%u", "diap_max", &C::diap_max, "100", "100", {"Канал %u · Максимум", Group::Channel, Float(15, 1), kAnyFloat, 4}},
    {"CH%u", "diap_min", &C::diap_min, "0", "0", {"Канал %u · Минимум", Group::Channel, Float(13, 1), kAnyFloat, 3}},
    {"CH%u", "adj", &C::adj, "1.0", "1.0", {"Канал %u · Подстройка диапазона", Group::Channel, Float(3, 1), kAnyFloat, 6}},
    {"CH%u", "lin", &C::lin, "0.2", "0.2", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, "line resistance: only the check before writing looks at it"}},
    {"CH%u", "wire", &C::wire, "3", "3", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, "wires of the sensor connection: the instrument has no register for it"}},
    {"CH%u", "flag", &C::flag, "0", "0", {"Канал %u · Корнеизвлечение", Group::Channel, Byte(323, 1), kTick, 2}},
    // The window's list offers 1..10; the missing key gives 0 and an instrument may hold more.
    {"CH%u", "ns", &C::ns, "0", "1", {"Канал %u · Усреднение", Group::Channel, Byte(317, 1), kByte, 15}},
    {"CH%u", "shift", &C::shift, "0", "0", {"Канал %u · Смещение", Group::Channel, Float(1, 1), kAnyFloat, 5}},
    {"CH%u", "th_type1", &C::th_type1, "0", "0", {"Канал %u · Уставка I Тип", Group::Channel, Byte(327, 4), Range(0, 2, ValueNames::SetpointTypes), 7}},
    {"CH%u", "th_type2", &C::th_type2, "0", "0", {"Канал %u · Уставка II Тип", Group::Channel, Byte(328, 4), Range(0, 2, ValueNames::SetpointTypes), 10}},
    {"CH%u", "th1", &C::th1, "50", "50", {"Канал %u · Уставка I", Group::Channel, Float(29, 4), kAnyFloat, 8}},
    {"CH%u", "th2", &C::th2, "60", "60", {"Канал %u · Уставка II", Group::Channel, Float(30, 4), kAnyFloat, 11}},
    {"CH%u", "his1", &C::his1, "0.02", "0.02", {"Канал %u · Гистерезис I", Group::Channel, Float(37, 4), kAnyFloat, 9}},
    {"CH%u", "his2", &C::his2, "0.02", "0.02", {"Канал %u · Гистерезис II", Group::Channel, Float(38, 4), kAnyFloat, 12}},
    {"CH%u", "spd_th", &C::spd_th, "0.1", "0.1", {"Канал %u · Шаг изменения уставки", Group::Channel, Float(31, 4), Range(0.001, 10), 13}},
    {"CH%u", "spd_his", &C::spd_his, "0.01", "0.01", {"Канал %u · Шаг изменения гистерезиса", Group::Channel, Float(32, 4), Range(0.001, 10), 14}},
    {"CH%u", "koef0", &C::koef0, "0.0", "0.0", {"Канал %u · Полином K0", Group::Channel, Float(5, 4), kAnyFloat, 19}},
    {"CH%u", "koef1", &C::koef1, "0.0", "0.0", {"Канал %u · Полином K1", Group::Channel, Float(6, 4), kAnyFloat, 20}},
    {"CH%u", "koef2", &C::koef2, "0.0", "0.0", {"Канал %u · Полином K2", Group::Channel, Float(7, 4), kAnyFloat, 21}},
    {"CH%u", "koef3", &C::koef3, "0.0", "0.0", {"Канал %u · Полином K3", Group::Channel, Float(8, 4), kAnyFloat, 22}},
    {"CH%u", "search", &C::search, "2", "2", {"Канал %u · Наблюдения", Group::Channel, Byte(319, 1), Range(1, 10), 17}},
    {"CH%u", "point", &C::point, "1", "1", {"Канал %u · Знаков", Group::Channel, Byte(321, 1), Range(0, 3), 16}},
    {"CH%u", "use", &C::use, "0", "1", {"Канал %u · Исключить", Group::Channel, Byte(341, 1), kTick, 18}},
    {"CH%u", "ver_rel_proc", &C::ver_rel_proc, "1", "0", {"Реле · Вид обработки логики реле %u", Group::Relay, Byte(325, 1), Range(0, 2), 1}},
    // The window's lists offer 10..240 and 5..60; the factory profiles hold 2.
    {"CH%u", "reg_int", &C::reg_int, "30", "30", {"Регулятор · Интервал принятия решения", Group::Regulator, Byte(337, 1), kByte, 1, "Регулятор · Интервал принятия решения канала 2"}},
    {"CH%u", "pulse_int", &C::pulse_int, "5", "5", {"Регулятор · Максимальная длительность импульса", Group::Regulator, Byte(339, 1), kByte, 2, "Регулятор · Длительность импульса канала 2"}},
    {"CH%u", "text", &C::text, "Канал %u", "Канал %u", {nullptr, Group::ProfileOnly, {}, kAnyText, 0, nullptr, "the channel's name on this computer"}},
    {"CH%u", "unit", &C::unit, "<....>", "<....>", {nullptr, Group::ProfileOnly, {}, kAnyText, 0, nullptr, "the channel's unit on this computer"}},
    {"CH%u", "select", &C::select, "1", "1", {nullptr, Group::Selection, {}, kTick}},
    {"CH%u", "uref", &C::uref, "26.32", "26.32", {"UREF", Group::Calibration, Float(17, 1), kAnyFloat}},
    {"CH%u", "rref", &C::rref, "7491.0", "7491.0", {"RREF", Group::Calibration, Float(19, 1), kAnyFloat}},
    {"CH%u", "ku", &C::ku, "94.44", "94.44", {"Ku 100 mV", Group::Calibration, Float(21, 1), kAnyFloat}},
    {"CH%u", "ku10", &C::ku10, "9.43", "9.43", {"Ku 10 V", Group::Calibration, Float(23, 1), kAnyFloat}},
    {"CH%u", "ki05", &C::ki05, "18.43", "18.43", {"Ki 0-5 mA", Group::Calibration, Float(25, 1), kAnyFloat}},
    {"CH%u", "ki020", &C::ki020, "18.43", "18.43", {"Ki 0-20 mA", Group::Calibration, Float(27, 1), kAnyFloat}},
    {"CH%u", "set_ra", &C::set_ra, "40.0", "40.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, "reference of a calibration procedure on this computer"}},
    {"CH%u", "set_rb", &C::set_rb, "300.0", "300.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, "reference of a calibration procedure on this computer"}},
    {"CH%u", "set_ki05", &C::set_ki05, "5.0", "5.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, "reference of a calibration procedure on this computer"}},
    {"CH%u", "set_ki020", &C::set_ki020, "20.0", "20.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, "reference of a calibration procedure on this computer"}},
    {"CH%u", "set_ku", &C::set_ku, "100.0", "100.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, "reference of a calibration procedure on this computer"}},
    {"CH%u", "set_ku10", &C::set_ku10, "10.0", "10.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, "reference of a calibration procedure on this computer"}},
}};

const std::array<const char*, 42> kChannelSaveOrder = {
    "dat", "diap_max", "diap_min", "adj", "lin", "wire", "flag", "ns", "shift",
    "th_type1", "th_type2", "th1", "th2", "his1", "his2", "spd_th", "spd_his",
    "koef0", "koef1", "koef2", "koef3",
    "uref", "rref", "ku", "ku10", "ki05", "ki020",
    "set_ra", "set_rb", "set_ku", "set_ku10", "set_ki05", "set_ki020",
    "search", "point", "select", "use", "ver_rel_proc", "reg_int", "pulse_int", "text", "unit",
};

constexpr const char* kProfileOnly = "kept in profiles only: the instrument has no register for it";

const std::array<ProfileField<RelaySettings>, 7> kRelayFields = {{
    {"RELE", "select", &R::select, "1", "1", {nullptr, Group::Selection, {}, kTick}},
    {"RELE", "test", &R::test, "0", "0", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProfileOnly}},
    {"RELE", "use", &R::use, "1", "1", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProfileOnly}},
    {"RELE", "rel0_msk0", &R::rel0_msk0, "0", "0", {"Реле 1 · Канал 1 и регулятор", Group::Relay, Byte(6), kByte, 1}},
    {"RELE", "rel0_msk1", &R::rel0_msk1, "0", "0", {"Реле 1 · Канал 2", Group::Relay, Byte(7), kByte, 2}},
    {"RELE", "rel1_msk0", &R::rel1_msk0, "0", "0", {"Реле 2 · Канал 1 и регулятор", Group::Relay, Byte(8), kByte, 3}},
    {"RELE", "rel1_msk1", &R::rel1_msk1, "0", "0", {"Реле 2 · Канал 2", Group::Relay, Byte(9), kByte, 4}},
}};

const std::array<const char*, 7> kRelaySaveOrder = {
    "select", "use", "test", "rel0_msk0", "rel0_msk1", "rel1_msk0", "rel1_msk1",
};

const std::array<ProfileField<GeneralSettings>, 6> kGeneralFields = {{
    {"ERR", "err_ver", &G::err_ver, "1", "1", {"Общие · Отображение ошибки", Group::General, Byte(4), Range(0, 1, ValueNames::ErrorDisplays), 2}},
    {"GEN", "gen_select", &G::gen_select, "1", "1", {nullptr, Group::Selection, {}, kTick}},
    {"GEN", "proc_ver", &G::proc_ver, "0", "0", {"Общие · Тип прибора", Group::General, Byte(3), Range(0, 3, ValueNames::DeviceTypes), 1}},
    {"GEN", "use_max", &G::use_max, "0", "1", {nullptr, Group::ProfileOnly, {}, kTick, 0, nullptr, "the window's range rule for unified inputs"}},
    {"GEN", "dev_type", std::monostate{}, "47", "47", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, "carried by new files, never taken"}},
    {"GEN", "otk_type", &G::otk_type, "47", "47", {nullptr, Group::ProfileOnly, Byte(14), kByte, 0, nullptr, "sent with the serial number, not with the groups"}},
}};

const std::array<const char*, 5> kGeneralSaveOrder = {
    "gen_select", "proc_ver", "err_ver", "use_max", "otk_type",
};

constexpr const char* kProcedure = "parameter of the calibration procedures on this computer";

const std::array<ProfileField<CalibrationSettings>, 21> kCalibrationFields = {{
    {"Grad", "kalib_usr", &K::kalib_usr, "8", "8", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProfileOnly}},
    {"Grad", "kalib_del", &K::kalib_del, "90", "180", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProfileOnly}},
    {"Grad", "rref_min", &K::rref_min, "5000.0", "5000.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "rref_max", &K::rref_max, "9000.0", "9000.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "uref_min", &K::uref_min, "18.0", "18.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "uref_max", &K::uref_max, "32.0", "32.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "ku_min", &K::ku_min, "75.0", "75.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "ku_max", &K::ku_max, "115.0", "115.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "ku10_min", &K::ku10_min, "7.5", "7.5", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "ku10_max", &K::ku10_max, "11.5", "11.5", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "ki05_min", &K::ki05_min, "14.0", "14.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "ki05_max", &K::ki05_max, "22.0", "22.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "ki020_min", &K::ki020_min, "14.0", "14.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "ki020_max", &K::ki020_max, "22.0", "22.0", {nullptr, Group::ProfileOnly, {}, kAnyFloat, 0, nullptr, kProcedure}},
    {"Grad", "usr_ref", &K::usr_ref, "8", "8", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProcedure}},
    {"Grad", "usr_ku", &K::usr_ku, "8", "8", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProcedure}},
    {"Grad", "usr_ki", &K::usr_ki, "8", "8", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProcedure}},
    {"Grad", "del_ref", &K::del_ref, "90", "90", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProcedure}},
    {"Grad", "del_ku", &K::del_ku, "40", "40", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProcedure}},
    {"Grad", "del_ki", &K::del_ki, "40", "40", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProcedure}},
    {"Grad", "wr_grad_immid", &K::wr_grad_immid, "1", "1", {nullptr, Group::ProfileOnly, {}, kAnyInt, 0, nullptr, kProcedure}},
}};
// clang-format on

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
void AppendFresh(std::vector<ProfileEntry>& out, const std::array<ProfileField<Record>, N>& table, std::size_t first,
                 std::size_t count, unsigned number = 0)
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

namespace {

template <class Record, std::size_t N>
void AppendSettings(std::vector<Setting>& out, const std::array<ProfileField<Record>, N>& table,
                    Record& (*record)(SettingsModel&, unsigned), unsigned channel)
{
    for (const ProfileField<Record>& f : table) {
        const char* label = channel == 2 && f.about.label2 ? f.about.label2 : f.about.label;
        const FieldMember<Record> member = f.member;
        auto field = [member, record, channel](SettingsModel& model) {
            Record& r = record(model, channel);
            return std::visit(
                [&](auto m) -> SettingField {
                    if constexpr (std::is_same_v<decltype(m), std::monostate>)
                        return m;
                    else
                        return &(r.*m);
                },
                member);
        };
        // The model is only read through the field here.
        auto value = [field](const SettingsModel& model) {
            return std::visit(
                [](auto p) -> SettingValue {
                    if constexpr (std::is_same_v<decltype(p), std::monostate>)
                        return p;
                    else
                        return *p;
                },
                field(const_cast<SettingsModel&>(model)));
        };
        out.push_back({ExpandNumber(f.section, channel), f.key, label ? ExpandNumber(label, channel) : std::string(),
                       &f.about, channel, value, field});
    }
}

std::vector<Setting> MakeAllSettings()
{
    std::vector<Setting> out;
    for (unsigned channel = 1; channel <= 2; ++channel)
        AppendSettings<ChannelSettings>(
            out, kChannelFields, [](SettingsModel& m, unsigned ch) -> ChannelSettings& { return m.channel[ch - 1]; },
            channel);
    AppendSettings<RelaySettings>(
        out, kRelayFields, [](SettingsModel& m, unsigned) -> RelaySettings& { return m.rele; }, 0);
    AppendSettings<GeneralSettings>(
        out, kGeneralFields, [](SettingsModel& m, unsigned) -> GeneralSettings& { return m.general; }, 0);
    AppendSettings<CalibrationSettings>(
        out, kCalibrationFields, [](SettingsModel& m, unsigned) -> CalibrationSettings& { return m.grad; }, 0);
    return out;
}

template <std::size_t N>
std::string Item(const std::array<const char*, N>& names, int32_t value)
{
    return value >= 0 && static_cast<std::size_t>(value) < N ? names[static_cast<std::size_t>(value)]
                                                             : std::to_string(value);
}

}  // namespace

const std::vector<Setting>& AllSettings()
{
    static const std::vector<Setting> settings = MakeAllSettings();
    return settings;
}

const Setting* FindSetting(std::string_view section, std::string_view key)
{
    for (const Setting& s : AllSettings())
        if (s.section == section && key == s.key)
            return &s;
    return nullptr;
}

std::string ValueName(ValueNames names, int32_t value)
{
    switch (names) {
    case ValueNames::Number: break;
    case ValueNames::SensorTypes: return SensorName(value);
    case ValueNames::SetpointTypes: return Item(kSetpointTypeNames, value);
    case ValueNames::Ticks: return Item(kTickNames, value);
    case ValueNames::DeviceTypes: return Item(kDeviceTypeNames, value);
    case ValueNames::ErrorDisplays: return Item(kErrorDisplayNames, value);
    }
    return std::to_string(value);
}

ini::IniFile ComposeProfile(const std::vector<ProfileEntry>& entries)
{
    ini::IniFile file;
    for (const ProfileEntry& e : entries)
        file.set(e.section, e.key, e.value);
    return file;
}

}  // namespace pmv::model
