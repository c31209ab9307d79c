#include "history_dialog.h"

#include "binding/csv_format.h"

#include "binding/file_errors.h"
#include "history_row_dialog.h"
#include "ini/ini_file.h"
#include "save_dialog.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pmv::gui {
namespace {

const char* const kColumns[] = {"Время", "Оператор", "Номер", "Операция", "Результат", "Профиль", "Группы", "ПО"};

constexpr const char* kDateFormat = "dd.MM.yyyy";

// The history keeps ISO local times; the table shows them as the window shows dates.
QString TimeText(const std::string& iso)
{
    const QDateTime time = QDateTime::fromString(QString::fromStdString(iso), Qt::ISODateWithMs);
    return time.isValid() ? time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QString::fromStdString(iso);
}

// The group words of the history under the names of the window's group boxes.
QString GroupsText(const std::string& groups)
{
    static const std::pair<const char*, const char*> kNames[] = {
        {"ch1", "канал 1"}, {"ch2", "канал 2"}, {"relay", "реле"}, {"general", "общие"}};
    QStringList shown;
    for (const QString& word : QString::fromStdString(groups).split(',', Qt::SkipEmptyParts)) {
        QString name = word;
        for (const auto& [key, text] : kNames)
            if (word == QLatin1String(key))
                name = QString::fromUtf8(text);
        shown << name;
    }
    return shown.join(QStringLiteral(", "));
}

}  // namespace

HistoryDialog::HistoryDialog(QWidget* parent, history::History& history) : QDialog(parent), history_(history)
{
    setObjectName("HistoryDialog");
    setWindowTitle(QString::fromUtf8("Журнал приборов"));
    serial_ = new QLineEdit;
    serial_->setObjectName("HistorySerial");
    serial_->setPlaceholderText(QString::fromUtf8("все"));
    byDate_ = new QCheckBox(QString::fromUtf8("с"));
    from_ = new QDateEdit(QDate::currentDate().addMonths(-1));
    to_ = new QDateEdit(QDate::currentDate());
    for (QDateEdit* date : {from_, to_}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat(QString::fromLatin1(kDateFormat));
    }
    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QString::fromUtf8("Номер прибора")));
    filter->addWidget(serial_);
    filter->addWidget(byDate_);
    filter->addWidget(from_);
    filter->addWidget(new QLabel(QString::fromUtf8("по")));
    filter->addWidget(to_);

    table_ = new QTableWidget(0, static_cast<int>(std::size(kColumns)));
    table_->setObjectName("HistoryTable");
    QStringList headings;
    for (const char* c : kColumns)
        headings << QString::fromUtf8(c);
    table_->setHorizontalHeaderLabels(headings);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton* exportButton = buttons->addButton(QString::fromUtf8("Экспорт CSV…"), QDialogButtonBox::ActionRole);
    exportButton->setObjectName("HistoryExport");
    QPushButton* restore = buttons->addButton(QString::fromUtf8("Вернуть как было"), QDialogButtonBox::ActionRole);
    restore->setObjectName("HistoryRestore");
    restore->setToolTip(
        QString::fromUtf8("Записать в прибор настройки, которые он хранил до записи (строка «до записи»)"));
    restore->setEnabled(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    const auto heldRow = [this]() -> const history::HistoryRecord* {
        const int row = table_->currentRow();
        if (row < 0 || row >= static_cast<int>(rows_.size()) || !table_->item(row, 0)->isSelected())
            return nullptr;
        const history::HistoryRecord& r = rows_[static_cast<size_t>(row)];
        return r.operation == history::kOperationHeld ? &r : nullptr;
    };
    connect(table_, &QTableWidget::itemSelectionChanged, this, [=] { restore->setEnabled(heldRow() != nullptr); });
    connect(restore, &QPushButton::clicked, this, [=, this] {
        if (const history::HistoryRecord* r = heldRow()) {
            chosen_ = *r;
            accept();
        }
    });
    // A row opened (double click, Enter) shows the values it keeps.
    connect(table_, &QTableWidget::itemActivated, this, [this](const QTableWidgetItem* item) {
        const int row = item->row();
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return;
        QStringList heading;
        for (int column = 0; column < table_->columnCount(); ++column)
            if (!table_->item(row, column)->text().isEmpty())
                heading << table_->item(row, column)->text();
        HistoryRowDialog(this, rows_[static_cast<size_t>(row)], heading.join(QStringLiteral(" · "))).exec();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(exportButton, &QPushButton::clicked, this, &HistoryDialog::Export);
    connect(serial_, &QLineEdit::textChanged, this, &HistoryDialog::Fill);
    connect(byDate_, &QCheckBox::toggled, this, &HistoryDialog::Fill);
    connect(from_, &QDateEdit::dateChanged, this, &HistoryDialog::Fill);
    connect(to_, &QDateEdit::dateChanged, this, &HistoryDialog::Fill);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filter);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    resize(900, 500);
    Fill();
}

void HistoryDialog::Fill()
{
    history::HistoryFilter filter;
    // "12-345" names type code and number, "345" the number of any type and "12-", while the
    // number is being typed, the type alone; until the text is one of these every row is listed.
    const std::string typed = serial_->text().trimmed().toStdString();
    if (typed.ends_with('-')) {
        filter.typeCode = history::ParseTypeCode(std::string_view(typed).substr(0, typed.size() - 1));
    } else if (const auto instrument = history::ParseInstrumentNumber(typed, history::LoneNumber::Serial)) {
        filter.serial = instrument->serial;
        filter.typeCode = instrument->typeCode;
    }
    if (byDate_->isChecked()) {
        filter.fromDate = from_->date().toString(Qt::ISODate).toStdString();
        filter.toDate = to_->date().toString(Qt::ISODate).toStdString();
    }
    rows_.clear();
    if (const auto failure = history_.Query(filter, rows_))
        setWindowTitle(QString::fromStdString(binding::HistoryErrorText(*failure)));
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const history::HistoryRecord& r = rows_[static_cast<size_t>(row)];
        const QString texts[] = {TimeText(r.time),
                                 QString::fromStdString(r.operatorName),
                                 QString::fromStdString(history::InstrumentNumber(r.typeCode, r.serial)),
                                 QString::fromStdString(r.operation),
                                 r.result == 0 ? QString::fromUtf8("выполнено")
                                               : QStringLiteral("ERR %1").arg(r.result),
                                 QString::fromStdString(r.profile),
                                 GroupsText(r.groups),
                                 QString::fromStdString(r.firmware)};
        for (int column = 0; column < table_->columnCount(); ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            item->setToolTip(QString::fromStdString(r.details));
            table_->setItem(row, column, item);
        }
    }
    table_->resizeColumnsToContents();
}

void HistoryDialog::Export()
{
    const auto chosen =
        AskSavePath(*this, {"HistoryExportDialog", QString::fromUtf8("Таблица CSV (*.csv)"), ".csv", false, {}});
    if (!chosen)
        return;
    if (const auto failure =
            ini::ReplaceFile(chosen->path.toStdString(), binding::HistoryTable(rows_, binding::kSpreadsheetCsv)))
        QMessageBox::critical(this, QString::fromUtf8("Ошибка"),
                              QString::fromStdString(binding::FileErrorText(*failure)));
}

}  // namespace pmv::gui
