#pragma once

#include "history/history.h"

#include <QDialog>

namespace pmv::gui {

// One row of "Журнал приборов" opened: the instrument, the operation and its result above the
// values the row keeps (the settings written, or what the instrument held before a write).
class HistoryRowDialog final : public QDialog {
public:
    HistoryRowDialog(QWidget* parent, const history::HistoryRecord& row, const QString& heading);
};

}  // namespace pmv::gui
