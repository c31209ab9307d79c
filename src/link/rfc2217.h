#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace pmv::link {

// The client's side of telnet with the COM-PORT-OPTION (RFC 854, RFC 2217): what goes to a
// serial device server to set its line, the line's bytes with IAC doubled, and the server's
// stream taken apart into line bytes, negotiation to answer and the server's reports.
class ComPortClient {
public:
    // Whether the server agreed to have its line set from here.
    enum class Accord {
        Pending,
        Accepted,
        Refused,
    };

    // The client's opening: it will set the server's line, and both ways carry 8-bit data.
    std::string Offer();
    // Speed, 8 data bits, no parity, 1 stop bit, no flow control.
    static std::string SetLine(uint32_t baud);
    // DTR on, RTS off.
    static std::string SetModemLines();
    // Line bytes as sent: every IAC (0xFF) doubled.
    static std::string Escape(std::string_view data);

    // Takes bytes from the server: the line's bytes are appended to `data`, what the telnet
    // negotiation asks to be answered to `reply`. A command split between two calls is kept.
    void Take(std::string_view bytes, std::string& data, std::string& reply);

    Accord ComPort() const { return accord_; }
    // The speed the server last reported for its line; nullopt until it has.
    std::optional<uint32_t> ServerBaud() const { return serverBaud_; }
    void ForgetServerBaud() { serverBaud_.reset(); }

private:
    enum class State {
        Data,
        Command,     // after IAC
        Option,      // after IAC and WILL, WONT, DO or DONT
        Sub,         // inside IAC SB .. IAC SE
        SubCommand,  // after IAC inside it
    };

    void Negotiate(uint8_t verb, uint8_t option, std::string& reply);
    void SubnegotiationEnded();

    State state_ = State::Data;
    uint8_t verb_ = 0;
    std::string sub_;
    std::set<uint8_t> will_;  // options this side has agreed to perform
    std::set<uint8_t> do_;    // options this side has asked the server to perform
    Accord accord_ = Accord::Pending;
    std::optional<uint32_t> serverBaud_;
};

}  // namespace pmv::link
