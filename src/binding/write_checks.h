#pragma once

#include "messages/error_codes.h"
#include "model/settings_model.h"

#include <cstdint>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::binding {

// The plausibility checks before a write, on the settings model. Each finding is a box:
// a question (Yes/No, error icon; No stops with 17), an error (OK, error icon; stops with 17)
// or a remark (Yes/No, warning icon; No stops with 16). A Yes may first pull the value into
// range in the model; those changes stay, also when a later finding stops the write.

// The relay assignment against the device type proc_ver (0..3; other types have no tests).
// Returns 0, or 17 at the first refused question.
ErrorCode CheckRelaySettings(const model::SettingsModel& model, Messages& messages);

struct ChannelCheckSwitches {
    bool remarks = true;
    bool errors = true;
};

// The error checks (when switched on), then the remark checks (when switched on) of channel
// 0 or 1; any other channel has none. Returns 0, 16 or 17.
ErrorCode CheckChannelSettings(model::SettingsModel& model, Messages& messages, int channel,
                               ChannelCheckSwitches switches);

// CheckChannelSettings for channel 1, then channel 2, each unless its select is 0 (the channels
// that WriteDeviceSettings sends); the first non-zero result, else 0.
ErrorCode CheckSelectedChannels(model::SettingsModel& model, Messages& messages, ChannelCheckSwitches switches);

}  // namespace pmv::binding
