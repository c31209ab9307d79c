#include "comparison_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace pmv::gui {

ComparisonDialog::ComparisonDialog(QWidget* parent, const std::vector<binding::FieldComparison>& fields)
    : QDialog(parent)
{
    setObjectName("ComparisonDialog");
    setWindowTitle(QString::fromUtf8("Сравнение с прибором"));
    const auto differing =
        std::count_if(fields.begin(), fields.end(), [](const binding::FieldComparison& f) { return f.differs; });
    auto* summary = new QLabel(differing == 0 ? QString::fromUtf8("Настройки окна и прибора совпадают.")
                                              : QString::fromUtf8("Отличаются настройки: %1").arg(differing));
    summary->setObjectName("ComparisonSummary");

    auto* table = new QTableWidget(static_cast<int>(fields.size()), 3);
    table->setObjectName("ComparisonTable");
    table->setHorizontalHeaderLabels(
        {QString::fromUtf8("Настройка"), QString::fromUtf8("В окне"), QString::fromUtf8("В приборе")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    for (int row = 0; row < table->rowCount(); ++row) {
        const binding::FieldComparison& f = fields[static_cast<size_t>(row)];
        const QString texts[] = {QString::fromStdString(f.values.label), QString::fromStdString(f.expectedShown),
                                 QString::fromStdString(f.actualShown)};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (f.differs) {
                item->setBackground(QColor(255, 210, 210));
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            table->setItem(row, column, item);
        }
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    // Wide enough for all three columns, within the screen: the instrument's column was cut off.
    const int columns = table->horizontalHeader()->length() + 2 * table->frameWidth() +
                        table->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;

    auto* onlyDifferences = new QCheckBox(QString::fromUtf8("только различия"));
    onlyDifferences->setObjectName("OnlyDifferences");
    connect(onlyDifferences, &QCheckBox::toggled, table, [table, fields](bool only) {
        for (int row = 0; row < table->rowCount(); ++row)
            table->setRowHidden(row, only && !fields[static_cast<size_t>(row)].differs);
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    const std::pair<const char*, Choice> choices[] = {{"&Взять значения прибора", TakeInstrumentValues},
                                                      {"Записать &различия", WriteDifferences}};
    for (const auto& [caption, choice] : choices) {
        QPushButton* button = buttons->addButton(QString::fromUtf8(caption), QDialogButtonBox::ActionRole);
        button->setObjectName(choice == TakeInstrumentValues ? "TakeInstrumentValues" : "WriteDifferences");
        button->setEnabled(differing != 0);
        connect(button, &QPushButton::clicked, this, [this, choice] { done(choice); });
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(onlyDifferences);
    layout->addWidget(table);
    layout->addWidget(buttons);
    const QRect screen = parent ? parent->screen()->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(std::min(std::max(620, columns + layout->contentsMargins().left() + layout->contentsMargins().right()),
                    screen.width() - 40),
           480);
}

}  // namespace pmv::gui
