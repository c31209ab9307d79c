#include "production_dialog.h"

#include "binding/file_errors.h"
#include "file_dialog_texts.h"
#include "instrument_records.h"
#include "messages/error_codes.h"
#include "messages/messages.h"
#include "reports/page_pdf.h"

#include <QApplication>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pmv::gui {
namespace {

// The steps' observer: each state on its label at once, the window redrawn between steps.
class StepLabels final : public production::ProductionObserver {
public:
    using Show = std::function<void(production::ProductionStep, const QString& state, const QString& file)>;
    explicit StepLabels(Show show) : show_(std::move(show)) {}
    void StepStarted(production::ProductionStep step) override { show_(step, QString::fromUtf8("выполняется…"), {}); }
    void StepEnded(production::ProductionStep step, ErrorCode code, const std::string& note) override
    {
        // The passport's step names the file it saved, for the operator to find and print.
        if (step == production::ProductionStep::Passport && code == kOk && !note.empty()) {
            const QString path = QString::fromStdString(note);
            show_(step, QString::fromUtf8("сохранён в %1").arg(QFileInfo(path).fileName()),
                  QDir::toNativeSeparators(path));
            return;
        }
        show_(step,
              code == kOk ? QString::fromUtf8("выполнено") : QString::fromUtf8("ошибка (ERR %1)").arg(CodeNumber(code)),
              {});
    }

private:
    Show show_;
};

// The file or folder the operator chose, in a dialog that speaks Russian in every column.
QString ChosenFile(QFileDialog& dialog)
{
    ShowRussianFileColumns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QWidget* WithBrowse(QLineEdit* edit, QWidget* parent, std::function<QString()> choose)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* browse = new QPushButton(QString::fromUtf8("Обзор…"), row);
    layout->addWidget(edit);
    layout->addWidget(browse);
    QObject::connect(browse, &QPushButton::clicked, row, [edit, choose] {
        if (const QString chosen = choose(); !chosen.isEmpty())
            edit->setText(chosen);
    });
    return row;
}

}  // namespace

