#include "binding/settings_diff.h"

#include "messages/error_codes.h"

#include "binding/control_values.h"
#include "device/device_settings.h"
#include "model/number_format.h"
#include "model/profile_fields.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <utility>
#include <variant>

namespace pmv::binding {
namespace {

// The groups a comparison takes, in the window's order.
constexpr model::Group kComparedGroups[] = {model::Group::Channel, model::Group::Relay, model::Group::Regulator,
                                            model::Group::General};

// Whether the comparison takes a group as the boxes of selection stand, as reads and writes do.
bool Compared(const model::SettingsModel& selection, model::Group group, unsigned channel)
{
    switch (group) {
    case model::Group::Channel: return selection.channel[channel - 1].select == 1;
    case model::Group::Relay: return selection.rele.select == 1;
    case model::Group::Regulator: return true;
    case model::Group::General: return selection.general.gen_select == 1;
    default: return false;
    }
}

// The compared settings, group by group: each group's channel 1 settings, then channel 2's,
// then the others, each part in the window's order.
const std::vector<const model::Setting*>& ComparedSettings()
{
    static const std::vector<const model::Setting*> settings = [] {
        std::vector<const model::Setting*> out;
        for (const model::Group group : kComparedGroups) {
            std::vector<const model::Setting*> part;
            for (const model::Setting& s : model::AllSettings())
                if (s.about->group == group)
                    part.push_back(&s);
            std::stable_sort(part.begin(), part.end(), [](const model::Setting* a, const model::Setting* b) {
                const auto rank = [](const model::Setting* s) {
                    return std::pair(s->channel == 0 ? 3u : s->channel, s->about->shown);
                };
                return rank(a) < rank(b);
            });
            out.insert(out.end(), part.begin(), part.end());
        }
        return out;
    }();
    return settings;
}

// A byte register holds 0..255, and the writes send anything else as 255.
int32_t AsStored(int32_t value) { return value < 0 || value > 255 ? 255 : value; }

std::string Trimmed(const std::string& text) { return text.substr(std::min(text.find_first_not_of(' '), text.size())); }

struct FieldValue {
    std::string label;
    std::variant<int32_t, float> value;
    std::string section, key;
    model::ValueNames names = model::ValueNames::Number;

    std::string Text() const
    {
        if (const auto* i = std::get_if<int32_t>(&value))
            return std::to_string(*i);
        return Trimmed(model::FormatNumber(std::get<float>(value)));
    }
    // As the pages show it: a list item or a tick by its name.
    std::string Shown() const
    {
        if (const auto* i = std::get_if<int32_t>(&value))
            return model::ValueName(names, *i);
        return Text();
    }
    bool Finite() const
    {
        const auto* f = std::get_if<float>(&value);
        return f == nullptr || std::isfinite(*f);
    }
};

// The settings of the groups selected in `selection`, with their values in `m`, in the window's order.
std::vector<FieldValue> SelectedFields(const model::SettingsModel& selection, const model::SettingsModel& m)
{
    std::vector<FieldValue> out;
    for (const model::Setting* s : ComparedSettings()) {
        if (!Compared(selection, s->about->group, s->channel))
            continue;
        const model::SettingValue v = s->value(m);
        const std::variant<int32_t, float> value = std::holds_alternative<int32_t>(v)
                                                       ? std::variant<int32_t, float>(std::get<int32_t>(v))
                                                       : std::get<float>(v);
        out.push_back({s->label, value, s->section, s->key, s->about->rule.names});
    }
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
        out.push_back({{e[i].label, e[i].Text(), a[i].Text(), e[i].section, e[i].key, e[i].Finite(), a[i].Finite()},
                       !Equal(e[i], a[i]),
                       e[i].Shown(),
                       a[i].Shown()});
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
        out.push_back({f.section, f.key, f.Text(), f.Finite()});
    return out;
}

std::string SettingsValueLines(const model::SettingsModel& model)
{
    std::string lines;
    for (const FieldValue& f : SelectedFields(model, model))
        lines += f.label + "=" + f.Text() + "\n";
    return lines;
}

std::vector<SettingValue> ParseSettingsValueLines(const std::string& lines)
{
    std::vector<SettingValue> out;
    std::istringstream in(lines);
    std::string line;
    while (std::getline(in, line)) {
        const size_t equals = line.rfind('=');
        if (equals == std::string::npos)
            continue;
        const std::string label = line.substr(0, equals);
        const auto& settings = ComparedSettings();
        const auto s = std::find_if(settings.begin(), settings.end(),
                                    [&](const model::Setting* each) { return each->label == label; });
        if (s == settings.end())
            continue;
        const std::string text = line.substr(equals + 1);
        const bool finite = text.find_first_not_of("-+.0123456789") == std::string::npos;
        out.push_back({(*s)->section, (*s)->key, text, finite});
    }
    return out;
}

ErrorCode ReadForComparison(device::Device& device, const model::SettingsModel& selection,
                            model::SettingsModel& instrument)
{
    instrument = selection;
    device::Device reader{device.exchange, device.progress, instrument, {}};
    return device::ReadDeviceSettings(reader);
}

ErrorCode VerifyWritten(device::Device& device, const model::SettingsModel& written,
                        std::vector<FieldDifference>& differences)
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
        lines += d.label + ": в профиле " + d.expected + ", в приборе " +
                 (d.actualFinite ? d.actual : "не число (" + d.actual + ")") + "\n";
    return lines;
}

GroupFlags DifferingGroups(const std::vector<FieldDifference>& differences)
{
    GroupFlags groups;
    for (const FieldDifference& d : differences) {
        const model::Setting* setting = model::FindSetting(d.section, d.key);
        if (!setting)
            continue;
        switch (setting->about->group) {
        case model::Group::Channel: (setting->channel == 2 ? groups.channel2 : groups.channel1) = true; break;
        case model::Group::Relay:
        case model::Group::Regulator: groups.relays = true; break;
        case model::Group::General: groups.general = true; break;
        default: break;
        }
    }
    return groups;
}

}  // namespace pmv::binding
