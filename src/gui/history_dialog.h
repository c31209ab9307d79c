#pragma once

#include "history/history.h"

#include <QDialog>

class QDateEdit;
class QCheckBox;
class QLineEdit;
class QTableWidget;

namespace pmv::gui {

// "Журнал приборов": the history filtered by serial number and dates, exported as CSV.
class HistoryDialog final : public QDialog {
public:
    HistoryDialog(QWidget* parent, history::History& history);

private:
    void Fill();
    void Export();

    history::History& history_;
    QLineEdit* serial_;
    QCheckBox* byDate_;
    QDateEdit* from_;
    QDateEdit* to_;
    QTableWidget* table_;
    std::vector<history::HistoryRecord> rows_;
};

}  // namespace pmv::gui
