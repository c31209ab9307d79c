#include "main_window.h"

#include "binding/binding.h"
#include "binding/file_errors.h"
#include "binding/window_commands.h"
#include "bus_view_dialog.h"
#include "channels_page.h"
#include "connection_menu.h"
#include "control_table.h"
#include "device/instrument_search.h"
#include "edits_guard.h"
#include "help_dialogs.h"
#include "instrument_records.h"
#include "keyboard.h"
#include "link/link_settings.h"
#include "live_values_page.h"
#include "messages/error_codes.h"
#include "model/factory_profiles.h"
#include "model/profile.h"
#include "port_watch.h"
#include "recent_profiles_menu.h"
#include "status_bar.h"
#include "top_bar.h"
#include "trend_chart.h"
#include "widgets.h"
#include "work_folder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QDate>
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPalette>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>

namespace pmv::gui {
namespace {

// The second load of recent.prf, once the window is up.
constexpr uint32_t kReloadMs = 200;

}  // namespace

MainWindow::MainWindow(const WindowOptions& options)
    : messages_(*this, keys_), progress_(keys_), session_(messages_, progress_),
      clock_(options.clock ? *options.clock : ownClock_), portOverride_(options.portDevice),
      keepWorkFolder_(options.keepWorkFolder), simulated_(options.simulated)
{
    setObjectName("Form1");
    // A device named on the command line needs no look at the system's serial ports, which takes
    // tens of milliseconds; the status bar built below names it at once.
    if (!portOverride_.empty())
        session_.UseGivenDevice(portOverride_);
    setFont(widgets::WindowFont());
    auto* client = new QWidget;
    client->setFixedSize(703, 461 + kTrendHeight);
    setCentralWidget(client);

    top_ = new TopBar(client);
    BuildPages(*client);
    progress_.Build(*client);

    BuildFileMenu();
    BuildReportsMenu();
    ServiceOptions service = options.service;
    if (!service.waitClock)
        service.waitClock = &ownClock_;
    service_ = new ServiceMenu({*this, session_.device, messages_, [this] { GatherControls(); },
                                [this] { ShowModel(); }, Runner(Command::ServiceMenu), clock_,
                                [this](const history::HistoryRecord& record) { records_->Record(record); }},
                               service);
    state_.Add(Command::ServiceMenu, service_->items());
    connectionMenu_ =
        InstallConnectionMenu(*this, session_.port, session_.exchange, session_.line, session_.clock, progress_,
                              messages_, session_.history, [this](bool running) { SetBusy(running); });
    QAction* bus = connectionMenu_->addAction(QString::fromUtf8("Приборы на &линии…"));
    bus->setObjectName("BusViewAction");
    connect(bus, &QAction::triggered, this, [this] { ShowBusView(); });
    state_.Add(Command::FileMenu, connectionMenu_->actions());
    BuildHelpMenu();
    linkStatus_ = new LinkStatusBar(*statusBar(), session_.port, session_.line, session_.exchange,
                                    [this] { return messages_.BoxOpenMs(); });
    messages_.onResult = [this](ErrorCode code) { linkStatus_->ResultReported(code); };
    messages_.onNote = [this](const std::string& note) { linkStatus_->NoteOutcome(QString::fromStdString(note)); };
    InstallWindowKeys(*this, *pages_);
    ChainTabOrder(*pages_, *top_);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());

    if (simulated_) {
        auto* mark = new QLabel(QString::fromUtf8(kSimulatedMark));
        mark->setObjectName("SimulatedMark");
        // A font and a palette, not a style sheet, whose machinery costs the start tens of milliseconds.
        QFont bold = mark->font();
        bold.setBold(true);
        mark->setFont(bold);
        QPalette orange = mark->palette();
        orange.setColor(QPalette::WindowText, QColor(0xb0, 0x50, 0x00));
        mark->setPalette(orange);
        statusBar()->addPermanentWidget(mark);
    }
    reload_ = clock_.NewTicker([this] { ReloadRecentProfile(); }, true);
    ConnectPages();
    Start();
}

MainWindow::~MainWindow() = default;

void MainWindow::Start()
{
    if (const std::string folder = model::CurrentDirectory(); !FolderWritable(folder))
        readOnlyFolder_ = folder;
    ShowFileErrorOnce(session_.LoadLinkSettings());
    LoadRecentProfile();
    recentProfiles_->Load(model::RecentProfilePath());
    if (readOnlyFolder_.empty())
        ShowFileErrorOnce(model::CreateDefaultProfiles());
    SetCaption({});
    ShowFileErrorOnce(session_.OpenPort());
    portWatch_ = new PortWatch(
        this, session_, clock_, [this] { return busy(); },
        [this](const std::vector<link::SerialPortInfo>&, const std::optional<ini::FileError>& fileError) {
            ShowFileErrorOnce(fileError);
            ShowPorts();
        });
    ShowPorts();
    pages_->setCurrentIndex(0);
    channels_->channels[0]->sensorType->setFocus();
    const QDate today = QDate::currentDate();
    session_.model.made_day = today.day();
    session_.model.made_month = today.month();
    session_.model.made_year = today.year();
    ShowModel();
    RepaintNow();
    WatchEdits();
    NoteReadOnlyFolder();
    reload_->Start(kReloadMs);
}

