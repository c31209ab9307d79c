#include "connection_check.h"

#include "device_settings.h"
#include "register_map.h"

#include "link/exchange.h"
#include "link/network_line.h"
#include "link/network_port.h"
#include "link/port_line.h"
#include "link/port_names.h"
#include "link/register_commands.h"
#include "messages/error_codes.h"

namespace pmv::device {
namespace {

std::string Resolved(const system::SystemView& view, const std::string& device)
{
    return device.empty() ? std::string() : link::ResolveDevice(view.root, device);
}

}  // namespace

std::vector<system::Finding> CheckSystem(const system::SystemView& view, const std::string& device)
{
    return system::CheckMachine(view, device, Resolved(view, device));
}

std::vector<system::Finding> CheckNetworkLine(const link::NetworkLine& line, const std::string& device)
{
    using F = FindingKind;
    const link::NetworkPort& port = line.Port();
    const std::string hostAndPort = link::HostAndPort(port);
    if (line.IsOpen())
        return {system::Finding::Ok(
            "network", port.mode == link::NetworkMode::Raw ? F::NetworkConnected : F::NetworkConnectedRfc2217,
            {device, std::to_string(line.RoundTripMs())})};
    switch (line.Failure()) {
    case link::NetworkFailure::BadName: {
        link::NetworkNameProblem problem = link::NetworkNameProblem::None;
        link::ParseNetworkPort(device, &problem);
        return {
            system::Finding::Problem("network", F::NetworkNameBad, {device, link::NetworkNameProblemText(problem)})};
    }
    case link::NetworkFailure::HostNotFound:
        return {system::Finding::Problem("network", F::NetworkHostNotFound, {port.host, line.Reason()})};
    case link::NetworkFailure::HostUnreachable:
        return {system::Finding::Problem("network", F::NetworkHostUnreachable, {port.host, line.Reason()})};
    case link::NetworkFailure::Refused:
        return {system::Finding::Problem("network", F::NetworkPortRefused, {port.host, std::to_string(port.port)})};
    case link::NetworkFailure::NotRfc2217:
        return {system::Finding::Problem("network", F::NetworkNotRfc2217, {hostAndPort})};
    case link::NetworkFailure::Held: return {system::Finding::Problem("network", F::NetworkLineHeld, {device})};
    case link::NetworkFailure::None:
    case link::NetworkFailure::Lost: break;
    }
    return {system::Finding::Problem("network", F::OpenFailure, {device, line.OpenError()})};
}

std::vector<system::Finding> CheckPortSide(const system::SystemView& view, const std::string& device,
                                           const link::PortLine& line)
{
    if (link::IsNetworkName(device) && line.OnNetwork())
        return CheckNetworkLine(line.network(), device);
    return CheckSystem(view, device);
}

system::Finding CheckInstrument(link::Exchange& exchange, uint32_t baud)
{
    using F = FindingKind;
    const std::string address = std::to_string(exchange.values().DeviceAddress);
    const std::string speed = std::to_string(baud);
    const bool verifying = exchange.values().VerifyAnswers;
    const auto readVersion = [&](bool verify, uint32_t& version) {
        exchange.values().VerifyAnswers = verify;
        const ErrorCode code =
            link::ReadByteRegister(exchange, regs::kFirmwareVersion.bank, regs::kFirmwareVersion.number, version);
        exchange.values().VerifyAnswers = verifying;
        return code;
    };
    uint32_t version = 0;
    const ErrorCode code = readVersion(verifying, version);
    // Every answer refused for its checksum: an instrument that computes it otherwise answers
    // all the same once the test is off, a line that garbles every answer does not.
    const bool refusedForChecksum = code == kChecksumMismatch && readVersion(false, version) == kOk;
    const std::string firmware = FirmwareVersionText(static_cast<int32_t>(version));
    if (refusedForChecksum)
        return system::Finding::Problem("instrument", F::AnswersRefused, {address, speed, firmware});
    if (code == kOk) {
        if (verifying)
            return system::Finding::Ok("instrument", F::AnswersVerified, {address, speed, firmware});
        if (link::Exchange::AnswerChecksum(exchange.answer()) == kOk)
            return system::Finding::Ok("instrument", F::AnswersUncheckedButGood, {address, speed, firmware});
        return system::Finding::Ok("instrument", F::AnswersUncheckedAndBad, {address, speed, firmware});
    }
    const ErrorMessage* message = FindErrorMessage(code);
    return system::Finding::Problem("instrument", F::InstrumentSilent,
                                    {address, speed, message ? message->text : std::to_string(CodeNumber(code))});
}

system::Finding PortNotOpen(const std::string& device)
{
    return device.empty() ? system::Finding::Problem("instrument", FindingKind::PortNotSet)
                          : system::Finding::Problem("instrument", FindingKind::PortNotOpen, {device});
}

std::string ExplainOpenFailure(const system::SystemView& view, const std::string& device,
                               const std::string& systemError, bool given)
{
    if (link::IsNetworkName(device))
        return FindingText(FindingKind::OpenFailure, {device, systemError});
    return system::ExplainPortFailure(view, device, Resolved(view, device), systemError, given);
}

}  // namespace pmv::device
