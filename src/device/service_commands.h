#pragma once

#include "link/exchange.h"

namespace pmv {

class Messages;

// Restarts the instrument.
uint32_t Restart(Exchange& exchange);
// Asks first; on Yes erases every setting of the instrument, calibrations included, and loads
// its factory values. A No sends nothing and gives 0.
uint32_t FactoryReset(Exchange& exchange, Messages& messages);

}  // namespace pmv
