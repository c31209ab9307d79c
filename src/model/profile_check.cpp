#include "model/profile_check.h"

#include "model/number_format.h"

#include <cstdio>

namespace pmv::model {
namespace {

std::string Bound(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Why text cannot be the value of a setting; nothing when it can.
std::optional<std::string> Refusal(const Setting& s, const std::string& text)
{
    const SettingValue kind = s.value(SettingsModel{});
    const ValueRule& rule = s.about->rule;
    double value = 0;
    if (std::holds_alternative<int32_t>(kind)) {
        const std::optional<int32_t> number = ini::ParseIniInt(text);
        if (!number)
            return "не целое число";
        value = *number;
    } else if (std::holds_alternative<float>(kind)) {
        const std::optional<float> number = ScanWholeProfileFloat(text);
        if (!number)
            return "не число";
        value = *number;
    } else {
        return std::nullopt;
    }
    if (value < rule.min || value > rule.max)
        return "вне допустимых значений " + Bound(rule.min) + ".." + Bound(rule.max);
    return std::nullopt;
}

}  // namespace

SentSettings SentByWrite(const SettingsModel& selection)
{
    return [selection](Group group, unsigned channel) {
        switch (group) {
        case Group::Channel: return selection.channel[channel - 1].select != 0;
        case Group::Relay: return selection.rele.select == 1;
        case Group::Regulator:
        case Group::Selection: return true;
        case Group::General: return selection.general.gen_select == 1;
        case Group::Calibration:
        case Group::ProfileOnly: break;
        }
        return false;
    };
}

ProfileCheck CheckProfile(const ini::IniFile& file, const SentSettings& sent)
{
    ProfileCheck check;
    for (const Setting& s : AllSettings()) {
        if (!sent(s.about->group, s.channel))
            continue;
        const std::optional<std::string> text = file.get(s.section, s.key);
        if (!text) {
            // A missing box takes its default like any key, but what it decides is counted.
            check.missing += s.about->group == Group::Selection ? 0 : 1;
            continue;
        }
        if (const std::optional<std::string> reason = Refusal(s, *text))
            check.bad.push_back({s.section, s.key, file.lineOf(s.section, s.key).value_or(0), *text, *reason});
    }
    return check;
}

std::string BadValuesText(const std::string& path, const std::vector<BadProfileValue>& bad)
{
    std::string text = "В профиле " + path + " неверные значения (" + std::to_string(bad.size()) + "):";
    for (const BadProfileValue& b : bad)
        text += "\n[" + b.section + "] " + b.key + ", строка " + std::to_string(b.line) + ": \"" + b.value + "\" — " +
                b.reason;
    return text;
}

std::string MissingKeysText(const std::string& path, std::size_t missing)
{
    const bool one = missing % 10 == 1 && missing % 100 != 11;
    return "В профиле " + path + " нет " + std::to_string(missing) + (one ? " настройки" : " настроек") +
           " записываемых групп: в прибор будут записаны значения по умолчанию.";
}

}  // namespace pmv::model
