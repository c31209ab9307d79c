#pragma once

#include "history/history.h"
#include "ini/file_error.h"

#include <string>

namespace pmv::binding {

// The user's text of a file the system refused, from the step and the errno the layer that
// failed reports: "Не удается записать файл <path>: нет папки <folder>.", "Не удается прочитать
// файл <path>: нет права чтения."
std::string FileErrorText(const ini::FileError& error);

// The reason alone, for a text that names the file in words of its own: "нет папки <folder>".
std::string FileReasonText(const ini::FileError& error);

// A failure of the history: the store's words as they are, a file the system refused in the
// history's words with the reason of its errno ("Не удается создать журнал приборов <path>: нет
// права записи в папку <folder>").
std::string HistoryErrorText(const history::HistoryError& error);

// The system's reason (an errno) for a refused file operation, in the user's words.
std::string SystemReasonText(int error);

// The exchange log could not be written: told once, the exchanges go on without it.
std::string LogNotWrittenText(const std::string& path, int error);

}  // namespace pmv::binding
