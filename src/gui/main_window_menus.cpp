#include "main_window.h"

#include "binding/binding.h"
#include "binding/window_commands.h"
#include "control_table.h"
#include "edits_guard.h"
#include "help_dialogs.h"
#include "instrument_records.h"
#include "messages/error_codes.h"
#include "production/production.h"
#include "recent_profiles_menu.h"
#include "report_preview.h"
#include "reports/configuration_report.h"
#include "reports/passport_page.h"
#include "status_bar.h"

#include <QAction>
#include <QDate>
#include <QMenuBar>

// The window's menus: Файл, Отчёты and Справка (Сервис and Связь install themselves).

namespace pmv::gui {

void MainWindow::BuildFileMenu()
{
    QMenu* file = menuBar()->addMenu(QString::fromUtf8("&Файл"));
    file->setObjectName("N1");
    QAction* open = file->addAction(QString::fromUtf8("&Прочитать из файла настройки прибора"),
                                    QKeySequence(Qt::CTRL | Qt::Key_O), this, [this] { OpenProfile(); });
    open->setObjectName("N2");
    QAction* save = file->addAction(QString::fromUtf8("&Сохранить настройки прибора в файл"),
                                    QKeySequence(Qt::CTRL | Qt::Key_S), this, [this] { SaveProfile(); });
    save->setObjectName("N3");
    recentProfiles_ = new RecentProfilesMenu(*file, [this](const std::string& path) { OpenRecentProfile(path); });
    records_ = new InstrumentRecords({*this, session_.device, messages_, *this, [this] { GatherControls(); },
                                      [this] { return session_.port.settings().Number; }, Runner(Command::Production),
                                      [this](bool running) { SetBusy(running); }, session_.history,
                                      [this](const history::HistoryRecord& held) {
                                          if (state_.Allows(Command::ExchangeButtons))
                                              linkStatus_->NameOperation(QString::fromUtf8("Записано"));
                                          Run(
                                              Command::ExchangeButtons,
                                              [&](binding::CommandContext& c) { records_->Restore(c, held); }, true);
                                      },
                                      [this](const model::SettingsModel& instrument) {
                                          session_.model = instrument;
                                          ShowModel();
                                      },
                                      [this](const binding::GroupFlags& groups) { WriteGroups(groups); }},
                                     *file);
    state_.Add(Command::Production, records_->items());
    records_->setParent(this);
    file->addSeparator();
    QAction* exit =
        file->addAction(QString::fromUtf8("Вы&ход"), QKeySequence(Qt::CTRL | Qt::Key_Q), this, &QWidget::close);
    exit->setObjectName("Exit");
    state_.Add(Command::FileMenu, {open, save, recentProfiles_->menu()->menuAction()});
    state_.Add(Command::Exit, {exit});
}

void MainWindow::BuildReportsMenu()
{
    QMenu* reports = AddReportsMenu(*menuBar());
    const auto action = [reports](const char* name) { return reports->findChild<QAction*>(QString::fromUtf8(name)); };
    connect(action("ReportAction"), &QAction::triggered, this, [this] {
        if (!state_.Allows(Command::PassportButton))
            return;
        CommitEdits();
        ShowReportPreview(reports::BuildConfigurationReport(session_.model, reports::Today()), *this);
    });
    connect(action("ReadReportAction"), &QAction::triggered, this, [this, action] {
        if (!state_.Allows(Command::PassportButton) ||
            !edits_->MayRead(action("ReadReportAction")->text(), {true, true, true, true}))
            return;
        Run(
            Command::PassportButton,
            [this](binding::CommandContext& c) {
                if (binding::ReadForReport(c) == kOk)
                    SettleRead({true, true, true, true});
            },
            true);
        ShowReportPreview(reports::BuildConfigurationReport(session_.model, reports::Today()), *this);
    });
    connect(action("PassportAction"), &QAction::triggered, this, [this] { MakePassportPage(); });
    state_.Add(Command::PassportButton, reports->actions());
}

void MainWindow::MakePassportPage()
{
    if (!state_.Allows(Command::PassportButton) ||
        !edits_->MayRead(QString::fromUtf8("Паспорт прибора"), {true, true, true, true}))
        return;
    bool read = false;
    Run(
        Command::PassportButton, [&](binding::CommandContext& c) { read = binding::ReadForPassport(c) == kOk; }, true);
    if (!read)
        return;
    SettleRead({true, true, true, true});
    const model::SettingsModel& m = session_.model;
    ShowReportPreview(
        reports::BuildPassportPage(m, reports::Today()), *this,
        QString::fromStdString(production::PassportFileName(m.general.otk_type & 0xFF, m.SerialNumber())));
}

void MainWindow::BuildHelpMenu()
{
    QMenu* help = menuBar()->addMenu(QString::fromUtf8("Спр&авка"));
    QAction* guide = help->addAction(QString::fromUtf8("&Руководство пользователя"), QKeySequence(Qt::Key_F1), this,
                                     [this] { ShowUserGuide(*this, pages_->tabText(pages_->currentIndex())); });
    guide->setObjectName("UserGuideAction");
    QAction* about = help->addAction(QString::fromUtf8("&О программе"), this,
                                     [this] { ShowAbout(*this, session_.port.DeviceName()); });
    about->setObjectName("AboutAction");
    state_.Add(Command::Help, {guide, about});
}

}  // namespace pmv::gui
