#pragma once

#include <vector>

class QMainWindow;
class QTabWidget;
class QWidget;

// The window worked without a mouse: a technician at a panel often has only a laptop's keys.
namespace pmv::gui {

// Ctrl+Tab and Ctrl+PgDn turn to the next page, Ctrl+Shift+Tab and Ctrl+PgUp to the previous
// one, wherever the focus is; the focus goes to the first control of the page turned to. F10
// opens the menu bar.
void InstallWindowKeys(QMainWindow& window, QTabWidget& pages);

// The controls of `root` that Tab stops at, in the order they were made (the reading order of
// each page); the parts of lists, grids and calendars are their widget's own.
std::vector<QWidget*> TabStops(QWidget& root);

// Tab walks each page's controls, then the controls above the pages, then the page tabs.
void ChainTabOrder(const QTabWidget& pages, QWidget& above);

}  // namespace pmv::gui
