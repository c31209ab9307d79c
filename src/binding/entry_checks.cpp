#include "binding/entry_checks.h"

#include "binding/number_text.h"
#include "messages/error_codes.h"
#include "messages/messages.h"

#include <array>
#include <string>

namespace pmv::binding {
namespace {

constexpr const char* kGeneral = "Ошибка задания общеприборных параметров.";
constexpr std::array<const char*, 2> kChannelCaption = {"Ошибка задания параметров канала 1.",
                                                        "Ошибка задания параметров канала 2."};

// The number fields of a channel in the order they are checked, each with its message for
// channel 1 and channel 2.
struct EntryCheck {
    const std::string& (*field)(const ChannelControls&);
    std::array<const char*, 2> text;
};

#define FIELD(name) [](const ChannelControls& c) -> const std::string& { return c.name; }
#define BOTH(text) \
    {              \
        text, text \
    }

const std::array<EntryCheck, 14> kChannelChecks = {{
    {FIELD(rangeMin), BOTH("Ошибка задания минимума диапазона.")},
    {FIELD(rangeMax), BOTH("Ошибка задания максимума диапазона.")},
    {FIELD(shift), BOTH("Ошибка задания смещения диапазона.")},
    {FIELD(rangeAdjust), BOTH("Ошибка задания подстройки диапазона.")},
    {FIELD(setpoint1), BOTH("Ошибка задания уставки 1.")},
    {FIELD(setpoint2), BOTH("Ошибка задания уставки 2.")},
    {FIELD(hysteresis1), BOTH("Ошибка задания гистерезиса уставки 1.")},
    {FIELD(hysteresis2), BOTH("Ошибка задания гистерезиса уставки 2.")},
    {FIELD(setpointStep), BOTH("Ошибка задания скорости изменения уставки.")},
    {FIELD(hysteresisStep),
     {"Ошибка задания скорости изменения гистерезиса.", "Ошибка задания скорости изменения гистерезиса уставки."}},
    {FIELD(polynomial[0]), BOTH("Ошибка задания коэффициента 1 полинома.")},
    {FIELD(polynomial[1]), BOTH("Ошибка задания коэффициента 2 полинома.")},
    {FIELD(polynomial[2]), BOTH("Ошибка задания коэффициента 3 полинома.")},
    {FIELD(polynomial[3]), BOTH("Ошибка задания коэффициента 4 полинома.")},
}};

#undef BOTH
#undef FIELD

bool Fails(const EntryCheck& check, const ControlValues& values, size_t ch, Messages& messages)
{
    if (IsNumberText(check.field(values.channels[ch])))
        return false;
    messages.ShowMessage(check.text[ch], kChannelCaption[ch], MessageIcon::Error);
    return true;
}

}  // namespace

ErrorCode CheckEntries(const ControlValues& values, Messages& messages)
{
    // Channel 1's minimum comes before the serial number, as the window has always checked them.
    if (Fails(kChannelChecks[0], values, 0, messages))
        return kStoppedToCorrect;
    if (!IsSerialNumberText(values.general.serialNumber)) {
        messages.ShowMessage("Ошибка задания заводского номера прибора.", kGeneral, MessageIcon::Error);
        return kStoppedToCorrect;
    }
    for (size_t i = 1; i < kChannelChecks.size(); ++i)
        if (Fails(kChannelChecks[i], values, 0, messages))
            return kStoppedToCorrect;
    for (const EntryCheck& check : kChannelChecks)
        if (Fails(check, values, 1, messages))
            return kStoppedToCorrect;
    return kOk;
}

}  // namespace pmv::binding
