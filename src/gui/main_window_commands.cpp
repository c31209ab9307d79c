#include "main_window.h"

#include "binding/window_commands.h"
#include "channels_page.h"
#include "configuration_page.h"
#include "control_table.h"
#include "edits_guard.h"
#include "general_page.h"
#include "instrument_records.h"
#include "link/network_port.h"
#include "link/port_names.h"
#include "network_port_dialog.h"
#include "port_watch.h"
#include "production_calendar.h"
#include "profile_dialog.h"
#include "recent_profiles_menu.h"
#include "relays_page.h"
#include "status_bar.h"
#include "top_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFileInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <utility>

// What each control of the window runs, and what the state table holds off while an operation runs.

namespace pmv::gui {

void MainWindow::ConnectOperation(QPushButton* button, Command what, const char* done,
                                  std::function<binding::GroupFlags()> replaced,
                                  std::function<void(binding::CommandContext&)> command)
{
    connect(button, &QPushButton::clicked, this, [=, this] {
        // A read shows the instrument's settings in place of the window's: `replaced` names the
        // groups it replaces.
        if (replaced && state_.Allows(what) && !edits_->MayRead(button->text(), replaced()))
            return;
        if (state_.Allows(what))
            linkStatus_->NameOperation(QString::fromUtf8(done));
        Run(what, command, true);
    });
}

void MainWindow::ConnectPages()
{
    // `done` names the operation's outcome in the status bar: "Прочитано за 2,5 с".
    const char* read = "Прочитано";
    const char* written = "Записано";
    const auto every = [] { return binding::GroupFlags{true, true, true, true}; };
    ConnectOperation(top_->readAll, Command::ExchangeButtons, read, every, [this](binding::CommandContext& c) {
        if (binding::ReadAll(c) == kOk) {
            records_->NoteRead(c.device.model);
            SettleRead({true, true, true, true});
        }
    });
    ConnectOperation(
        top_->readSelected, Command::ExchangeButtons, read, [this] { return TickedGroups(); },
        [this](binding::CommandContext& c) {
            if (binding::ReadSelected(c) == kOk) {
                const model::SettingsModel& m = c.device.model;
                SettleRead({m.channel[0].select != 0, m.channel[1].select != 0, m.rele.select != 0,
                            m.general.gen_select != 0});
            }
        });
    ConnectOperation(top_->writeAll, Command::ExchangeButtons, written, {},
                     [this](binding::CommandContext& c) { records_->Write(c, binding::WriteAll); });
    ConnectOperation(top_->writeSelected, Command::ExchangeButtons, written, {},
                     [this](binding::CommandContext& c) { records_->Write(c, binding::WriteSelected); });
    top_->onRefusedCharacters = [this](const std::string& text) {
        messages_.ShowMessage(text, "Описание настроек", MessageIcon::Warning);
    };

    const std::pair<QCheckBox*, bool binding::GroupFlags::*> groups[] = {
        {top_->channel1Box, &binding::GroupFlags::channel1},
        {top_->channel2Box, &binding::GroupFlags::channel2},
        {top_->relaysBox, &binding::GroupFlags::relays},
        {top_->generalBox, &binding::GroupFlags::general}};
    for (const auto& [box, group] : groups)
        connect(box, &QCheckBox::clicked, this, [this, group](bool ticked) {
            Run(Command::GroupBoxes, [&](binding::CommandContext& c) { binding::SelectGroup(c, group, ticked); });
        });

    const auto sync = [this] { Run(Command::ModelSync, binding::SyncControls); };
    connect(pages_, &QTabWidget::currentChanged, this, sync);
    // `activated` comes from the user only: a list moved by ShowSettings runs no handler.
    for (ChannelPanel* panel : channels_->channels)
        connect(panel->sensorType, &QComboBox::activated, this, sync);
    connect(top_->port, &QComboBox::activated, this, [this](int position) {
        std::optional<ini::FileError> failure;
        if (position == binding::kPortListSize) {
            const std::string device = session_.port.DeviceName();
            const auto name = AskNetworkPort(this, messages_, link::IsNetworkName(device) ? device : std::string());
            const std::vector<std::string> found = link::DeviceNames(portWatch_->found());
            Run(Command::PortSelector, [&](binding::CommandContext& c) {
                failure = binding::ChooseNetworkPort(c, session_.port, name, found);
            });
            ShowFileErrorOnce(failure);
            ShowPorts();
            return;
        }
        Run(Command::PortSelector,
            [&](binding::CommandContext& c) { failure = binding::ChangePort(c, session_.port, position); });
        ShowFileErrorOnce(failure);
        ShowPorts();
    });
    state_.Add(Command::ExchangeButtons, {top_->readAll, top_->readSelected, top_->writeAll, top_->writeSelected});
    state_.Add(Command::GroupBoxes, {top_->channel1Box, top_->channel2Box, top_->relaysBox, top_->generalBox});
    state_.Add(Command::PortSelector, {top_->port});
}

void MainWindow::ConnectLaterPages()
{
    ConnectOperation(
        general_->readSerial, Command::SerialButtons, "Прочитано",
        [] {
            return binding::GroupFlags{true, true, true, true};
        },
        [](binding::CommandContext& c) { binding::ReadSerialNumber(c); });
    ConnectOperation(general_->writeSerial, Command::SerialButtons, "Записано", {},
                     [this](binding::CommandContext& c) { records_->WriteSerial(c); });
    connect(configuration_->makePassportPage, &QPushButton::clicked, this, [this] { MakePassportPage(); });
    connect(general_->today, &QPushButton::clicked, this, [this] {
        Run(Command::SerialButtons, [](binding::CommandContext& c) {
            const QDate today = QDate::currentDate();
            binding::SetProductionDate(c, {today.day(), today.month(), today.year()});
        });
    });
    connect(general_->productionMonth, &QComboBox::activated, this, [this](int position) {
        Run(Command::ModelSync, [&](binding::CommandContext& c) { binding::ChooseProductionMonth(c, position); });
    });
    connect(general_->productionYear, &QComboBox::activated, this, [this](int position) {
        Run(Command::ModelSync, [&](binding::CommandContext& c) { binding::ChooseProductionYear(c, position); });
    });
    connect(general_->calendar, &ProductionCalendar::selectionChanged, this, [this] {
        const int day = general_->calendar->selectedDate().day();
        Run(Command::ModelSync, [&](binding::CommandContext& c) { binding::ChooseProductionDay(c, day); });
    });
    state_.Add(Command::SerialButtons, {general_->readSerial, general_->writeSerial, general_->today});
    state_.Add(Command::PassportButton, {configuration_->makePassportPage});
}

void MainWindow::Run(Command what, const std::function<void(binding::CommandContext&)>& command, bool operation)
{
    if (!state_.Allows(what))
        return;
    TakeControls(Bound(), controls_);
    binding::CommandContext context{session_.device, messages_, *this, controls_, session_.port.settings().Number};
    if (!operation) {
        command(context);
        return;
    }
    SetActivity(Activity::Running);
    command(context);
    SetActivity(Activity::Idle);
}

RunCommand MainWindow::Runner(Command what)
{
    return [this, what](const std::function<void()>& command, bool operation) {
        Run(
            what, [&](binding::CommandContext&) { command(); }, operation);
    };
}

void MainWindow::SetActivity(Activity activity)
{
    state_.Set(activity);
    if (linkStatus_)
        activity == Activity::Running ? linkStatus_->OperationStarted() : linkStatus_->OperationFinished();
    if (activity == Activity::Idle && std::exchange(closeRequested_, false))
        QTimer::singleShot(0, this, &QWidget::close);
}

void MainWindow::OpenProfile()
{
    if (!state_.Allows(Command::FileMenu) ||
        !edits_->MayReplace(QString::fromUtf8("Прочитать из файла настройки прибора")))
        return;
    if (const std::optional<QString> path = AskProfilePath(*this, true, keepWorkFolder_))
        OpenProfileAt(*path);
}

void MainWindow::OpenRecentProfile(const std::string& path)
{
    if (!state_.Allows(Command::FileMenu))
        return;
    if (!QFileInfo(QString::fromStdString(path)).isFile()) {
        messages_.ShowMessage("Нет файла профиля " + path + ": он убран из списка последних профилей.",
                              "Последние профили", MessageIcon::Warning);
        recentProfiles_->Remove(path);
        return;
    }
    if (edits_->MayReplace(QString::fromStdString(path)))
        OpenProfileAt(QString::fromStdString(path));
}

void MainWindow::OpenProfileAt(const QString& path)
{
    Run(Command::FileMenu, [&](binding::CommandContext& c) {
        if (const auto description = pmv::binding::OpenProfile(c, path.toStdString())) {
            top_->ShowDescription(*description);
            SetCaption(path);
            edits_->Settle();
            recentProfiles_->Add(path.toStdString());
        }
    });
}

bool MainWindow::SaveProfile()
{
    const std::optional<QString> path = AskProfilePath(*this, false, keepWorkFolder_);
    if (!path)
        return false;
    bool saved = false;
    Run(Command::FileMenu, [&](binding::CommandContext& c) {
        saved = binding::SaveProfileAs(c, path->toStdString(), top_->DescriptionLines());
    });
    if (saved) {
        edits_->Settle();
        recentProfiles_->Add(path->toStdString() + ".prf");
    }
    return saved;
}

}  // namespace pmv::gui
