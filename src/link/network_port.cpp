#include "network_port.h"

#include "messages/connection_texts.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace pmv::link {
namespace {

constexpr std::string_view kRawScheme = "tcp://";
constexpr std::string_view kRfc2217Scheme = "rfc2217://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return a == std::tolower(static_cast<unsigned char>(b));
           });
}

bool HostCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_'; }

std::optional<NetworkPort> Fail(NetworkNameProblem* problem, NetworkNameProblem why)
{
    if (problem)
        *problem = why;
    return std::nullopt;
}

}  // namespace

bool IsNetworkName(std::string_view name)
{
    return StartsWithNoCase(name, kRawScheme) || StartsWithNoCase(name, kRfc2217Scheme);
}

std::optional<NetworkPort> ParseNetworkPort(std::string_view name, NetworkNameProblem* problem)
{
    NetworkPort port;
    std::string_view rest;
    if (StartsWithNoCase(name, kRawScheme)) {
        rest = name.substr(kRawScheme.size());
    } else if (StartsWithNoCase(name, kRfc2217Scheme)) {
        port.mode = NetworkMode::Rfc2217;
        rest = name.substr(kRfc2217Scheme.size());
    } else {
        return Fail(problem, NetworkNameProblem::Form);
    }
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    std::string_view host;
    std::string_view number;
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return Fail(problem, NetworkNameProblem::Form);
        host = rest.substr(1, close - 1);
        number = rest.substr(close + 2);
        const bool ipv6 = !host.empty() &&
                          host.find_first_not_of("0123456789abcdefABCDEF:.%") == std::string_view::npos &&
                          host.find(':') != std::string_view::npos;
        if (!ipv6)
            return Fail(problem, NetworkNameProblem::Host);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return Fail(problem, NetworkNameProblem::Form);
        host = rest.substr(0, colon);
        number = rest.substr(colon + 1);
        if (host.empty() || !std::all_of(host.begin(), host.end(), HostCharacter))
            return Fail(problem, NetworkNameProblem::Host);
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || error != std::errc{} || end != number.data() + number.size() || value < 1 || value > 65535)
        return Fail(problem, NetworkNameProblem::Port);
    port.host = std::string(host);
    port.port = static_cast<uint16_t>(value);
    if (problem)
        *problem = NetworkNameProblem::None;
    return port;
}

std::string NetworkNameProblemText(NetworkNameProblem problem)
{
    switch (problem) {
    case NetworkNameProblem::Host: return Text(LinkNotice::NetworkNameHost);
    case NetworkNameProblem::Port: return Text(LinkNotice::NetworkNamePort);
    case NetworkNameProblem::None:
    case NetworkNameProblem::Form: break;
    }
    return Text(LinkNotice::NetworkNameForm);
}

std::string HostAndPort(const NetworkPort& port)
{
    const bool ipv6 = port.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + port.host + "]" : port.host) + ":" + std::to_string(port.port);
}

std::string NetworkPortName(const NetworkPort& port)
{
    return std::string(port.mode == NetworkMode::Raw ? kRawScheme : kRfc2217Scheme) + HostAndPort(port);
}

}  // namespace pmv::link
