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

}  // namespace pmv::binding
