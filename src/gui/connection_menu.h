#pragma once

#include <functional>

class QMainWindow;
class QMenu;

namespace pmv {
class Messages;
class Progress;
}  // namespace pmv
namespace pmv::link {
class Clock;
class Exchange;
class LinkPort;
class PortLine;
}  // namespace pmv::link

namespace pmv::gui {

// The "Связь" menu: "Проверка связи…" and "Поиск прибора…". `setBusy` holds the window's
// commands off while a dialog talks to the line; the check shows its tries on `progress`.
QMenu* InstallConnectionMenu(QMainWindow& window, link::LinkPort& port, link::Exchange& exchange, link::PortLine& line,
                             const link::Clock& clock, Progress& progress, Messages& messages,
                             std::function<void(bool)> setBusy);

}  // namespace pmv::gui
