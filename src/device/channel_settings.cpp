#include "channel_settings.h"

#include "messages/device_texts.h"
#include "messages/error_codes.h"
#include "setting_steps.h"

#include <array>
#include <optional>
#include <span>
#include <string>

namespace pmv::device {
namespace {

// A step shows its text, then moves the setting its key names in the channel's section. A step
// without text continues the step before it (the four polynomial coefficients share one). With
// zero it sends the constant 0 that switches a setpoint off before it changes.
struct ChannelStep {
    std::optional<ProgressStep> text;
    const char* key;
    bool abortCheck;
    bool zero = false;
};

using S = ProgressStep;

// clang-format off
const std::array<ChannelStep, 22> kReadSteps{{
    {S::ReadSensorType, "dat", true},
    {S::ReadRangeMax, "diap_max", true},
    {S::ReadRangeMin, "diap_min", true},
    {S::ReadRootExtraction, "flag", true},
    {S::RangeAdjustment, "adj", true},
    {S::ReadShift, "shift", true},
    {S::ReadSetpoint1, "th1", true},
    {S::ReadHysteresis1, "his1", true},
    {S::ReadSetpointType1, "th_type1", true},
    {S::ReadSetpoint2, "th2", true},
    {S::ReadHysteresis2, "his2", true},
    {S::ReadSetpointType2, "th_type2", true},
    {S::ReadAveraging, "ns", true},
    {S::ReadObservations, "search", true},
    {S::ReadChannelExclusion, "use", true},
    {S::ReadDecimals, "point", false},
    {S::ReadSetpointStep, "spd_th", false},
    {S::ReadHysteresisStep, "spd_his", false},
    {S::ReadPolynomial, "koef0", false},
    {std::nullopt, "koef1", false},
    {std::nullopt, "koef2", false},
    {std::nullopt, "koef3", false},
}};

const std::array<ChannelStep, 24> kWriteSteps{{
    {S::WriteSensorType, "dat", true},
    {S::WriteRangeMax, "diap_max", true},
    {S::WriteRangeMin, "diap_min", true},
    {S::WriteRootExtraction, "flag", true},
    {S::RangeAdjustment, "adj", false},
    {S::WriteShift, "shift", true},
    {S::PrepareSetpoint1, "th_type1", false, true},
    {S::WriteSetpoint1, "th1", true},
    {S::WriteHysteresis1, "his1", true},
    {S::WriteSetpointType1, "th_type1", true},
    {S::PrepareSetpointType2, "th_type2", true, true},
    {S::WriteSetpoint2, "th2", true},
    {S::WriteHysteresis2, "his2", true},
    {S::WriteSetpointType2, "th_type2", true},
    {S::WriteAveraging, "ns", true},
    {S::WriteObservations, "search", true},
    {S::WriteChannelUse, "use", true},
    {S::WriteDecimals, "point", false},
    {S::WriteSetpointStep, "spd_th", false},
    {S::WriteHysteresisStep, "spd_his", false},
    {S::WritePolynomial, "koef0", false},
    {std::nullopt, "koef1", false},
    {std::nullopt, "koef2", false},
    {std::nullopt, "koef3", false},
}};
// clang-format on

template <typename Run, size_t N>
ErrorCode RunSteps(Device& device, const std::array<ChannelStep, N>& steps, Run run)
{
    for (const ChannelStep& step : steps) {
        if (step.text)
            device.Step(Text(*step.text));
        if (const ErrorCode code = run(step); code != kOk)
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

std::vector<std::string> ChannelStepKeys(bool write)
{
    std::vector<std::string> keys;
    for (const ChannelStep& step :
         write ? std::span<const ChannelStep>(kWriteSteps) : std::span<const ChannelStep>(kReadSteps))
        keys.push_back(step.key);
    return keys;
}

ErrorCode ReadChannelSettings(Device& device, uint32_t ch)
{
    if (ch >= kChannelCount)
        return device.Fail(kOperandTooLarge);
    if (device.model.channel[ch].select == 0)
        return device.Fail(kOk);
    if (const ErrorCode code = device.AbortCheck(); code != kOk)
        return code;
    const std::string section = ChannelSection(ch);
    return RunSteps(device, kReadSteps, [&](const ChannelStep& step) {
        return ReadSetting(device.exchange, SettingRow(section, step.key), device.model);
    });
}

ErrorCode WriteChannelSettings(Device& device, uint32_t ch)
{
    if (ch >= kChannelCount)
        return device.Fail(kOperandTooLarge);
    if (device.model.channel[ch].select == 0)
        return kOk;
    device.progress.SetProgressLines(
        {Text(S::ProcessTitle), Text(S::WritingChannel, {std::to_string(ch + 1)}), "", "", "", Text(S::StopHint)});
    if (const ErrorCode code = device.AbortCheck(); code != kOk)
        return code;
    const std::string section = ChannelSection(ch);
    return RunSteps(device, kWriteSteps, [&](const ChannelStep& step) {
        return WriteSetting(device.exchange, SettingRow(section, step.key), device.model, true, step.zero);
    });
}

}  // namespace pmv::device
