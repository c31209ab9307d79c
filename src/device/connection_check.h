#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pmv {

class Exchange;

// The machine as the connection check sees it: `root` stands for "/" (tests build fake /dev,
// /sys, /proc and /etc/group trees there), and the user the program runs as.
struct SystemView {
    std::string root = "/";
    uid_t uid = 0;
    gid_t gid = 0;
    std::string userName;
    std::vector<gid_t> processGroups;  // the groups this process runs with (fixed at login)
    pid_t selfPid = 0;

    static SystemView Current();
};

enum class FindingState { Ok, Problem };

// One line of the check: what was found, in plain Russian, and the command that fixes it.
struct Finding {
    std::string topic;  // device, access, holder, brltty, modemmanager, latency, instrument
    FindingState state = FindingState::Ok;
    std::string text;
    std::string fix;  // empty when nothing is to be done
};

// The name of the udev rule that keeps ModemManager off the usual USB-serial adapters.
inline constexpr const char* kUdevRuleName = "60-pmv77xx.rules";

// The checks of the machine for `device` (the port the link settings name), in order: the
// device exists; the user may read and write it; no other process holds it; brltty is not
// installed beside a CH340/CP210x adapter; ModemManager does not run without our udev rule;
// the adapter's latency timer is at 1 ms.
std::vector<Finding> CheckSystem(const SystemView& view, const std::string& device);

// The last check: the instrument answers at the address and speed in force (its firmware
// version is read over `exchange`, whose line is open and configured), and whether the
// checksums of its answers match.
Finding CheckInstrument(Exchange& exchange, uint32_t baud);

// In place of the instrument check when the port did not open.
Finding PortNotOpen(const std::string& device);

// Why `device` did not open, for the message of the failed open: the first problem the checks
// of the device, its access and its holders find, else the system's reason with the device.
std::string ExplainOpenFailure(const SystemView& view, const std::string& device, const std::string& systemError);

bool AllClear(const std::vector<Finding>& findings);

}  // namespace pmv
