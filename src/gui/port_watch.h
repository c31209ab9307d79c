#pragma once

#include "link/port_names.h"
#include "window_clock.h"

#include <QSocketNotifier>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pmv::binding {
class Session;
}  // namespace pmv::binding

namespace pmv::gui {

// Follows adapters plugged in and pulled out while the window runs, woken by the system's own
// events (inotify on /dev, /dev/serial/by-id and the folder of the port's device) rather than by
// looking every second. Between operations: the port whose device went away is closed; when the
// device the port number means comes back, the port is reopened without a message box (its
// status bar tells the outcome); and `changed` gets the adapters found whenever they or the
// port's state changed, with the message of a failed write of dev.dat at a reopen. Idle, it costs
// nothing.
class PortWatch : public QObject {
public:
    using Changed = std::function<void(const std::vector<link::SerialPortInfo>& found,
                                       const std::optional<ini::FileError>& fileError)>;

    PortWatch(QObject* parent, binding::Session& session, WindowClock& clock, std::function<bool()> busy,
              Changed changed);
    ~PortWatch() override;

    void Poll();
    const std::vector<link::SerialPortInfo>& found() const { return found_; }

private:
    // Drops the events that came and looks again once they settle.
    void OnEvents();
    // Watches the folders that exist now among those where a serial device or its link appears.
    void WatchFolders();

    binding::Session& session_;
    std::function<bool()> busy_;
    Changed changed_;
    int inotify_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::map<std::string, int> watched_;       // folder -> watch descriptor
    std::unique_ptr<Ticker> settle_;           // after events; again while an operation holds the look off
    std::vector<link::SerialPortInfo> found_;  // empty until the first look
    bool devicePresent_;
};

}  // namespace pmv::gui
