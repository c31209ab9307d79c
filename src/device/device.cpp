#include "device.h"

#include "link/register_commands.h"
#include "messages/device_texts.h"
#include "messages/error_codes.h"

namespace pmv::device {

ErrorCode Device::AbortCheck() { return CheckEscape(progress) != kOk ? Fail(kStoppedByUser) : kOk; }

ErrorCode Device::Fail(ErrorCode code) { return EndOperation(progress, code); }

ErrorCode ReadByte(link::Exchange& exchange, regs::Register reg, int32_t& field)
{
    uint32_t value = 0;
    const ErrorCode code = link::ReadByteRegister(exchange, reg.bank, reg.number, value);
    if (code == kOk)
        field = static_cast<int32_t>(value);
    return code;
}

ErrorCode ReadFloat(link::Exchange& exchange, regs::Register reg, float& field)
{
    uint32_t bits = 0;
    const ErrorCode code = link::ReadLongRegister(exchange, reg.bank, reg.number, bits);
    if (code == kOk)
        field = link::BitsToFloat(bits);
    return code;
}

ErrorCode WriteByte(link::Exchange& exchange, regs::Register reg, int32_t value)
{
    const ErrorCode code = link::WriteByteRegister(exchange, reg.bank, reg.number, static_cast<uint32_t>(value));
    if (code == kOk && reg == regs::kRestart && value == 1)
        exchange.NoteRestart();
    return code;
}

ErrorCode AwaitRestart(Device& device)
{
    if (!device.exchange.Restarting())
        return kOk;
    const regs::Register probe = regs::kFirmwareVersion;
    const std::string fields = link::ReadCommand(probe.bank, probe.memoryType, probe.number);
    const auto isByteAnswer = [](const std::string& answer) {
        uint32_t value = 0;
        return link::ParseByteAnswer(answer, value);
    };
    constexpr uint32_t kLimitSeconds = kRestartLimitMs / 1000;
    uint32_t shown = kLimitSeconds;
    device.progress.ShowProgressPanel();
    return device.exchange.AwaitReturn(
        fields, link::AnswerShape{2, true}, isByteAnswer, kRestartLimitMs, [&](uint32_t waitedMs) {
            if (const uint32_t second = waitedMs / 1000; second != shown) {
                shown = second;
                device.Step(Text(ProgressStep::AwaitRestart, {std::to_string(second), std::to_string(kLimitSeconds)}));
            }
            return CheckEscape(device.progress);
        });
}

ErrorCode WriteByteChecked(link::Exchange& exchange, regs::Register reg, int32_t value)
{
    return link::WriteByteRegisterChecked(exchange, reg.bank, reg.number, static_cast<uint32_t>(value));
}

ErrorCode WriteFloatChecked(link::Exchange& exchange, regs::Register reg, float value)
{
    return link::WriteFloatRegisterChecked(exchange, reg.bank, reg.number, value);
}

}  // namespace pmv::device
