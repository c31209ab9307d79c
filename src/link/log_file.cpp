#include "log_file.h"

#include <filesystem>
#include <system_error>

namespace pmv {

std::FILE* OpenLogForAppend(const std::string& path, uint64_t limit)
{
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size >= limit)
        std::filesystem::rename(path, path + ".1", error);
    return std::fopen(path.c_str(), "a");
}

}  // namespace pmv
