#include "binding/entry_checks.h"

#include "binding/number_text.h"
#include "messages/error_codes.h"
#include "messages/messages.h"
#include "model/profile_fields.h"

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
    const char* key;  // the profile key, whose row gives the field's label
};

#define FIELD(name) [](const ChannelControls& c) -> const std::string& { return c.name; }
#define BOTH(text)                                                                                                     \
    {                                                                                                                  \
        text, text                                                                                                     \
    }

const std::array<EntryCheck, 14> kChannelChecks = {{
    {FIELD(rangeMin), BOTH("Ошибка задания минимума диапазона."), "diap_min"},
    {FIELD(rangeMax), BOTH("Ошибка задания максимума диапазона."), "diap_max"},
    {FIELD(shift), BOTH("Ошибка задания смещения диапазона."), "shift"},
    {FIELD(rangeAdjust), BOTH("Ошибка задания подстройки диапазона."), "adj"},
    {FIELD(setpoint1), BOTH("Ошибка задания уставки 1."), "th1"},
    {FIELD(setpoint2), BOTH("Ошибка задания уставки 2."), "th2"},
    {FIELD(hysteresis1), BOTH("Ошибка задания гистерезиса уставки 1."), "his1"},
    {FIELD(hysteresis2), BOTH("Ошибка задания гистерезиса уставки 2."), "his2"},
    {FIELD(setpointStep), BOTH("Ошибка задания скорости изменения уставки."), "spd_th"},
    {FIELD(hysteresisStep),
     {"Ошибка задания скорости изменения гистерезиса.", "Ошибка задания скорости изменения гистерезиса уставки."},
     "spd_his"},
    {FIELD(polynomial[0]), BOTH("Ошибка задания коэффициента 1 полинома."), "koef0"},
    {FIELD(polynomial[1]), BOTH("Ошибка задания коэффициента 2 полинома."), "koef1"},
    {FIELD(polynomial[2]), BOTH("Ошибка задания коэффициента 3 полинома."), "koef2"},
    {FIELD(polynomial[3]), BOTH("Ошибка задания коэффициента 4 полинома."), "koef3"},
}};

#undef BOTH
#undef FIELD

// The field as the window labels it, with what it holds.
std::string FieldNote(const std::string& label, const std::string& typed)
{
    return "Поле «" + label + "»: " + (typed.empty() ? std::string("пусто") : "введено «" + typed + "»") + ".";
}

void Report(const std::string& field, const char* text, const std::string& label, const char* caption,
            Messages& messages, const EntryLocated& located)
{
    if (located)
        located(field);
    messages.ShowDetailedMessage(text, FieldNote(label, field), caption, MessageIcon::Error);
}

bool Fails(const EntryCheck& check, const ControlValues& values, size_t ch, Messages& messages,
           const EntryLocated& located)
{
    const std::string& field = check.field(values.channels[ch]);
    if (IsNumberText(field))
        return false;
    const model::Setting* setting = model::FindSetting(ch == 0 ? "CH1" : "CH2", check.key);
    Report(field, check.text[ch], setting ? setting->label : check.key, kChannelCaption[ch], messages, located);
    return true;
}

}  // namespace

ErrorCode CheckEntries(const ControlValues& values, Messages& messages, const EntryLocated& located)
{
    // Channel 1's minimum comes before the serial number, as the window has always checked them.
    if (Fails(kChannelChecks[0], values, 0, messages, located))
        return kStoppedToCorrect;
    if (!IsSerialNumberText(values.general.serialNumber)) {
        Report(values.general.serialNumber, "Ошибка задания заводского номера прибора.", "Заводской номер", kGeneral,
               messages, located);
        return kStoppedToCorrect;
    }
    for (size_t i = 1; i < kChannelChecks.size(); ++i)
        if (Fails(kChannelChecks[i], values, 0, messages, located))
            return kStoppedToCorrect;
    for (const EntryCheck& check : kChannelChecks)
        if (Fails(check, values, 1, messages, located))
            return kStoppedToCorrect;
    return kOk;
}

}  // namespace pmv::binding
