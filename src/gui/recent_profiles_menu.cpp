#include "recent_profiles_menu.h"

#include <QAction>
#include <QMenu>

#include <utility>

namespace pmv::gui {

RecentProfilesMenu::RecentProfilesMenu(QMenu& file, std::function<void(const std::string&)> open)
    : QObject(&file), menu_(file.addMenu(QString::fromUtf8("Последние профили"))), open_(std::move(open))
{
    menu_->setObjectName("RecentProfilesMenu");
    Fill();
}

void RecentProfilesMenu::Load(const std::string& statePath)
{
    list_.Load(statePath);
    Fill();
}

void RecentProfilesMenu::Add(const std::string& path)
{
    list_.Add(path);
    Fill();
}

void RecentProfilesMenu::Remove(const std::string& path)
{
    list_.Remove(path);
    Fill();
}

void RecentProfilesMenu::Fill()
{
    menu_->clear();
    int number = 0;
    for (const std::string& path : list_.paths()) {
        // "&1 /home/…/a.prf": the digit opens it from the keyboard; an ampersand of the path stays one.
        const QString shown = QString::fromStdString(path).replace('&', QStringLiteral("&&"));
        QAction* action = menu_->addAction(QStringLiteral("&%1 %2").arg(++number).arg(shown));
        action->setObjectName(QStringLiteral("RecentProfile%1").arg(number));
        connect(action, &QAction::triggered, this, [this, path] { open_(path); });
    }
    menu_->menuAction()->setVisible(!list_.paths().empty());
}

}  // namespace pmv::gui
