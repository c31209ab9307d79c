#pragma once

#include "binding/history_records.h"
#include "device/calibration_procedures.h"
#include "device/output_test.h"
#include "state_table.h"
#include "window_clock.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class QAction;
class QMainWindow;
class QMenu;

namespace pmv {
class Messages;
}  // namespace pmv
namespace pmv::history {
struct HistoryRecord;
}  // namespace pmv::history

namespace pmv::gui {

// What the service menu needs from the window it belongs to.
struct ServiceHost {
    QMainWindow& window;
    device::Device& device;
    Messages& messages;
    std::function<void()> gather;                               // the controls into the model
    std::function<void()> show;                                 // the model into the controls
    RunCommand run;                                             // through the row of "Сервис"
    WindowClock& clock;                                         // the output test's timer
    std::function<void(const history::HistoryRecord&)> record;  // a row of the instruments' history
};

struct ServiceOptions {
    bool visible = false;  // else Ctrl+Alt+S shows it
    // Where the calibrations wait their seconds; the window's own event-loop clock when null.
    link::Clock* waitClock = nullptr;
    std::function<void(uint32_t ch, device::Reference reference, float value)> referenceConnected;
};

// "Сервис": the window's commands that no control of its pages reaches - the calibrations, the
// calibration coefficients, the output test with its timer `Timer4`, single registers, restart,
// factory reset, the measurement blocks, the control byte and the error display alone. Each
// action is named after the handler it stands for (`Button6`, ...).
class ServiceMenu final : public QObject {
public:
    ServiceMenu(ServiceHost host, const ServiceOptions& options);
    ~ServiceMenu() override;

    QMenu* menu() const { return menu_; }
    // Every item of the menu and its submenus, for the state table.
    QList<QAction*> items() const;

private:
    void Build();
    void AddCalibrationMenu(uint32_t ch, const char* const names[7]);
    void AddOutputTestMenu();
    // Runs an exchange command as an operation when the state table allows it; a non-zero
    // result is shown.
    void Run(const std::function<ErrorCode()>& command);

    ErrorCode Calibrate(uint32_t ch, std::optional<device::CalibrationVariant> variant);
    ErrorCode ResetToFactorySettings();
    ErrorCode WriteCoefficients(uint32_t ch);
    ErrorCode ShowMeasurement(uint32_t ch);
    // Both ask first: a control byte or a restart changes what the instrument does at once.
    ErrorCode WriteControlByte(bool toggle);
    ErrorCode RestartInstrument();
    ErrorCode WriteErrorDisplay();
    void Timer4Timer();
    // The output test's state in the title of its menu: the mode and the selected output.
    void ShowOutputTestState();

    ServiceHost host_;
    binding::DeclineWatch declines_;
    device::Calibration calibration_;
    device::OutputTest outputTest_;
    std::unique_ptr<Ticker> timer4_;
    QMenu* menu_ = nullptr;
    QMenu* outputMenu_ = nullptr;
    int32_t controlByte_ = 0;
};

}  // namespace pmv::gui
