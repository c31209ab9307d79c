#include "binding/profile_load.h"

#include "binding/file_errors.h"
#include "model/profile.h"

namespace pmv::binding {

LoadedProfile LoadProfileKeepingFile(const std::string& path, model::SettingsModel& model)
{
    model::SettingsModel loaded = model;
    model::LoadProfileResult result = model::LoadProfile(path, loaded);
    if (!result.error) {
        model = loaded;
        return {result.description.value_or(std::array<std::string, 4>{}), std::nullopt};
    }
    loaded = model;
    const model::ReadProfileResult read = model::ReadProfile(path, loaded);
    if (read.error)
        return {{}, read.error, read.exists, true};
    model = loaded;
    return {read.description, result.error, read.exists};
}

std::string NotUpdatedText(const std::string& path, const ini::FileError& error)
{
    std::string reason = FileErrorText(error);
    if (!reason.empty() && reason.back() == '.')
        reason.pop_back();
    return "Профиль " + path + " открыт, но файл не обновлен.\n" + reason + ".";
}

}  // namespace pmv::binding
