#include "binding/calibration_fields.h"

#include "binding/number_text.h"
#include "messages/error_codes.h"
#include "messages/messages.h"

#include <charconv>
#include <optional>

namespace pmv::binding {
namespace {

using K = CalibrationField::Kind;

template <int Ch, float model::ChannelSettings::*Field>
float* ChannelReal(model::SettingsModel& m)
{
    return &(m.channel[Ch].*Field);
}
template <float model::CalibrationSettings::*Field>
float* GradReal(model::SettingsModel& m)
{
    return &(m.grad.*Field);
}
template <int32_t model::CalibrationSettings::*Field>
int32_t* GradWhole(model::SettingsModel& m)
{
    return &(m.grad.*Field);
}

constexpr int32_t kLongestDwell = 3600;
constexpr int32_t kMostMeasurements = 255;

// clang-format off
#define PMV_SET(key, ch, label) \
    {#key #ch, label, K::Real, ChannelReal<ch - 1, &model::ChannelSettings::key>, nullptr, 0, 0}
#define PMV_BOUND(key, label) {#key, label, K::Real, GradReal<&model::CalibrationSettings::key>, nullptr, 0, 0}
#define PMV_WHOLE(key, label, min, max) \
    {#key, label, K::Whole, nullptr, GradWhole<&model::CalibrationSettings::key>, min, max}
// clang-format on

const std::vector<CalibrationField> kFields{
    PMV_SET(set_ra, 1, "сопротивления первого резистора канала 1"),
    PMV_SET(set_rb, 1, "сопротивления второго резистора канала 1"),
    PMV_SET(set_ku, 1, "напряжения Ku 0-100 mV канала 1"),
    PMV_SET(set_ku10, 1, "напряжения Ku 0-10 V канала 1"),
    PMV_SET(set_ki05, 1, "тока Ki 0-5 мА канала 1"),
    PMV_SET(set_ki020, 1, "тока Ki 0-20 мА канала 1"),
    PMV_SET(set_ra, 2, "сопротивления первого резистора канала 2"),
    PMV_SET(set_rb, 2, "сопротивления второго резистора канала 2"),
    PMV_SET(set_ku, 2, "напряжения Ku 0-100 mV канала 2"),
    PMV_SET(set_ku10, 2, "напряжения Ku 0-10 V канала 2"),
    PMV_SET(set_ki05, 2, "тока Ki 0-5 мА канала 2"),
    PMV_SET(set_ki020, 2, "тока Ki 0-20 мА канала 2"),
    {"wr_grad_immid", "записи результата в прибор", K::Flag, nullptr,
     GradWhole<&model::CalibrationSettings::wr_grad_immid>, 0, 1},
    PMV_WHOLE(del_ref, "выдержки UREF/RREF", 1, kLongestDwell),
    PMV_WHOLE(del_ku, "выдержки Ku", 1, kLongestDwell),
    PMV_WHOLE(del_ki, "выдержки Ki", 1, kLongestDwell),
    PMV_WHOLE(usr_ref, "числа измерений UREF/RREF", 1, kMostMeasurements),
    PMV_WHOLE(usr_ku, "числа измерений Ku", 1, kMostMeasurements),
    PMV_WHOLE(usr_ki, "числа измерений Ki", 1, kMostMeasurements),
    PMV_BOUND(uref_min, "минимума UREF"),
    PMV_BOUND(uref_max, "максимума UREF"),
    PMV_BOUND(rref_min, "минимума RREF"),
    PMV_BOUND(rref_max, "максимума RREF"),
    PMV_BOUND(ku_min, "минимума Ku 0-100 mV"),
    PMV_BOUND(ku_max, "максимума Ku 0-100 mV"),
    PMV_BOUND(ku10_min, "минимума Ku 0-10 V"),
    PMV_BOUND(ku10_max, "максимума Ku 0-10 V"),
    PMV_BOUND(ki05_min, "минимума Ki 0-5 мА"),
    PMV_BOUND(ki05_max, "максимума Ki 0-5 мА"),
    PMV_BOUND(ki020_min, "минимума Ki 0-20 мА"),
    PMV_BOUND(ki020_max, "максимума Ki 0-20 мА"),
};

#undef PMV_SET
#undef PMV_BOUND
#undef PMV_WHOLE

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<int32_t> WholeNumber(const std::string& text, int32_t min, int32_t max)
{
    const std::string t = Trimmed(text);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || error != std::errc{} || end != t.data() + t.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

std::string TextOf(const FieldTexts& texts, const char* name)
{
    const auto it = texts.find(name);
    return it == texts.end() ? std::string{} : it->second;
}

}  // namespace

FieldTexts ShowCalibrationFields(model::SettingsModel& model)
{
    FieldTexts texts;
    for (const CalibrationField& f : kFields)
        texts[f.name] = f.kind == K::Real ? model::FormatNumber(*f.real(model)) : std::to_string(*f.whole(model));
    return texts;
}

ErrorCode GatherCalibrationFields(const FieldTexts& texts, model::SettingsModel& model, Messages& messages)
{
    for (const CalibrationField& f : kFields) {
        const std::string text = TextOf(texts, f.name);
        const bool good = f.kind == K::Real ? IsNumberText(text) : WholeNumber(text, f.min, f.max).has_value();
        if (!good) {
            std::string message = std::string("Ошибка задания ") + f.label + ".";
            if (f.kind == K::Whole)
                message += " Допустимо от " + std::to_string(f.min) + " до " + std::to_string(f.max) + ".";
            messages.ShowMessage(message, "Ошибка задания параметров градуировки.", MessageIcon::Error);
            return kStoppedToCorrect;
        }
    }
    for (const CalibrationField& f : kFields) {
        const std::string text = TextOf(texts, f.name);
        if (f.kind == K::Real)
            *f.real(model) = ParseNumberText(text);
        else
            *f.whole(model) = *WholeNumber(text, f.min, f.max);
    }
    return kOk;
}

}  // namespace pmv::binding
