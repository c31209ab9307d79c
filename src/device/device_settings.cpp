#include "device_settings.h"

#include "channel_settings.h"
#include "link/register_commands.h"
#include "messages/device_texts.h"
#include "messages/error_codes.h"
#include "relay_regulator.h"
#include "setting_steps.h"

#include <cstdio>
#include <utility>

namespace pmv::device {
namespace {

constexpr uint32_t kChannelCount = 2;
constexpr int32_t kYearBase = 2000;

using S = ProgressStep;

void ShowProcessLines(Device& device)
{
    device.progress.SetProgressLines({Text(S::ProcessTitle), "", "", "", "", kEscapeHint});
}

// A step of the general group: its read and write texts and the setting it moves.
struct GeneralStep {
    ProgressStep read;
    ProgressStep write;
    SettingName setting;
};

const GeneralStep kGeneralSteps[] = {
    {S::ReadDeviceType, S::WriteDeviceType, {"GEN", "proc_ver"}},
    {S::ReadErrorDisplay, S::WriteErrorDisplay, {"ERR", "err_ver"}},
};

// Reads the general group after the serial number and date: firmware, then the group's settings.
ErrorCode ReadGeneralGroup(Device& device)
{
    if (const ErrorCode code = device.AbortCheck(); code != kOk)
        return code;
    device.Step(Text(S::ReadFirmwareVersion));
    if (const ErrorCode code = ReadByte(device.exchange, regs::kFirmwareVersion, device.model.fw_version); code != kOk)
        return code;
    for (const GeneralStep& s : kGeneralSteps) {
        if (const ErrorCode code = device.AbortCheck(); code != kOk)
            return code;
        device.Step(Text(s.read));
        if (const ErrorCode code =
                ReadSetting(device.exchange, SettingRow(s.setting.section, s.setting.key), device.model);
            code != kOk)
            return code;
    }
    return kOk;
}

ErrorCode WriteGeneralGroup(Device& device)
{
    for (const GeneralStep& s : kGeneralSteps) {
        if (const ErrorCode code = device.AbortCheck(); code != kOk)
            return code;
        device.Step(Text(s.write));
        if (const ErrorCode code =
                WriteSetting(device.exchange, SettingRow(s.setting.section, s.setting.key), device.model, false);
            code != kOk)
            return code;
    }
    return kOk;
}

}  // namespace

std::vector<SettingName> GeneralGroupSettings()
{
    std::vector<SettingName> out;
    for (const GeneralStep& s : kGeneralSteps)
        out.push_back(s.setting);
    return out;
}

std::string FirmwareVersionText(int32_t fwVersion)
{
    const auto v = static_cast<uint32_t>(fwVersion);
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u", (v >> 6) & 3u, (v >> 4) & 3u, v & 15u);
    return text;
}

uint32_t EncodeProductionYear(int32_t year)
{
    return year >= kYearBase && year <= kYearBase + 255 ? static_cast<uint32_t>(year - kYearBase) : 255u;
}

ErrorCode ReadDeviceSettings(Device& device)
{
    ShowProcessLines(device);
    if (const ErrorCode code = AwaitRestart(device); code != kOk)
        return device.Fail(code);
    for (uint32_t ch = 0; ch < kChannelCount; ++ch) {
        device.progress.SetProgressLines({Text(S::ProcessTitle), Text(S::ReadingChannel, {std::to_string(ch + 1)}),
                                          device.currentStep, "", "", kEscapeHint});
        device.progress.ShowProgressPanel();
        if (const ErrorCode code = ReadChannelSettings(device, ch); code != kOk)
            return device.Fail(code);
    }
    if (const ErrorCode code = ReadRelayLogic(device); code != kOk)
        return device.Fail(code);
    if (const ErrorCode code = ReadRegulatorParameters(device); code != kOk)
        return device.Fail(code);
    if (device.model.general.gen_select == 1) {
        if (const ErrorCode code = ReadSerialAndDate(device); code != kOk)
            return device.Fail(code);
        ShowProcessLines(device);
        device.progress.ShowProgressPanel();
        if (const ErrorCode code = ReadGeneralGroup(device); code != kOk)
            return device.Fail(code);
    }
    return device.Fail(kOk);
}

ErrorCode WriteDeviceSettings(Device& device, WriteReach* reach)
{
    WriteReach own;
    WriteReach& r = reach ? *reach : own;
    r = {};
    const auto part = [&](WritePart which, const auto& write) -> ErrorCode {
        r.stoppedIn = which;
        const ErrorCode code = write();
        if (code == kOk) {
            r.finished.push_back(which);
            r.stoppedIn.reset();
        }
        return code;
    };
    const model::SettingsModel& m = device.model;

    ShowProcessLines(device);
    device.progress.ShowProgressPanel();
    for (uint32_t ch = 0; ch < kChannelCount; ++ch)
        if (m.channel[ch].select != 0)
            if (const ErrorCode code = part(ch == 0 ? WritePart::Channel1 : WritePart::Channel2,
                                            [&] { return WriteChannelSettings(device, ch); });
                code != kOk)
                return device.Fail(code);
    if (m.rele.select == 1)
        if (const ErrorCode code = part(WritePart::Relays, [&] { return WriteRelayLogic(device); }); code != kOk)
            return device.Fail(code);
    if (const ErrorCode code = part(WritePart::Regulator, [&] { return WriteRegulatorParameters(device); });
        code != kOk)
        return device.Fail(code);
    ShowProcessLines(device);

    struct Step {
        ProgressStep text;
        regs::Register reg;
        int32_t value;
    };
    // The marker and the restart end every full write, whatever the selection.
    const Step closing[] = {
        {S::WriteDeviceMarker, regs::kDeviceMarker, static_cast<int32_t>(regs::kDeviceMarkerValue)},
        {S::SendRestart, regs::kRestart, 1},
    };
    const auto close = [&]() -> ErrorCode {
        for (const Step& s : closing) {
            if (const ErrorCode code = device.AbortCheck(); code != kOk)
                return code;
            device.Step(Text(s.text));
            if (const ErrorCode code = WriteByte(device.exchange, s.reg, s.value); code != kOk)
                return code;
        }
        return kOk;
    };
    if (m.general.gen_select == 1) {
        device.progress.ShowProgressPanel();
        if (const ErrorCode code = part(WritePart::General, [&] { return WriteGeneralGroup(device); }); code != kOk)
            return device.Fail(code);
    }
    return device.Fail(part(WritePart::Closing, close));
}

ErrorCode ReadSerialAndDate(Device& device)
{
    ShowProcessLines(device);
    device.progress.ShowProgressPanel();
    model::SettingsModel& m = device.model;
    device.Step(Text(S::ReadSerialNumber));
    for (auto [reg, field] : {std::pair{regs::kSerialLo, &m.serial_lo}, std::pair{regs::kSerialHi, &m.serial_hi},
                              std::pair{regs::kOtkType, &m.general.otk_type}})
        if (const ErrorCode code = ReadByte(device.exchange, reg, *field); code != kOk)
            return device.Fail(code);
    device.Step(Text(S::ReadProductionDate));
    return device.Fail(ReadProductionDate(device));
}

ErrorCode WriteSerialAndDate(Device& device, int32_t day)
{
    ShowProcessLines(device);
    device.progress.ShowProgressPanel();
    model::SettingsModel& m = device.model;
    device.Step(Text(S::WriteSerialNumber));
    for (auto [reg, value] : {std::pair{regs::kSerialLo, m.serial_lo}, std::pair{regs::kSerialHi, m.serial_hi},
                              std::pair{regs::kOtkType, m.general.otk_type}})
        if (const ErrorCode code = WriteByte(device.exchange, reg, value); code != kOk)
            return device.Fail(code);
    device.Step(Text(S::WriteProductionDate));
    m.made_day = day;
    return device.Fail(WriteProductionDate(device));
}

ErrorCode ReadProductionDate(Device& device)
{
    model::SettingsModel& m = device.model;
    if (const ErrorCode code = ReadByte(device.exchange, regs::kMadeDay, m.made_day); code != kOk)
        return code;
    if (const ErrorCode code = ReadByte(device.exchange, regs::kMadeMonth, m.made_month); code != kOk)
        return code;
    int32_t year = 0;
    if (const ErrorCode code = ReadByte(device.exchange, regs::kMadeYear, year); code != kOk)
        return code;
    m.made_year = year + kYearBase;
    return kOk;
}

ErrorCode WriteProductionDate(Device& device)
{
    const model::SettingsModel& m = device.model;
    if (const ErrorCode code = WriteByte(device.exchange, regs::kMadeDay, m.made_day); code != kOk)
        return code;
    if (const ErrorCode code = WriteByte(device.exchange, regs::kMadeMonth, m.made_month); code != kOk)
        return code;
    return link::WriteByteRegister(device.exchange, regs::kMadeYear.bank, regs::kMadeYear.number,
                                   EncodeProductionYear(m.made_year));
}

}  // namespace pmv::device
