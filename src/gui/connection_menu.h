#pragma once

#include <functional>

class QMainWindow;
class QMenu;

namespace pmv {

class Clock;
class Exchange;
class LinkPort;
class Progress;
class SerialLine;

// The "Связь" menu: "Проверка связи…" and "Поиск прибора…". `setBusy` holds the window's
// commands off while a dialog talks to the line; the check shows its tries on `progress`.
QMenu* InstallConnectionMenu(QMainWindow& window, LinkPort& port, Exchange& exchange, SerialLine& line,
                             const Clock& clock, Progress& progress, std::function<void(bool)> setBusy);

}  // namespace pmv
