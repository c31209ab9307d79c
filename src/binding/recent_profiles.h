#pragma once

#include "ini/file_error.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pmv::binding {

// The profiles last opened or saved in the window, newest first, kept with the window's state
// in recent.prf (section "RecentFiles", keys f1 to f5; an empty key is no entry).
class RecentProfiles {
public:
    static constexpr std::size_t kCount = 5;

    // The list kept in the state profile at `statePath`; none when it holds none.
    void Load(const std::string& statePath);
    // Into the state profile; what the system refused when it cannot be written.
    std::optional<ini::FileError> Save(const std::string& statePath) const;

    // To the front; a path already listed moves there, the oldest beyond five goes.
    void Add(const std::string& path);
    void Remove(const std::string& path);
    const std::vector<std::string>& paths() const { return paths_; }

private:
    std::vector<std::string> paths_;
};

}  // namespace pmv::binding
