#pragma once

#include "binding/control_values.h"
#include "device/device.h"
#include "device/device_settings.h"
#include "messages/error_codes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::binding {

// What the window does around an operation. pmvctl and tests implement it too; for them every
// call may do nothing.
class CommandHost {
public:
    virtual ~CommandHost() = default;

    // Puts the control values on the controls without running their change handlers, and
    // repaints at once. Called after the group selection is shown and after a read is shown.
    virtual void ShowControls(const ControlValues& values) = 0;

    // Draws the window at once, without waiting for the event loop.
    virtual void RepaintNow() {}

    // The entry check refused `field`, a field of the context's controls: its control is brought
    // into view and takes the focus, before the box that names it.
    virtual void ShowEntry(const std::string& /*field*/) {}
};

// What a command works with.
struct CommandContext {
    device::Device& device;  // the exchange, the progress panel with Esc, the settings model
    Messages& messages;      // entry errors, the checks' questions, the message of the result
    CommandHost& host;
    ControlValues& controls;  // what the controls show; the caller fills it before the command
    int32_t portNumber;       // the port in force, shown by ShowSettings
    // A write runs it once its checks have passed, before the first register; a non-zero code
    // ends the write with it, nothing written.
    std::function<ErrorCode()> beforeWriting{};
    // A write stopped after its first register asks whether to send it again
    // (Question::WriteAgain), naming the groups written and not; else it shows only its code.
    // Either way the status bar hears the group it stopped in.
    bool offerWriteAgain = false;
    // How far the last write came.
    device::WriteReach reach{};
};

// The four exchange commands of the window. Each forgets an earlier Esc, shows the group
// selection, and shows the message of a non-zero result itself; the result is returned for
// the caller's exit status.
//
// Read: GatherSettings, lock, ReadDeviceSettings, unlock, then ShowSettings (also after an
// error, so the groups read so far are shown) and ShowControls.
ErrorCode ReadAll(CommandContext& context);       // "Прочитать все": selects all four groups first
ErrorCode ReadSelected(CommandContext& context);  // "Прочитать выбранное": the groups as selected

// Write: CheckEntries (17 leaves the model untouched), GatherSettings, lock, CheckRelaySettings,
// CheckSelectedChannels with remarks and errors, beforeWriting, WriteDeviceSettings, unlock. A
// refused check sends nothing. An Esc that came too late to stop anything is told beside the
// result (Messages::OutcomeNoted). The controls are not refreshed: a value pulled into range by a
// check is in the model and in the instrument, while its control still shows what was typed.
ErrorCode WriteAll(CommandContext& context);  // "Записать все": selects all four groups first
// "Записать выбранное": with no group ticked it asks first; a No sends nothing and gives 16.
ErrorCode WriteSelected(CommandContext& context);

// "Записать все" in two halves, for a write of one profile into several instruments: the checks
// once (they may ask, and pull values into range in the model), then the write alone for each
// instrument, with beforeWriting.
ErrorCode CheckAllBeforeWriting(CommandContext& context);
ErrorCode WriteAllChecked(CommandContext& context);

// The reading part of "Считываем из прибора настройки и генерируем отчет": selects all four
// groups as "Прочитать все" does, GatherSettings, lock, ReadDeviceSettings and the calibration
// coefficients of both channels, unlock, ShowSettings and ShowControls. Each failure shows its
// message and the next read goes on, except after Esc (code 20), which ends the reading. Returns
// the first failure, 0 when every read succeeded; the report is made either way.
ErrorCode ReadForReport(CommandContext& context);

}  // namespace pmv::binding
