#include "instrument_records.h"

#include "binding/binding.h"
#include "binding/file_errors.h"
#include "binding/held_settings.h"
#include "binding/history_records.h"
#include "binding/settings_diff.h"
#include "binding/stopped_write.h"
#include "binding/window_commands.h"
#include "comparison_dialog.h"
#include "history_dialog.h"
#include "messages/error_codes.h"
#include "messages/messages.h"
#include "production_dialog.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QSettings>

namespace pmv::gui {
namespace {

constexpr const char* kVerifyKey = "verifyAfterWrite";

// The window's host without ShowControls: what another model shows never reaches the controls.
class EditsKept final : public binding::CommandHost {
public:
    explicit EditsKept(binding::CommandHost& window) : window_(window) {}
    void ShowControls(const binding::ControlValues&) override { window_.RepaintNow(); }
    void RepaintNow() override { window_.RepaintNow(); }

private:
    binding::CommandHost& window_;
};

QSettings ProgramSettings() { return QSettings(QStringLiteral("pmv77xx"), QStringLiteral("pmvconf")); }

}  // namespace

InstrumentRecords::InstrumentRecords(Window window, QMenu& file) : w_(std::move(window)), history_(w_.history)
{
    file.addSeparator();
    const auto add = [&](const char* text, const char* name, void (InstrumentRecords::*handler)()) {
        QAction* action = file.addAction(QString::fromUtf8(text));
        action->setObjectName(QString::fromUtf8(name));
        connect(action, &QAction::triggered, this, [this, handler] { w_.run([&] { (this->*handler)(); }, false); });
        items_.append(action);
    };
    add("Сра&внить с прибором…", "CompareAction", &InstrumentRecords::Compare);
    add("В&ыпуск прибора…", "ProduceAction", &InstrumentRecords::Produce);
    add("&Журнал приборов…", "HistoryAction", &InstrumentRecords::ShowHistory);
    verify_ = file.addAction(QString::fromUtf8("Проверять после &записи"));
    verify_->setObjectName("VerifyAfterWriteAction");
    verify_->setCheckable(true);
    verify_->setChecked(ProgramSettings().value(kVerifyKey, false).toBool());
    connect(verify_, &QAction::toggled, this, [](bool on) { ProgramSettings().setValue(kVerifyKey, on); });
    items_.append(verify_);
}

bool InstrumentRecords::verifyAfterWrite() const { return verify_->isChecked(); }

bool InstrumentRecords::StartNewHistoryIfAgreed(const std::string& failure, bool askAgain)
{
    if (!history_.corrupt() || (newHistoryDeclined_ && !askAgain))
        return false;
    newHistoryDeclined_ = !w_.messages.AskYesNo(
        Question::Other,
        failure +
            ".\nСохранить его в стороне и начать новый журнал? Следующий номер выпуска будет выше паспортов в папке паспортов; номера, выданные без паспорта в ней, новый журнал знать не будет.",
        "Журнал приборов", MessageIcon::Warning);
    if (newHistoryDeclined_)
        return false;
    if (const auto startFailure = history_.StartNew()) {
        w_.messages.ShowMessage(binding::HistoryErrorText(*startFailure), "Журнал приборов", MessageIcon::Error);
        return false;
    }
    if (const auto notice = history_.TakeNotice())
        w_.messages.ShowMessage(*notice, "Журнал приборов", MessageIcon::Information);
    return true;
}

bool InstrumentRecords::Record(const history::HistoryRecord& record)
{
    std::optional<history::HistoryError> failure = history_.Record(record);
    if (failure && StartNewHistoryIfAgreed(binding::HistoryErrorText(*failure)))
        failure = history_.Record(record);
    if (failure && !failureShown_)
        w_.messages.ShowMessage(binding::HistoryErrorText(*failure), "Журнал приборов", MessageIcon::Warning);
    failureShown_ |= failure.has_value();
    return !failure;
}

void InstrumentRecords::Write(binding::CommandContext& context, ErrorCode (*write)(binding::CommandContext&))
{
    WriteRecorded(context, write, nullptr);
}

ErrorCode InstrumentRecords::KeepHeld(const model::SettingsModel& identity)
{
    model::SettingsModel held;
    if (lastRead_ && binding::SameInstrument(*lastRead_, identity)) {
        held = *lastRead_;
    } else {
        model::SettingsModel everyGroup = w_.device.model;
        everyGroup.channel[0].select = everyGroup.channel[1].select = everyGroup.rele.select =
            everyGroup.general.gen_select = 1;
        if (const ErrorCode code = binding::ReadForComparison(w_.device, everyGroup, held); code != kOk) {
            w_.messages.OutcomeNoted("не прочитано, что прибор хранит: ничего не записано");
            return code;
        }
    }
    Record(binding::MakeHistoryRecord(identity, held,
                                      {history::kOperationHeld, kOk, {}, binding::HeldSettingsText(held)}));
    return kOk;
}

void InstrumentRecords::WriteRecorded(binding::CommandContext& context, ErrorCode (*write)(binding::CommandContext&),
                                      const history::HistoryRecord* expected)
{
    model::SettingsModel identity;
    const bool everyGroup = write == &binding::WriteAll;
    const std::function<ErrorCode()> readIdentity = binding::IdentityBeforeWriting(w_.device, identity);
    context.beforeWriting = [&]() -> ErrorCode {
        if (const ErrorCode code = readIdentity(); code != kOk)
            return code;
        if (expected &&
            (identity.SerialNumber() != expected->serial || identity.general.otk_type != expected->typeCode)) {
            w_.messages.ShowMessage(
                "На линии прибор " + history::InstrumentNumber(identity.general.otk_type, identity.SerialNumber()) +
                    ", а журнал хранит настройки прибора " +
                    history::InstrumentNumber(expected->typeCode, expected->serial) + ".\nНичего не записано.",
                "Вернуть как было", MessageIcon::Warning);
            return kStoppedToRevise;
        }
        return everyGroup ? KeepHeld(identity) : kOk;
    };
    context.offerWriteAgain = true;
    const ErrorCode code = write(context);
    context.beforeWriting = {};
    context.offerWriteAgain = false;
    const model::SettingsModel& written = w_.device.model;
    std::string details = binding::SettingsValueLines(written);
    if (code != kOk && context.reach.stoppedIn)
        details = binding::StoppedWriteNote(binding::DescribeStop(written, context.reach)) + "\n" + details;
    Record(binding::MakeHistoryRecord(identity, written, {history::kOperationWrite, code, {}, details}));
    lastRead_.reset();
    if (everyGroup && code == kOk) {
        lastRead_ = written;
        lastRead_->serial_lo = identity.serial_lo;
        lastRead_->serial_hi = identity.serial_hi;
        lastRead_->general.otk_type = identity.general.otk_type;
        lastRead_->fw_version = identity.fw_version;
    }
    if (code != kOk || !verifyAfterWrite())
        return;
    std::vector<binding::FieldDifference> differences;
    const ErrorCode verified = binding::VerifyWritten(w_.device, w_.device.model, differences);
    Record(binding::MakeHistoryRecord(
        identity, w_.device.model, {history::kOperationVerify, verified, {}, binding::DifferenceLines(differences)}));
    if (!differences.empty())
        w_.messages.ShowMessage("Прибор хранит не то, что записано:\n" + binding::DifferenceLines(differences),
                                "Проверка после записи", MessageIcon::Error);
    else if (verified != kOk)
        ShowErrorMessage(w_.messages, verified);
}

void InstrumentRecords::Restore(binding::CommandContext& context, const history::HistoryRecord& held)
{
    model::SettingsModel settings = w_.device.model;
    if (!binding::TakeHeldSettings(held.details, settings)) {
        w_.messages.ShowMessage("В строке журнала нет полного набора настроек: вернуть их нельзя.", "Вернуть как было",
                                MessageIcon::Error);
        w_.messages.ResultReported(kParameterNotFound);
        return;
    }
    if (!w_.messages.AskYesNo(Question::RestoreHeldSettings,
                              "Записать в прибор " + history::InstrumentNumber(held.typeCode, held.serial) +
                                  " настройки, которые он хранил до записи " +
                                  QDateTime::fromString(QString::fromStdString(held.time), Qt::ISODateWithMs)
                                      .toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))
                                      .toStdString() +
                                  "?\nОкно покажет их вместо своих.",
                              "Вернуть как было", MessageIcon::Warning)) {
        w_.messages.ResultReported(kStoppedToRevise);
        return;
    }
    w_.device.model = settings;
    binding::ShowSettings(settings, context.portNumber, context.controls);
    w_.host.ShowControls(context.controls);
    WriteRecorded(context, &binding::WriteAll, &held);
}

