#include "relays_page.h"

#include "binding/binding.h"
#include "widgets.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QShortcut>
#include <QTableWidget>

namespace pmv::gui {

using namespace widgets;

RelaysPage::RelaysPage(QWidget* parent) : QWidget(parent)
{
    panel = FramedPanel(this, {4, 4, kWidePanelWidth, kPanelHeight});
    Heading("Назначение реле на воздействие", panel, 10, 6);
    constexpr int gridX = 8;
    CaptionPanel("Канал 1", panel, gridX + 1 + kCellWidth, 26, 3 * kCellWidth);
    CaptionPanel("Канал 2", panel, gridX + 1 + 4 * kCellWidth, 26, 3 * kCellWidth);
    CaptionPanel("Регулятор", panel, gridX + 1 + 7 * kCellWidth, 26, 4 * kCellWidth);
    headings = Grid(panel, gridX, 46, 2, 7, 2);
    SetRow(*headings, 0,
           {{0, "Уставка"},
            {1, " 1"},
            {2, " 2"},
            {3, "Обр."},
            {4, " 1"},
            {5, " 2"},
            {6, "Обр."},
            {7, "Закр."},
            {8, "Откр."},
            {9, "Напр."},
            {10, "Импульс"}});
    grid = Grid(panel, gridX, 46 + 2 * kCellHeight + 4, kGridRows, 1, 1);
    grid->setToolTip(Text("Стявя значек в ячейке включаем реле от данного события."));
    SetRow(*grid, 0, {{0, "Реле"}});
    SetRow(*grid, 1, {{0, "    1"}});
    SetRow(*grid, 2, {{0, "    2"}});

    Heading("Параметры регулятора", panel, 10, 182);
    Label("Интервал принятия решения", panel, 10, 202);
    decisionInterval = List(panel, 10, 218, 70, "Через это время прибор будет выдавать управляющие воздействия");
    Fill(*decisionInterval, Numbers(10, 240));
    Label("Максимальная длительность импулься", panel, 250, 202);
    pulseLength = List(panel, 250, 218, 70,
                       "Время управляющего воздействия при максимальном рассогласовании в перделах зоны "
                       "пропорциональности");
    Fill(*pulseLength, Numbers(5, 60));

    const QStringList logic1 = Texts({"Упрощенная", "Расширенная", "Управление задвижкой"});
    const QStringList logic2 = Texts({"Упрощенная", "Расширенная"});
    Label("Вид обработки логики реле 1", panel, 10, 250)->hide();
    Label("Вид обработки логики реле 2", panel, 250, 250)->hide();
    for (int ch = 0; ch < 2; ++ch) {
        relayLogic[ch] = List(panel, ch == 0 ? 10 : 250, 266, 150);
        Fill(*relayLogic[ch], ch == 0 ? logic1 : logic2);
        relayLogic[ch]->hide();
    }
    connect(grid, &QTableWidget::cellClicked, this, &RelaysPage::ToggleCell);
    // From the keyboard: the arrows walk the cells, Space marks or clears the one in hand.
    grid->setFocusPolicy(Qt::StrongFocus);
    grid->setTabKeyNavigation(false);
    grid->setCurrentCell(1, 1);
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Space), QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* toggle = new QShortcut(key, grid, nullptr, nullptr, Qt::WidgetShortcut);
        connect(toggle, &QShortcut::activated, this, [this] { ToggleCell(grid->currentRow(), grid->currentColumn()); });
    }
}

void RelaysPage::ToggleCell(int row, int column)
{
    if (IsFixedCell(*grid, row, column))
        return;
    QTableWidgetItem* cell = grid->item(row, column);
    cell->setText(QString::fromStdString(binding::ToggledRelayCell(cell->text().toStdString())));
}

}  // namespace pmv::gui
