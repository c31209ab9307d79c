#pragma once

#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pmv::gui {

class ProductionCalendar;

// Page "Общие": device type and error display, and what production assigns: type code, serial
// number and production date, with the buttons that read and write them.
class GeneralPage final : public QWidget {
public:
    explicit GeneralPage(QWidget* parent);

    QFrame* panel;  // white while the general group is selected
    QLabel* firmwareVersion;
    QComboBox* deviceType;
    QComboBox* errorDisplay;
    QComboBox* typeCode;
    QLineEdit* serialNumber;
    QLabel* productionDate;
    QPushButton* today;
    QPushButton* readSerial;
    QPushButton* writeSerial;
    // Hidden: the production date's month and year lists and its calendar.
    QComboBox* productionMonth;
    QComboBox* productionYear;
    ProductionCalendar* calendar;
};

}  // namespace pmv::gui
