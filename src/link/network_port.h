#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pmv::link {

// How a serial device server carries the line: its bytes as they are ("TCP server" mode), or
// with the line's speed and frame set from this computer (RFC 2217, telnet).
enum class NetworkMode {
    Raw,
    Rfc2217,
};

// A line behind a serial device server: "tcp://HOST:PORT" or "rfc2217://HOST:PORT"; an IPv6
// host stands in brackets, "tcp://[fd00::7]:4001".
struct NetworkPort {
    NetworkMode mode = NetworkMode::Raw;
    std::string host;  // without the brackets
    uint16_t port = 0;
};

// Why a name that begins like a network port is none.
enum class NetworkNameProblem {
    None,
    Form,  // no "HOST:PORT" after the scheme
    Host,  // the host is empty or holds characters no host name has
    Port,  // not a number 1..65535
};

// True when `name` names a port on the network (its scheme is "tcp://" or "rfc2217://", in any
// letter case), whether or not the rest is well formed.
bool IsNetworkName(std::string_view name);

// The network port `name` names; nullopt with its problem when it is malformed or no network name.
std::optional<NetworkPort> ParseNetworkPort(std::string_view name, NetworkNameProblem* problem = nullptr);

// What is wrong with a network port's name, in the user's words.
std::string NetworkNameProblemText(NetworkNameProblem problem);

// "host:port", with an IPv6 host in brackets: the line, whichever way it is carried.
std::string HostAndPort(const NetworkPort& port);

// The name as the program writes it: scheme in lower case, then HostAndPort.
std::string NetworkPortName(const NetworkPort& port);

}  // namespace pmv::link
