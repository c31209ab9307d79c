#include "link_port.h"

#include "exchange.h"
#include "messages/connection_texts.h"
#include "messages/messages.h"
#include "network_port.h"
#include "port_lock.h"
#include "port_names.h"
#include "serial_line.h"

#include <cstdio>

#include <sys/stat.h>

namespace pmv::link {
namespace {

// Beside the device's lock, so that every name of the device finds it.
std::string OwedAnswersPath(const std::string& device)
{
    const std::string lock = DeviceLockPath(device);
    return lock.empty() ? lock : lock + ".owed";
}

// The device node's birth: a pseudo-terminal made again under the same number, or an adapter
// plugged in again, is another line, whose instrument owes nothing. A server's line has no node
// that is made again: it is the same line for as long as it keeps its host and port.
std::string DeviceBirth(const std::string& device)
{
    if (const auto network = ParseNetworkPort(device))
        return "line " + HostAndPort(*network) + "\n";
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return {};
    return "line " + std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec) + "\n";
}

void LeaveOwedAnswers(const Exchange& exchange, const std::string& device)
{
    const std::string path = OwedAnswersPath(device);
    const std::string owed = exchange.OwedHandover();
    const std::string birth = DeviceBirth(device);
    if (path.empty() || owed.empty() || birth.empty())
        return;
    if (std::FILE* file = std::fopen(path.c_str(), "we")) {
        const std::string text = birth + owed;
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

void TakeOwedAnswers(Exchange& exchange, const std::string& device)
{
    const std::string path = OwedAnswersPath(device);
    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "re");
    if (!file)
        return;
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    std::remove(path.c_str());
    const std::string birth = DeviceBirth(device);
    if (!birth.empty() && text.starts_with(birth))
        exchange.TakeOwedHandover(std::string_view(text).substr(birth.size()));
}

}  // namespace

LinkPort::LinkPort(SerialLine& line, Exchange& exchange, Messages& messages, PortLister lister)
    : line_(line), exchange_(exchange), messages_(messages), lister_(std::move(lister))
{}

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

std::optional<ini::FileError> LinkPort::OpenPort(bool quiet)
{
    SetLineSpeed(exchange_.values(), settings_.BaudRate);
    exchange_.values().TransitMs = 0;
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
            messages_.ShowDetailedMessage(Text(LinkNotice::CannotOpenPort), openProblem_,
                                          Text(LinkNotice::ErrorCaption), MessageIcon::Error);
        return std::nullopt;
    }
    line_.Configure(settings_.BaudRate);
    line_.Purge();
    line_.RaiseDtrDropRts();
    exchange_.values().TransitMs = line_.TransitMs();
    opened_ = device;
    TakeOwedAnswers(exchange_, opened_);
    if (line_.LatencyRequest() == LowLatency::Refused)
        latencyNote_ = Text(LinkNotice::LatencyNotLowered, {device});
    if (!override_.empty())
        return std::nullopt;
    return BindPortToAdapter(LinkSettingsPath(), settings_.Number, device, settings_.PortDevices);
}

LinkPort::~LinkPort() { ClosePort(); }

void LinkPort::ClosePort()
{
    if (line_.IsOpen())
        LeaveOwedAnswers(exchange_, opened_);
    line_.Close();
}

std::optional<ini::FileError> LinkPort::ReopenPort(int32_t listPosition)
{
    settings_.Number = listPosition + 1;
    ClosePort();
    return OpenPort();
}

std::optional<ini::FileError> LinkPort::SaveLinkSettingsAtExit(const std::string& path)
{
    std::optional<ini::FileError> failure = SavePortNumber(path, settings_.Number);
    ClosePort();
    return failure;
}

}  // namespace pmv::link
