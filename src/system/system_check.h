#pragma once

#include "messages/connection_texts.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pmv::system {

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

enum class FindingState {

    Ok,

    Problem,

};

// One line of the check: what was found, in plain Russian, and the command that fixes it.
struct Finding {
    std::string topic;  // device, access, holder, brltty, modemmanager, latency, instrument
    FindingState state = FindingState::Ok;
    std::string text;
    std::string fix;   // empty when nothing is to be done
    std::string id{};  // the kind's stable name for scripts

    // The finding's text and fix from the texts of its kind, filled with `values`.
    static Finding Ok(const char* topic, FindingKind kind, std::initializer_list<std::string_view> values = {});
    static Finding Problem(const char* topic, FindingKind kind, std::initializer_list<std::string_view> values = {});
};

// The name of the udev rule that keeps ModemManager off the usual USB-serial adapters.
inline constexpr const char* kUdevRuleName = "60-pmv77xx.rules";

// The checks of the machine for `device` (the port the link settings name; `resolved`, the
// device its links lead to, empty when `device` is), in order: the device exists; the user may
// read and write it; no other process holds it; brltty is not installed beside a CH340/CP210x
// adapter; ModemManager does not run without our udev rule; the adapter's latency timer is at
// 1 ms.
std::vector<Finding> CheckMachine(const SystemView& view, const std::string& device, const std::string& resolved);

// Why `device` did not open: the first problem the checks of the device, its access and its
// holders find, else the system's reason with the device. A device named on the command line
// (`given`) is not the one of dev.dat: a missing one is blamed on the name given.
std::string ExplainPortFailure(const SystemView& view, const std::string& device, const std::string& resolved,
                               const std::string& systemError, bool given = false);

bool AllClear(const std::vector<Finding>& findings);

}  // namespace pmv::system
