#pragma once

#include "binding/control_values.h"
#include "messages/error_codes.h"

#include <cstdint>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::binding {

// The character check of every number field before a write, whichever groups are selected and
// hidden fields included, in the window's fixed order (channel 1's minimum, the serial number,
// the rest of channel 1, then channel 2). The first field that fails, an empty one included,
// is named in an error box and gives 17; else 0. The caller shows the message of 17.
ErrorCode CheckEntries(const ControlValues& values, Messages& messages);

}  // namespace pmv::binding
