#include "link_port.h"

#include "exchange.h"
#include "ini/ini_file.h"
#include "messages/messages.h"
#include "serial_line.h"

namespace pmv {

LinkPort::LinkPort(SerialLine& line, Exchange& exchange, Messages& messages, PortLister lister)
    : line_(line), exchange_(exchange), messages_(messages), lister_(std::move(lister))
{
}

std::string LinkPort::DeviceName() const
{
    if (!override_.empty())
        return override_;
    return PortDevice(settings_.Number, settings_.PortDevices, lister_ ? lister_() : std::vector<std::string>{});
}

void LinkPort::OpenPort()
{
    exchange_.values().ByteTimeout = ByteTimeoutForBaud(settings_.BaudRate);
    const bool numbered = settings_.Number >= 1 && settings_.Number <= 8;
    if (!numbered && override_.empty())
        return;
    const std::string device = DeviceName();
    if (device.empty() || !line_.Open(device)) {
        messages_.ShowMessage("Невозможно открыть последовательный порт", "Ошибка", MessageIcon::Error);
        return;
    }
    line_.Configure(settings_.BaudRate);
    line_.Purge();
    line_.RaiseDtrDropRts();
}

void LinkPort::ClosePort()
{
    line_.Close();
}

void LinkPort::ReopenPort(int32_t listPosition)
{
    settings_.Number = listPosition + 1;
    ClosePort();
    OpenPort();
}

std::optional<std::string> LinkPort::SaveLinkSettingsAtExit(const std::string& path)
{
    std::optional<std::string> failure = WriteIniString(path, "COM_SETTINGS", "Number", std::to_string(settings_.Number));
    ClosePort();
    return failure;
}

}  // namespace pmv
