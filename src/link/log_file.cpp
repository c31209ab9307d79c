#include "log_file.h"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace pmv::link {

std::FILE* OpenLogForAppend(const std::string& path, uint64_t limit)
{
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size >= limit)
        std::filesystem::rename(path, path + ".1", error);
    return std::fopen(path.c_str(), "a");
}

std::FILE* LogFile::Begin(const std::string& path, uint64_t limit)
{
    struct stat named {};
    const bool exists = ::stat(path.c_str(), &named) == 0;
    if (file_ && (!exists || path != path_ || named.st_dev != device_ || named.st_ino != inode_))
        Close();
    if (exists && static_cast<uint64_t>(named.st_size) >= limit) {
        Close();
        std::error_code error;
        std::filesystem::rename(path, path + ".1", error);
    }
    if (file_)
        return file_;
    file_ = std::fopen(path.c_str(), "ae");
    struct stat opened {};
    if (!file_ || ::fstat(fileno(file_), &opened) != 0) {
        Close();
        return nullptr;
    }
    path_ = path;
    device_ = opened.st_dev;
    inode_ = opened.st_ino;
    return file_;
}

bool LogFile::End()
{
    if (!file_)
        return false;
    const bool written = std::fflush(file_) == 0 && !std::ferror(file_);
    std::clearerr(file_);
    return written;
}

void LogFile::Close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

}  // namespace pmv::link
