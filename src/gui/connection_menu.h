#pragma once

#include <functional>

class QMainWindow;
class QMenu;

namespace pmv {
class Messages;
class Progress;
}  // namespace pmv
namespace pmv::history {
class SelectedHistory;
}  // namespace pmv::history
namespace pmv::link {
class Clock;
class Exchange;
class LinkPort;
class PortLine;
}  // namespace pmv::link

namespace pmv::gui {

// The "Связь" menu: "Проверка связи…", "Поиск прибора…" and "Журнал приборов: где вести…".
// `setBusy` holds the window's commands off while a dialog talks to the line; the check shows its
// tries on `progress` and ends with the history's findings.
QMenu* InstallConnectionMenu(QMainWindow& window, link::LinkPort& port, link::Exchange& exchange, link::PortLine& line,
                             const link::Clock& clock, Progress& progress, Messages& messages,
                             history::SelectedHistory& history, std::function<void(bool)> setBusy);

}  // namespace pmv::gui
