#pragma once

#include "binding/recent_profiles.h"

#include <QObject>

#include <functional>
#include <string>

class QMenu;

namespace pmv::gui {

// "Последние профили" in the File menu: the profiles last opened or saved, each opened again
// with one click.
class RecentProfilesMenu final : public QObject {
public:
    RecentProfilesMenu(QMenu& file, std::function<void(const std::string&)> open);

    QMenu* menu() const { return menu_; }
    binding::RecentProfiles& list() { return list_; }
    void Load(const std::string& statePath);
    void Add(const std::string& path);
    void Remove(const std::string& path);

private:
    void Fill();

    QMenu* menu_;
    std::function<void(const std::string&)> open_;
    binding::RecentProfiles list_;
};

}  // namespace pmv::gui
