#pragma once

#include "device/live_values.h"
#include "messages/error_codes.h"

#include <array>
#include <cstdint>
#include <string>

namespace pmv::binding {

enum class PanelColour {

    ButtonFace,

    White,

    Yellow,

};

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
    std::array<bool, 5> keys{};  // "1", "Гистерезис", "2", "0", "Диапазон"
    std::array<bool, 2> encoder{};
};

// The text of a channel status byte as the instrument reports it in the live values.
std::string ChannelStatusText(uint32_t status);

// The outcome panel of the last poll: its text, and yellow after a failed poll.
struct PollOutcomeView {
    const char* text;
    PanelColour colour;
};
PollOutcomeView ShowPollOutcome(ErrorCode code);

// `ShowCurrentValues` without widgets: clamps the values (the log then shows the clamped ones)
// and gives every text and colour of the page. Normal measurement: value panel white; channel
// off: both panels button face; any other status: both yellow.
LiveView ShowCurrentValues(device::LiveValues& values);

}  // namespace pmv::binding
