#pragma once

#include "system/system_check.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pmv::link {
class Exchange;
}  // namespace pmv::link

namespace pmv::device {

// The checks of the machine (system/system_check.h) for `device`, the port the link settings
// name, with its by-id names and links followed to the device they lead to.
std::vector<system::Finding> CheckSystem(const system::SystemView& view, const std::string& device);

// The last check: the instrument answers at the address and speed in force (its firmware
// version is read over `exchange`, whose line is open and configured), and whether the
// checksums of its answers match.
system::Finding CheckInstrument(link::Exchange& exchange, uint32_t baud);

// In place of the instrument check when the port did not open.
system::Finding PortNotOpen(const std::string& device);

// Why `device` did not open, for the message of the failed open: the first problem the checks
// of the device, its access and its holders find, else the system's reason with the device.
// `given`: the device was named on the command line rather than by dev.dat's port number.
std::string ExplainOpenFailure(const system::SystemView& view, const std::string& device, const std::string& systemError,
                               bool given = false);

}  // namespace pmv::device
