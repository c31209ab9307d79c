#include "system_check.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pmv::system {
namespace {

fs::path InRoot(const SystemView& view, const std::string& path)
{
    return fs::path(view.root) / fs::path(path).relative_path();
}

std::string FirstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

struct GroupEntry {
    std::string name;
    gid_t gid = 0;
    std::vector<std::string> members;
};

std::vector<GroupEntry> ReadGroups(const SystemView& view)
{
    std::vector<GroupEntry> groups;
    std::ifstream in(InRoot(view, "/etc/group"));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, ':'))
            fields.push_back(field);
        if (fields.size() < 3)
            continue;
        GroupEntry g;
        g.name = fields[0];
        try {
            g.gid = static_cast<gid_t>(std::stoul(fields[2]));
        } catch (const std::exception&) {
            continue;
        }
        if (fields.size() > 3) {
            std::stringstream members(fields[3]);
            std::string m;
            while (std::getline(members, m, ','))
                g.members.push_back(m);
        }
        groups.push_back(std::move(g));
    }
    return groups;
}

// Process ids under /proc of the root.
std::vector<std::string> Processes(const SystemView& view)
{
    std::vector<std::string> pids;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(InRoot(view, "/proc"), error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            pids.push_back(name);
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

std::vector<std::string> OpenFiles(const SystemView& view, const std::string& pid)
{
    std::vector<std::string> targets;
    std::error_code error;
    // Other users' descriptors are not readable without privileges; those processes are passed over.
    for (const auto& entry : fs::directory_iterator(InRoot(view, "/proc/" + pid + "/fd"), error)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        if (!linkError)
            targets.push_back(target.string());
    }
    return targets;
}

std::string ProcessName(const SystemView& view, const std::string& pid)
{
    return FirstLine(InRoot(view, "/proc/" + pid + "/comm"));
}

using F = FindingKind;

Finding CheckAccess(const SystemView& view, const std::string& device, const struct stat& st)
{
    const auto groups = ReadGroups(view);
    const auto group =
        std::find_if(groups.begin(), groups.end(), [&](const GroupEntry& g) { return g.gid == st.st_gid; });
    const std::string groupName = group != groups.end() ? group->name : std::to_string(st.st_gid);
    const bool listed = group != groups.end() &&
                        std::find(group->members.begin(), group->members.end(), view.userName) != group->members.end();
    const bool inSession = view.gid == st.st_gid || std::find(view.processGroups.begin(), view.processGroups.end(),
                                                              st.st_gid) != view.processGroups.end();
    auto allows = [&](mode_t read, mode_t write) { return (st.st_mode & read) && (st.st_mode & write); };

    if (view.uid == 0 || (view.uid == st.st_uid && allows(S_IRUSR, S_IWUSR)) ||
        (inSession && allows(S_IRGRP, S_IWGRP)) || allows(S_IROTH, S_IWOTH))
        return Finding::Ok("access", F::AccessGranted, {device});
    if (listed && allows(S_IRGRP, S_IWGRP))
        return Finding::Problem("access", F::AccessAfterNewLogin, {view.userName, groupName});
    return Finding::Problem("access", F::AccessDenied, {device, groupName, view.userName});
}

Finding CheckHolders(const SystemView& view, const std::string& device)
{
    const bool pseudoTerminal = device.starts_with("/dev/pts/");
    for (const std::string& pid : Processes(view)) {
        if (pid == std::to_string(view.selfPid))
            continue;
        const auto files = OpenFiles(view, pid);
        if (std::find(files.begin(), files.end(), device) == files.end())
            continue;
        // The far end of a pseudo-terminal (a simulator, a terminal window) holds both of its
        // ends; it is the line itself, not a competitor for it.
        if (pseudoTerminal && std::find(files.begin(), files.end(), "/dev/ptmx") != files.end())
            continue;
        const std::string name = ProcessName(view, pid);
        return Finding::Problem("holder", F::PortHeld, {device, name, pid});
    }
    return Finding::Ok("holder", F::PortFree);
}

// The findings about the device itself: that it exists, that the user may use it, that no other
// program holds it. The first is always the device's.
// The kernel's class of a character device ("tty" for a serial port, "mem" for /dev/null);
// empty when the file is none or the kernel does not list it (a pseudo-terminal).
std::string CharacterDeviceKind(const SystemView& view, const struct stat& st)
{
    if (!S_ISCHR(st.st_mode))
        return {};
    std::error_code error;
    const fs::path subsystem =
        fs::read_symlink(InRoot(view, "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
                                          std::to_string(minor(st.st_rdev)) + "/subsystem"),
                         error);
    return error ? std::string() : subsystem.filename().string();
}

std::vector<Finding> CheckPort(const SystemView& view, const std::string& device, const std::string& resolved)
{
    std::vector<Finding> findings;
    struct stat st {};
    const bool exists = !resolved.empty() && ::stat(InRoot(view, resolved).c_str(), &st) == 0;
    if (device.empty()) {
        findings.push_back(Finding::Problem("device", F::PortUnmapped));
    } else if (!exists) {
        findings.push_back(Finding::Problem("device", F::DeviceMissing, {device}));
    } else {
        const std::string shown = resolved == device ? device : device + " (" + resolved + ")";
        if (const std::string kind = CharacterDeviceKind(view, st); !kind.empty() && kind != "tty") {
            findings.push_back(Finding::Problem("device", F::NotASerialPort, {shown, kind}));
            return findings;
        }
        findings.push_back(Finding::Ok("device", F::DevicePresent, {shown}));
        findings.push_back(CheckAccess(view, resolved, st));
        findings.push_back(CheckHolders(view, resolved));
    }
    return findings;
}

bool GrabbedByBrltty(const std::string& vendor, const std::string& product)
{
    static const char* const kAdapters[][2] = {{"1a86", "7523"}, {"1a86", "5523"}, {"10c4", "ea60"}, {"10c4", "ea70"}};
    for (const auto& adapter : kAdapters)
        if (vendor == adapter[0] && product == adapter[1])
            return true;
    return false;
}

Finding CheckBrltty(const SystemView& view)
{
    std::error_code error;
    const bool installed =
        fs::exists(InRoot(view, "/usr/bin/brltty"), error) || fs::exists(InRoot(view, "/bin/brltty"), error);
    if (!installed)
        return Finding::Ok("brltty", F::BrlttyAbsent);
    for (const auto& entry : fs::directory_iterator(InRoot(view, "/sys/bus/usb/devices"), error)) {
        if (GrabbedByBrltty(FirstLine(entry.path() / "idVendor"), FirstLine(entry.path() / "idProduct")))
            return Finding::Problem("brltty", F::BrlttyGrabsAdapter);
    }
    return Finding::Ok("brltty", F::BrlttyHarmless);
}

Finding CheckModemManager(const SystemView& view)
{
    const auto processes = Processes(view);
    const bool running = std::any_of(processes.begin(), processes.end(),
                                     [&](const std::string& pid) { return ProcessName(view, pid) == "ModemManager"; });
    if (!running)
        return Finding::Ok("modemmanager", F::ModemManagerStopped);
    std::error_code error;
    for (const char* folder : {"/etc/udev/rules.d/", "/usr/lib/udev/rules.d/", "/lib/udev/rules.d/"})
        if (fs::exists(InRoot(view, std::string(folder) + kUdevRuleName), error))
            return Finding::Ok("modemmanager", F::ModemManagerRuled);
    return Finding::Problem("modemmanager", F::ModemManagerInterferes, {kUdevRuleName});
}

Finding CheckLatency(const SystemView& view, const std::string& device)
{
    const std::string tty = fs::path(device).filename().string();
    const std::string file = "/sys/class/tty/" + tty + "/device/latency_timer";
    const std::string text = FirstLine(InRoot(view, file));
    if (text.empty())
        return Finding::Ok("latency", F::NoLatencyTimer);
    int value = 0;
    try {
        value = std::stoi(text);
    } catch (const std::exception&) {
        return Finding::Ok("latency", F::LatencyUnread);
    }
    if (value <= 1)
        return Finding::Ok("latency", F::LatencyLow, {std::to_string(value)});
    return Finding::Problem("latency", F::LatencyHigh, {std::to_string(value), file});
}

}  // namespace

SystemView SystemView::Current()
{
    SystemView view;
    view.uid = getuid();
    view.gid = getgid();
    if (const passwd* user = getpwuid(view.uid))
        view.userName = user->pw_name;
    else
        view.userName = std::to_string(view.uid);
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        view.processGroups.resize(static_cast<size_t>(count));
        view.processGroups.resize(static_cast<size_t>(std::max(0, getgroups(count, view.processGroups.data()))));
    }
    view.selfPid = getpid();
    return view;
}