void MainWindow::ShowPorts()
{
    top_->ShowPortDevices(session_.port, portOverride_, portWatch_->found());
    linkStatus_->ShowLink();
}

void MainWindow::ReloadRecentProfile()
{
    // The second load waits for an operation that started in the meantime.
    if (!state_.Allows(Command::RecentReload)) {
        reload_->Start(kReloadMs);
        return;
    }
    LoadRecentProfile();
    ShowModel();
    RepaintNow();
    edits_->Settle();
}

void MainWindow::GatherControls()
{
    TakeControls(Bound(), controls_);
    binding::GatherSettings(controls_, session_.model, messages_);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // An operation between two of its exchanges still needs the port and the model: the close
    // stops it like Esc, and the window closes once it has ended.
    if (busy()) {
        closeRequested_ = true;
        keys_.PressEscape();
        event->ignore();
        return;
    }
    if (!edits_->MayClose()) {
        event->ignore();
        return;
    }
    SaveAtClose();
    event->accept();
}

void MainWindow::ShowModel()
{
    binding::ShowSettings(session_.model, session_.port.settings().Number, controls_);
    PutControls(controls_, Bound());
}

void MainWindow::SetCaption(const QString& fileName)
{
    captionFile_ = fileName;
    QString caption =
        QString::fromUtf8(kCaptionPrefix) + ProgramVersion() + QStringLiteral(" ") + fileName + QStringLiteral("[*]");
    if (!chosenInstrument_.isEmpty())
        caption += QString::fromUtf8(" — ") + chosenInstrument_;
    if (simulated_)
        caption += QString::fromUtf8(" — %1").arg(QString::fromUtf8(kSimulatedMark));
    setWindowTitle(caption);
}

void MainWindow::ShowBusView()
{
    SetBusy(true);
    // The page of current values polls one instrument; the table polls them all in turn.
    EnsurePages();
    live_->HoldPolls(true);
    BusViewDialog dialog(
        this, session_, messages_, clock_,
        [this](const binding::BusInstrument& instrument, bool keep) { ChooseInstrument(instrument, keep); });
    dialog.exec();
    live_->HoldPolls(false);
    SetBusy(false);
    linkStatus_->ShowLink();
}

void MainWindow::ChooseInstrument(const binding::BusInstrument& instrument, bool keep)
{
    link::LinkSettings& settings = session_.port.settings();
    settings.NetAdrr = static_cast<int32_t>(instrument.address);
    settings.Settings = device::SettingsWithBaud(settings.Settings, instrument.baud);
    settings.BaudRate = instrument.baud;
    session_.exchange.values().DeviceAddress = instrument.address;
    link::SetLineSpeed(session_.exchange.values(), instrument.baud);
    session_.line.Configure(instrument.baud);
    if (keep)
        ShowFileErrorOnce(link::SaveAddressAndSpeed(link::LinkSettingsPath(), settings));
    const std::string number = binding::NumberText(instrument);
    chosenInstrument_ = QString::fromUtf8("прибор: адрес %1%2")
                            .arg(instrument.address)
                            .arg(number.empty() ? QString() : ", " + QString::fromStdString(number));
    linkStatus_->SetInstrument(chosenInstrument_);
    SetCaption(captionFile_);
    linkStatus_->ShowLink();
}

void MainWindow::ShowFileErrorOnce(const std::optional<std::string>& error)
{
    // The files of a read-only work folder were told of once, as the folder.
    if (error && !InReadOnlyFolder(*error) && shownFileErrors_.insert(*error).second)
        binding::ShowFileError(messages_, *error);
}

void MainWindow::ShowFileErrorOnce(const std::optional<ini::FileError>& error)
{
    if (error)
        ShowFileErrorOnce(std::optional<std::string>(binding::FileErrorText(*error)));
}

void MainWindow::ShowControls(const binding::ControlValues& values)
{
    // The values of the pages not built yet wait in the window's own.
    if (&values != &controls_)
        controls_ = values;
    PutControls(values, Bound());
    RepaintNow();
}

void MainWindow::RepaintNow() { repaint(); }

}  // namespace pmv::gui
