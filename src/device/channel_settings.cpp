#include "channel_settings.h"

#include "messages/error_codes.h"

#include <array>
#include <string>

namespace pmv {
namespace {

using RegisterOf = regs::Register (*)(uint32_t ch);

// One register of a channel step and the model field it carries. Neither field: the constant 0
// that switches a setpoint off before it changes.
struct ChannelField {
    RegisterOf reg;
    int32_t ChannelSettings::*number = nullptr;
    float ChannelSettings::*real = nullptr;
};

// A step shows its text, then runs its registers. A step without text continues the step
// before it (the four polynomial coefficients share one).
struct ChannelStep {
    const char* text;
    ChannelField field;
    bool abortCheck;
};

constexpr regs::Register Koef0(uint32_t ch) { return regs::Koef(ch, 0); }
constexpr regs::Register Koef1(uint32_t ch) { return regs::Koef(ch, 1); }
constexpr regs::Register Koef2(uint32_t ch) { return regs::Koef(ch, 2); }
constexpr regs::Register Koef3(uint32_t ch) { return regs::Koef(ch, 3); }

using C = ChannelSettings;

const std::array<ChannelStep, 22> kReadSteps{{
    {"Чтение типа датчика", {regs::Dat, &C::dat}, true},
    {"Чтение максимума диапазона", {regs::DiapMax, nullptr, &C::diap_max}, true},
    {"Чтение минимума диапазона", {regs::DiapMin, nullptr, &C::diap_min}, true},
    {"Чтение разрешения извлечения корня", {regs::Flag, &C::flag}, true},
    {"Подстройка диапазона", {regs::Adj, nullptr, &C::adj}, true},
    {"Чтение смещения", {regs::Shift, nullptr, &C::shift}, true},
    {"Чтение уставки 1", {regs::Th1, nullptr, &C::th1}, true},
    {"Чтение гистерезиса 1", {regs::His1, nullptr, &C::his1}, true},
    {"Чтение типа уставки 1", {regs::ThType1, &C::th_type1}, true},
    {"Чтение уставки 2", {regs::Th2, nullptr, &C::th2}, true},
    {"Чтение гистерезиса уставки 2", {regs::His2, nullptr, &C::his2}, true},
    {"Чтение типа уставки 2", {regs::ThType2, &C::th_type2}, true},
    {"Чтение усреднения", {regs::Ns, &C::ns}, true},
    {"Чтение числа наблюдений", {regs::Search, &C::search}, true},
    {"Чтение исключения канала", {regs::Use, &C::use}, true},
    {"Чтение числа знаков после запятой", {regs::Point, &C::point}, false},
    {"Чтение скорости изменения уставки", {regs::SpdTh, nullptr, &C::spd_th}, false},
    {"Чтение скорости изменения гистерезиса", {regs::SpdHis, nullptr, &C::spd_his}, false},
    {"Чтение корректирующего полинома", {Koef0, nullptr, &C::koef0}, false},
    {nullptr, {Koef1, nullptr, &C::koef1}, false},
    {nullptr, {Koef2, nullptr, &C::koef2}, false},
    {nullptr, {Koef3, nullptr, &C::koef3}, false},
}};

const std::array<ChannelStep, 24> kWriteSteps{{
    {"Запись типа датчика", {regs::Dat, &C::dat}, true},
    {"Запись максимума диапазона", {regs::DiapMax, nullptr, &C::diap_max}, true},
    {"Запись минимума диапазона", {regs::DiapMin, nullptr, &C::diap_min}, true},
    {"Запись разрешения извлечения корня", {regs::Flag, &C::flag}, true},
    {"Подстройка диапазона", {regs::Adj, nullptr, &C::adj}, false},
    {"Запись смещения", {regs::Shift, nullptr, &C::shift}, true},
    {"Подготовка к смене уставки 1", {regs::ThType1}, false},
    {"Запись уставки 1", {regs::Th1, nullptr, &C::th1}, true},
    {"Запись гистерезиса уставки 1", {regs::His1, nullptr, &C::his1}, true},
    {"Запись типа уставки 1", {regs::ThType1, &C::th_type1}, true},
    {"Подготовка к изменению типа уставки 2", {regs::ThType2}, true},
    {"Запись уставки 2", {regs::Th2, nullptr, &C::th2}, true},
    {"Запись гистерезиса уставки 2", {regs::His2, nullptr, &C::his2}, true},
    {"Запись типа уставки 2", {regs::ThType2, &C::th_type2}, true},
    {"Запись усреднения", {regs::Ns, &C::ns}, true},
    {"Запись числа наблюдений", {regs::Search, &C::search}, true},
    {"Запись разрешения работы канала", {regs::Use, &C::use}, true},
    {"Запись числа знаков после запятой", {regs::Point, &C::point}, false},
    {"Запись скорости изменения уставки", {regs::SpdTh, nullptr, &C::spd_th}, false},
    {"Запись скорости изменения гистерезиса", {regs::SpdHis, nullptr, &C::spd_his}, false},
    {"Запись корректирующего полинома", {Koef0, nullptr, &C::koef0}, false},
    {nullptr, {Koef1, nullptr, &C::koef1}, false},
    {nullptr, {Koef2, nullptr, &C::koef2}, false},
    {nullptr, {Koef3, nullptr, &C::koef3}, false},
}};

uint32_t ReadField(Exchange& exchange, const ChannelField& f, uint32_t ch, ChannelSettings& channel)
{
    return f.number ? ReadByte(exchange, f.reg(ch), channel.*f.number)
                    : ReadFloat(exchange, f.reg(ch), channel.*f.real);
}

uint32_t WriteField(Exchange& exchange, const ChannelField& f, uint32_t ch, const ChannelSettings& channel)
{
    if (f.real)
        return WriteFloatChecked(exchange, f.reg(ch), channel.*f.real);
    return WriteByteChecked(exchange, f.reg(ch), f.number ? channel.*f.number : 0);
}

template <typename Run, size_t N>
uint32_t RunSteps(Device& device, const std::array<ChannelStep, N>& steps, Run run)
{
    for (const ChannelStep& step : steps) {
        if (step.text)
            device.Step(step.text);
        if (const uint32_t code = run(step.field))
            return device.Fail(code);
        if (step.abortCheck)
            if (const uint32_t code = device.AbortCheck())
                return code;
    }
    // The next refresh of the panel shows an empty step line.
    device.currentStep.clear();
    return kOk;
}

constexpr uint32_t kChannelCount = 2;

}  // namespace

uint32_t ReadChannelSettings(Device& device, uint32_t ch)
{
    if (ch >= kChannelCount)
        return device.Fail(kOperandTooLarge);
    ChannelSettings& channel = device.model.channel[ch];
    if (channel.select == 0)
        return device.Fail(kOk);
    if (const uint32_t code = device.AbortCheck())
        return code;
    return RunSteps(device, kReadSteps,
                    [&](const ChannelField& f) { return ReadField(device.exchange, f, ch, channel); });
}

uint32_t WriteChannelSettings(Device& device, uint32_t ch)
{
    if (ch >= kChannelCount)
        return device.Fail(kOperandTooLarge);
    const ChannelSettings& channel = device.model.channel[ch];
    if (channel.select == 0)
        return kOk;
    device.progress.SetProgressLines(
        {kProcessTitle, "Запись настроек канала " + std::to_string(ch + 1), "", "", "", "Для остановки нажмите ESC"});
    if (const uint32_t code = device.AbortCheck())
        return code;
    return RunSteps(device, kWriteSteps,
                    [&](const ChannelField& f) { return WriteField(device.exchange, f, ch, channel); });
}

}  // namespace pmv
