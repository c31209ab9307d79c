#include "binding/live_view.h"

#include "binding/number_text.h"
#include "link/error_codes.h"

namespace pmv {
namespace {

constexpr uint8_t kNormalMeasurement = 0;
constexpr uint8_t kChannelOff = 12;

bool Bit(uint8_t byte, unsigned bit)
{
    return (byte >> bit) & 1u;
}

}  // namespace

LiveView ShowCurrentValues(LiveValues& values)
{
    ClampCurrentValues(values);
    LiveView view;
    for (size_t ch = 0; ch < 2; ++ch) {
        LiveChannelView& c = view.channel[ch];
        const uint8_t status = values.status[ch];
        c.valueText = FormatNumber(values.value[ch]);
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

}  // namespace pmv
