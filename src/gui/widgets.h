#pragma once

#include "binding/live_view.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QStringList>

#include <initializer_list>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;

// The shared widgets of the window's pages, each placed at a fixed position of its parent.
namespace pmv::gui::widgets {

inline constexpr int kGridColumns = 11;
inline constexpr int kGridRows = 3;
inline constexpr int kCellWidth = 60;
inline constexpr int kCellHeight = 24;

// The framed panels fill their page. Sizes and places of framed widgets are multiples of 4, so
// that their borders fall on whole pixels when the window is scaled by 1.25 or 1.5 (a system
// font of 120 or 144 dots per inch) and none of them is lost.
inline constexpr int kPanelHeight = 312;
inline constexpr int kWidePanelWidth = 684;

QString Text(const char* utf8);

// The window's font, 11 pixels high. Positions and sizes are in the same device-independent
// pixels; a larger system font (QT_FONT_DPI) scales the whole window by its ratio to 96 dots
// per inch.
QFont WindowFont();

QLabel* Label(const char* text, QWidget* parent, int x, int y);
// An empty label of a fixed width, for a text shown later.
QLabel* Label(QWidget* parent, int x, int y, int w);
QLineEdit* Edit(QWidget* parent, int x, int y, int w, const char* hint = nullptr);
QComboBox* List(QWidget* parent, int x, int y, int w, const char* hint = nullptr, bool editable = false);
QCheckBox* Check(const char* text, QWidget* parent, int x, int y, int w, const char* hint = nullptr);
QPushButton* Button(const char* text, QWidget* parent, int x, int y, int w, const char* hint = nullptr);
// A white sunken panel that shows a text.
QLabel* TextPanel(QWidget* parent, int x, int y, int w, int h = 21);
// A raised panel lit yellow when on (Paint).
QLabel* Lamp(const QString& text, QWidget* parent, int x, int y, int w);
// A bold label.
QLabel* Heading(const char* text, QWidget* parent, int x, int y);
// A centred raised caption over grid columns.
QLabel* CaptionPanel(const char* text, QWidget* parent, int x, int y, int w);
QFrame* FramedPanel(QWidget* parent, const QRect& geometry);
QGroupBox* Frame(const char* title, QWidget* parent, const QRect& geometry);

// A grid of 11 columns by 3 rows of 60 by 24 pixels without headers or scroll bars; fixed
// cells (headings) have the button face and take no clicks.
QTableWidget* Grid(QWidget* parent, int x, int y, int visibleRows, int fixedColumns, int fixedRows);
bool IsFixedCell(const QTableWidget& grid, int row, int column);
void SetRow(QTableWidget& grid, int row, std::initializer_list<std::pair<int, const char*>> cells);

QColor Colour(binding::PanelColour colour);
// The background of a panel or lamp.
void Paint(QWidget& widget, binding::PanelColour colour);

void Fill(QComboBox& list, const QStringList& items);
QStringList Numbers(int from, int to, int width = 0);
QStringList Texts(std::initializer_list<const char*> texts);

}  // namespace pmv::gui::widgets
