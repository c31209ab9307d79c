#include "instrument_records.h"

#include "binding/history_records.h"
#include "binding/settings_diff.h"
#include "binding/window_commands.h"
#include "comparison_dialog.h"
#include "history_dialog.h"
#include "messages/error_codes.h"
#include "messages/messages.h"
#include "production_dialog.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

namespace pmv::gui {
namespace {

constexpr const char* kVerifyKey = "verifyAfterWrite";

// The window's host without ShowControls: what another model shows never reaches the controls.
class EditsKept final : public binding::CommandHost {
public:
    explicit EditsKept(binding::CommandHost& window) : window_(window) {}
    void LockCommands() override { window_.LockCommands(); }
    void UnlockCommands() override { window_.UnlockCommands(); }
    void ShowControls(const binding::ControlValues&) override { window_.RepaintNow(); }
    void RepaintNow() override { window_.RepaintNow(); }

private:
    binding::CommandHost& window_;
};

QSettings ProgramSettings()
{
    return QSettings(QStringLiteral("pmv77xx"), QStringLiteral("pmvconf"));
}

}  // namespace

InstrumentRecords::InstrumentRecords(Window window, QMenu& file)
    : w_(std::move(window)), history_(w_.history)
{
    file.addSeparator();
    const auto add = [&](const char* text, const char* name, void (InstrumentRecords::*handler)()) {
        QAction* action = file.addAction(QString::fromUtf8(text));
        action->setObjectName(QString::fromUtf8(name));
        connect(action, &QAction::triggered, this, [this, handler] { w_.run([&] { (this->*handler)(); }, false); });
        items_.append(action);
    };
    add("Сравнить с прибором…", "CompareAction", &InstrumentRecords::Compare);
    add("Выпуск прибора…", "ProduceAction", &InstrumentRecords::Produce);
    add("Журнал приборов…", "HistoryAction", &InstrumentRecords::ShowHistory);
    verify_ = file.addAction(QString::fromUtf8("Проверять после записи"));
    verify_->setObjectName("VerifyAfterWriteAction");
    verify_->setCheckable(true);
    verify_->setChecked(ProgramSettings().value(kVerifyKey, false).toBool());
    connect(verify_, &QAction::toggled, this, [](bool on) { ProgramSettings().setValue(kVerifyKey, on); });
    items_.append(verify_);
}

bool InstrumentRecords::verifyAfterWrite() const
{
    return verify_->isChecked();
}

bool InstrumentRecords::StartNewHistoryIfAgreed(const std::string& failure, bool askAgain)
{
    if (!history_.corrupt() || (newHistoryDeclined_ && !askAgain))
        return false;
    newHistoryDeclined_ = !w_.messages.AskYesNo(Question::Other,
                                                failure + ".\nСохранить его в стороне и начать новый журнал? Следующий номер выпуска будет выше паспортов в папке паспортов; номера, выданные без паспорта в ней, новый журнал знать не будет.",
                                                "Журнал приборов", MessageIcon::Warning);
    if (newHistoryDeclined_)
        return false;
    if (const auto startFailure = history_.StartNew()) {
        w_.messages.ShowMessage(*startFailure, "Журнал приборов", MessageIcon::Error);
        return false;
    }
    if (const auto notice = history_.TakeNotice())
        w_.messages.ShowMessage(*notice, "Журнал приборов", MessageIcon::Information);
    return true;
}

void InstrumentRecords::Record(const history::HistoryRecord& record)
{
    std::optional<std::string> failure = history_.Record(record);
    if (failure && StartNewHistoryIfAgreed(*failure))
        failure = history_.Record(record);
    if (failure && !failureShown_)
        w_.messages.ShowMessage(*failure, "Журнал приборов", MessageIcon::Warning);
    failureShown_ |= failure.has_value();
}

void InstrumentRecords::Write(binding::CommandContext& context, ErrorCode (*write)(binding::CommandContext&))
{
    model::SettingsModel identity;
    context.beforeWriting = binding::IdentityBeforeWriting(w_.device, identity);
    const ErrorCode code = write(context);
    context.beforeWriting = {};
    Record(binding::MakeHistoryRecord(identity, w_.device.model,
                                      {history::kOperationWrite, code, {}, binding::SettingsValueLines(w_.device.model)}));
    if (code != kOk || !verifyAfterWrite())
        return;
    std::vector<binding::FieldDifference> differences;
    const ErrorCode verified = binding::VerifyWritten(w_.device, w_.device.model, differences);
    Record(binding::MakeHistoryRecord(identity, w_.device.model, {history::kOperationVerify, verified, {}, binding::DifferenceLines(differences)}));
    if (!differences.empty())
        w_.messages.ShowMessage("Прибор хранит не то, что записано:\n" + binding::DifferenceLines(differences),
                                "Проверка после записи", MessageIcon::Error);
    else if (verified != kOk)
        ShowErrorMessage(w_.messages, verified);
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
    dialog.exec();
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
    dialog.exec();
}

}  // namespace pmv::gui
