#pragma once

#include <optional>
#include <string>

namespace pmv::link {

// `device` with every symbolic link and "." or ".." resolved: a by-id name gives the ttyUSB
// device, a link made by hand its target. The name itself when it does not resolve.
std::string ResolvedDevicePath(const std::string& device);

// The lock file Qt's serial port takes for a device: "LCK.." and the port name (the resolved
// device path without "/dev/", '/' turned into '_') in the first lock folder Qt can use.
std::string PortLockPath(const std::string& device);

// A lock on the device itself, whatever name it is opened by: a file named by the device number
// in the lock folder, locked with flock while the line is open. The system releases it when the
// process ends, however it ends, so it is never left behind. A line on the network has no device:
// its file is named by host and port as written ("pmv77xx-net-10.0.0.7-4001.lock"), in the same
// folder, so that every program of this computer on that server's line shares it whether it
// carries the line raw or by RFC 2217.
std::string DeviceLockPath(const std::string& device);

class DeviceLock {
public:
    DeviceLock() = default;
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;
    ~DeviceLock() { Release(); }

    // False when another line, in this process or another, holds the device. Where no lock file
    // can be made the device is not locked here and true comes back: Qt's own lock still stands.
    bool Acquire(const std::string& device);
    void Release();

private:
    int fd_ = -1;
};

// A process killed between creating Qt's lock file and filling it leaves the file empty, and Qt
// then refuses the port until the file is 30 s old. Removes the device's lock file when no
// process holds it and it is empty or names a process that is gone; returns its path then. The
// caller holds the device's DeviceLock, so an empty file is no lock being taken by another line
// of ours right now.
std::optional<std::string> RecoverStalePortLock(const std::string& device);

}  // namespace pmv::link
