#pragma once

#include <QWidget>

#include <array>

class QComboBox;
class QFrame;
class QTableWidget;

namespace pmv::gui {

// Page "Настройки реле": which events switch each relay, and the regulator's parameters.
class RelaysPage final : public QWidget {
public:
    explicit RelaysPage(QWidget* parent);

    // A click on an assignment cell marks or clears it; headings take no clicks.
    void ToggleCell(int row, int column);

    QFrame* panel;           // white while the relay group is selected
    QTableWidget* headings;  // setpoint headings and their values over the grid
    QTableWidget* grid;      // relay 1 and 2 by event
    QComboBox* decisionInterval;
    QComboBox* pulseLength;
    std::array<QComboBox*, 2> relayLogic;  // per channel, never shown
};

}  // namespace pmv::gui
