#include "binding/window_commands.h"

#include "binding/binding.h"
#include "binding/file_errors.h"
#include "binding/number_text.h"
#include "binding/profile_load.h"
#include "device/device_settings.h"
#include "link/link_port.h"
#include "link/link_settings.h"
#include "messages/error_codes.h"
#include "messages/messages.h"
#include "model/profile.h"
#include "model/profile_check.h"

#include <utility>

namespace pmv::binding {
namespace {

void Gather(CommandContext& c) { GatherSettings(c.controls, c.device.model, c.messages); }

void Show(CommandContext& c)
{
    ShowSettings(c.device.model, c.portNumber, c.controls);
    c.host.ShowControls(c.controls);
}

// A failed operation: its message, then the window redrawn.
ErrorCode Failed(CommandContext& c, ErrorCode code)
{
    ShowErrorMessage(c.messages, code);
    c.host.RepaintNow();
    return code;
}

}  // namespace

void SelectGroup(CommandContext& context, bool GroupFlags::*group, bool ticked)
{
    GroupFlags boxes = context.controls.top.groupBoxes;
    boxes.*group = ticked;
    SetGroupBoxes(context.device.model, context.controls,
                  {.ch1 = boxes.channel1, .ch2 = boxes.channel2, .relay = boxes.relays, .general = boxes.general});
    context.host.ShowControls(context.controls);
}

void SyncControls(CommandContext& context)
{
    const ControlValues typed = context.controls;
    Gather(context);
    ShowSettings(context.device.model, context.portNumber, context.controls);
    KeepUnscannedTexts(typed, context.controls);
    context.host.ShowControls(context.controls);
}

ErrorCode ReadSerialNumber(CommandContext& context)
{
    if (const ErrorCode code = device::ReadSerialAndDate(context.device); code != kOk)
        return Failed(context, code);
    Show(context);
    return kOk;
}

RecordedSerialWrite WriteSerialNumber(CommandContext& context, history::History& history,
                                      const std::function<void(const history::HistoryRecord&)>& record)
{
    // A number that does not scan or is above 65535 would be written as 0.
    if (!IsSerialNumberText(context.controls.general.serialNumber))
        return {RecordedSerialWrite::Refusal::None, Failed(context, kBadNumber), {}};
    Gather(context);
    const auto again = [&](const std::string& why) {
        return context.messages.AskYesNo(Question::ReuseSerialNumber, why + ".\nЗаписать этот номер в прибор еще раз?",
                                         "Заводской номер", MessageIcon::Warning);
    };
    const RecordedSerialWrite written =
        WriteSerialWithRecord(context.device, history, context.controls.general.calendar.day, again, record);
    if (written.refusal == RecordedSerialWrite::Refusal::Used)
        context.messages.ResultReported(written.code);
    else if (written.refusal == RecordedSerialWrite::Refusal::None && written.code != kOk)
        Failed(context, written.code);
    return written;
}

void SetProductionDate(CommandContext& context, const CalendarDate& date)
{
    Gather(context);
    model::SettingsModel& m = context.device.model;
    m.made_day = date.day;
    m.made_month = date.month;
    m.made_year = date.year;
    Show(context);
}

void ChooseProductionMonth(CommandContext& context, int position)
{
    Gather(context);
    context.device.model.made_month = position + 1;
    Show(context);
}

void ChooseProductionYear(CommandContext& context, int position)
{
    Gather(context);
    context.device.model.made_year = position + kFirstListedYear;
    Show(context);
}

void ChooseProductionDay(CommandContext& context, int day)
{
    Gather(context);
    context.device.model.made_day = day;
    Show(context);
}

ErrorCode ReadForPassport(CommandContext& context)
{
    context.device.progress.DiscardEscape();
    context.host.RepaintNow();

    // The passport needs every group; the user's selection comes back afterwards.
    model::SettingsModel& m = context.device.model;
    const std::array<int32_t*, 4> flags{&m.channel[0].select, &m.channel[1].select, &m.rele.select,
                                        &m.general.gen_select};
    std::array<int32_t, 4> kept{};
    for (size_t i = 0; i < flags.size(); ++i)
        kept[i] = std::exchange(*flags[i], 1);
    const ErrorCode code = device::ReadDeviceSettings(context.device);
    for (size_t i = 0; i < flags.size(); ++i)
        *flags[i] = kept[i];
    if (code != kOk)
        return Failed(context, code);
    if (const ErrorCode dateCode = device::ReadProductionDate(context.device); dateCode != kOk)
        return Failed(context, dateCode);
    context.host.RepaintNow();
    Show(context);
    return kOk;
}

std::optional<ini::FileError> ChangePort(CommandContext& context, link::LinkPort& port, int position)
{
    Gather(context);
    std::optional<ini::FileError> failure = port.ReopenPort(position);
    context.portNumber = port.settings().Number;
    Show(context);
    return failure;
}

std::optional<ini::FileError> ChooseNetworkPort(CommandContext& context, link::LinkPort& port,
                                                const std::optional<std::string>& name,
                                                const std::vector<std::string>& found)
{
    if (!name) {
        Gather(context);
        Show(context);
        return std::nullopt;
    }
    link::LinkSettings& settings = port.settings();
    int32_t number = kPortListSize;
    for (int32_t n = kPortListSize; n >= 1; --n)
        if (link::PortDevice(n, settings.PortDevices, found).empty())
            number = n;
    for (const auto& [n, device] : settings.PortDevices)
        if (device == *name)
            number = n;
    settings.PortDevices[number] = *name;
    std::optional<ini::FileError> failure = link::SavePortDevice(link::LinkSettingsPath(), number, *name);
    std::optional<ini::FileError> opened = ChangePort(context, port, number - 1);
    return failure ? failure : opened;
}

std::optional<std::array<std::string, 4>> OpenProfile(CommandContext& context, const std::string& path)
{
    Gather(context);
    // The load writes keys back into the file: a file that is not a profile is refused before,
    // as pmvctl refuses it, so that a CSV or a binary file is neither changed nor taken.
    model::SettingsModel probe = context.device.model;
    const model::ReadProfileResult read = model::ReadProfile(path, probe);
    if (read.error) {
        ShowFileError(context.messages, *read.error);
        return std::nullopt;
    }
    if (!read.exists || !read.holdsProfile) {
        ShowFileError(context.messages, NotAProfileText(path, read.exists));
        return std::nullopt;
    }
    // "Записать все" sends every group whatever the profile's boxes say, so every group is checked.
    model::SettingsModel everyGroup = probe;
    everyGroup.channel[0].select = everyGroup.channel[1].select = everyGroup.rele.select =
        everyGroup.general.gen_select = 1;
    const model::ProfileCheck check = model::CheckProfile(ini::IniFile::Load(path), model::SentByWrite(everyGroup));
    if (!check.bad.empty()) {
        context.messages.ShowMessage(model::BadValuesText(path, check.bad) + "\nПрофиль не открыт.", "Ошибка",
                                     MessageIcon::Error);
        return std::nullopt;
    }
    if (check.missing != 0 &&
        !context.messages.AskYesNo(Question::ProfileDefaults,
                                   model::MissingKeysText(path, check.missing) + "\nОткрыть профиль?", "Профиль",
                                   MessageIcon::Warning))
        return std::nullopt;
    const LoadedProfile profile = LoadProfileKeepingFile(path, context.device.model);
    if (profile.unread) {
        ShowFileError(context.messages, *profile.notUpdated);
        return std::nullopt;
    }
    Show(context);
    if (profile.notUpdated)
        context.messages.ShowMessage(NotUpdatedText(path, *profile.notUpdated), "Профиль", MessageIcon::Information);
    return profile.description;
}

bool SaveProfileAs(CommandContext& context, const std::string& chosenPath, const std::vector<std::string>& description)
{
    Gather(context);
    if (const auto error = model::SaveProfile(chosenPath + ".prf", context.device.model, description)) {
        ShowFileError(context.messages, *error);
        return false;
    }
    return true;
}

std::string NotAProfileText(const std::string& path, bool exists)
{
    return exists ? "Файл " + path + " не является профилем: в нем нет ни одного раздела настроек"
                  : "Нет файла профиля " + path;
}

void ShowFileError(Messages& messages, const std::string& text)
{
    messages.ShowMessage(text, "Ошибка", MessageIcon::Error);
}

void ShowFileError(Messages& messages, const ini::FileError& error) { ShowFileError(messages, FileErrorText(error)); }

}  // namespace pmv::binding
