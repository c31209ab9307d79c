#include "work_folder.h"

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace pmv::gui {

std::string WorkFolderFor(const WorkFolderChoice& choice, const char* xdgDataHome, const char* home)
{
    if (!choice.workdir.empty())
        return choice.workdir;
    if (!choice.desktop)
        return {};
    // The XDG rules ignore a relative XDG_DATA_HOME.
    if (xdgDataHome && xdgDataHome[0] == '/')
        return std::string(xdgDataHome) + "/pmvconf";
    if (home && home[0] != '\0')
        return std::string(home) + "/.local/share/pmvconf";
    return {};
}

bool FolderWritable(const std::string& folder)
{
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0222) != 0 &&
           ::access(folder.c_str(), W_OK) == 0;
}

std::optional<std::string> EnterWorkFolder(const std::string& folder)
{
    if (folder.empty())
        return std::nullopt;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error)
        std::filesystem::current_path(folder, error);
    if (error)
        return folder + ": " + error.message();
    return std::nullopt;
}

}  // namespace pmv::gui
