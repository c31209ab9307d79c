#pragma once

#include "binding/commands.h"
#include "binding/history_records.h"
#include "history/history.h"
#include "ini/file_error.h"
#include "messages/error_codes.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv::link {
class LinkPort;
}  // namespace pmv::link

namespace pmv::binding {

// The window's commands besides the four exchanges, on the same CommandContext: the controls'
// values come in, the model changes, and the host shows the result.

// A click on a group box: the group's flag becomes 1 when ticked, else 0, and the group panels
// follow. Nothing is read or written.
void SelectGroup(CommandContext& context, bool GroupFlags::*group, bool ticked);

// A page change and a sensor type change: the controls into the model and back, so that the
// range rule of a new sensor type takes effect at once; texts that fail their entry check stay
// as typed.
void SyncControls(CommandContext& context);

// "Прочитать" on the page "Общие": the serial number, the type code and the production date
// from the instrument, shown on success. The controls are not gathered first: unwritten edits
// are replaced by what is shown.
ErrorCode ReadSerialNumber(CommandContext& context);
// "Записать": a serial number that does not scan or is above 65535 shows error 23 and nothing
// is written; else gathers the controls, then writes the serial number, type code and
// production date through WriteSerialWithRecord (binding/history_records.h), asking whether a
// number the history holds as given is to be written again. A history that cannot be read comes
// back as the refusal, for the window to show or to offer a new history. The window is not
// refreshed.
RecordedSerialWrite WriteSerialNumber(CommandContext& context, history::History& history,
                                      const std::function<void(const history::HistoryRecord&)>& record);

// "Текущее", the hidden month and year lists and the calendar: a part of the production date.
void SetProductionDate(CommandContext& context, const CalendarDate& date);
void ChooseProductionMonth(CommandContext& context, int position);
void ChooseProductionYear(CommandContext& context, int position);
void ChooseProductionDay(CommandContext& context, int day);

// "Генерируем страничку в паспорт": every group and the production date read from the
// instrument, the user's group selection kept, then shown. No gather first: edits that were
// not written are replaced by the values read.
ErrorCode ReadForPassport(CommandContext& context);

// The port selector: list position 0 is port 1; the old port closes, the new one opens. A
// failed write of the port's binding to its adapter comes back.
std::optional<ini::FileError> ChangePort(CommandContext& context, link::LinkPort& port, int position);

// "Сетевой порт…" of the port selector: `name`, a well-formed tcp:// or rfc2217:// name, becomes
// the device of a port number in dev.dat ([PORTS]), and that number is opened: the number it is
// bound to already, else the first that names no device among `found`, else number 8. Without a
// name (the question was cancelled) the selector shows the port in use again.
std::optional<ini::FileError> ChooseNetworkPort(CommandContext& context, link::LinkPort& port,
                                                const std::optional<std::string>& name,
                                                const std::vector<std::string>& found);

// "Прочитать из файла настройки прибора": the controls into the model, then the profile. A
// missing file, or one with none of a profile's sections, is refused with its message and left
// as it is. A file that refuses the load's write-backs (a read-only reference profile) is taken
// as it reads and left as it is, which a box tells after the profile is shown. The description
// lines come back on success.
std::optional<std::array<std::string, 4>> OpenProfile(CommandContext& context, const std::string& path);

// "Сохранить настройки прибора в файл": the controls into the model, then the profile under the
// chosen name with ".prf" appended whatever it ends in ("a.prf" is saved as "a.prf.prf"). False
// when the file could not be written, after its message.
bool SaveProfileAs(CommandContext& context, const std::string& chosenPath, const std::vector<std::string>& description);

// Why a file cannot be opened as a profile: it is missing, or it holds none of the sections.
std::string NotAProfileText(const std::string& path, bool exists);

// The message of a file that could not be written or read: a text already in the user's words,
// or what the system refused, in Russian with its reason.
void ShowFileError(Messages& messages, const std::string& text);
void ShowFileError(Messages& messages, const ini::FileError& error);

}  // namespace pmv::binding
