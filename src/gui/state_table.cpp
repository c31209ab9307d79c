#include "state_table.h"

#include <QAction>
#include <QWidget>

#include <array>

namespace pmv::gui {
namespace {

struct Rule {
    Command what;
    bool idle;
    bool running;
};

constexpr std::array<Rule, 12> kTable = {{
    {Command::ExchangeButtons, true, false},
    {Command::GroupBoxes, true, false},
    {Command::FileMenu, true, false},
    {Command::PortSelector, true, false},
    {Command::SerialButtons, true, false},
    {Command::PassportButton, true, false},
    {Command::ModelSync, true, false},
    {Command::RecentReload, true, false},
    {Command::Exit, true, true},
    {Command::Help, true, true},
    {Command::ServiceMenu, true, false},
    {Command::Production, true, false},
}};

}  // namespace

bool Allowed(Command what, Activity activity)
{
    for (const Rule& rule : kTable)
        if (rule.what == what)
            return activity == Activity::Idle ? rule.idle : rule.running;
    return false;
}

void WindowState::Add(Command what, std::initializer_list<QWidget*> widgets)
{
    rows_.push_back({what, widgets, {}});
    HoldIfRunning(rows_.back());
}

void WindowState::Add(Command what, QList<QAction*> actions)
{
    rows_.push_back({what, {}, std::move(actions)});
    HoldIfRunning(rows_.back());
}

void WindowState::HoldIfRunning(const Row& row) const
{
    if (activity_ != Activity::Running || Allows(row.what))
        return;
    for (QWidget* w : row.widgets)
        w->setEnabled(false);
    for (QAction* a : row.actions)
        a->setEnabled(false);
}

void WindowState::Set(Activity activity)
{
    activity_ = activity;
    for (const Row& row : rows_) {
        const bool enabled = Allows(row.what);
        for (QWidget* w : row.widgets)
            w->setEnabled(enabled);
        for (QAction* a : row.actions)
            a->setEnabled(enabled);
    }
}

}  // namespace pmv::gui
