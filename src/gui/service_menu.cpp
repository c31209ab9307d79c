#include "service_menu.h"

#include "binding/history_records.h"
#include "calibration_settings_dialog.h"
#include "device/calibration_coefficients.h"
#include "device/service_commands.h"
#include "messages/error_codes.h"
#include "messages/messages.h"
#include "register_dialog.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <cstdio>

namespace pmv::gui {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr uint32_t kFirstTick = 1000;

}  // namespace

ServiceMenu::ServiceMenu(ServiceHost host, const ServiceOptions& options)
    : QObject(&host.window), host_(std::move(host)),
      declines_(host_.messages), calibration_{host_.device, declines_, *options.waitClock},
      outputTest_(host_.device.exchange), timer4_(host_.clock.NewTicker([this] { Timer4Timer(); }))
{
    calibration_.gather = [this] {
        host_.gather();
        return kOk;
    };
    calibration_.referenceConnected = options.referenceConnected;
    Build();
    menu_->menuAction()->setVisible(options.visible);
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), &host_.window);
    connect(shortcut, &QShortcut::activated, this, [this] { menu_->menuAction()->setVisible(true); });

    timer4_->Start(kFirstTick);
}

ServiceMenu::~ServiceMenu() = default;

QList<QAction*> ServiceMenu::items() const
{
    QList<QAction*> items = menu_->findChildren<QAction*>();
    items.removeOne(menu_->menuAction());
    return items;
}

void ServiceMenu::Build()
{
    menu_ = host_.window.menuBar()->addMenu(Text("С&ервис"));
    menu_->setObjectName("ServiceMenu");
    static const char* const kChannel1[7] = {"Button6",  "Button7",  "Button8", "Button9",
                                             "Button10", "Button11", "Button12"};
    static const char* const kChannel2[7] = {"Button13", "Button14", "Button15", "Button16",
                                             "Button17", "Button18", "Button19"};
    AddCalibrationMenu(0, kChannel1);
    AddCalibrationMenu(1, kChannel2);
    auto add = [this](QMenu* menu, const char* name, const char* caption, std::function<void()> run) {
        QAction* a = menu->addAction(Text(caption));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, std::move(run));
        return a;
    };
    add(menu_, "CalibrationSettings", "П&араметры градуировки...", [this] {
        host_.run([this] { CalibrationSettingsDialog(&host_.window, host_.device.model, host_.messages).exec(); },
                  false);
    });
    menu_->addSeparator();
    AddOutputTestMenu();
    add(menu_, "Button21", "&Доступ к регистрам...", [this] {
        host_.run([this] { RegisterDialog(&host_.window, host_.device.exchange, host_.messages).exec(); }, true);
    });
    add(menu_, "Button31", "&Измерения канала 1", [this] { Run([this] { return ShowMeasurement(0); }); });
    add(menu_, "Button32", "Изм&ерения канала 2", [this] { Run([this] { return ShowMeasurement(1); }); });
    add(menu_, "Button38", "Записать &управляющий байт", [this] { Run([this] { return WriteControlByte(false); }); });
    add(menu_, "Button39", "Пере&ключить управляющий байт", [this] { Run([this] { return WriteControlByte(true); }); });
    add(menu_, "Button43", "Записать вид &отображения ошибки", [this] { Run([this] { return WriteErrorDisplay(); }); });
    menu_->addSeparator();
    add(menu_, "Button29", "Пере&запуск прибора", [this] { Run([this] { return RestartInstrument(); }); });
    add(menu_, "Button30", "&Сброс к заводским настройкам...",
        [this] { Run([this] { return ResetToFactorySettings(); }); });
}

void ServiceMenu::AddCalibrationMenu(uint32_t ch, const char* const names[7])
{
    QMenu* sub = menu_->addMenu(Text(ch == 0 ? "Градуировка канала &1" : "Градуировка канала &2"));
    auto add = [&](const char* name, const char* caption, std::function<ErrorCode()> command) {
        QAction* a = sub->addAction(Text(caption));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, command = std::move(command)] { Run(command); });
    };
    add(names[0], "&UREF и RREF", [this, ch] { return Calibrate(ch, std::nullopt); });
    add(names[1], "Ku 0-10 &В", [this, ch] { return Calibrate(ch, device::CalibrationVariant::Ku10); });
    add(names[2], "Ku 0-100 &мВ", [this, ch] { return Calibrate(ch, device::CalibrationVariant::Ku100); });
    add(names[3], "Ki 0-&20 мА", [this, ch] { return Calibrate(ch, device::CalibrationVariant::Ki20); });
    add(names[4], "Ki 0-&5 мА", [this, ch] { return Calibrate(ch, device::CalibrationVariant::Ki5); });
    sub->addSeparator();
    add(names[5], "&Прочитать коэффициенты", [this, ch] {
        // The window is shown again from the model: what is typed goes into it first.
        host_.gather();
        const ErrorCode code = device::ReadCalibrationCoefficients(host_.device, ch);
        host_.show();
        return code;
    });
    add(names[6], "&Записать коэффициенты", [this, ch] { return WriteCoefficients(ch); });
}

