#pragma once

#include "device.h"
#include "messages/error_codes.h"
#include "setting_steps.h"

#include <optional>
#include <string>
#include <vector>

namespace pmv::device {

// The selected groups (channel 1, channel 2, relay logic, general settings) and always the
// regulator parameters, from the instrument into the model; after a restart, once the instrument
// is back (AwaitRestart).
ErrorCode ReadDeviceSettings(Device& device);
// The parts of a write, in the order of the line; Closing is the marker and the restart, which
// make the instrument take the new settings in.
enum class WritePart { Channel1, Channel2, Relays, Regulator, General, Closing };

// How far a write came: the parts finished, and the one under way when it stopped (nothing of it
// may have reached the instrument yet, or some of its registers).
struct WriteReach {
    std::vector<WritePart> finished;
    std::optional<WritePart> stoppedIn;
};

// The selected groups and the regulator parameters into the instrument, then the marker value
// 47 and the restart command. Esc stops it between two register operations; `reach` hears how
// far it came.
ErrorCode WriteDeviceSettings(Device& device, WriteReach* reach = nullptr);

// The settings of the general group in the order of the line.
std::vector<SettingName> GeneralGroupSettings();

// Serial number, type code and production date.
ErrorCode ReadSerialAndDate(Device& device);
// `day` is the day shown by the window's date control; it goes into the model first.
ErrorCode WriteSerialAndDate(Device& device, int32_t day);
ErrorCode ReadProductionDate(Device& device);
ErrorCode WriteProductionDate(Device& device);

// "major.minor.build" of the firmware version byte (bits 7-6, 5-4, 3-0).
std::string FirmwareVersionText(int32_t fwVersion);
// The production years the year register can hold: it keeps year - 2000 in one byte.
inline constexpr int32_t kFirstProductionYear = 2000;
inline constexpr int32_t kLastProductionYear = kFirstProductionYear + 255;

// The year register: year - 2000, or 255 for a year outside 2000..2255.
uint32_t EncodeProductionYear(int32_t year);

}  // namespace pmv::device
