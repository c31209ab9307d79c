#include "binding/recent_profiles.h"

#include "ini/ini_file.h"

#include <algorithm>

namespace pmv::binding {
namespace {

constexpr const char* kSection = "RecentFiles";

std::string Key(std::size_t i) { return "f" + std::to_string(i + 1); }

}  // namespace

void RecentProfiles::Load(const std::string& statePath)
{
    paths_.clear();
    const ini::IniFile file = ini::IniFile::Load(statePath);
    for (std::size_t i = 0; i < kCount; ++i)
        if (const std::string path = file.getString(kSection, Key(i), "");
            !path.empty() && std::find(paths_.begin(), paths_.end(), path) == paths_.end())
            paths_.push_back(path);
}

std::optional<ini::FileError> RecentProfiles::Save(const std::string& statePath) const
{
    ini::IniFile file = ini::IniFile::Load(statePath);
    for (std::size_t i = 0; i < kCount; ++i)
        file.set(kSection, Key(i), i < paths_.size() ? paths_[i] : std::string());
    return file.save(statePath);
}

void RecentProfiles::Add(const std::string& path)
{
    Remove(path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kCount)
        paths_.resize(kCount);
}

void RecentProfiles::Remove(const std::string& path)
{
    paths_.erase(std::remove(paths_.begin(), paths_.end(), path), paths_.end());
}

}  // namespace pmv::binding
