#pragma once

#include "binding/settings_diff.h"

#include <QDialog>

#include <vector>

namespace pmv::gui {

// "Сравнить с прибором": every setting of the selected groups with the window's value and the
// instrument's, the differing rows marked.
class ComparisonDialog final : public QDialog {
public:
    ComparisonDialog(QWidget* parent, const std::vector<binding::FieldComparison>& fields);
};

}  // namespace pmv::gui