Finding Finding::Ok(const char* topic, FindingKind kind, std::initializer_list<std::string_view> values)
{
    return {topic, FindingState::Ok, FindingText(kind, values), FindingFix(kind, values), FindingId(kind)};
}

Finding Finding::Problem(const char* topic, FindingKind kind, std::initializer_list<std::string_view> values)
{
    return {topic, FindingState::Problem, FindingText(kind, values), FindingFix(kind, values), FindingId(kind)};
}

std::vector<Finding> CheckMachine(const SystemView& view, const std::string& device, const std::string& resolved)
{
    std::vector<Finding> findings = CheckPort(view, device, resolved);
    const bool exists = findings.front().state != FindingState::Problem;
    findings.push_back(CheckBrltty(view));
    findings.push_back(CheckModemManager(view));
    if (exists)
        findings.push_back(CheckLatency(view, resolved));
    return findings;
}

std::string ExplainPortFailure(const SystemView& view, const std::string& device, const std::string& resolved,
                               const std::string& systemError, bool given)
{
    for (const Finding& f : CheckPort(view, device, resolved))
        if (given && f.id == FindingId(FindingKind::DeviceMissing))
            return FindingText(FindingKind::GivenDeviceMissing, {device});
        else if (f.state == FindingState::Problem)
            return f.fix.empty() ? f.text : FindingText(FindingKind::OpenFailureWithFix, {f.text, f.fix});
    return FindingText(FindingKind::OpenFailure, {device, systemError});
}

bool AllClear(const std::vector<Finding>& findings)
{
    return std::none_of(findings.begin(), findings.end(),
                        [](const Finding& f) { return f.state == FindingState::Problem; });
}

}  // namespace pmv::system
