#pragma once

#include "device/device.h"
#include "history/history.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/line_tap.h"
#include "link/link_port.h"
#include "link/port_line.h"
#include "model/settings_model.h"

#include <optional>
#include <string>

namespace pmv {
class Messages;
class Progress;
}  // namespace pmv

namespace pmv::binding {

// The program's single objects, wired once for the window and for pmvctl alike: the serial
// line with the port of dev.dat, the exchange, the settings model and the device operations on
// them, the history of instruments, with the messages and progress of the program that owns the
// session.
class Session {
public:
    Session(Messages& messages, Progress& progress);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // dev.dat of the working directory into the link settings (written with defaults when
    // missing); a file that cannot be written comes back.
    std::optional<ini::FileError> LoadLinkSettings();
    // Opens the port and puts the link values in force (device address, tries, time-out);
    // a failed write of dev.dat comes back.
    std::optional<ini::FileError> OpenPort(bool quiet = false);
    // A device named on the command line (--port), used instead of the port number's for this
    // run; a failed open is then explained as that name's, not dev.dat's.
    void UseGivenDevice(const std::string& device);

    Messages& messages;
    Progress& progress;
    link::SystemClock clock;
    link::PortLine line;
    // The exchange's way to the line, which pmvctl --verbose watches.
    link::LineTap tap{line};
    link::Exchange exchange{tap, clock};
    link::LinkPort port;
    model::SettingsModel model;
    device::Device device{exchange, progress, model, {}};
    // Uses the history dev.dat names ([HISTORY] Server), or `historyOverride` when it is set.
    void SelectHistory();
    // The history's server for this run alone (pmvctl --history), never written to dev.dat.
    std::string historyOverride;

    // history.sqlite in the folder the program works in when the session begins, so that later
    // folder changes of the file dialogs never split it; or the server dev.dat names.
    history::SelectedHistory history;
};

}  // namespace pmv::binding
