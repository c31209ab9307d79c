#pragma once

#include "ini/file_error.h"
#include "model/settings_model.h"

#include <array>
#include <optional>
#include <string>

namespace pmv::binding {

struct LoadedProfile {
    std::array<std::string, 4> description;
    // Why the file was left as it was: the load would have written into it (a new file, the
    // keys it writes back) and the file or its folder refused.
    std::optional<ini::FileError> notUpdated;
    // False when there was no file: the load would have made it.
    bool existed = true;
    // The file could not be read either: the model is as it was and `notUpdated` says why.
    bool unread = false;
};

// Loads the profile at `path` into `model` as model::LoadProfile does. Reference profiles are
// often read-only: when a write of the load is refused, the profile is still taken, as it reads
// with its write-backs applied (a missing file as a new profile's values), and the file stays as
// it is.
LoadedProfile LoadProfileKeepingFile(const std::string& path, model::SettingsModel& model);

// "Профиль <path> открыт, но файл не обновлен: <reason>."
std::string NotUpdatedText(const std::string& path, const ini::FileError& error);

}  // namespace pmv::binding
