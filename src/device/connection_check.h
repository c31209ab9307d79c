#pragma once

#include "system/system_check.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pmv::link {
class Exchange;
class NetworkLine;
class PortLine;
}  // namespace pmv::link

namespace pmv::device {

// The checks of the machine (system/system_check.h) for `device`, the port the link settings
// name, with its by-id names and links followed to the device they lead to.
std::vector<system::Finding> CheckSystem(const system::SystemView& view, const std::string& device);

// For a port on the network (tcp:// or rfc2217://) in place of the checks of the machine: the
// outcome of the connection `line` tried to the server (an unknown or unreachable host, a
// refused port, a server without RFC 2217, the line held here), or that it is open.
std::vector<system::Finding> CheckNetworkLine(const link::NetworkLine& line, const std::string& device);

// The checks before the instrument's: of the machine for a local device, of the connection for a
// port on the network that `line` last opened.
std::vector<system::Finding> CheckPortSide(const system::SystemView& view, const std::string& device,
                                           const link::PortLine& line);

// The last check: the instrument answers at the address and speed in force (its firmware
// version is read over `exchange`, whose line is open and configured), and whether the
// checksums of its answers match.
system::Finding CheckInstrument(link::Exchange& exchange, uint32_t baud);

// In place of the instrument check when the port did not open.
system::Finding PortNotOpen(const std::string& device);

// Why `device` did not open, for the message of the failed open: the first problem the checks
// of the device, its access and its holders find, else the system's reason with the device; for
// a port on the network, the reason its line gave.
// `given`: the device was named on the command line rather than by dev.dat's port number.
std::string ExplainOpenFailure(const system::SystemView& view, const std::string& device,
                               const std::string& systemError, bool given = false);

}  // namespace pmv::device
