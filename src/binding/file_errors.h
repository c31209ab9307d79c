#pragma once

#include <string>

namespace pmv::binding {

// The window's text of a file error. "Unable to write to <path>", as the file layers report a
// write the system refused, becomes Russian with the reason the file system gives now: "Не
// удается записать файл <path>: нет папки <folder>." Every other text is already the user's and
// comes back as it is.
std::string FileErrorText(const std::string& error);

// "Не удается записать файл <path>: <reason>." for a file the system refused to write.
std::string NotWrittenText(const std::string& path);

// The system's reason (an errno) for a refused file operation, in the user's words.
std::string SystemReasonText(int error);

// The exchange log could not be written: told once, the exchanges go on without it.
std::string LogNotWrittenText(const std::string& path, int error);

}  // namespace pmv::binding
