#include "calibration_coefficients.h"

#include "messages/device_texts.h"
#include "messages/error_codes.h"

#include <array>
#include <span>
#include <string>

namespace pmv::device {
namespace {

struct Coefficient {
    const char* name;
    regs::Register (*reg)(uint32_t ch);
    float model::ChannelSettings::*field;
};

const std::array<Coefficient, 6> kCoefficients{{
    {"UREF", regs::Uref, &model::ChannelSettings::uref},
    {"RREF", regs::Rref, &model::ChannelSettings::rref},
    {"Ku 100 mV", regs::Ku, &model::ChannelSettings::ku},
    {"Ku 10 V", regs::Ku10, &model::ChannelSettings::ku10},
    {"Ki 0-5 mA", regs::Ki05, &model::ChannelSettings::ki05},
    {"Ki 0-20 mA", regs::Ki020, &model::ChannelSettings::ki020},
}};

// Coefficients written by each group 1..5: first index and count.
struct Group {
    size_t first, count;
};
constexpr std::array<Group, 5> kGroups{{{0, 2}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}};

constexpr uint32_t kChannelCount = 2;

void ShowCoefficient(Device& device, ProgressStep title, uint32_t ch, const Coefficient& c)
{
    device.progress.SetProgressLines({Text(title, {std::to_string(ch + 1)}), c.name, "", "", "", kEscapeHint});
}

// All six in turn, with an abort check between two of them.
template <typename Exchange6>
ErrorCode RunAll(Device& device, ProgressStep title, uint32_t ch, Exchange6 exchangeOne)
{
    if (ch >= kChannelCount)
        return kOperandTooLarge;
    for (size_t i = 0; i < kCoefficients.size(); ++i) {
        ShowCoefficient(device, title, ch, kCoefficients[i]);
        if (i == 0)
            device.progress.ShowProgressPanel();
        if (const ErrorCode code = exchangeOne(kCoefficients[i]); code != kOk)
            return device.Fail(code);
        if (i + 1 < kCoefficients.size())
            if (const ErrorCode code = device.AbortCheck(); code != kOk)
                return code;
    }
    return device.Fail(kOk);
}

}  // namespace

ErrorCode ReadCalibrationCoefficients(Device& device, uint32_t ch)
{
    return RunAll(device, ProgressStep::ReadCoefficients, ch, [&](const Coefficient& c) {
        return ReadFloat(device.exchange, c.reg(ch), device.model.channel[ch].*c.field);
    });
}

ErrorCode WriteCalibrationCoefficients(Device& device, uint32_t ch)
{
    return RunAll(device, ProgressStep::WriteCoefficients, ch, [&](const Coefficient& c) {
        return WriteFloatChecked(device.exchange, c.reg(ch), device.model.channel[ch].*c.field);
    });
}

ErrorCode WriteCalibrationGroup(Device& device, uint32_t group, uint32_t ch)
{
    if (group < 1 || group > kGroups.size())
        return kOk;
    if (ch >= kChannelCount)
        return kOperandTooLarge;
    const Group& g = kGroups[group - 1];
    device.progress.ShowProgressPanel();
    for (const Coefficient& c : std::span(kCoefficients).subspan(g.first, g.count)) {
        ShowCoefficient(device, ProgressStep::WriteCoefficients, ch, c);
        if (const ErrorCode code = WriteFloatChecked(device.exchange, c.reg(ch), device.model.channel[ch].*c.field);
            code != kOk)
            return device.Fail(code);
    }
    return device.Fail(kOk);
}

}  // namespace pmv::device
