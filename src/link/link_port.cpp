#include "link_port.h"

#include "exchange.h"
#include "messages/connection_texts.h"
#include "messages/messages.h"
#include "port_names.h"
#include "serial_line.h"

namespace pmv::link {

LinkPort::LinkPort(SerialLine& line, Exchange& exchange, Messages& messages, PortLister lister)
    : line_(line), exchange_(exchange), messages_(messages), lister_(std::move(lister))
{
}

std::string LinkPort::DeviceName() const
{
    if (!override_.empty())
        return override_;
    return DeviceName(lister_ ? lister_() : std::vector<std::string>{});
}

std::string LinkPort::DeviceName(const std::vector<std::string>& found) const
{
    return override_.empty() ? PortDevice(settings_.Number, settings_.PortDevices, found) : override_;
}

std::optional<std::string> LinkPort::OpenPort(bool quiet)
{
    exchange_.values().ByteTimeout = ByteTimeoutForBaud(settings_.BaudRate);
    openProblem_.clear();
    latencyNote_.clear();
    const bool numbered = settings_.Number >= 1 && settings_.Number <= 8;
    if (!numbered && override_.empty())
        return std::nullopt;
    const std::string device = DeviceName();
    if (device.empty() || !line_.Open(device)) {
        openProblem_ = device.empty() ? Text(LinkNotice::PortUnmapped, {std::to_string(settings_.Number)})
                       : explainer_   ? explainer_(device, line_.OpenError())
                                      : Text(LinkNotice::PortOpenFailed, {device, line_.OpenError()});
        if (!quiet)
            messages_.ShowDetailedMessage(Text(LinkNotice::CannotOpenPort), openProblem_, Text(LinkNotice::ErrorCaption),
                                          MessageIcon::Error);
        return std::nullopt;
    }
    line_.Configure(settings_.BaudRate);
    line_.Purge();
    line_.RaiseDtrDropRts();
    if (line_.LatencyRequest() == LowLatency::Refused)
        latencyNote_ = Text(LinkNotice::LatencyNotLowered, {device});
    if (!override_.empty())
        return std::nullopt;
    return BindPortToAdapter(LinkSettingsPath(), settings_.Number, device, settings_.PortDevices);
}

void LinkPort::ClosePort()
{
    line_.Close();
}

std::optional<std::string> LinkPort::ReopenPort(int32_t listPosition)
{
    settings_.Number = listPosition + 1;
    ClosePort();
    return OpenPort();
}

std::optional<std::string> LinkPort::SaveLinkSettingsAtExit(const std::string& path)
{
    std::optional<std::string> failure = SavePortNumber(path, settings_.Number);
    ClosePort();
    return failure;
}

}  // namespace pmv::link
