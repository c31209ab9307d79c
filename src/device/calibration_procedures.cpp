#include "calibration_procedures.h"

#include "calibration_coefficients.h"
#include "link/register_commands.h"
#include "messages/device_texts.h"
#include "messages/error_codes.h"
#include "messages/messages.h"
#include "model/number_format.h"
#include "register_map.h"
#include "service_commands.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace pmv::device {
namespace {

constexpr uint32_t kChannelCount = 2;
constexpr uint32_t kSecondMs = 1000;
constexpr float kMeasurementLimit = 65536.0f;

using C = model::ChannelSettings;
using G = model::CalibrationSettings;
using M = MeasurementRecord;
using P = Prompt;
using S = ProgressStep;

// One coefficient's calibration: the reference asked for, the dwell and the series measuring
// it, the result's field with its bounds, and the coefficient group that writes it.
struct Variant {
    Prompt caption;
    Prompt connect;  // with the reference value
    float C::*reference;
    Reference connected;
    ProgressStep dwellTitle;
    ProgressStep seriesTitle;
    int32_t G::*dwell;
    int32_t G::*count;
    float M::*measured;
    float C::*result;
    float G::*lower;
    float G::*upper;
    uint32_t group;
    Prompt outOfBounds;  // with the result
    Prompt question;     // with the result
};

// In the order of CalibrationVariant.
const Variant kVariants[] = {
    {
        .caption = P::Ku10Caption,
        .connect = P::ConnectVolts,
        .reference = &C::set_ku10,
        .connected = Reference::Volts,
        .dwellTitle = S::Ku10Title,
        .seriesTitle = S::Ku10Title,
        .dwell = &G::del_ku,
        .count = &G::usr_ku,
        .measured = &M::u1,
        .result = &C::ku10,
        .lower = &G::ku10_min,
        .upper = &G::ku10_max,
        .group = 3,
        .outOfBounds = P::Ku10OutOfBounds,
        .question = P::Ku10Result,
    },
    {
        .caption = P::Ku100Caption,
        .connect = P::ConnectMillivolts,
        .reference = &C::set_ku,
        .connected = Reference::Millivolts,
        .dwellTitle = S::Ku100Title,
        .seriesTitle = S::Ku100Title,
        .dwell = &G::del_ku,
        .count = &G::usr_ku,
        .measured = &M::u1,
        .result = &C::ku,
        .lower = &G::ku_min,
        .upper = &G::ku_max,
        .group = 2,
        .outOfBounds = P::Ku100OutOfBounds,
        .question = P::Ku100Result,
    },
    {
        .caption = P::Ki20Caption,
        .connect = P::ConnectMilliamps,
        .reference = &C::set_ki020,
        .connected = Reference::Milliamps20,
        .dwellTitle = S::Ki20DwellTitle,
        .seriesTitle = S::Ki20SeriesTitle,
        .dwell = &G::del_ki,
        .count = &G::usr_ki,
        .measured = &M::u3,
        .result = &C::ki020,
        .lower = &G::ki020_min,
        .upper = &G::ki020_max,
        .group = 5,
        .outOfBounds = P::Ki20OutOfBounds,
        .question = P::Ki20Result,
    },
    {
        .caption = P::Ki5Caption,
        .connect = P::ConnectMilliamps,
        .reference = &C::set_ki05,
        .connected = Reference::Milliamps5,
        .dwellTitle = S::Ki5DwellTitle,
        .seriesTitle = S::Ki5SeriesTitle,
        .dwell = &G::del_ki,
        .count = &G::usr_ki,
        .measured = &M::u3,
        .result = &C::ki05,
        .lower = &G::ki05_min,
        .upper = &G::ki05_max,
        .group = 4,
        .outOfBounds = P::Ki5OutOfBounds,
        .question = P::Ki5Result,
    },
};

// "%11.7f" with a point whatever the locale.
std::string Fixed7(float value)
{
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, 7).ptr;
    std::string text(buffer, end);
    if (text.size() < 11)
        text.insert(0, 11 - text.size(), ' ');
    return text;
}

