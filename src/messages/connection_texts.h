#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace pmv {

// What the link tells about the port and its settings. %1.. are the values given.
enum class LinkNotice {
    SettingsCaption,
    PortNumberTooLarge,
    LargeTimeout,
    CannotOpenPort,
    ErrorCaption,
    PortUnmapped,          // port number
    PortOpenFailed,        // device, the system's reason
    PortAlreadyOpen,       // the reason of an open refused by the port's lock
    StalePortLockRemoved,  // device, lock file
    LatencyNotLowered,     // device
    NetworkNameInvalid,    // name, what is wrong with it
    NetworkNameForm,
    NetworkNameHost,
    NetworkNamePort,
    HostNotFound,     // host, the resolver's reason
    HostUnreachable,  // host, the system's reason
    PortRefused,      // host, port
    NotRfc2217,       // host:port
    ServerClosed,
    ServerReset,
    ConnectTimedOut,  // seconds
    ConnectionLost,   // port name, reason
    Count,
};

std::string Text(LinkNotice notice, std::initializer_list<std::string_view> values = {});

// The findings of the connection check: each a text and the command that fixes it (empty when
// nothing is to be done).
enum class FindingKind {
    PortUnmapped,
    DeviceMissing,        // device
    GivenDeviceMissing,   // device named on the command line
    DevicePresent,        // device as shown
    NotASerialPort,       // device, the kind of device it is
    AccessGranted,        // device
    AccessAfterNewLogin,  // user, group
    AccessDenied,         // device, group, user
    PortHeld,             // device, program, process id
    PortFree,
    BrlttyAbsent,
    BrlttyGrabsAdapter,
    BrlttyHarmless,
    ModemManagerStopped,
    ModemManagerRuled,
    ModemManagerInterferes,  // udev rule
    NoLatencyTimer,
    LatencyUnread,
    LatencyLow,               // milliseconds
    LatencyHigh,              // milliseconds, timer file
    AnswersRefused,           // address, speed, firmware version
    AnswersVerified,          // address, speed, firmware version
    AnswersUncheckedButGood,  // address, speed, firmware version
    AnswersUncheckedAndBad,   // address, speed, firmware version
    InstrumentSilent,         // address, speed, error message
    PortNotSet,
    PortNotOpen,              // device
    NetworkNameBad,           // name, what is wrong with it
    NetworkHostNotFound,      // host, the resolver's reason
    NetworkHostUnreachable,   // host, the system's reason
    NetworkPortRefused,       // host, port
    NetworkNotRfc2217,        // host:port
    NetworkLineHeld,          // port name
    NetworkConnected,         // port name, round trip in ms
    NetworkConnectedRfc2217,  // port name, round trip in ms
    // The explanation of a failed open rather than a finding.
    OpenFailureWithFix,  // finding, command
    OpenFailure,         // device, the system's reason
    Count,
};

std::string FindingText(FindingKind kind, std::initializer_list<std::string_view> values = {});
std::string FindingFix(FindingKind kind, std::initializer_list<std::string_view> values = {});
// The finding's ASCII name, the same in every release: "device_missing", "port_held", ...
std::string FindingId(FindingKind kind);

}  // namespace pmv
