#include "binding/commands.h"

#include "binding/binding.h"
#include "binding/entry_checks.h"
#include "binding/stopped_write.h"
#include "binding/write_checks.h"
#include "device/calibration_coefficients.h"
#include "device/device_settings.h"
#include "messages/error_codes.h"
#include "messages/messages.h"

#include <array>
#include <string>
#include <utility>

namespace pmv::binding {
namespace {

// Forgets an earlier Esc, so that it cannot stop this command, and shows the group selection.
void BeginCommand(CommandContext& c, bool selectAll)
{
    c.device.progress.DiscardEscape();
    if (selectAll)
        SelectAllGroups(c.device.model, c.controls);
    else
        ShowGroupSelection(c.device.model, c.controls);
    c.host.ShowControls(c.controls);
}

void ShowResult(CommandContext& c, ErrorCode code)
{
    if (code != kOk)
        ShowErrorMessage(c.messages, code);
}

// An Esc pressed during the last exchange stops nothing: the status bar says so.
void NoteLateEscape(CommandContext& c, ErrorCode code, const char* done)
{
    if (code == kOk && c.device.progress.EscapePressed())
        c.messages.OutcomeNoted(std::string("Esc пришел после последнего обмена: ") + done + " до конца");
}

ErrorCode ReadGroups(CommandContext& c)
{
    GatherSettings(c.controls, c.device.model, c.messages);
    const ErrorCode code = device::ReadDeviceSettings(c.device);
    NoteLateEscape(c, code, "прочитано");
    ShowResult(c, code);
    ShowSettings(c.device.model, c.portNumber, c.controls);
    c.host.ShowControls(c.controls);
    return code;
}

// The checked write onto the line, sent again while the operator asks it to after a stop.
ErrorCode SendGroups(CommandContext& c)
{
    for (;;) {
        const ErrorCode code = device::WriteDeviceSettings(c.device, &c.reach);
        NoteLateEscape(c, code, "записано");
        if (code == kOk || !c.reach.stoppedIn) {
            ShowResult(c, code);
            return code;
        }
        const StoppedWrite stop = DescribeStop(c.device.model, c.reach);
        c.messages.DiscardPendingKeys();
        if (!c.offerWriteAgain) {
            c.messages.OutcomeNoted("прервана на: " + WritePartName(stop.stoppedIn));
            ShowResult(c, code);
            return code;
        }
        if (!c.messages.AskYesNo(Question::WriteAgain, StoppedWriteText(stop, code), "Запись прервана",
                                 MessageIcon::Warning)) {
            c.messages.ResultReported(code);
            c.messages.OutcomeNoted("прервана на: " + WritePartName(stop.stoppedIn));
            return code;
        }
        c.device.progress.DiscardEscape();
    }
}

ErrorCode CheckGroups(CommandContext& c)
{
    ErrorCode code = CheckEntries(c.controls, c.messages, [&c](const std::string& field) { c.host.ShowEntry(field); });
    if (code == kOk) {
        GatherSettings(c.controls, c.device.model, c.messages);
        code = CheckRelaySettings(c.device.model, c.messages);
        if (code == kOk)
            code = CheckSelectedChannels(c.device.model, c.messages, {.remarks = true, .errors = true});
    }
    return code;
}

ErrorCode SendChecked(CommandContext& c)
{
    ErrorCode code = kOk;
    if (c.beforeWriting)
        code = c.beforeWriting();
    if (code == kOk)
        return SendGroups(c);
    ShowResult(c, code);
    return code;
}

ErrorCode WriteGroups(CommandContext& c)
{
    const ErrorCode code = CheckGroups(c);
    if (code == kOk)
        return SendChecked(c);
    ShowResult(c, code);
    return code;
}

}  // namespace

ErrorCode ReadAll(CommandContext& context)
{
    BeginCommand(context, true);
    return ReadGroups(context);
}

ErrorCode ReadSelected(CommandContext& context)
{
    BeginCommand(context, false);
    return ReadGroups(context);
}

ErrorCode WriteAll(CommandContext& context)
{
    BeginCommand(context, true);
    return WriteGroups(context);
}

ErrorCode WriteSelected(CommandContext& context)
{
    BeginCommand(context, false);
    const GroupFlags& boxes = context.controls.top.groupBoxes;
    // With no group ticked the write would still send the regulator, the marker and the restart.
    if (!boxes.channel1 && !boxes.channel2 && !boxes.relays && !boxes.general &&
        !context.messages.AskYesNo(Question::Other,
                                   "Не выбрана ни одна группа настроек. Записать только параметры регулятора, "
                                   "маркер прибора и перезапустить его?",
                                   "Замечание по настройкам", MessageIcon::Warning)) {
        ShowResult(context, kStoppedToRevise);
        return kStoppedToRevise;
    }
    return WriteGroups(context);
}

ErrorCode CheckAllBeforeWriting(CommandContext& context)
{
    BeginCommand(context, true);
    const ErrorCode code = CheckGroups(context);
    ShowResult(context, code);
    return code;
}

ErrorCode WriteAllChecked(CommandContext& context)
{
    context.device.progress.DiscardEscape();
    return SendChecked(context);
}

ErrorCode ReadForReport(CommandContext& c)
{
    BeginCommand(c, true);
    GatherSettings(c.controls, c.device.model, c.messages);
    ErrorCode first = device::ReadDeviceSettings(c.device);
    ShowResult(c, first);
    bool stopped = first == kStoppedByUser;
    for (uint32_t ch = 0; ch < 2 && !stopped; ++ch) {
        const ErrorCode code = device::ReadCalibrationCoefficients(c.device, ch);
        ShowResult(c, code);
        if (first == kOk)
            first = code;
        stopped = code == kStoppedByUser;
    }
    ShowSettings(c.device.model, c.portNumber, c.controls);
    c.host.ShowControls(c.controls);
    return first;
}

}  // namespace pmv::binding