float MeasuredValue(const std::vector<uint8_t>& b, size_t at)
{
    const uint32_t bits =
        (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
    const bool nan = (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x007FFFFFu) != 0;
    // A signalling NaN (quiet bit clear) would fault where it is used.
    const float value = nan && (bits & 0x00400000u) == 0 ? 0.0f : link::BitsToFloat(bits);
    if (value > kMeasurementLimit)
        return kMeasurementLimit;
    if (!(value >= -kMeasurementLimit))
        return -kMeasurementLimit;
    return value;
}

void Show(Calibration& c, const ProgressLines& lines) { c.device.progress.SetProgressLines(lines); }

ErrorCode Hide(Calibration& c, ErrorCode code) { return EndOperation(c.device.progress, code); }

// Asks for the reference and tells who listens when the operator says it is connected.
bool AskForReference(Calibration& c, Prompt caption, Prompt connect, uint32_t ch, Reference reference, float value)
{
    if (!c.messages.AskYesNo(Question::ReferenceConnected, Text(connect, {model::FormatNumber(value)}), Text(caption),
                             MessageIcon::Information))
        return false;
    if (c.referenceConnected)
        c.referenceConnected(ch, reference, value);
    return true;
}

// `count` measurements, one a second, each handed to `add`.
template <typename Add>
ErrorCode Series(Calibration& c, ProgressStep title, ProgressStep subtitle, int32_t count, uint32_t ch, bool ku10Form,
                 Add add)
{
    MeasurementRecord& record = c.records[ch];
    Show(c, {Text(title), Text(subtitle), Text(S::FirstMeasurement), "", "", kEscapeHint});
    c.device.progress.ShowProgressPanel();
    for (int32_t i = 1; i <= count; ++i) {
        if (const ErrorCode code = ReadMeasurementBlock(c.device.exchange, ch, record); code != kOk)
            return Hide(c, code);
        add(record);
        Show(c, {Text(title), Text(subtitle), Text(S::Measurement, {std::to_string(i), std::to_string(count)}), "",
                 MeasurementLine(record, ku10Form), kEscapeHint});
        c.clock.Wait(kSecondMs);
        if (CheckEscape(c.device.progress) != kOk)
            return Hide(c, kStoppedByUser);
    }
    return kOk;
}

// The end of a procedure whose results passed their bounds: into the model, and on the
// operator's word into the instrument followed by a restart. A failed write or restart is
// returned for the calling command to show.
ErrorCode StoreResult(Calibration& c, const std::string& question, uint32_t group, uint32_t ch,
                      std::initializer_list<std::pair<float model::ChannelSettings::*, float>> results)
{
    model::ChannelSettings& channel = c.device.model.channel[ch];
    const bool offer = c.device.model.grad.wr_grad_immid == 1;
    // The coefficients the results replace, beside them, so that the operator sees how far they moved.
    std::vector<std::string> before;
    for (const auto& [field, value] : results)
        before.push_back(model::FormatNumber(channel.*field));
    const std::string previous = before.size() == 1 ? Text(P::PreviousResult, {before[0]})
                                                    : Text(P::PreviousReferenceResult, {before[0], before[1]});
    // A result within its bounds is news, not an error: the question carries the information icon.
    const bool write = offer && c.messages.AskYesNo(Question::WriteCalibrationResult, question + "\n" + previous,
                                                    Text(P::CalibrationResultCaption), MessageIcon::Information);
    for (const auto& [field, value] : results)
        channel.*field = value;
    if (!write)
        return kOk;
    c.written = true;
    c.beforeWrite();
    if (const ErrorCode code = WriteCalibrationGroup(c.device, group, ch); code != kOk)
        return code;
    return Restart(c.device.exchange);
}

bool Within(float value, float lower, float upper) { return std::isfinite(value) && value >= lower && value <= upper; }

}  // namespace

ErrorCode ReadMeasurementBlock(link::Exchange& exchange, uint32_t ch, MeasurementRecord& record)
{
    if (ch >= kChannelCount)
        return kOperandTooLarge;
    std::vector<uint8_t> b;
    // Unlike the live-values block, the measurement block's answer is not taken as a status first.
    if (const ErrorCode code =
            link::ReadValueBlock(exchange, regs::MeasurementBlock(ch), regs::kMeasurementBlockSize, b, false);
        code != kOk)
        return code;
    record = {MeasuredValue(b, 0), MeasuredValue(b, 4), MeasuredValue(b, 8), b[12]};
    return kOk;
}

std::string MeasurementLine(const MeasurementRecord& r, bool ku10Series)
{
    char status[8];
    std::snprintf(status, sizeof status, "%04X", r.status);
    return (ku10Series ? "" : "U1=") + Fixed7(r.u1) + "   U2=" + Fixed7(r.u2) + "   U3=" + Fixed7(r.u3) +
           (ku10Series ? "   ERR " : "   ERR=") + status;
}

ErrorCode Dwell(Calibration& c, const std::string& title, const std::string& text, int32_t seconds, uint32_t ch)
{
    if (ch >= kChannelCount)
        return kOperandTooLarge;
    // A dwell of no seconds would count down past 1 for ever.
    int32_t left = seconds < 1 ? 1 : seconds;
    auto lines = [&](const std::string& measurement) -> ProgressLines {
        return {title, text, Text(S::TimeLeft, {std::to_string(left)}), "", measurement, kEscapeHint};
    };
    Show(c, lines(""));
    c.device.progress.ShowProgressPanel();
    for (;;) {
        Show(c, lines(MeasurementLine(c.records[ch])));
        c.clock.Wait(kSecondMs);
        if (CheckEscape(c.device.progress) != kOk)
            return Hide(c, kStoppedByUser);
        if (const ErrorCode code = ReadMeasurementBlock(c.device.exchange, ch, c.records[ch]); code != kOk)
            return Hide(c, code);
        if (left-- == 1)
            return Hide(c, kOk);
    }
}

