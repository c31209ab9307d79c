#pragma once

#include "binding/bus.h"
#include "binding/commands.h"
#include "binding/control_values.h"
#include "binding/session.h"
#include "key_watch.h"
#include "progress_panel.h"
#include "service_menu.h"
#include "state_table.h"
#include "window_clock.h"
#include "window_messages.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

class QCloseEvent;
class QPaintEvent;
class QPushButton;
class QTabWidget;

namespace pmv::gui {

class ChannelsPage;
class ConfigurationPage;
class EditsGuard;
class InstrumentRecords;
class LinkStatusBar;
class PortWatch;
class RecentProfilesMenu;
class TrendChart;
class GeneralPage;
class LiveValuesPage;
class RelaysPage;
class TopBar;
struct BoundWidgets;

inline constexpr const char* kCaptionPrefix = "Настройка ПМВ 77xx пользовательская верс.";

struct WindowOptions {
    // A serial device used instead of the one the port number names; never written to dev.dat.
    std::string portDevice;
    // The service menu: shown from the start, or after Ctrl+Alt+S.
    ServiceOptions service{};
    // The working folder was named at start (--workdir, --desktop): the file dialogs leave it.
    bool keepWorkFolder = false;
    // The window's timers and the trend's time; the system's when null.
    WindowClock* clock = nullptr;
    // The instrument is the program's own simulation (--simulate): the caption and the status
    // bar say so for the whole run.
    bool simulated = false;
};

inline constexpr const char* kSimulatedMark = "Имитация прибора";

// The one working window: the menu, the top bar, the five pages, start-up and close. The
// session holds the program's objects; the pages show them; the binding runs every command.
class MainWindow final : public QMainWindow, private binding::CommandHost {
    Q_OBJECT

public:
    explicit MainWindow(const WindowOptions& options = {});
    ~MainWindow() override;

