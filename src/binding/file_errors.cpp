#include "binding/file_errors.h"

#include <cerrno>

namespace pmv::binding {
namespace {

struct SystemReason {
    int error;
    const char* text;
};

constexpr SystemReason kSystemReasons[] = {
    {ENOSPC, "диск заполнен"},
    {EDQUOT, "превышена квота диска"},
    {EACCES, "нет права записи"},
    {EPERM, "нет права записи"},
    {EROFS, "диск только для чтения"},
    {ENOENT, "нет папки"},
    {ENOTDIR, "нет папки"},
    {EISDIR, "под этим именем папка"},
    {EIO, "ошибка ввода-вывода"},
    {EFBIG, "файл слишком велик"},
    {EINVAL, "недопустимое имя или значение"},
    {ELOOP, "символические ссылки замкнуты в круг"},
    {ENAMETOOLONG, "слишком длинное имя"},
    {EILSEQ, "имя не является текстом UTF-8"},
    {EEXIST, "имя уже занято"},
};

std::string FolderOf(const ini::FileError& e)
{
    if (!e.folder.empty())
        return e.folder;
    const std::size_t slash = e.path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : e.path.substr(0, slash);
}

}  // namespace

std::string FileReasonText(const ini::FileError& e)
{
    using Op = ini::FileOperation;
    if (e.operation == Op::Compose)
        return "документ не построен";
    const bool denied = e.error == EACCES || e.error == EPERM;
    if (e.operation == Op::Read) {
        if (denied)
            return "нет права чтения";
        if (e.error == ENOENT)
            return "нет файла";
        return SystemReasonText(e.error);
    }
    // The file itself refused, or the folder: looked up (a folder above it shut) or written into.
    if (denied && e.operation == Op::Write)
        return "файл защищен от записи";
    if (denied)
        return (e.operation == Op::OpenFolder ? "нет доступа к папке " : "нет права записи в папку ") + FolderOf(e);
    if (e.error == ENOENT || e.error == ENOTDIR)
        return "нет папки " + FolderOf(e);
    if (e.error == EISDIR)
        return "под этим именем уже есть папка";
    return SystemReasonText(e.error);
}

std::string FileErrorText(const ini::FileError& e)
{
    return (e.operation == ini::FileOperation::Read ? "Не удается прочитать файл " : "Не удается записать файл ") +
           e.path + ": " + FileReasonText(e) + ".";
}

std::string HistoryErrorText(const history::HistoryError& e)
{
    if (!e.file)
        return e.text;
    const std::string reason = FileReasonText(*e.file);
    switch (e.step) {
    case history::HistoryFileStep::Create: return "Не удается создать журнал приборов " + e.where + ": " + reason;
    case history::HistoryFileStep::StartNew:
        return "Журнал приборов " + e.where + " не начинается заново: " + e.file->path + ": " + reason;
    case history::HistoryFileStep::SetAside:
        return "Журнал приборов " + e.where + " поврежден и не переносится в " + e.file->path + ": " + reason;
    }
    return e.text;
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
