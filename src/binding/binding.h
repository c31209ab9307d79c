#pragma once

#include "binding/control_values.h"
#include "model/settings_model.h"

#include <cstdint>
#include <string>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::binding {

// The model into the control values: production date (text, month and year lists, calendar),
// firmware version, port number, serial number, group boxes (their flags become 1 or 0) and
// panels, the range rule, both channels with their grid headings, the lists of the whole
// instrument, the relay grid.
//
// The range rule changes the model: with use_max 1 a unified input gets 0 to its signal's
// nominal top; every other sensor type 0..24 gets its datBound entry. A model value that names
// no item of its list (a sensor type above 24, a setpoint type outside 0..2, ...) shows list
// position -1 and an empty grid heading.
void ShowSettings(model::SettingsModel& model, int32_t portNumber, ControlValues& values);

// The control values into the model. Number texts that do not scan leave the model's value, the
// two steps their absolute value, ver_rel_proc becomes 1 in both channels, the relay masks
// come from the grid. List position -1 gives the value its formula yields (dat -1, ns 0,
// reg_int 9, ...), except that a model value that names no item of the list is kept. A serial
// number above 65535 shows error 23 and leaves 0 in serial_hi and serial_lo. The group flags of
// the channels and the relays are not taken (their boxes' clicks set them); gen_select is.
void GatherSettings(const ControlValues& values, model::SettingsModel& model, Messages& messages);

// v for 1, 2 and 3, else 0: a setpoint type and its list position, in both directions.
int32_t SetpointTypeIndex(int32_t v);

// "5 Марта 2008": day, a blank, the month's genitive name with its trailing blank (nothing for
// a month outside 1..12), the year.
std::string ProductionDateText(int32_t day, int32_t month, int32_t year);

// The four mask words into the 20 cells of the relay grid: " *" where the bit is set.
void ShowRelayGrid(const model::RelaySettings& relays, ControlValues& values);
// The 20 cells into the four mask words: every non-empty cell sets its bit, all others clear.
void ReadRelayGrid(const ControlValues& values, model::RelaySettings& relays);
// A click on a relay cell: an empty cell becomes " +", a marked one empty.
std::string ToggledRelayCell(const std::string& cell);

// After a page or sensor change has shown the model again: every number text that fails its
// entry check goes back as it was typed, so that the check before a write still refuses it
// rather than a value shown in its place being written.
void KeepUnscannedTexts(const ControlValues& typed, ControlValues& shown);

// The four group panels: white when their flag is 1.
void ShowGroupSelection(const model::SettingsModel& model, ControlValues& values);

// The four group boxes ticked or not as if the user had clicked each into that state: each
// flag becomes 1 or 0 and the panels follow.
struct GroupTicks {
    bool ch1 = true, ch2 = true, relay = true, general = true;
};
void SetGroupBoxes(model::SettingsModel& model, ControlValues& values, const GroupTicks& ticks);

// "Прочитать все" and "Записать все" select every group: the four flags become 1, their boxes
// are ticked and their panels white.
void SelectAllGroups(model::SettingsModel& model, ControlValues& values);

}  // namespace pmv::binding
