#include "binding/held_settings.h"

#include "model/profile_check.h"
#include "model/profile_fields.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <sstream>
#include <variant>
#include <vector>

namespace pmv::binding {
namespace {

model::SettingsModel EveryGroup(model::SettingsModel m)
{
    m.channel[0].select = m.channel[1].select = m.rele.select = m.general.gen_select = 1;
    return m;
}

// The settings a write of every group sends, in the order of the tables.
std::vector<const model::Setting*> SentSettings()
{
    const model::SentSettings sent = model::SentByWrite(EveryGroup({}));
    std::vector<const model::Setting*> out;
    for (const model::Setting& s : model::AllSettings())
        if (sent(s.about->group, s.channel))
            out.push_back(&s);
    return out;
}

std::string ValueText(const model::SettingValue& value)
{
    char text[64] = "";
    if (const auto* i = std::get_if<int32_t>(&value))
        std::snprintf(text, sizeof text, "%d", *i);
    else if (const auto* f = std::get_if<float>(&value))
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(*f));
    else if (const auto* s = std::get_if<std::string>(&value))
        return *s;
    return text;
}

// The number is the whole text, or nothing is stored.
template <class Number>
bool ScanWhole(const std::string& text, Number& out)
{
    Number v{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    out = v;
    return true;
}

bool Scan(const std::string& text, model::SettingField field)
{
    if (auto* i = std::get_if<int32_t*>(&field))
        return ScanWhole(text, **i);
    if (auto* f = std::get_if<float*>(&field))
        return ScanWhole(text, **f);
    if (auto* s = std::get_if<std::string*>(&field)) {
        **s = text;
        return true;
    }
    return false;
}

}  // namespace

std::string HeldSettingsText(const model::SettingsModel& held)
{
    std::string text;
    for (const model::Setting* s : SentSettings())
        text += s->section + "." + s->key + "=" + ValueText(s->value(held)) + "\n";
    return text;
}

bool TakeHeldSettings(const std::string& text, model::SettingsModel& model)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            return false;
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    model::SettingsModel taken = EveryGroup(model);
    const std::vector<const model::Setting*> sent = SentSettings();
    if (values.size() != sent.size())
        return false;
    for (const model::Setting* s : sent) {
        const auto found = values.find(s->section + "." + s->key);
        if (found == values.end() || !Scan(found->second, s->field(taken)))
            return false;
    }
    model = taken;
    return true;
}

bool SameInstrument(const model::SettingsModel& a, const model::SettingsModel& b)
{
    return a.serial_lo == b.serial_lo && a.serial_hi == b.serial_hi && a.general.otk_type == b.general.otk_type &&
           a.fw_version == b.fw_version;
}

}  // namespace pmv::binding
