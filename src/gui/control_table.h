#pragma once

#include "binding/control_values.h"

#include <array>

namespace pmv::gui {

class ChannelPanel;
class GeneralPage;
class RelaysPage;
class TopBar;

// The widgets that show the control values. A part that is null (a page not built yet) is left
// out of every walk: its values wait in the window's control values until it is built.
struct BoundWidgets {
    TopBar* top;
    std::array<ChannelPanel*, 2> channels;
    RelaysPage* relays;
    GeneralPage* general;
};

// Gives every bound widget the form's name as its objectName, so that tests and tools find
// each widget by the name it always had.
void NameBoundWidgets(const BoundWidgets& widgets);

// The values into the widgets. No change handler runs: lists and boxes report only the user's
// changes, and the calendar's signals are held while it moves.
void PutControls(const binding::ControlValues& values, const BoundWidgets& widgets);

// What the user can change, from the widgets into the values; texts that are only shown keep
// their values.
void TakeControls(const BoundWidgets& widgets, binding::ControlValues& values);

// The form's name of the widget that shows `field`, a field of `values` shown on its own;
// nullptr for anything else, and for a field of a part left out. Tests name a bound widget by
// its control value through it.
const char* BoundObjectName(const BoundWidgets& widgets, const binding::ControlValues& values, const void* field);

}  // namespace pmv::gui
