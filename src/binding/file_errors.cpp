#include "binding/file_errors.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include <cerrno>

#include <sys/statvfs.h>
#include <unistd.h>

namespace pmv::binding {
namespace {

constexpr std::string_view kUnableToWrite = "Unable to write to ";

struct SystemReason {
    int error;
    const char* text;
};

constexpr SystemReason kSystemReasons[] = {
    {ENOSPC, "диск заполнен"},     {EDQUOT, "превышена квота диска"}, {EACCES, "нет права записи"},
    {EPERM, "нет права записи"},   {EROFS, "диск только для чтения"}, {ENOENT, "нет папки"},
    {ENOTDIR, "нет папки"},        {EISDIR, "под этим именем папка"}, {EIO, "ошибка ввода-вывода"},
    {EFBIG, "файл слишком велик"},
};

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
    if ((fs::status(folder, ignored).permissions() & writable) == fs::perms::none ||
        ::access(folder.c_str(), W_OK) != 0)
        return "нет права записи в папку " + folder.string();
    struct statvfs disk {};
    if (::statvfs(folder.c_str(), &disk) == 0 && disk.f_bavail == 0)
        return "диск заполнен";
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

std::string SystemReasonText(int error)
{
    for (const SystemReason& r : kSystemReasons)
        if (r.error == error)
            return r.text;
    return "системная ошибка " + std::to_string(error);
}

std::string LogNotWrittenText(const std::string& path, int error)
{
    return "Журнал обмена " + path + " не записывается: " + SystemReasonText(error) +
           ". Обмен с прибором идет без журнала.";
}

}  // namespace pmv::binding
