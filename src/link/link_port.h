#pragma once

#include "link_settings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::link {

class Exchange;
class SerialLine;

// The one serial port of the program, opened on the port number of the link settings.
class LinkPort {
public:
    using PortLister = std::function<std::vector<std::string>()>;
    // Why `device` did not open, in the user's words, given the system's reason.
    using OpenExplainer = std::function<std::string(const std::string& device, const std::string& systemError)>;

    LinkPort(SerialLine& line, Exchange& exchange, Messages& messages, PortLister lister);

    LinkSettings& settings() { return settings_; }
    const LinkSettings& settings() const { return settings_; }

    // A device given on the command line; used instead of the port number's device for this
    // run and never written to dev.dat.
    void SetDeviceOverride(std::string device) { override_ = std::move(device); }

    // The device the current port number means (or the override); empty when there is none.
    std::string DeviceName() const;
    // The same among serial devices already listed, without listing them again.
    std::string DeviceName(const std::vector<std::string>& found) const;

    void SetOpenExplainer(OpenExplainer explainer) { explainer_ = std::move(explainer); }

    // Opens and configures the port. A port number outside 1..8 opens nothing; a failed open
    // is shown to the user with its device and reason (unless `quiet`: a port reopened because
    // its adapter came back) and every exchange then ends with "no answer". A port number
    // opened on a USB adapter is bound to it (BindPortToAdapter); a failed write of that
    // binding comes back.
    std::optional<ini::FileError> OpenPort(bool quiet = false);
    void ClosePort();
    // The port selector: list position 0 is port 1.
    std::optional<ini::FileError> ReopenPort(int32_t listPosition);

    // After a failed open: the device and why; empty when the port opened or none was tried.
    const std::string& OpenProblem() const { return openProblem_; }
    // After an open whose driver refused low latency: what that costs; else empty.
    const std::string& LatencyNote() const { return latencyNote_; }
    // Closes the port, leaving the answers the instrument still owes for the next program on it.
    ~LinkPort();
    LinkPort(const LinkPort&) = delete;
    LinkPort& operator=(const LinkPort&) = delete;

    // Writes the port number back to dev.dat and closes the port; returns a write failure.
    std::optional<ini::FileError> SaveLinkSettingsAtExit(const std::string& path);

private:
    SerialLine& line_;
    Exchange& exchange_;
    Messages& messages_;
    PortLister lister_;
    OpenExplainer explainer_;
    LinkSettings settings_;
    std::string override_;
    std::string openProblem_;
    std::string latencyNote_;
    std::string opened_;  // the device of the open port
};

}  // namespace pmv::link
