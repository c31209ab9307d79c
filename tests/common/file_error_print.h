#pragma once

#include "ini/file_error.h"

#include <cstring>
#include <ostream>

namespace pmv::ini {

// GoogleTest's picture of a file error: "Write /tmp/x/f.ini: EACCES (Permission denied)".
inline void PrintTo(const FileError& e, std::ostream* out)
{
    static constexpr const char* kOperations[] = {"Read", "OpenFolder", "CreateFile", "Write",
                                                  "Sync", "Rename",     "Compose"};
    const char* name = strerrorname_np(e.error);
    *out << kOperations[static_cast<int>(e.operation)] << ' ' << e.path << ": " << (name ? name : "0") << " ("
         << std::strerror(e.error) << ")";
    if (!e.folder.empty())
        *out << " in " << e.folder;
}

}  // namespace pmv::ini
