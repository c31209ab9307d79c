#include "binding/live_view.h"

#include "binding/number_text.h"
#include "messages/error_codes.h"

#include <array>
#include <cstdio>

namespace pmv::binding {
namespace {

constexpr const char* kSomeError = "Какая то ошибка";

// clang-format off
constexpr std::array<const char*, 16> kChannelStatusTexts{
    "Нормальное измерение", kSomeError, kSomeError, kSomeError,
    "Ошибка в плавающей арифметике", kSomeError, kSomeError, "Не отвечает канальный АЦП",
    "Выход за диапазон", "Обрыв", kSomeError, kSomeError,
    "Канал выключен", "Данные еще не готовы", "Ошибка компенсатора холодного спая",
    "Ошибка в градуировках",
};
// clang-format on

constexpr std::array<const char*, 4> kPollOutcomeTexts{"Получен ответ", "В ответе много мусора, ответ не разобран",
                                                       "Не дождались ответа", "Ошибка в разборе ответа"};

constexpr uint8_t kNormalMeasurement = 0;
constexpr uint8_t kChannelOff = 12;

bool Bit(uint8_t byte, unsigned bit) { return (byte >> bit) & 1u; }

}  // namespace

std::string ChannelStatusText(uint32_t status)
{
    // The instrument reports no meaning for statuses above 15; they read as an unnamed error.
    return status < kChannelStatusTexts.size() ? kChannelStatusTexts[status] : kSomeError;
}

PollOutcomeView ShowPollOutcome(ErrorCode code)
{
    if (code == kOk)
        return {kPollOutcomeTexts[0], PanelColour::ButtonFace};
    const uint32_t number = CodeNumber(code);
    return {number < kPollOutcomeTexts.size() ? kPollOutcomeTexts[number] : "Какая-то ошибка в ответе",
            PanelColour::Yellow};
}

LiveView ShowCurrentValues(device::LiveValues& values)
{
    device::ClampCurrentValues(values);
    LiveView view;
    for (size_t ch = 0; ch < 2; ++ch) {
        LiveChannelView& c = view.channel[ch];
        const uint8_t status = values.status[ch];
        c.valueText = model::FormatNumber(values.value[ch]);
        c.statusText = ChannelStatusText(status);
        if (status == kNormalMeasurement) {
            c.valueColour = PanelColour::White;
        } else if (status != kChannelOff) {
            c.valueColour = PanelColour::Yellow;
            c.statusColour = PanelColour::Yellow;
        }
        for (unsigned bit = 0; bit < c.lamps.size(); ++bit)
            c.lamps[bit] = Bit(values.signalBits[ch], bit);
    }
    for (unsigned bit = 0; bit < view.relays.size(); ++bit)
        view.relays[bit] = Bit(values.relays, bit);
    for (unsigned bit = 0; bit < view.keys.size(); ++bit)
        view.keys[bit] = Bit(values.panel, bit);
    for (unsigned bit = 0; bit < view.encoder.size(); ++bit)
        view.encoder[bit] = Bit(values.panel, 5 + bit);
    return view;
}

std::string AgeText(int64_t ageMs)
{
    const long long seconds = ageMs < 0 ? 0 : ageMs / 1000;
    char text[32];
    if (seconds < 60)
        std::snprintf(text, sizeof text, "%lld с", seconds);
    else if (seconds < 3600)
        std::snprintf(text, sizeof text, "%lld мин %lld с", seconds / 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld ч %lld мин", seconds / 3600, seconds % 3600 / 60);
    return text;
}

LiveView ShowReceivedValues(device::LiveValues& values, std::optional<int64_t> receivedMs, int64_t polledMs)
{
    if (!receivedMs) {
        LiveView none;
        for (LiveChannelView& c : none.channel)
            c.statusText = "Значений от прибора ещё не было";
        return none;
    }
    LiveView view = ShowCurrentValues(values);
    if (*receivedMs >= polledMs)
        return view;
    view.stale = true;
    view.litColour = PanelColour::Grey;
    for (LiveChannelView& c : view.channel) {
        c.valueColour = PanelColour::ButtonFace;
        c.statusColour = PanelColour::ButtonFace;
        c.statusText = "Получено " + AgeText(polledMs - *receivedMs) + " назад";
    }
    return view;
}

}  // namespace pmv::binding
