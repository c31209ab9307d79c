#pragma once

#include "link_settings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv {

class Exchange;
class Messages;
class SerialLine;

// The one serial port of the program, opened on the port number of the link settings.
class LinkPort {
public:
    using PortLister = std::function<std::vector<std::string>()>;

    LinkPort(SerialLine& line, Exchange& exchange, Messages& messages, PortLister lister);

    LinkSettings& settings() { return settings_; }
    const LinkSettings& settings() const { return settings_; }

    // A device given on the command line; used instead of the port number's device for this
    // run and never written to dev.dat.
    void SetDeviceOverride(std::string device) { override_ = std::move(device); }

    // The device the current port number means (or the override); empty when there is none.
    std::string DeviceName() const;

    // Opens and configures the port. A port number outside 1..8 opens nothing; a failed open
    // is shown to the user and every exchange then ends with "no answer".
    void OpenPort();
    void ClosePort();
    // The port selector: list position 0 is port 1.
    void ReopenPort(int32_t listPosition);
    // Writes the port number back to dev.dat and closes the port; returns a write failure.
    std::optional<std::string> SaveLinkSettingsAtExit(const std::string& path);

private:
    SerialLine& line_;
    Exchange& exchange_;
    Messages& messages_;
    PortLister lister_;
    LinkSettings settings_;
    std::string override_;
};

}  // namespace pmv
