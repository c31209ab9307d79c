#include "widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace pmv::gui::widgets {
namespace {

template <class W>
W* Placed(W* w, int x, int y, int width, int height, const char* hint)
{
    if (hint)
        w->setToolTip(Text(hint));
    w->setGeometry(x, y, width, height);
    return w;
}

}  // namespace

QFont WindowFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QString Text(const char* utf8) { return QString::fromUtf8(utf8 ? utf8 : ""); }

namespace {

// A label as large as its text, measured once: the label's own size hint would lay the text out
// a second time before it is drawn. The pixel more keeps the last letter's edge.
QLabel* FitText(QLabel* label, int x, int y)
{
    const QFontMetrics metrics(label->font());
    label->setGeometry(x, y, metrics.horizontalAdvance(label->text()) + 1, metrics.height());
    return label;
}

}  // namespace

QLabel* Label(const char* text, QWidget* parent, int x, int y) { return FitText(new QLabel(Text(text), parent), x, y); }

QLabel* Label(QWidget* parent, int x, int y, int w) { return Placed(new QLabel(parent), x, y, w, 21, nullptr); }

QLineEdit* Edit(QWidget* parent, int x, int y, int w, const char* hint)
{
    return Placed(new QLineEdit(parent), x, y, w, 21, hint);
}

QComboBox* List(QWidget* parent, int x, int y, int w, const char* hint, bool editable)
{
    auto* list = new QComboBox(parent);
    // The field alone makes a list editable; setEditable would also build the list's popup view,
    // which waits for its first opening.
    if (editable)
        list->setLineEdit(new QLineEdit(list));
    list->setMaxVisibleItems(16);
    return Placed(list, x, y, w, 21, hint);
}

QCheckBox* Check(const char* text, QWidget* parent, int x, int y, int w, const char* hint)
{
    return Placed(new QCheckBox(Text(text), parent), x, y, w, 17, hint);
}

QPushButton* Button(const char* text, QWidget* parent, int x, int y, int w, const char* hint)
{
    return Placed(new QPushButton(Text(text), parent), x, y, w, 25, hint);
}

QLabel* TextPanel(QWidget* parent, int x, int y, int w, int h)
{
    auto* panel = new QLabel(parent);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Paint(*panel, binding::PanelColour::White);
    panel->setIndent(3);
    return Placed(panel, x, y, w, h, nullptr);
}

QLabel* Lamp(const QString& text, QWidget* parent, int x, int y, int w)
{
    auto* lamp = new QLabel(text, parent);
    lamp->setFrameStyle(QFrame::Panel | QFrame::Raised);
    lamp->setAlignment(Qt::AlignCenter);
    lamp->setAutoFillBackground(true);
    return Placed(lamp, x, y, w, 21, nullptr);
}

QLabel* Heading(const char* text, QWidget* parent, int x, int y)
{
    auto* label = new QLabel(Text(text), parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return FitText(label, x, y);
}

QLabel* CaptionPanel(const char* text, QWidget* parent, int x, int y, int w)
{
    auto* label = new QLabel(Text(text), parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Raised);
    label->setAlignment(Qt::AlignCenter);
    return Placed(label, x, y, w, 20, nullptr);
}

QFrame* FramedPanel(QWidget* parent, const QRect& geometry)
{
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    panel->setGeometry(geometry);
    return panel;
}

QGroupBox* Frame(const char* title, QWidget* parent, const QRect& geometry)
{
    auto* frame = new QGroupBox(Text(title), parent);
    frame->setGeometry(geometry);
    return frame;
}

QTableWidget* Grid(QWidget* parent, int x, int y, int visibleRows, int fixedColumns, int fixedRows)
{
    auto* grid = new QTableWidget(kGridRows, kGridColumns, parent);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setMinimumSectionSize(1);
    for (int c = 0; c < kGridColumns; ++c)
        grid->setColumnWidth(c, kCellWidth);
    for (int r = 0; r < kGridRows; ++r)
        grid->setRowHeight(r, kCellHeight);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setFrameStyle(QFrame::Box | QFrame::Plain);
    grid->setGeometry(x, y, kGridColumns * kCellWidth + 4, visibleRows * kCellHeight + 2);
    grid->setProperty("fixedColumns", fixedColumns);
    grid->setProperty("fixedRows", fixedRows);
    const QBrush face = grid->palette().button();
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kGridColumns; ++c) {
            auto* cell = new QTableWidgetItem;
            if (r < fixedRows || c < fixedColumns) {
                cell->setBackground(face);
                cell->setFlags(Qt::ItemIsEnabled);
            }
            grid->setItem(r, c, cell);
        }
    return grid;
}

bool IsFixedCell(const QTableWidget& grid, int row, int column)
{
    return row < grid.property("fixedRows").toInt() || column < grid.property("fixedColumns").toInt();
}

void SetRow(QTableWidget& grid, int row, std::initializer_list<std::pair<int, const char*>> cells)
{
    for (const auto& [column, text] : cells)
        grid.item(row, column)->setText(Text(text));
}

QColor Colour(binding::PanelColour colour)
{
    switch (colour) {
    case binding::PanelColour::White: return Qt::white;
    case binding::PanelColour::Yellow: return Qt::yellow;
    case binding::PanelColour::Grey: return Qt::lightGray;
    case binding::PanelColour::ButtonFace: break;
    }
    return QApplication::palette().color(QPalette::Button);
}

void Paint(QWidget& widget, binding::PanelColour colour)
{
    widget.setAutoFillBackground(true);
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, Colour(colour));
    widget.setPalette(palette);
}

void Fill(QComboBox& list, const QStringList& items)
{
    list.clear();
    list.addItems(items);
}

QStringList Numbers(int from, int to, int width)
{
    QStringList items;
    for (int i = from; i <= to; ++i)
        items << QStringLiteral("%1").arg(i, width, 10, QLatin1Char('0'));
    return items;
}

QStringList Texts(std::initializer_list<const char*> texts)
{
    QStringList items;
    for (const char* t : texts)
        items << Text(t);
    return items;
}

}  // namespace pmv::gui::widgets
