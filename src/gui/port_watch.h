#pragma once

#include "link/port_names.h"

#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv {

class Session;

// Follows adapters plugged in and pulled out while the window runs. Once a second, between
// operations: the port whose device went away is closed; when the device the port number means
// comes back, the port is reopened without a message box (its status bar tells the outcome);
// and `changed` gets the adapters found whenever they or the port's state changed, with the
// message of a failed write of dev.dat at a reopen.
class PortWatch : public QObject {
public:
    using Changed =
        std::function<void(const std::vector<SerialPortInfo>& found, const std::optional<std::string>& fileError)>;

    PortWatch(QObject* parent, Session& session, std::function<bool()> busy, Changed changed);

    void Poll();
    const std::vector<SerialPortInfo>& found() const { return found_; }

private:
    Session& session_;
    std::function<bool()> busy_;
    Changed changed_;
    QTimer timer_;
    std::vector<SerialPortInfo> found_;
    bool devicePresent_;
};

}  // namespace pmv
