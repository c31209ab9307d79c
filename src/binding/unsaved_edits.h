#pragma once

#include "binding/control_values.h"
#include "model/settings_model.h"

#include <string>
#include <vector>

namespace pmv::binding {

// What the window's settings were when they were last loaded, saved or read, against what its
// controls show now. Only the settings a profile keeps and its description count: the group
// boxes choose what an exchange moves, and the serial number and the production date belong to
// the instrument, not to a profile. Numbers count by value ("50" is " 50.0000"); a number text that
// does not scan counts
// as an edit.
class UnsavedEdits {
public:
    // What is shown now is the reference: after a load or a save.
    void Settle(const ControlValues& shown, const std::vector<std::string>& description);
    // After a read of the groups `read`: their part of what is shown becomes the reference; the
    // description, which no read changes, keeps its reference.
    void SettleGroups(const ControlValues& shown, const GroupFlags& read);

    // Whether what is shown differs from the reference. `model` holds what no control shows.
    bool Differ(const ControlValues& shown, const std::vector<std::string>& description,
                const model::SettingsModel& model) const;

    // Whether a read of the groups `read` would replace an edit: the differences in their
    // settings alone (a read leaves the description and the other groups as they are).
    bool DifferIn(const ControlValues& shown, const GroupFlags& read, const model::SettingsModel& model) const;

private:
    ControlValues settled_;
    std::vector<std::string> description_;
};

}  // namespace pmv::binding