void ServiceMenu::AddOutputTestMenu()
{
    QMenu* sub = menu_->addMenu(Text("Про&верка выходов"));
    sub->setObjectName("OutputTestMenu");
    outputMenu_ = sub;
    const std::tuple<const char*, const char*, ErrorCode (device::OutputTest::*)()> items[] = {
        {"Button20", "&Режим проверки вкл./выкл.", &device::OutputTest::ToggleTestMode},
        {"Button33", "&Включить все выходы", &device::OutputTest::AllOn},
        {"Button34", "В&ыключить все выходы", &device::OutputTest::AllOff},
        {"Button35", "Пре&дыдущий выход", &device::OutputTest::PreviousOutput},
        {"Button36", "&Следующий выход", &device::OutputTest::NextOutput},
        {"Button37", "П&еребор выходов: пуск/стоп", &device::OutputTest::RunStop},
    };
    for (const auto& [name, caption, command] : items) {
        QAction* a = sub->addAction(Text(caption));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, c = command] {
            Run([this, c] { return (outputTest_.*c)(); });
            if (outputTest_.running())
                timer4_->Start(device::OutputTest::kTimerIntervalMs);
            ShowOutputTestState();
        });
    }
}

void ServiceMenu::Run(const std::function<ErrorCode()>& command)
{
    std::optional<ErrorCode> code;
    host_.run(
        [&] {
            host_.device.progress.DiscardEscape();
            code = command();
        },
        true);
    // A refusal follows the operator's own No: a box would only repeat it, the status bar tells it.
    if (code == kStoppedToRevise)
        host_.messages.ResultReported(*code);
    else if (code != kOk)
        ShowErrorMessage(host_.messages, *code);
}

ErrorCode ServiceMenu::Calibrate(uint32_t ch, std::optional<device::CalibrationVariant> variant)
{
    const ErrorCode code = binding::CalibrateWithRecord(calibration_, declines_, variant, ch, {}, host_.record);
    // A No to writing the result keeps it in the window only: "Выполнено" alone would read as written.
    if (code == kOk && declines_.declined && !calibration_.written)
        host_.messages.OutcomeNoted("результат только в окне, в прибор не записан");
    return code;
}

ErrorCode ServiceMenu::WriteCoefficients(uint32_t ch)
{
    host_.gather();
    const binding::RecordedCoefficientsWrite written = binding::WriteCoefficientsWithRecord(
        host_.device, ch, {}, [this](ErrorCode code) { ShowErrorMessage(host_.messages, code); });
    host_.record(written.record);
    return written.restart;
}

ErrorCode ServiceMenu::ResetToFactorySettings()
{
    const binding::RecordedFactoryReset reset = binding::FactoryResetWithRecord(host_.device, host_.messages);
    if (reset.record)
        host_.record(*reset.record);
    return reset.code;
}

ErrorCode ServiceMenu::ShowMeasurement(uint32_t ch)
{
    device::MeasurementRecord& record = calibration_.records[ch];
    if (const ErrorCode code = device::ReadMeasurementBlock(host_.device.exchange, ch, record); code != kOk)
        return code;
    host_.messages.ShowMessage(device::MeasurementLine(record), ch == 0 ? "Измерения канала 1" : "Измерения канала 2",
                               MessageIcon::Information);
    return kOk;
}

ErrorCode ServiceMenu::WriteControlByte(bool toggle)
{
    constexpr int32_t kToggledBit = 0x02;
    const int32_t byte = toggle ? controlByte_ ^ kToggledBit : controlByte_;
    char question[96];
    std::snprintf(question, sizeof question, "Записать в прибор управляющий байт 0x%02X?", static_cast<unsigned>(byte));
    if (!host_.messages.AskYesNo(Question::WriteControlByte, question, "Управляющий байт", MessageIcon::Warning))
        return kStoppedToRevise;
    controlByte_ = byte;
    return device::WriteByte(host_.device.exchange, device::regs::kControl, controlByte_);
}

ErrorCode ServiceMenu::RestartInstrument()
{
    if (!host_.messages.AskYesNo(Question::RestartInstrument,
                                 "Перезапустить прибор? Пока он перезапускается, измерение и выходы не работают.",
                                 "Перезапуск прибора", MessageIcon::Warning))
        return kStoppedToRevise;
    return device::Restart(host_.device.exchange);
}

ErrorCode ServiceMenu::WriteErrorDisplay()
{
    host_.gather();
    return device::WriteByte(host_.device.exchange, device::regs::kErrVer, host_.device.model.general.err_ver);
}

void ServiceMenu::Timer4Timer()
{
    timer4_->Start(device::OutputTest::kTimerIntervalMs);
    // The tick is the walk's own, not the operator's, yet it waits for a running operation like
    // the menu's commands. The exchange is asked as well, as the live poll does: should an
    // exchange ever let the window's events run, a request of the tick's must not cut into it.
    if (!outputTest_.running() || host_.device.exchange.InExchange())
        return;
    host_.run(
        [this] {
            ShowErrorMessage(host_.messages, outputTest_.Tick());
            ShowOutputTestState();
        },
        false);
}

void ServiceMenu::ShowOutputTestState()
{
    QString state = Text("Про&верка выходов");
    if (outputTest_.testMode())
        state += Text(" (режим вкл., выход %1%2)")
                     .arg(outputTest_.selectedOutput() + 1)
                     .arg(outputTest_.running() ? Text(", перебор") : QString());
    else
        state += Text(" (режим выкл.)");
    outputMenu_->setTitle(state);
}

}  // namespace pmv::gui