void InstrumentRecords::WriteSerial(binding::CommandContext& context)
{
    using Refusal = binding::RecordedSerialWrite::Refusal;
    const auto record = [this](const history::HistoryRecord& r) { Record(r); };
    binding::RecordedSerialWrite written = binding::WriteSerialNumber(context, history_, record);
    if (written.refusal == Refusal::History && StartNewHistoryIfAgreed(written.message, true))
        written = binding::WriteSerialNumber(context, history_, record);
    if (written.refusal != Refusal::History)
        return;
    w_.messages.ShowMessage(written.message + ".\nНомер не записан: без журнала не проверить, что он не выдан раньше.",
                            "Журнал приборов", MessageIcon::Error);
    w_.messages.ResultReported(written.code);
}

void InstrumentRecords::Compare()
{
    w_.gather();
    model::SettingsModel instrument;
    ErrorCode code = kOk;
    w_.run(
        [&] {
            w_.device.progress.DiscardEscape();
            code = binding::ReadForComparison(w_.device, w_.device.model, instrument);
        },
        true);
    if (code != kOk) {
        ShowErrorMessage(w_.messages, code);
        return;
    }
    ComparisonDialog dialog(&w_.widget, binding::CompareFields(w_.device.model, instrument));
    const int choice = dialog.exec();
    if (choice == ComparisonDialog::TakeInstrumentValues)
        w_.takeValues(instrument);
    else if (choice == ComparisonDialog::WriteDifferences)
        w_.writeGroups(binding::DifferingGroups(binding::CompareSettings(w_.device.model, instrument)));
}

void InstrumentRecords::Produce()
{
    // The instruments are made from the profile chosen in the dialog: the window keeps what its
    // controls show, edits not yet written or saved included.
    EditsKept host(w_.host);
    ProductionDialog dialog(&w_.widget, {w_.device, w_.messages, host, w_.portNumber, w_.setBusy}, *this);
    dialog.exec();
}

void InstrumentRecords::ShowHistory()
{
    HistoryDialog dialog(&w_.widget, history_);
    if (dialog.exec() == QDialog::Accepted && dialog.chosen())
        w_.restore(*dialog.chosen());
}

}  // namespace pmv::gui