ProductionDialog::ProductionDialog(QWidget* parent, Line line, InstrumentRecords& records)
    : QDialog(parent), line_(std::move(line)), records_(records)
{
    setObjectName("ProductionDialog");
    setWindowTitle(QString::fromUtf8("Выпуск прибора"));
    profile_ = new QLineEdit;
    profile_->setObjectName("ProductionProfile");
    type_ = new QSpinBox;
    type_->setObjectName("ProductionType");
    type_->setRange(0, 255);
    serial_ = new QSpinBox;
    serial_->setObjectName("ProductionSerial");
    serial_->setRange(0, history::kLastSerial);
    connect(type_, &QSpinBox::valueChanged, this, [this] { ProposeNextSerial(); });
    date_ = new QDateEdit(QDate::currentDate());
    date_->setObjectName("ProductionDate");
    date_->setCalendarPopup(true);
    date_->setDateRange(QDate(2000, 1, 1), QDate(2255, 12, 31));
    folder_ = new QLineEdit(QDir::currentPath());
    folder_->setObjectName("ProductionFolder");

    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8("Профиль"), WithBrowse(profile_, this, [this] {
                     QFileDialog dialog(this, QString::fromUtf8("Профиль"), QDir::currentPath(),
                                        QString::fromUtf8("Данные настройки прибора (*.prf)"));
                     dialog.setOptions(QFileDialog::DontUseNativeDialog);
                     dialog.setFileMode(QFileDialog::ExistingFile);
                     return ChosenFile(dialog);
                 }));
    auto* number = new QHBoxLayout;
    number->addWidget(type_);
    number->addWidget(new QLabel("-"));
    number->addWidget(serial_);
    form->addRow(QString::fromUtf8("Номер прибора"), number);
    form->addRow(QString::fromUtf8("Дата выпуска"), date_);
    form->addRow(QString::fromUtf8("Папка паспортов"), WithBrowse(folder_, this, [this] {
                     QFileDialog dialog(this, QString::fromUtf8("Папка паспортов"), folder_->text());
                     dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
                     dialog.setFileMode(QFileDialog::Directory);
                     return ChosenFile(dialog);
                 }));
    for (size_t i = 0; i < production::kProductionSteps; ++i) {
        states_[i] = new QLabel(QString::fromUtf8("ожидает"));
        states_[i]->setObjectName(QStringLiteral("ProductionStep%1").arg(i + 1));
        form->addRow(QString::fromUtf8(production::kProductionStepNames[i]), states_[i]);
    }
    count_ = new QLabel(QString::fromUtf8("Выпущено за сеанс: 0"));
    count_->setObjectName("ProductionCount");
    numberState_ = new QLabel;
    numberState_->setObjectName("ProductionNumberState");
    numberState_->setWordWrap(true);
    ProposeNextSerial();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    start_ = buttons->addButton(QString::fromUtf8("Выпустить"), QDialogButtonBox::ActionRole);
    start_->setObjectName("ProductionStart");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(start_, &QPushButton::clicked, this, [this] {
        if (!ProduceOne())
            return;
        const std::string made = history::InstrumentNumber(type_->value(), serial_->value());
        ProposeNextSerial();
        if (line_.messages.AskYesNo(Question::Other,
                                    "Прибор " + made +
                                        " выпущен. Подключите следующий прибор и "
                                        "нажмите \"Да\", чтобы выпустить его.",
                                    "Выпуск прибора", MessageIcon::Information))
            start_->click();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(numberState_);
    layout->addWidget(count_);
    layout->addWidget(buttons);
}

void ProductionDialog::ProposeNextSerial()
{
    const history::SerialReservation next = records_.history().PeekNextSerial(type_->value());
    proposed_.reset();
    if (next.outcome == history::SerialReservation::Outcome::Reserved) {
        proposed_ = next.serial;
        serial_->setValue(next.serial);
        ShowNumberState(QString::fromUtf8("Следующий свободный номер; он будет зарезервирован в журнале при выпуске."),
                        false);
    } else {
        ShowNumberState(QString::fromStdString(binding::HistoryErrorText(next.message)), true);
    }
}

void ProductionDialog::ShowNumberState(const QString& text, bool problem)
{
    numberState_->setText(text);
    numberState_->setStyleSheet(problem ? QStringLiteral("color: #b00000") : QString());
}

bool ProductionDialog::Reserve(production::ProductionOrder& order)
{
    using Kind = production::ProductionRefusal::Kind;
    for (;;) {
        const std::optional<production::ProductionRefusal> refusal =
            production::PrepareProduction(records_.history(), order);
        if (!refusal)
            break;
        if (refusal->kind == Kind::HistoryCorrupt && records_.StartNewHistoryIfAgreed(refusal->message, true))
            continue;
        if (refusal->kind == Kind::Used && !order.reuse &&
            line_.messages.AskYesNo(Question::Other, refusal->message + ".\nВыпустить прибор под этим номером еще раз?",
                                    "Выпуск прибора", MessageIcon::Warning)) {
            order.reuse = true;
            continue;
        }
        ShowNumberState(QString::fromStdString(refusal->message), true);
        line_.messages.ShowMessage(refusal->message + "\nВыпуск не начат, в прибор ничего не записано.",
                                   "Выпуск прибора", MessageIcon::Error);
        return false;
    }
    serial_->setValue(order.serial);
    ShowNumberState(QString::fromUtf8("Номер %1 зарезервирован в журнале приборов.")
                        .arg(QString::fromStdString(history::InstrumentNumber(order.typeCode, order.serial))),
                    false);
    repaint();
    return true;
}

void ProductionDialog::ShowStep(production::ProductionStep step, const QString& state, const QString& file)
{
    states_[static_cast<size_t>(step)]->setText(state);
    states_[static_cast<size_t>(step)]->setToolTip(file);
    repaint();
}

bool ProductionDialog::ProduceOne()
{
    if (profile_->text().isEmpty()) {
        line_.messages.ShowMessage("Не выбран профиль", "Выпуск прибора", MessageIcon::Error);
        return false;
    }
    for (size_t i = 0; i < production::kProductionSteps; ++i)
        ShowStep(static_cast<production::ProductionStep>(i), QString::fromUtf8("ожидает"));
    production::ProductionOrder order;
    order.profilePath = profile_->text().toStdString();
    order.typeCode = type_->value();
    order.serial = serial_->value();
    // The number proposed is taken as "the next free one": another station may have taken it since.
    order.nextSerial = proposed_ && *proposed_ == order.serial;
    order.day = date_->date().day();
    order.month = date_->date().month();
    order.year = date_->date().year();
    order.passportDir = folder_->text().toStdString();
    order.passportWriter = reports::QtGuiPdfWriter();
    if (!Reserve(order))
        return false;

    // The instrument's settings go through a model of their own: the window keeps its values.
    model::SettingsModel model;
    device::Device device{line_.device.exchange, line_.device.progress, model, {}};
    binding::ControlValues controls;
    binding::CommandContext context{device, line_.messages, line_.host, controls, line_.portNumber()};
    StepLabels labels([this](production::ProductionStep step, const QString& state, const QString& file) {
        ShowStep(step, state, file);
    });
    start_->setEnabled(false);
    line_.setBusy(true);
    const production::ProductionResult result = production::ProduceInstrument(
        context, order, labels, [this](const history::HistoryRecord& r) { return records_.Record(r); });
    line_.setBusy(false);
    start_->setEnabled(true);
    if (result.historyLost) {
        line_.messages.ShowMessage("Выпуск остановлен: журнал приборов не принял запись шага «" +
                                       std::string(production::StepName(*result.failedStep)) + "». Номер " +
                                       history::InstrumentNumber(order.typeCode, order.serial) + " остается выданным.",
                                   "Журнал приборов", MessageIcon::Error);
        line_.messages.ResultReported(result.code);
        return false;
    }
    if (result.code != kOk) {
        // A write that reached the instrument has shown its message already.
        if (result.failedStep != production::ProductionStep::Write || result.code == kFileNotOpened)
            ShowErrorMessage(line_.messages, result.code);
        return false;
    }
    count_->setText(QString::fromUtf8("Выпущено за сеанс: %1").arg(++produced_));
    return true;
}

}  // namespace pmv::gui
