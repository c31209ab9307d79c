#pragma once

#include "device/live_values.h"

#include <array>
#include <string>

namespace pmv {

enum class PanelColour { ButtonFace, White, Yellow };

// What the page of current values shows for one channel.
struct LiveChannelView {
    std::string valueText;   // "%8.4f"
    std::string statusText;  // the channel status text
    PanelColour valueColour = PanelColour::ButtonFace;
    PanelColour statusColour = PanelColour::ButtonFace;
    std::array<bool, 3> lamps{};  // "Уставка 1", "Уставка 2", "Обрыв"
};

struct LiveView {
    std::array<LiveChannelView, 2> channel;
    std::array<bool, 2> relays{};
    std::array<bool, 5> keys{};     // "1", "Гистерезис", "2", "0", "Диапазон"
    std::array<bool, 2> encoder{};
};

// `ShowCurrentValues` without widgets: clamps the values (the log then shows the clamped ones)
// and gives every text and colour of the page. Normal measurement: value panel white; channel
// off: both panels button face; any other status: both yellow.
LiveView ShowCurrentValues(LiveValues& values);

}  // namespace pmv
