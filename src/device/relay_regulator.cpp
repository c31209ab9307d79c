#include "relay_regulator.h"

#include "messages/device_texts.h"
#include "messages/error_codes.h"
#include "setting_steps.h"

#include <array>
#include <span>

namespace pmv::device {
namespace {

// clang-format off
const SettingName kRelayLogic[] = {
    {"CH1", "ver_rel_proc"}, {"CH2", "ver_rel_proc"},
    {"RELE", "rel0_msk0"}, {"RELE", "rel0_msk1"}, {"RELE", "rel1_msk0"}, {"RELE", "rel1_msk1"},
};
const SettingName kRegulator[] = {
    {"CH1", "reg_int"}, {"CH2", "reg_int"}, {"CH1", "pulse_int"}, {"CH2", "pulse_int"},
};
// clang-format on

// The group runs under its own sub-title with no step texts; Esc stops it before any of its
// settings. A failure leaves the panel for the caller to hide.
ErrorCode RunGroup(Device& device, ProgressStep subtitle, std::span<const SettingName> group, bool read)
{
    device.progress.SetProgressLines({"", Text(subtitle), "", "", "", kEscapeHint});
    device.progress.ShowProgressPanel();
    for (const SettingName& name : group) {
        if (const ErrorCode code = device.AbortCheck(); code != kOk)
            return code;
        const model::Setting& setting = SettingRow(name.section, name.key);
        const ErrorCode code = read ? ReadSetting(device.exchange, setting, device.model)
                                    : WriteSetting(device.exchange, setting, device.model, false);
        if (code != kOk)
            return code;
    }
    return EndOperation(device.progress, kOk);
}

}  // namespace

std::span<const SettingName> RelayLogicSettings() { return kRelayLogic; }

std::span<const SettingName> RegulatorSettings() { return kRegulator; }

ErrorCode ReadRelayLogic(Device& device)
{
    if (device.model.rele.select != 1)
        return kOk;
    return RunGroup(device, ProgressStep::ReadRelayLogic, kRelayLogic, true);
}

ErrorCode WriteRelayLogic(Device& device)
{
    if (device.model.rele.select != 1)
        return kOk;
    return RunGroup(device, ProgressStep::WriteRelayLogic, kRelayLogic, false);
}

ErrorCode ReadRegulatorParameters(Device& device)
{
    return RunGroup(device, ProgressStep::ReadRegulator, kRegulator, true);
}

ErrorCode WriteRegulatorParameters(Device& device)
{
    return RunGroup(device, ProgressStep::WriteRegulator, kRegulator, false);
}

}  // namespace pmv::device