ErrorCode CalibrateCoefficient(Calibration& c, CalibrationVariant which, uint32_t ch)
{
    if (ch >= kChannelCount)
        return kOperandTooLarge;
    const Variant& v = kVariants[static_cast<size_t>(which)];
    if (const ErrorCode code = c.gather(); code != kOk)
        return Hide(c, code);
    const model::ChannelSettings& channel = c.device.model.channel[ch];
    const model::CalibrationSettings& grad = c.device.model.grad;
    const float reference = channel.*v.reference;
    if (!AskForReference(c, v.caption, v.connect, ch, v.connected, reference))
        return kOk;
    if (const ErrorCode code = Dwell(c, Text(v.dwellTitle), Text(S::Dwell), grad.*v.dwell, ch); code != kOk)
        return code;

    const int32_t count = grad.*v.count;
    float sum = 0;
    if (const ErrorCode code = Series(c, v.seriesTitle, S::Series, count, ch, which == CalibrationVariant::Ku10,
                                      [&](const MeasurementRecord& r) { sum += r.*v.measured; });
        code != kOk)
        return code;
    Hide(c, kOk);
    // No measurements, or an average of 0, give no finite result; the bounds refuse it.
    const float average = sum / static_cast<float>(count);
    const float result = reference / average;
    if (!Within(result, grad.*v.lower, grad.*v.upper)) {
        c.messages.ShowMessage(Text(v.outOfBounds, {model::FormatNumber(result)}), Text(P::CalibrationBoundsCaption),
                               MessageIcon::Warning);
        return kOk;
    }
    return StoreResult(c, Text(v.question, {model::FormatNumber(result)}), v.group, ch, {{v.result, result}});
}

ErrorCode CalibrateReference(Calibration& c, uint32_t ch)
{
    if (ch >= kChannelCount)
        return kOperandTooLarge;
    c.device.progress.DiscardEscape();
    if (const ErrorCode code = c.gather(); code != kOk)
        return Hide(c, code);
    const model::ChannelSettings& channel = c.device.model.channel[ch];
    const model::CalibrationSettings& grad = c.device.model.grad;
    const float ra = channel.set_ra;
    const float rb = channel.set_rb;
    const int32_t n = grad.usr_ref;

    struct Averages {
        float u1, u2;
    };
    // One resistor: prompt, dwell and series; false when declined (code 0), stopped or failed.
    auto measure = [&](float r, ProgressStep dwellText, ProgressStep seriesText, Averages& out, ErrorCode& code) {
        code = kOk;
        if (!AskForReference(c, P::ReferenceCaption, P::ConnectResistor, ch, Reference::Ohms, r))
            return false;
        if ((code = Dwell(c, Text(S::ReferenceTitle), Text(dwellText), grad.del_ref, ch)) != kOk)
            return false;
        float sum1 = 0, sum2 = 0;
        code = Series(c, S::ReferenceTitle, seriesText, n, ch, false, [&](const MeasurementRecord& m) {
            sum1 += m.u1;
            sum2 += m.u2;
        });
        if (code != kOk)
            return false;
        Hide(c, kOk);
        out = {sum1 / static_cast<float>(n), sum2 / static_cast<float>(n)};
        return true;
    };

    Averages a{}, b{};
    ErrorCode code = kOk;
    if (!measure(ra, S::FirstResistorDwell, S::FirstResistorSeries, a, code))
        return code;
    if (!measure(rb, S::SecondResistorDwell, S::SecondResistorSeries, b, code))
        return code;

    const float rref = ra * rb * (b.u2 - a.u2) / (rb * (a.u2 - 2 * a.u1) - ra * (b.u2 - b.u1));
    const float uref = ((a.u2 - 2 * a.u1) * rref + a.u2 * ra) / ra;
    if (!Within(rref, grad.rref_min, grad.rref_max)) {
        c.messages.ShowMessage(Text(P::RrefOutOfBounds, {model::FormatNumber(rref)}), Text(P::CalibrationBoundsCaption),
                               MessageIcon::Warning);
        return kOk;
    }
    if (!Within(uref, grad.uref_min, grad.uref_max)) {
        c.messages.ShowMessage(Text(P::UrefOutOfBounds, {model::FormatNumber(uref)}), Text(P::CalibrationBoundsCaption),
                               MessageIcon::Warning);
        return kOk;
    }
    return StoreResult(c, Text(P::ReferenceResult, {model::FormatNumber(uref), model::FormatNumber(rref)}), 1, ch,
                       {{&model::ChannelSettings::uref, uref}, {&model::ChannelSettings::rref, rref}});
}

}  // namespace pmv::device
