#include "work_folder.h"

#include <filesystem>

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
