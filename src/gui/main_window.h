#pragma once

#include "binding/commands.h"
#include "binding/control_values.h"
#include "device/device.h"
#include "device/live_values.h"
#include "key_watch.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/link_port.h"
#include "link/qt_serial_line.h"
#include "model/settings_model.h"
#include "progress_panel.h"
#include "service_menu.h"
#include "window_messages.h"

#include <QFileDialog>
#include <QMainWindow>
#include <QTimer>

#include <optional>
#include <set>
#include <string>

class QCloseEvent;
class QMenu;

namespace pmv {

class InstrumentRecords;

class LinkStatusBar;

inline constexpr const char* kCaptionPrefix = "Настройка ПМВ 77xx пользовательская верс.";
inline constexpr const char* kProgramVersion = "1.0.24.0 ";
inline constexpr const char* kProfileFilter = "Данные настройки прибора (*.prf);;Все файлы (*.*)";

struct WindowOptions {
    // A serial device used instead of the one the port number names; never written to dev.dat.
    std::string portDevice;
    // The service menu: shown from the start, or after Ctrl+Alt+S.
    ServiceOptions service{};
};

// `TForm1`, the one working window: the instrument's settings on five pages, the group
// selection, the four exchange commands, the File menu, and the start-up and close of the
// program. It owns the program's single objects: the link with its port, the exchange, the
// settings model, the progress panel and the message boxes.
class TForm1 final : public QMainWindow, private CommandHost {
    Q_OBJECT

public:
    explicit TForm1(const WindowOptions& options = {});
    ~TForm1() override;

    SettingsModel& model() { return model_; }
    LinkPort& port() { return port_; }
    Exchange& exchange() { return exchange_; }
    // True while an exchange command runs; the window then starts nothing that changes the model.
    bool busy() const { return busy_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    template <class T>
    T* Control(const char* name) const;

    void ConnectHandlers();

    // Start-up and close.
    void FormCreate();
    void FormClose();
    void Timer2Timer();
    // The live-values poll: twice a second while the page of current values is shown.
    void Timer3Timer();
    void SetTodayAsProductionDate();
    void SetCaption(const QString& fileName);
    void ShowPortDevices();
    // A failed profile or settings file write, shown by the window and then gone past.
    void ShowFileError(const std::optional<std::string>& error);
    // The same for the files the window writes on its own (dev.dat, recent.prf, the factory
    // profiles): each message once per run, not again from the second load and the close.
    void ShowFileErrorOnce(const std::optional<std::string>& error);
    void ShowDescription(const std::array<std::string, 4>& lines);
    std::vector<std::string> DescriptionLines() const;

    // The binding between the controls and the model.
    void ShowSettings();
    void GatherSettings();
    void ShowGroupSelection();
    ControlValues TakeControls() const;
    void PutControls(const ControlValues& values);
    void RepaintNow();
    // The message of a failed operation, then the window unlocked and redrawn.
    void ShowOperationError(uint32_t code);

    // CommandHost.
    void LockCommands() override;
    void UnlockCommands() override;
    void ShowControls(const ControlValues& values) override;

    // Holds off everything that would change the model or start an exchange while an
    // operation lets the window handle events between its steps.
    class Operation;
    void SetBusy(bool busy);

    // Handlers.
    void RunExchangeCommand(uint32_t (*command)(CommandContext&));
    void GroupClick(int32_t& flag, bool ticked);
    // The open or save dialog of profiles; nothing when the user cancels.
    std::optional<QString> AskProfilePath(QFileDialog::AcceptMode mode);
    void N2Click();
    void N3Click();
    void TabbedNotebook1Change();
    void SensorTypeChange();
    void ComboBox17Change(int position);
    void StringGrid1Click(int row, int column);
    void Button44Click();
    void Button45Click();
    void Button46Click();
    void ComboBox25Change(int position);
    void ComboBox26Change(int position);
    void bcCalendar1Change();
    void Button40Click();
    void Button41Click();
    void Button42Click();

    KeyWatch keys_;
    WindowMessages messages_;
    ProgressPanel progress_;
    SystemClock clock_;
    QtSerialLine line_;
    Exchange exchange_;
    LinkPort port_;
    SettingsModel model_;
    Device device_;
    ControlValues controls_;
    std::string portOverride_;
    QTimer timer2_;
    QTimer timer3_;
    LivePoll poll_;
    LiveValues live_;
    ServiceMenu* service_ = nullptr;
    InstrumentRecords* records_ = nullptr;
    bool calendarUpdating_ = false;  // `CalendarUpdating`
    bool busy_ = false;
    QMenu* connectionMenu_ = nullptr;
    LinkStatusBar* linkStatus_ = nullptr;
    bool closeRequested_ = false;  // a close came during an operation: it follows the operation
    std::set<std::string> shownFileErrors_;
};

}  // namespace pmv
