#include "device_settings.h"

#include "channel_settings.h"
#include "link/register_commands.h"
#include "messages/device_texts.h"
#include "messages/error_codes.h"
#include "relay_regulator.h"

#include <cstdio>
#include <span>
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

// Reads the general group after the serial number and date: firmware, device type, error display.
ErrorCode ReadGeneralGroup(Device& device)
{
    struct Step {
        ProgressStep text;
        regs::Register reg;
        int32_t& field;
    };
    model::SettingsModel& m = device.model;
    const Step steps[] = {
        {S::ReadFirmwareVersion, regs::kFirmwareVersion, m.fw_version},
        {S::ReadDeviceType, regs::kProcVer, m.general.proc_ver},
        {S::ReadErrorDisplay, regs::kErrVer, m.general.err_ver},
    };
    for (const Step& s : steps) {
        device.Step(Text(s.text));
        if (const ErrorCode code = ReadByte(device.exchange, s.reg, s.field); code != kOk)
            return code;
    }
    return kOk;
}

}  // namespace

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

ErrorCode WriteDeviceSettings(Device& device)
{
    ShowProcessLines(device);
    device.progress.ShowProgressPanel();
    for (uint32_t ch = 0; ch < kChannelCount; ++ch)
        if (const ErrorCode code = WriteChannelSettings(device, ch); code != kOk)
            return device.Fail(code);
    if (const ErrorCode code = WriteRelayLogic(device); code != kOk)
        return device.Fail(code);
    if (const ErrorCode code = WriteRegulatorParameters(device); code != kOk)
        return device.Fail(code);
    ShowProcessLines(device);

    struct Step {
        ProgressStep text;
        regs::Register reg;
        int32_t value;
    };
    const model::GeneralSettings& g = device.model.general;
    const Step general[] = {
        {S::WriteDeviceType, regs::kProcVer, g.proc_ver},
        {S::WriteErrorDisplay, regs::kErrVer, g.err_ver},
    };
    // The marker and the restart end every full write, whatever the selection.
    const Step closing[] = {
        {S::WriteDeviceMarker, regs::kDeviceMarker, static_cast<int32_t>(regs::kDeviceMarkerValue)},
        {S::SendRestart, regs::kRestart, 1},
    };
    auto run = [&](std::span<const Step> steps) -> ErrorCode {
        for (const Step& s : steps) {
            device.Step(Text(s.text));
            if (const ErrorCode code = WriteByte(device.exchange, s.reg, s.value); code != kOk)
                return code;
        }
        return kOk;
    };
    if (g.gen_select == 1) {
        device.progress.ShowProgressPanel();
        if (const ErrorCode code = run(general); code != kOk)
            return device.Fail(code);
    }
    return device.Fail(run(closing));
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
