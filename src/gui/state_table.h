#pragma once

#include <QList>

#include <functional>
#include <vector>

class QAction;
class QWidget;

namespace pmv::gui {

// What the window is doing: nothing, or an operation that handles events between its exchanges.
enum class Activity { Idle, Running };

// What the state table allows or holds off: commands and the controls that start them.
enum class Command {
    ExchangeButtons,  // the four read and write buttons
    GroupBoxes,       // the four group check boxes
    FileMenu,         // opening and saving a profile
    PortSelector,
    SerialButtons,  // reading, writing and dating the serial number
    PassportButton,
    ModelSync,     // page and sensor type changes, the production date's lists and calendar
    RecentReload,  // the second load of recent.prf after start
    Exit,          // during an operation: stops it like Esc, then closes
    Help,          // the user guide and the about box
    ServiceMenu,   // every item of "Сервис" and the output test's tick
    Production,    // comparison, production, the history and the check after writing
};

// Runs `command` when the state table allows its row; an operation holds the window off until it
// returns. Given to the parts that install menus of their own.
using RunCommand = std::function<void(const std::function<void()>& command, bool operation)>;

// The one table of what is enabled while idle and while an operation runs. One thread: an
// operation lets the window handle events between two register operations, and nothing that
// changes the model or starts an exchange may start then.
bool Allowed(Command what, Activity activity);

// The widgets and actions of each row, enabled or disabled as the activity changes.
class WindowState {
public:
    Activity activity() const { return activity_; }
    bool Allows(Command what) const { return Allowed(what, activity_); }

    // A row added while an operation runs (a page built meanwhile) is held off at once.
    void Add(Command what, std::initializer_list<QWidget*> widgets);
    void Add(Command what, QList<QAction*> actions);
    void Set(Activity activity);

private:
    struct Row {
        Command what;
        std::vector<QWidget*> widgets;
        QList<QAction*> actions;
    };
    void HoldIfRunning(const Row& row) const;
    std::vector<Row> rows_;
    Activity activity_ = Activity::Idle;
};

}  // namespace pmv::gui
