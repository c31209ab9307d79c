#pragma once

#include "link/exchange.h"
#include "messages/error_codes.h"

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::device {

// Restarts the instrument.
ErrorCode Restart(link::Exchange& exchange);
// Asks first; on Yes erases every setting of the instrument, calibrations included, and loads
// its factory values. A No sends nothing and gives 0.
ErrorCode FactoryReset(link::Exchange& exchange, Messages& messages);

}  // namespace pmv::device
