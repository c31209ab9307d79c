#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace pmv::gui {

inline constexpr const char* kProfileFilter = "Данные настройки прибора (*.prf);;Все файлы (*.*)";

// The open or save dialog of profiles, starting in the working directory; nothing when the user
// cancels. As with the platform's file dialogs, the chosen folder becomes the working directory,
// unless `keepWorkFolder`: a folder named at start (dev.dat, recent.prf) stays where it is.
std::optional<QString> AskProfilePath(QWidget& parent, bool open, bool keepWorkFolder);

}  // namespace pmv::gui
