#include "port_watch.h"

#include "binding/session.h"
#include "link/qt_serial_line.h"

#include <unistd.h>

namespace pmv {
namespace {

bool Present(const std::string& device)
{
    // Follows a by-id link or any other link to the tty it leads to now.
    return !device.empty() && ::access(device.c_str(), F_OK) == 0;
}

}  // namespace

PortWatch::PortWatch(QObject* parent, Session& session, std::function<bool()> busy, Changed changed)
    : QObject(parent), session_(session), busy_(std::move(busy)), changed_(std::move(changed)),
      found_(FoundSerialPortInfos()), devicePresent_(Present(session.port.DeviceName(DeviceNames(found_))))
{
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &PortWatch::Poll);
    timer_.start();
}

void PortWatch::Poll()
{
    if (busy_() || session_.exchange.InExchange())
        return;
    std::vector<SerialPortInfo> found = FoundSerialPortInfos();
    bool changed = found != found_;
    found_ = std::move(found);
    const bool present = Present(session_.port.DeviceName(DeviceNames(found_)));
    std::optional<std::string> fileError;
    if (session_.line.IsOpen() && !present) {
        session_.port.ClosePort();
        changed = true;
    } else if (!session_.line.IsOpen() && present && !devicePresent_) {
        fileError = session_.OpenPort(true);
        changed = true;
    }
    devicePresent_ = present;
    if (changed)
        changed_(found_, fileError);
}

}  // namespace pmv