    model::SettingsModel& model() { return session_.model; }
    link::LinkPort& port() { return session_.port; }
    link::Exchange& exchange() { return session_.exchange; }
    // True while an operation runs; the window then starts nothing that changes the model.
    bool busy() const { return state_.activity() == Activity::Running; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Файл, then the service menu, then Справка last.
    void BuildFileMenu();
    // "Отчёты": the configuration report with or without a read, and the passport page.
    void BuildReportsMenu();
    void BuildHelpMenu();
    // The reading part of "Генерируем страничку в паспорт", then the page's preview.
    void MakePassportPage();

    // main_window_pages.cpp: the notebook with its first page built and the others waiting in
    // their tabs; they are built once the first frame is on the screen, or before then by
    // whatever needs them.
    void BuildPages(QWidget& client);
    // The one place that builds the pages not built yet, filled from the control values and
    // hooked like the first. Everything that reaches into them comes here first.
    void EnsurePages();
    bool PagesBuilt() const { return relays_ != nullptr; }
    // The widgets of the pages built so far; the values of the others wait in `controls_`.
    BoundWidgets Bound() const;

    // The top bar and the first page, and the other pages once they are built: what each control
    // runs, and the rows of the state table that hold them while an operation runs.
    void ConnectPages();
    void ConnectLaterPages();
    // An exchange button; `replaced`, when given, names the groups whose shown settings the
    // button's read replaces (the user is asked about their edits first).
    void ConnectOperation(QPushButton* button, Command what, const char* done,
                          std::function<binding::GroupFlags()> replaced,
                          std::function<void(binding::CommandContext&)> command);

    void Start();
    void ReloadRecentProfile();
    // The state kept in dev.dat and recent.prf, or one message saying it could not be.
    void SaveAtClose();
    void ShowModel();
    void SetCaption(const QString& fileName);
    // "Связь → Приборы на линии…", and the instrument chosen there made the window's: its address
    // and speed in force (in dev.dat too when `keep`), named in the title and the status bar.
    void ShowBusView();
    void ChooseInstrument(const binding::BusInstrument& instrument, bool keep);
    // The files the window writes on its own (dev.dat, recent.prf, the factory profiles): each
    // message once per run, not again from the second load and the close.
    void ShowFileErrorOnce(const std::optional<std::string>& error);
    void ShowFileErrorOnce(const std::optional<ini::FileError>& error);
    // The devices of the port numbers and the state of the port, as the adapters are now.
    void ShowPorts();

    // Running: the state table holds everything off that would change the model; back to idle,
    // a close that came meanwhile follows.
    void SetActivity(Activity activity);
    void SetBusy(bool running) { SetActivity(running ? Activity::Running : Activity::Idle); }
    // What the controls show, into the model.
    void GatherControls();
    // Runs a command of the binding on what the controls show, when the state table allows it;
    // an operation holds the window off until it ends.
    void Run(Command what, const std::function<void(binding::CommandContext&)>& command, bool operation = false);
    RunCommand Runner(Command what);
    void OpenProfile();
    // A profile of "Последние профили"; a missing file is told and leaves the list.
    void OpenRecentProfile(const std::string& path);
    void OpenProfileAt(const QString& path);
    // False when the dialog was cancelled or the file refused.
    bool SaveProfile();

    // main_window_edits.cpp: unsaved edits, the entry in error, the work folder.
    void WatchEdits();
    // The controls into the model first, so that a command that only looks at the model (a
    // report) takes a value still being typed.
    void CommitEdits() { GatherControls(); }
    // The groups whose boxes are ticked: what "Прочитать выбранное" reads.
    binding::GroupFlags TickedGroups() const;
    // Ticks the group boxes as the user's clicks would, each as `groups` says.
    void TickGroups(const binding::GroupFlags& groups);
    // "Записать выбранные" for `groups` alone; the boxes the user had ticked come back after.
    void WriteGroups(const binding::GroupFlags& groups);
    // A read that replaced the shown settings of `read` with the instrument's; the description
    // keeps its reference.
    void SettleRead(const binding::GroupFlags& read);
    // recent.prf into the model; in a read-only work folder it is read and nothing is written.
    void LoadRecentProfile();
    // Start in a folder that cannot be written: one message and a lasting mark in the status bar.
    void NoteReadOnlyFolder();
    bool InReadOnlyFolder(const std::string& error) const;

    // CommandHost: the state table holds the exchange controls off for the whole operation.
    void ShowControls(const binding::ControlValues& values) override;
    void RepaintNow() override;
    void ShowEntry(const std::string& field) override;

    KeyWatch keys_;
    WindowMessages messages_;
    ProgressPanel progress_;
    binding::Session session_;
    EventLoopClock ownClock_;
    WindowClock& clock_;
    std::string portOverride_;
    bool keepWorkFolder_;
    bool simulated_;
    TopBar* top_;
    QTabWidget* pages_ = nullptr;
    ChannelsPage* channels_ = nullptr;
    // Null until the pages after the first are built (EnsurePages).
    RelaysPage* relays_ = nullptr;
    GeneralPage* general_ = nullptr;
    LiveValuesPage* live_ = nullptr;
    ConfigurationPage* configuration_ = nullptr;
    std::array<QWidget*, 4> laterTabs_{};  // the tabs the pages after the first are built into
    std::unique_ptr<Ticker> buildPages_;
    bool buildDue_ = false;
    ServiceMenu* service_ = nullptr;
    InstrumentRecords* records_ = nullptr;
    QMenu* connectionMenu_ = nullptr;
    LinkStatusBar* linkStatus_ = nullptr;
    PortWatch* portWatch_ = nullptr;
    TrendChart* trend_ = nullptr;
    binding::ControlValues controls_;
    WindowState state_;
    std::unique_ptr<Ticker> reload_;  // the form's Timer2
    bool closeRequested_ = false;     // a close came during an operation: it follows the operation
    std::set<std::string> shownFileErrors_;
    EditsGuard* edits_ = nullptr;
    RecentProfilesMenu* recentProfiles_ = nullptr;
    std::string readOnlyFolder_;  // the work folder when it cannot be written; empty otherwise
    QString captionFile_;
    QString chosenInstrument_;  // empty until one is chosen on the line
};

}  // namespace pmv::gui
