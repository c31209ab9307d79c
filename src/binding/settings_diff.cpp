#include "binding/settings_diff.h"

#include "device/device_settings.h"
#include "model/number_format.h"

#include <cmath>
#include <functional>
#include <variant>

namespace pmv {
namespace {

using IntField = int32_t ChannelSettings::*;
using FloatField = float ChannelSettings::*;

struct ChannelField {
    const char* label;
    std::variant<IntField, FloatField> field;
};

// The channel settings a channel read and write move, in the window's order.
const ChannelField kChannelFields[] = {
    {"Тип датчика", &ChannelSettings::dat},
    {"Корнеизвлечение", &ChannelSettings::flag},
    {"Минимум", &ChannelSettings::diap_min},
    {"Максимум", &ChannelSettings::diap_max},
    {"Смещение", &ChannelSettings::shift},
    {"Подстройка диапазона", &ChannelSettings::adj},
    {"Уставка I Тип", &ChannelSettings::th_type1},
    {"Уставка I", &ChannelSettings::th1},
    {"Гистерезис I", &ChannelSettings::his1},
    {"Уставка II Тип", &ChannelSettings::th_type2},
    {"Уставка II", &ChannelSettings::th2},
    {"Гистерезис II", &ChannelSettings::his2},
    {"Шаг изменения уставки", &ChannelSettings::spd_th},
    {"Шаг изменения гистерезиса", &ChannelSettings::spd_his},
    {"Усреднение", &ChannelSettings::ns},
    {"Знаков", &ChannelSettings::point},
    {"Наблюдения", &ChannelSettings::search},
    {"Исключить", &ChannelSettings::use},
    {"Полином K0", &ChannelSettings::koef0},
    {"Полином K1", &ChannelSettings::koef1},
    {"Полином K2", &ChannelSettings::koef2},
    {"Полином K3", &ChannelSettings::koef3},
};

struct ModelField {
    const char* label;
    std::function<int32_t(const SettingsModel&)> value;
};

const ModelField kRelayFields[] = {
    {"Реле · Вид обработки логики реле 1", [](const SettingsModel& m) { return m.channel[0].ver_rel_proc; }},
    {"Реле · Вид обработки логики реле 2", [](const SettingsModel& m) { return m.channel[1].ver_rel_proc; }},
    {"Реле 1 · Канал 1 и регулятор", [](const SettingsModel& m) { return m.rele.rel0_msk0; }},
    {"Реле 1 · Канал 2", [](const SettingsModel& m) { return m.rele.rel0_msk1; }},
    {"Реле 2 · Канал 1 и регулятор", [](const SettingsModel& m) { return m.rele.rel1_msk0; }},
    {"Реле 2 · Канал 2", [](const SettingsModel& m) { return m.rele.rel1_msk1; }},
};

const ModelField kRegulatorFields[] = {
    {"Регулятор · Интервал принятия решения", [](const SettingsModel& m) { return m.channel[0].reg_int; }},
    {"Регулятор · Максимальная длительность импульса", [](const SettingsModel& m) { return m.channel[0].pulse_int; }},
    {"Регулятор · Интервал принятия решения канала 2", [](const SettingsModel& m) { return m.channel[1].reg_int; }},
    {"Регулятор · Длительность импульса канала 2", [](const SettingsModel& m) { return m.channel[1].pulse_int; }},
};

const ModelField kGeneralFields[] = {
    {"Общие · Тип прибора", [](const SettingsModel& m) { return m.general.proc_ver; }},
    {"Общие · Отображение ошибки", [](const SettingsModel& m) { return m.general.err_ver; }},
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

void CompareInts(const ModelField* begin, const ModelField* end, const SettingsModel& e, const SettingsModel& a,
                 std::vector<FieldDifference>& out)
{
    for (const ModelField* f = begin; f != end; ++f)
        if (AsStored(f->value(e)) != f->value(a))
            out.push_back({f->label, std::to_string(f->value(e)), std::to_string(f->value(a))});
}

}  // namespace

std::vector<FieldDifference> CompareSettings(const SettingsModel& expected, const SettingsModel& actual)
{
    std::vector<FieldDifference> out;
    for (size_t ch = 0; ch < 2; ++ch) {
        if (expected.channel[ch].select != 1)
            continue;
        const ChannelSettings& e = expected.channel[ch];
        const ChannelSettings& a = actual.channel[ch];
        const std::string prefix = "Канал " + std::to_string(ch + 1) + " · ";
        for (const ChannelField& f : kChannelFields) {
            if (const auto* i = std::get_if<IntField>(&f.field)) {
                if (AsStored(e.**i) != a.**i)
                    out.push_back({prefix + f.label, std::to_string(e.**i), std::to_string(a.**i)});
            } else {
                const FloatField field = std::get<FloatField>(f.field);
                if (!(std::fabs(e.*field - a.*field) <= kFloatTolerance))
                    out.push_back({prefix + f.label, Trimmed(FormatNumber(e.*field)), Trimmed(FormatNumber(a.*field))});
            }
        }
    }
    if (expected.rele.select == 1)
        CompareInts(std::begin(kRelayFields), std::end(kRelayFields), expected, actual, out);
    CompareInts(std::begin(kRegulatorFields), std::end(kRegulatorFields), expected, actual, out);
    if (expected.general.gen_select == 1)
        CompareInts(std::begin(kGeneralFields), std::end(kGeneralFields), expected, actual, out);
    return out;
}

uint32_t ReadForComparison(Device& device, const SettingsModel& selection, SettingsModel& instrument)
{
    instrument = selection;
    Device reader{device.exchange, device.progress, instrument, {}};
    return ReadDeviceSettings(reader);
}

std::string DifferenceLines(const std::vector<FieldDifference>& differences)
{
    std::string lines;
    for (const FieldDifference& d : differences)
        lines += d.label + ": в профиле " + d.expected + ", в приборе " + d.actual + "\n";
    return lines;
}

}  // namespace pmv
