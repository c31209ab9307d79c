#pragma once

#include "binding/control_values.h"
#include "binding/unsaved_edits.h"
#include "model/settings_model.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace pmv::gui {

// The window's settings edited since they were last loaded, saved or read: the window's title
// marks them ("[*]"), and nothing replaces them before the user has been asked.
class EditsGuard final : public QObject {
public:
    struct Window {
        QWidget& window;  // its title carries the mark
        std::function<binding::ControlValues()> shown;
        std::function<std::vector<std::string>()> description;
        std::function<const model::SettingsModel&()> model;
        // Saves the settings into a profile the user names; false when cancelled or refused.
        std::function<bool()> save;
    };

    explicit EditsGuard(Window window);

    // Every control under `root` that takes an edit marks the window as it changes.
    void Watch(const QWidget& root);
    // What the window shows now is what was loaded, saved or read.
    void Settle();
    // After a read: the settings of the groups read.
    void SettleGroups(const binding::GroupFlags& read);
    void Refresh();
    bool Unsaved() const;

    // Before `command` replaces the window's settings: true when nothing is unsaved, or the user
    // saved the edits or let them go; false when the user kept them (the command does not run).
    bool MayReplace(const QString& command);
    // Before a read replaces the settings of the groups `read`: asks only about their edits.
    bool MayRead(const QString& command, const binding::GroupFlags& read);
    // Before the window closes.
    bool MayClose();

private:
    bool Ask(const QString& text, bool unsaved);

    Window w_;
    binding::UnsavedEdits edits_;
    bool asking_ = false;
};

}  // namespace pmv::gui
