#include "binding/file_errors.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace pmv::binding {
namespace {

constexpr std::string_view kUnableToWrite = "Unable to write to ";

std::string WhyNotWritten(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path file(path);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ignored))
        return "нет папки " + folder.string();
    if (fs::is_directory(file, ignored))
        return "под этим именем уже есть папка";
    // The mode bits too: root passes every access() test, but a read-only file is kept.
    const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (fs::exists(file, ignored) &&
        ((fs::status(file, ignored).permissions() & writable) == fs::perms::none || ::access(path.c_str(), W_OK) != 0))
        return "файл защищен от записи";
    if (::access(folder.c_str(), W_OK) != 0)
        return "нет права записи в папку " + folder.string();
    return "файл не читается или диск заполнен";
}

}  // namespace

std::string FileErrorText(const std::string& error)
{
    if (!error.starts_with(kUnableToWrite))
        return error;
    return NotWrittenText(error.substr(kUnableToWrite.size()));
}

std::string NotWrittenText(const std::string& path)
{
    return "Не удается записать файл " + path + ": " + WhyNotWritten(path) + ".";
}

}  // namespace pmv::binding
