#pragma once

class QTableWidget;
class QWidget;

namespace pmv::layout {

// Client area of the main window, in pixels.
inline constexpr int kClientWidth = 703;
inline constexpr int kClientHeight = 461;

inline constexpr int kGridColumns = 11;
inline constexpr int kGridRows = 3;

// Page indices of `TabbedNotebook1`.
enum Page { kChannelsPage = 0, kRelayPage = 1, kGeneralPage = 2, kLiveValuesPage = 3, kConfigurationPage = 4 };

// Creates every control of the client area with its name, caption, hint and place: the top
// area, the notebook with its five pages and the hidden state holders. The lists stay empty
// until FillWindowLists.
void BuildClientArea(QWidget& client);

// Fills every drop-down list and the fixed texts of both relay grids.
void FillWindowLists(QWidget& client);

// Fixed cells (headings) of a grid are drawn in the button-face colour and take no clicks.
bool IsFixedCell(const QTableWidget& grid, int row, int column);

}  // namespace pmv::layout
