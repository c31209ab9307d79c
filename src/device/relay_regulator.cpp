#include "relay_regulator.h"

#include "messages/device_texts.h"
#include "messages/error_codes.h"

#include <array>
#include <span>

namespace pmv::device {
namespace {

struct GroupRegister {
    regs::Register reg;
    int32_t& field;
};

std::array<GroupRegister, 6> RelayLogic(model::SettingsModel& m)
{
    return {{{regs::VerRelProc(0), m.channel[0].ver_rel_proc},
             {regs::VerRelProc(1), m.channel[1].ver_rel_proc},
             {regs::kRel0Msk0, m.rele.rel0_msk0},
             {regs::kRel0Msk1, m.rele.rel0_msk1},
             {regs::kRel1Msk0, m.rele.rel1_msk0},
             {regs::kRel1Msk1, m.rele.rel1_msk1}}};
}

std::array<GroupRegister, 4> Regulator(model::SettingsModel& m)
{
    return {{{regs::RegInt(0), m.channel[0].reg_int},
             {regs::RegInt(1), m.channel[1].reg_int},
             {regs::PulseInt(0), m.channel[0].pulse_int},
             {regs::PulseInt(1), m.channel[1].pulse_int}}};
}

// The group runs under its own sub-title with no step texts and no abort check. A failure
// leaves the panel for the caller to hide.
ErrorCode RunGroup(Device& device, ProgressStep subtitle, std::span<const GroupRegister> group, bool read)
{
    device.progress.SetProgressLines({"", Text(subtitle), "", "", "", ""});
    device.progress.ShowProgressPanel();
    for (const GroupRegister& r : group) {
        const ErrorCode code = read ? ReadByte(device.exchange, r.reg, r.field) : WriteByte(device.exchange, r.reg, r.field);
        if (code != kOk)
            return code;
    }
    return EndOperation(device.progress, kOk);
}

}  // namespace

ErrorCode ReadRelayLogic(Device& device)
{
    if (device.model.rele.select != 1)
        return kOk;
    const auto group = RelayLogic(device.model);
    return RunGroup(device, ProgressStep::ReadRelayLogic, group, true);
}

ErrorCode WriteRelayLogic(Device& device)
{
    if (device.model.rele.select != 1)
        return kOk;
    const auto group = RelayLogic(device.model);
    return RunGroup(device, ProgressStep::WriteRelayLogic, group, false);
}

ErrorCode ReadRegulatorParameters(Device& device)
{
    const auto group = Regulator(device.model);
    return RunGroup(device, ProgressStep::ReadRegulator, group, true);
}

ErrorCode WriteRegulatorParameters(Device& device)
{
    const auto group = Regulator(device.model);
    return RunGroup(device, ProgressStep::WriteRegulator, group, false);
}

}  // namespace pmv::device
