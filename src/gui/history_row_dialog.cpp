#include "history_row_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace pmv::gui {

HistoryRowDialog::HistoryRowDialog(QWidget* parent, const history::HistoryRecord& row, const QString& heading)
    : QDialog(parent)
{
    setObjectName("HistoryRowDialog");
    setWindowTitle(QString::fromUtf8("Строка журнала"));
    auto* title = new QLabel(heading);
    title->setObjectName("HistoryRowHeading");
    title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* values = new QPlainTextEdit;
    values->setObjectName("HistoryRowDetails");
    values->setReadOnly(true);
    values->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    values->setPlainText(row.details.empty() ? QString::fromUtf8("Строка не хранит значений настроек.")
                                             : QString::fromStdString(row.details));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(values);
    layout->addWidget(buttons);
    resize(600, 500);
}

}  // namespace pmv::gui
