#pragma once

#include "binding/settings_diff.h"

#include <QDialog>

#include <vector>

namespace pmv::gui {

// "Сравнить с прибором": every setting of the selected groups with the window's value and the
// instrument's, the differing rows marked. Where they differ, the technician may take the
// instrument's values into the window or write the differing groups into the instrument; exec()
// returns the choice.
class ComparisonDialog final : public QDialog {
public:
    enum Choice { Closed = QDialog::Rejected, TakeInstrumentValues = 2, WriteDifferences = 3 };

    ComparisonDialog(QWidget* parent, const std::vector<binding::FieldComparison>& fields);
};

}  // namespace pmv::gui
