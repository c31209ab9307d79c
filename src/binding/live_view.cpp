#include "binding/live_view.h"

#include "binding/number_text.h"
#include "messages/error_codes.h"

#include <array>

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

bool Bit(uint8_t byte, unsigned bit)
{
    return (byte >> bit) & 1u;
}

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

}  // namespace pmv::binding
