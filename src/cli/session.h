#pragma once

#include "pmvctl.h"
#include "terminal_io.h"

#include "device/device.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/link_port.h"
#include "link/qt_serial_line.h"
#include "messages/error_codes.h"

#include <optional>
#include <string>

namespace pmv::cli {

// The global options of a pmvctl run; they override dev.dat for this run only.
struct LinkOverrides {
    std::string port;
    std::optional<int32_t> address;
    std::optional<uint32_t> baud;
};

// One run's link to the instrument: dev.dat from the current directory (created when
// missing), the overrides, the open port, and the model the device operations fill.
class Session {
public:
    Session(Console& console, std::optional<bool> answer);

    // Returns 0, or the error code to exit with (2 when the port does not open).
    uint32_t Open(const LinkOverrides& overrides);
    // Exit status of a profile that cannot be read or written.
    static constexpr int kFileFailure = kFileNotOpened;

    // Shows the message of a non-zero code on stderr and passes it through.
    int Finish(uint32_t code);

    Console& console;
    TerminalMessages messages;
    TerminalProgress progress;
    SystemClock clock;
    QtSerialLine line;
    Exchange exchange{line, clock};
    LinkPort port{line, exchange, messages, FoundSerialPorts};
    SettingsModel model;
    Device device{exchange, progress, model, {}};
};

// Loads a profile into the model without changing its file (the load's write-backs go to a
// copy); a missing profile gives the values of a new one. The description lines come back.
std::optional<std::vector<std::string>> LoadProfileUnchanged(const std::string& path, SettingsModel& model,
                                                              std::string& error);

}  // namespace pmv::cli
