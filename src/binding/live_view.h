#pragma once

#include "device/live_values.h"
#include "messages/error_codes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace pmv::binding {

enum class PanelColour {

    ButtonFace,

    White,

    Yellow,

    Grey,

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
    PanelColour litColour = PanelColour::Yellow;  // of every lamp that is on
    bool stale = false;                           // the texts are shown greyed
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

// What the page shows after a poll at `polledMs` when the values arrived at `receivedMs`.
// Before the first answer there is no number and no status: zeros would read as a measurement.
// Values the last poll did not renew are greyed, lit lamps grey, and the status panel tells
// their age instead of a status that may have changed since.
LiveView ShowReceivedValues(device::LiveValues& values, std::optional<int64_t> receivedMs, int64_t polledMs);

// The age "12 с", "3 мин 5 с", "1 ч 2 мин".
std::string AgeText(int64_t ageMs);

}  // namespace pmv::binding
