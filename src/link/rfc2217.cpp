#include "rfc2217.h"

namespace pmv::link {
namespace {

constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;

constexpr uint8_t kBinary = 0;
constexpr uint8_t kSuppressGoAhead = 3;
constexpr uint8_t kComPort = 44;

// The client's COM-PORT-OPTION commands; the server answers each with its number + 100.
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kServerAnswer = 100;

constexpr uint8_t kNoParity = 1;
constexpr uint8_t kOneStopBit = 1;
constexpr uint8_t kNoFlowControl = 1;
constexpr uint8_t kDtrOn = 8;
constexpr uint8_t kRtsOff = 12;

std::string Verb(uint8_t verb, uint8_t option)
{
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string ComPortCommand(uint8_t command, std::string_view value)
{
    std::string text{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPort),
                     static_cast<char>(command)};
    text += ComPortClient::Escape(value);
    text += static_cast<char>(kIac);
    text += static_cast<char>(kSe);
    return text;
}

std::string Byte(uint8_t value) { return std::string(1, static_cast<char>(value)); }

}  // namespace

std::string ComPortClient::Offer()
{
    will_ = {kComPort, kBinary};
    do_ = {kBinary};
    return Verb(kWill, kComPort) + Verb(kWill, kBinary) + Verb(kDo, kBinary);
}

std::string ComPortClient::SetLine(uint32_t baud)
{
    const std::string speed{static_cast<char>(baud >> 24), static_cast<char>(baud >> 16), static_cast<char>(baud >> 8),
                            static_cast<char>(baud)};
    return ComPortCommand(kSetBaudRate, speed) + ComPortCommand(kSetDataSize, Byte(8)) +
           ComPortCommand(kSetParity, Byte(kNoParity)) + ComPortCommand(kSetStopSize, Byte(kOneStopBit)) +
           ComPortCommand(kSetControl, Byte(kNoFlowControl));
}

std::string ComPortClient::SetModemLines()
{
    return ComPortCommand(kSetControl, Byte(kDtrOn)) + ComPortCommand(kSetControl, Byte(kRtsOff));
}

std::string ComPortClient::Escape(std::string_view data)
{
    std::string out;
    out.reserve(data.size());
    for (const char c : data) {
        out += c;
        if (static_cast<uint8_t>(c) == kIac)
            out += c;
    }
    return out;
}

void ComPortClient::Take(std::string_view bytes, std::string& data, std::string& reply)
{
    for (const char c : bytes) {
        const auto u = static_cast<uint8_t>(c);
        switch (state_) {
        case State::Data:
            if (u == kIac)
                state_ = State::Command;
            else
                data += c;
            break;
        case State::Command:
            if (u == kIac) {
                data += c;
                state_ = State::Data;
            } else if (u >= kWill && u <= kDont) {
                verb_ = u;
                state_ = State::Option;
            } else if (u == kSb) {
                sub_.clear();
                state_ = State::Sub;
            } else {
                state_ = State::Data;  // NOP, go-ahead and the like carry nothing for the line
            }
            break;
        case State::Option:
            Negotiate(verb_, u, reply);
            state_ = State::Data;
            break;
        case State::Sub:
            if (u == kIac)
                state_ = State::SubCommand;
            else
                sub_ += c;
            break;
        case State::SubCommand:
            if (u == kIac) {
                sub_ += c;
                state_ = State::Sub;
            } else {
                // IAC SE, or a server that ends it otherwise: the subnegotiation is over either way.
                SubnegotiationEnded();
                state_ = State::Data;
            }
            break;
        }
    }
}

void ComPortClient::Negotiate(uint8_t verb, uint8_t option, std::string& reply)
{
    const bool wanted = option == kComPort || option == kBinary || option == kSuppressGoAhead;
    switch (verb) {
    case kDo:
        if (option == kComPort)
            accord_ = Accord::Accepted;
        if (wanted && option != kComPort && !will_.contains(option)) {
            will_.insert(option);
            reply += Verb(kWill, option);
        } else if (!wanted) {
            reply += Verb(kWont, option);
        }
        break;
    case kDont:
        if (option == kComPort)
            accord_ = Accord::Refused;
        if (will_.erase(option) > 0)
            reply += Verb(kWont, option);
        break;
    case kWill:
        // The server's own binary and go-ahead suppression are welcome; it has no line to set here.
        if (wanted && option != kComPort) {
            if (do_.insert(option).second)
                reply += Verb(kDo, option);
        } else {
            reply += Verb(kDont, option);
        }
        break;
    case kWont: do_.erase(option); break;
    default: break;
    }
}

void ComPortClient::SubnegotiationEnded()
{
    if (sub_.size() < 2 || static_cast<uint8_t>(sub_[0]) != kComPort)
        return;
    const auto command = static_cast<uint8_t>(sub_[1]);
    if (command == kServerAnswer + kSetBaudRate && sub_.size() >= 6) {
        uint32_t baud = 0;
        for (size_t i = 2; i < 6; ++i)
            baud = (baud << 8) | static_cast<uint8_t>(sub_[i]);
        serverBaud_ = baud;
    }
}

}  // namespace pmv::link
