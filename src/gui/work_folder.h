#pragma once

#include <optional>
#include <string>

namespace pmv::gui {

// Where pmvconf keeps dev.dat, recent.prf, the factory profiles and the logs. Started from a
// shell it works in the current directory; the desktop entry passes --desktop, so that a start
// from the menu does not scatter those files into the home folder.
struct WorkFolderChoice {
    std::string workdir;   // --workdir DIR
    bool desktop = false;  // --desktop: $XDG_DATA_HOME/pmvconf
};

// The folder the choice names ("" for the current directory). `xdgDataHome` and `home` are the
// environment's values; XDG_DATA_HOME falls back to ~/.local/share.
std::string WorkFolderFor(const WorkFolderChoice& choice, const char* xdgDataHome, const char* home);

// Whether files can be made and replaced in `folder`: the system allows it and the folder's mode
// has a write bit (root passes every access() test, but a read-only folder is kept as one).
bool FolderWritable(const std::string& folder);

// Creates the folder when missing and makes it the working directory; returns the reason when
// that fails.
std::optional<std::string> EnterWorkFolder(const std::string& folder);

}  // namespace pmv::gui
