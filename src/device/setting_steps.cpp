#include "setting_steps.h"

#include "channel_settings.h"
#include "device.h"
#include "device_settings.h"
#include "relay_regulator.h"

#include <stdexcept>

namespace pmv::device {

const model::Setting& SettingRow(const std::string& section, const std::string& key)
{
    if (const model::Setting* s = model::FindSetting(section, key))
        return *s;
    throw std::out_of_range("no setting " + section + " " + key);
}

std::string ChannelSection(uint32_t ch) { return "CH" + std::to_string(ch + 1); }

regs::Register RegisterOf(const model::Setting& setting)
{
    const model::RegisterCell& cell = setting.about->cell;
    const uint32_t ch = setting.channel == 0 ? 0 : setting.channel - 1;
    return {cell.bank, cell.memoryType, cell.number + cell.channelStep * ch};
}

ErrorCode ReadSetting(link::Exchange& exchange, const model::Setting& setting, model::SettingsModel& model)
{
    const model::SettingField field = setting.field(model);
    if (int32_t* const* number = std::get_if<int32_t*>(&field))
        return ReadByte(exchange, RegisterOf(setting), **number);
    return ReadFloat(exchange, RegisterOf(setting), *std::get<float*>(field));
}

ErrorCode WriteSetting(link::Exchange& exchange, const model::Setting& setting, const model::SettingsModel& model,
                       bool checked, bool zero)
{
    const model::SettingValue value = setting.value(model);
    const regs::Register reg = RegisterOf(setting);
    if (const float* real = std::get_if<float>(&value))
        return WriteFloatChecked(exchange, reg, zero ? 0.0f : *real);
    const int32_t number = zero ? 0 : std::get<int32_t>(value);
    return checked ? WriteByteChecked(exchange, reg, number) : WriteByte(exchange, reg, number);
}

std::vector<SettingName> SettingsOnTheLine(bool write)
{
    std::vector<SettingName> out;
    for (uint32_t ch = 0; ch < 2; ++ch)
        for (const std::string& key : ChannelStepKeys(write))
            out.push_back({ChannelSection(ch), key});
    for (const SettingName& s : RelayLogicSettings())
        out.push_back(s);
    for (const SettingName& s : RegulatorSettings())
        out.push_back(s);
    for (const SettingName& s : GeneralGroupSettings())
        out.push_back(s);
    return out;
}

}  // namespace pmv::device
