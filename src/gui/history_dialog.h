#pragma once

#include "history/history.h"

#include <QDialog>

#include <optional>
#include <vector>

class QDateEdit;
class QCheckBox;
class QLineEdit;
class QTableWidget;

namespace pmv::gui {

// "Журнал приборов": the history filtered by serial number and dates, exported as CSV.
class HistoryDialog final : public QDialog {
public:
    HistoryDialog(QWidget* parent, history::History& history);

    // The row of what an instrument held before a write, chosen with "Вернуть как было".
    const std::optional<history::HistoryRecord>& chosen() const { return chosen_; }

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
    std::optional<history::HistoryRecord> chosen_;
};

}  // namespace pmv::gui
