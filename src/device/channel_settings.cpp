#include "channel_settings.h"

#include "messages/device_texts.h"
#include "messages/error_codes.h"

#include <array>
#include <optional>
#include <string>

namespace pmv::device {
namespace {

using RegisterOf = regs::Register (*)(uint32_t ch);

// One register of a channel step and the model field it carries. Neither field: the constant 0
// that switches a setpoint off before it changes.
struct ChannelField {
    RegisterOf reg;
    int32_t model::ChannelSettings::*number = nullptr;
    float model::ChannelSettings::*real = nullptr;
};

// A step shows its text, then runs its registers. A step without text continues the step
// before it (the four polynomial coefficients share one).
struct ChannelStep {
    std::optional<ProgressStep> text;
    ChannelField field;
    bool abortCheck;
};

constexpr regs::Register Koef0(uint32_t ch) { return regs::Koef(ch, 0); }
constexpr regs::Register Koef1(uint32_t ch) { return regs::Koef(ch, 1); }
constexpr regs::Register Koef2(uint32_t ch) { return regs::Koef(ch, 2); }
constexpr regs::Register Koef3(uint32_t ch) { return regs::Koef(ch, 3); }

using C = model::ChannelSettings;
using S = ProgressStep;

const std::array<ChannelStep, 22> kReadSteps{{
    {S::ReadSensorType, {regs::Dat, &C::dat}, true},
    {S::ReadRangeMax, {regs::DiapMax, nullptr, &C::diap_max}, true},
    {S::ReadRangeMin, {regs::DiapMin, nullptr, &C::diap_min}, true},
    {S::ReadRootExtraction, {regs::Flag, &C::flag}, true},
    {S::RangeAdjustment, {regs::Adj, nullptr, &C::adj}, true},
    {S::ReadShift, {regs::Shift, nullptr, &C::shift}, true},
    {S::ReadSetpoint1, {regs::Th1, nullptr, &C::th1}, true},
    {S::ReadHysteresis1, {regs::His1, nullptr, &C::his1}, true},
    {S::ReadSetpointType1, {regs::ThType1, &C::th_type1}, true},
    {S::ReadSetpoint2, {regs::Th2, nullptr, &C::th2}, true},
    {S::ReadHysteresis2, {regs::His2, nullptr, &C::his2}, true},
    {S::ReadSetpointType2, {regs::ThType2, &C::th_type2}, true},
    {S::ReadAveraging, {regs::Ns, &C::ns}, true},
    {S::ReadObservations, {regs::Search, &C::search}, true},
    {S::ReadChannelExclusion, {regs::Use, &C::use}, true},
    {S::ReadDecimals, {regs::Point, &C::point}, false},
    {S::ReadSetpointStep, {regs::SpdTh, nullptr, &C::spd_th}, false},
    {S::ReadHysteresisStep, {regs::SpdHis, nullptr, &C::spd_his}, false},
    {S::ReadPolynomial, {Koef0, nullptr, &C::koef0}, false},
    {std::nullopt, {Koef1, nullptr, &C::koef1}, false},
    {std::nullopt, {Koef2, nullptr, &C::koef2}, false},
    {std::nullopt, {Koef3, nullptr, &C::koef3}, false},
}};

const std::array<ChannelStep, 24> kWriteSteps{{
    {S::WriteSensorType, {regs::Dat, &C::dat}, true},
    {S::WriteRangeMax, {regs::DiapMax, nullptr, &C::diap_max}, true},
    {S::WriteRangeMin, {regs::DiapMin, nullptr, &C::diap_min}, true},
    {S::WriteRootExtraction, {regs::Flag, &C::flag}, true},
    {S::RangeAdjustment, {regs::Adj, nullptr, &C::adj}, false},
    {S::WriteShift, {regs::Shift, nullptr, &C::shift}, true},
    {S::PrepareSetpoint1, {regs::ThType1}, false},
    {S::WriteSetpoint1, {regs::Th1, nullptr, &C::th1}, true},
    {S::WriteHysteresis1, {regs::His1, nullptr, &C::his1}, true},
    {S::WriteSetpointType1, {regs::ThType1, &C::th_type1}, true},
    {S::PrepareSetpointType2, {regs::ThType2}, true},
    {S::WriteSetpoint2, {regs::Th2, nullptr, &C::th2}, true},
    {S::WriteHysteresis2, {regs::His2, nullptr, &C::his2}, true},
    {S::WriteSetpointType2, {regs::ThType2, &C::th_type2}, true},
    {S::WriteAveraging, {regs::Ns, &C::ns}, true},
    {S::WriteObservations, {regs::Search, &C::search}, true},
    {S::WriteChannelUse, {regs::Use, &C::use}, true},
    {S::WriteDecimals, {regs::Point, &C::point}, false},
    {S::WriteSetpointStep, {regs::SpdTh, nullptr, &C::spd_th}, false},
    {S::WriteHysteresisStep, {regs::SpdHis, nullptr, &C::spd_his}, false},
    {S::WritePolynomial, {Koef0, nullptr, &C::koef0}, false},
    {std::nullopt, {Koef1, nullptr, &C::koef1}, false},
    {std::nullopt, {Koef2, nullptr, &C::koef2}, false},
    {std::nullopt, {Koef3, nullptr, &C::koef3}, false},
}};

ErrorCode ReadField(link::Exchange& exchange, const ChannelField& f, uint32_t ch, model::ChannelSettings& channel)
{
    return f.number ? ReadByte(exchange, f.reg(ch), channel.*f.number)
                    : ReadFloat(exchange, f.reg(ch), channel.*f.real);
}

ErrorCode WriteField(link::Exchange& exchange, const ChannelField& f, uint32_t ch, const model::ChannelSettings& channel)
{
    if (f.real)
        return WriteFloatChecked(exchange, f.reg(ch), channel.*f.real);
    return WriteByteChecked(exchange, f.reg(ch), f.number ? channel.*f.number : 0);
}

template <typename Run, size_t N>
ErrorCode RunSteps(Device& device, const std::array<ChannelStep, N>& steps, Run run)
{
    for (const ChannelStep& step : steps) {
        if (step.text)
            device.Step(Text(*step.text));
        if (const ErrorCode code = run(step.field); code != kOk)
            return device.Fail(code);
        if (step.abortCheck)
            if (const ErrorCode code = device.AbortCheck(); code != kOk)
                return code;
    }
    // The next refresh of the panel shows an empty step line.
    device.currentStep.clear();
    return kOk;
}

constexpr uint32_t kChannelCount = 2;

}  // namespace

ErrorCode ReadChannelSettings(Device& device, uint32_t ch)
{
    if (ch >= kChannelCount)
        return device.Fail(kOperandTooLarge);
    model::ChannelSettings& channel = device.model.channel[ch];
    if (channel.select == 0)
        return device.Fail(kOk);
    if (const ErrorCode code = device.AbortCheck(); code != kOk)
        return code;
    return RunSteps(device, kReadSteps,
                    [&](const ChannelField& f) { return ReadField(device.exchange, f, ch, channel); });
}

ErrorCode WriteChannelSettings(Device& device, uint32_t ch)
{
    if (ch >= kChannelCount)
        return device.Fail(kOperandTooLarge);
    const model::ChannelSettings& channel = device.model.channel[ch];
    if (channel.select == 0)
        return kOk;
    device.progress.SetProgressLines(
        {Text(S::ProcessTitle), Text(S::WritingChannel, {std::to_string(ch + 1)}), "", "", "", Text(S::StopHint)});
    if (const ErrorCode code = device.AbortCheck(); code != kOk)
        return code;
    return RunSteps(device, kWriteSteps,
                    [&](const ChannelField& f) { return WriteField(device.exchange, f, ch, channel); });
}

}  // namespace pmv::device
