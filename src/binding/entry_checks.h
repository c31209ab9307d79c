#pragma once

#include "binding/control_values.h"
#include "messages/error_codes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::binding {

// The character check of every number field before a write, whichever groups are selected and
// hidden fields included, in the window's fixed order (channel 1's minimum, the serial number,
// the rest of channel 1, then channel 2). The first field that fails, an empty one included,
// is named in an error box and gives 17; else 0. The caller shows the message of 17. The box
// names the field as the window labels it, with what was typed, under the check's own text.
// `located` hears the failing field of `values` before the box is shown, so that the window can
// bring it to the front.
using EntryLocated = std::function<void(const std::string& field)>;
ErrorCode CheckEntries(const ControlValues& values, Messages& messages, const EntryLocated& located = {});

}  // namespace pmv::binding
