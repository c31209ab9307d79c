#include "main_window.h"

#include "binding/file_errors.h"
#include "binding/profile_load.h"
#include "control_table.h"
#include "edits_guard.h"
#include "link/link_settings.h"
#include "model/profile.h"
#include "recent_profiles_menu.h"
#include "top_bar.h"
#include "work_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

// The window's unsaved edits, the entry in error and the work folder it keeps its state in.

namespace pmv::gui {

void MainWindow::WatchEdits()
{
    edits_ = new EditsGuard({*this,
                             [this] {
                                 binding::ControlValues shown = controls_;
                                 TakeControls(Bound(), shown);
                                 return shown;
                             },
                             [this] { return top_->DescriptionLines(); },
                             [this]() -> const model::SettingsModel& { return session_.model; },
                             [this] { return SaveProfile(); }});
    edits_->Watch(*centralWidget());
    edits_->Settle();
}

binding::GroupFlags MainWindow::TickedGroups() const
{
    binding::ControlValues shown = controls_;
    TakeControls(Bound(), shown);
    return shown.top.groupBoxes;
}

void MainWindow::TickGroups(const binding::GroupFlags& groups)
{
    const std::pair<QCheckBox*, bool> boxes[] = {{top_->channel1Box, groups.channel1},
                                                 {top_->channel2Box, groups.channel2},
                                                 {top_->relaysBox, groups.relays},
                                                 {top_->generalBox, groups.general}};
    for (const auto& [box, ticked] : boxes)
        if (box->isChecked() != ticked)
            box->click();
}

void MainWindow::WriteGroups(const binding::GroupFlags& groups)
{
    const binding::GroupFlags ticked = TickedGroups();
    TickGroups(groups);
    top_->writeSelected->click();
    TickGroups(ticked);
}

void MainWindow::SettleRead(const binding::GroupFlags& read)
{
    // A read leaves the description as it was, edited or not.
    edits_->SettleGroups(read);
}

void MainWindow::LoadRecentProfile()
{
    const std::string path = model::RecentProfilePath();
    const binding::LoadedProfile recent = binding::LoadProfileKeepingFile(path, session_.model);
    if (!recent.unread)
        top_->ShowDescription(recent.description);
    if (recent.notUpdated)
        ShowFileErrorOnce(recent.existed && !recent.unread ? binding::NotUpdatedText(path, *recent.notUpdated)
                                                           : binding::FileErrorText(*recent.notUpdated));
}

bool MainWindow::InReadOnlyFolder(const std::string& error) const
{
    return !readOnlyFolder_.empty() && error.find(readOnlyFolder_ + "/") != std::string::npos;
}

void MainWindow::NoteReadOnlyFolder()
{
    if (readOnlyFolder_.empty())
        return;
    auto* mark = new QLabel(QString::fromUtf8("Папка только для чтения: ") + QString::fromStdString(readOnlyFolder_));
    mark->setObjectName("ReadOnlyFolderLabel");
    statusBar()->addPermanentWidget(mark);
    // The exchange log of the folder cannot be written either: the folder's message tells it.
    session_.exchange.OnLogFailure([this](const std::string& path, int error) {
        if (path.find('/') != std::string::npos && !path.starts_with(readOnlyFolder_ + "/"))
            messages_.ShowMessage(binding::LogNotWrittenText(path, error), "Ошибка", MessageIcon::Warning);
    });
    messages_.ShowMessage(
        "Рабочая папка " + readOnlyFolder_ +
            " только для чтения.\nОкно показывает профиль recent.prf из нее (без него - значения нового "
            "профиля), но ничего в нее не записывает: ни dev.dat, ни recent.prf, ни заводские профили, ни журнал "
            "обмена. "
            "Состояние окна при выходе сохранить не удастся.",
        "Рабочая папка", MessageIcon::Warning);
}

void MainWindow::SaveAtClose()
{
    std::vector<std::string> failures;
    const auto note = [&](const std::optional<ini::FileError>& error) {
        if (error)
            failures.push_back(binding::FileErrorText(*error));
    };
    const std::string folder = model::CurrentDirectory();
    const bool writable = FolderWritable(folder);
    const std::optional<ini::FileError> linkError = session_.port.SaveLinkSettingsAtExit(link::LinkSettingsPath());
    GatherControls();
    if (writable) {
        note(linkError);
        const std::optional<ini::FileError> failed =
            pmv::model::SaveProfile(model::RecentProfilePath(), session_.model, top_->DescriptionLines());
        note(failed);
        if (!failed)
            note(recentProfiles_->list().Save(model::RecentProfilePath()));
    } else {
        failures.push_back("папка " + folder + " только для чтения");
    }
    if (failures.empty())
        return;
    std::string text = "Состояние окна не сохранено (номер порта в dev.dat, настройки в recent.prf):";
    for (const std::string& failure : failures)
        text += "\n" + failure;
    messages_.ShowMessage(text, "Выход", MessageIcon::Warning);
}

void MainWindow::ShowEntry(const std::string& field)
{
    EnsurePages();
    const char* name = BoundObjectName(Bound(), controls_, &field);
    QWidget* widget = name ? findChild<QWidget*>(QString::fromUtf8(name)) : nullptr;
    if (!widget)
        return;
    for (int page = 0; page < pages_->count(); ++page)
        if (pages_->widget(page)->isAncestorOf(widget))
            pages_->setCurrentIndex(page);
    widget->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->selectAll();
    else if (auto* list = qobject_cast<QComboBox*>(widget); list && list->lineEdit())
        list->lineEdit()->selectAll();
}

}  // namespace pmv::gui
