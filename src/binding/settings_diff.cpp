#include "binding/settings_diff.h"

#include "messages/error_codes.h"

#include "binding/control_values.h"
#include "device/device_settings.h"
#include "model/number_format.h"

#include <cmath>
#include <functional>
#include <variant>

namespace pmv::binding {
namespace {

using IntField = int32_t model::ChannelSettings::*;
using FloatField = float model::ChannelSettings::*;
// The text the window shows for a listed value or a tick; nothing names a number.
using NameOf = std::string (*)(int32_t);

template <size_t N>
std::string ListItem(const std::array<const char*, N>& items, int32_t position)
{
    return position >= 0 && static_cast<size_t>(position) < N ? items[static_cast<size_t>(position)]
                                                              : std::to_string(position);
}

std::string SensorName(int32_t dat)
{
    return dat >= 0 && dat < model::kSensorCount ? model::kSensorTypes[static_cast<size_t>(dat)].name : std::to_string(dat);
}
std::string SetpointTypeName(int32_t type)
{
    return ListItem(kSetpointTypeItems, type);
}
std::string Tick(int32_t value)
{
    return value == 0 ? "нет" : value == 1 ? "да"
                                           : std::to_string(value);
}
std::string DeviceTypeName(int32_t type)
{
    return ListItem(kDeviceTypeItems, type);
}
std::string ErrorDisplayName(int32_t display)
{
    return ListItem(kErrorDisplayItems, display);
}

struct ChannelField {
    const char* label;
    const char* key;  // in the channel's profile section
    std::variant<IntField, FloatField> field;
    NameOf name = nullptr;
};

// The channel settings a channel read and write move, in the window's order.
const ChannelField kChannelFields[] = {
    {"Тип датчика", "dat", &model::ChannelSettings::dat, SensorName},
    {"Корнеизвлечение", "flag", &model::ChannelSettings::flag, Tick},
    {"Минимум", "diap_min", &model::ChannelSettings::diap_min},
    {"Максимум", "diap_max", &model::ChannelSettings::diap_max},
    {"Смещение", "shift", &model::ChannelSettings::shift},
    {"Подстройка диапазона", "adj", &model::ChannelSettings::adj},
    {"Уставка I Тип", "th_type1", &model::ChannelSettings::th_type1, SetpointTypeName},
    {"Уставка I", "th1", &model::ChannelSettings::th1},
    {"Гистерезис I", "his1", &model::ChannelSettings::his1},
    {"Уставка II Тип", "th_type2", &model::ChannelSettings::th_type2, SetpointTypeName},
    {"Уставка II", "th2", &model::ChannelSettings::th2},
    {"Гистерезис II", "his2", &model::ChannelSettings::his2},
    {"Шаг изменения уставки", "spd_th", &model::ChannelSettings::spd_th},
    {"Шаг изменения гистерезиса", "spd_his", &model::ChannelSettings::spd_his},
    {"Усреднение", "ns", &model::ChannelSettings::ns},
    {"Знаков", "point", &model::ChannelSettings::point},
    {"Наблюдения", "search", &model::ChannelSettings::search},
    {"Исключить", "use", &model::ChannelSettings::use, Tick},
    {"Полином K0", "koef0", &model::ChannelSettings::koef0},
    {"Полином K1", "koef1", &model::ChannelSettings::koef1},
    {"Полином K2", "koef2", &model::ChannelSettings::koef2},
    {"Полином K3", "koef3", &model::ChannelSettings::koef3},
};

struct ModelField {
    const char* label;
    const char* section;  // the profile's section and key
    const char* key;
    std::function<int32_t(const model::SettingsModel&)> value;
    NameOf name = nullptr;
};

const ModelField kRelayFields[] = {
    {"Реле · Вид обработки логики реле 1", "CH1", "ver_rel_proc", [](const model::SettingsModel& m) { return m.channel[0].ver_rel_proc; }},
    {"Реле · Вид обработки логики реле 2", "CH2", "ver_rel_proc", [](const model::SettingsModel& m) { return m.channel[1].ver_rel_proc; }},
    {"Реле 1 · Канал 1 и регулятор", "RELE", "rel0_msk0", [](const model::SettingsModel& m) { return m.rele.rel0_msk0; }},
    {"Реле 1 · Канал 2", "RELE", "rel0_msk1", [](const model::SettingsModel& m) { return m.rele.rel0_msk1; }},
    {"Реле 2 · Канал 1 и регулятор", "RELE", "rel1_msk0", [](const model::SettingsModel& m) { return m.rele.rel1_msk0; }},
    {"Реле 2 · Канал 2", "RELE", "rel1_msk1", [](const model::SettingsModel& m) { return m.rele.rel1_msk1; }},
};

const ModelField kRegulatorFields[] = {
    {"Регулятор · Интервал принятия решения", "CH1", "reg_int", [](const model::SettingsModel& m) { return m.channel[0].reg_int; }},
    {"Регулятор · Максимальная длительность импульса", "CH1", "pulse_int", [](const model::SettingsModel& m) { return m.channel[0].pulse_int; }},
    {"Регулятор · Интервал принятия решения канала 2", "CH2", "reg_int", [](const model::SettingsModel& m) { return m.channel[1].reg_int; }},
    {"Регулятор · Длительность импульса канала 2", "CH2", "pulse_int", [](const model::SettingsModel& m) { return m.channel[1].pulse_int; }},
};

const ModelField kGeneralFields[] = {
    {"Общие · Тип прибора", "GEN", "proc_ver", [](const model::SettingsModel& m) { return m.general.proc_ver; }, DeviceTypeName},
    {"Общие · Отображение ошибки", "ERR", "err_ver", [](const model::SettingsModel& m) { return m.general.err_ver; },
     ErrorDisplayName},
};

// A byte register holds 0..255, and the writes send anything else as 255.
int32_t AsStored(int32_t value)
{
    return value < 0 || value > 255 ? 255 : value;
}

std::string Trimmed(const std::string& text)
{
    return text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

struct FieldValue {
    std::string label;
    std::variant<int32_t, float> value;
    std::string section, key;
    NameOf name = nullptr;

    std::string Text() const
    {
        if (const auto* i = std::get_if<int32_t>(&value))
            return std::to_string(*i);
        return Trimmed(model::FormatNumber(std::get<float>(value)));
    }
    // As the pages show it: a list item or a tick by its name.
    std::string Shown() const
    {
        if (const auto* i = std::get_if<int32_t>(&value); i && name)
            return name(*i);
        return Text();
    }
};

void AddInts(const ModelField* begin, const ModelField* end, const model::SettingsModel& m, std::vector<FieldValue>& out)
{
    for (const ModelField* f = begin; f != end; ++f)
        out.push_back({f->label, f->value(m), f->section, f->key, f->name});
}

// The fields of the groups selected in `selection`, with their values in `m`, in the window's order.
std::vector<FieldValue> SelectedFields(const model::SettingsModel& selection, const model::SettingsModel& m)
{
    std::vector<FieldValue> out;
    for (size_t ch = 0; ch < 2; ++ch) {
        if (selection.channel[ch].select != 1)
            continue;
        const std::string prefix = "Канал " + std::to_string(ch + 1) + " · ";
        const std::string section = "CH" + std::to_string(ch + 1);
        for (const ChannelField& f : kChannelFields) {
            if (const auto* i = std::get_if<IntField>(&f.field))
                out.push_back({prefix + f.label, m.channel[ch].**i, section, f.key, f.name});
            else
                out.push_back({prefix + f.label, m.channel[ch].*std::get<FloatField>(f.field), section, f.key});
        }
    }
    if (selection.rele.select == 1)
        AddInts(std::begin(kRelayFields), std::end(kRelayFields), m, out);
    AddInts(std::begin(kRegulatorFields), std::end(kRegulatorFields), m, out);
    if (selection.general.gen_select == 1)
        AddInts(std::begin(kGeneralFields), std::end(kGeneralFields), m, out);
    return out;
}

bool Equal(const FieldValue& expected, const FieldValue& actual)
{
    if (const auto* i = std::get_if<int32_t>(&expected.value))
        return AsStored(*i) == std::get<int32_t>(actual.value);
    return std::fabs(std::get<float>(expected.value) - std::get<float>(actual.value)) <= kFloatTolerance;
}

}  // namespace

std::vector<FieldComparison> CompareFields(const model::SettingsModel& expected, const model::SettingsModel& actual)
{
    const std::vector<FieldValue> e = SelectedFields(expected, expected);
    const std::vector<FieldValue> a = SelectedFields(expected, actual);
    std::vector<FieldComparison> out;
    for (size_t i = 0; i < e.size(); ++i)
        out.push_back({{e[i].label, e[i].Text(), a[i].Text(), e[i].section, e[i].key}, !Equal(e[i], a[i]), e[i].Shown(), a[i].Shown()});
    return out;
}

std::vector<FieldDifference> CompareSettings(const model::SettingsModel& expected, const model::SettingsModel& actual)
{
    std::vector<FieldDifference> out;
    for (const FieldComparison& f : CompareFields(expected, actual))
        if (f.differs)
            out.push_back(f.values);
    return out;
}

std::vector<SettingValue> SelectedSettings(const model::SettingsModel& model)
{
    std::vector<SettingValue> out;
    for (const FieldValue& f : SelectedFields(model, model))
        out.push_back({f.section, f.key, f.Text()});
    return out;
}

std::string SettingsValueLines(const model::SettingsModel& model)
{
    std::string lines;
    for (const FieldValue& f : SelectedFields(model, model))
        lines += f.label + "=" + f.Text() + "\n";
    return lines;
}

ErrorCode ReadForComparison(device::Device& device, const model::SettingsModel& selection, model::SettingsModel& instrument)
{
    instrument = selection;
    device::Device reader{device.exchange, device.progress, instrument, {}};
    return device::ReadDeviceSettings(reader);
}

ErrorCode VerifyWritten(device::Device& device, const model::SettingsModel& written, std::vector<FieldDifference>& differences)
{
    differences.clear();
    model::SettingsModel instrument;
    if (const ErrorCode code = ReadForComparison(device, written, instrument); code != kOk)
        return code;
    differences = CompareSettings(written, instrument);
    return differences.empty() ? kOk : kReadBackMismatch;
}

std::string DifferenceLines(const std::vector<FieldDifference>& differences)
{
    std::string lines;
    for (const FieldDifference& d : differences)
        lines += d.label + ": в профиле " + d.expected + ", в приборе " + d.actual + "\n";
    return lines;
}

}  // namespace pmv::binding
