#pragma once

#include <optional>
#include <string>

namespace pmv {

// The lock file Qt's serial port takes for a device: "LCK.." and the port name (the device
// path without "/dev/", '/' turned into '_') in the first lock folder Qt can use.
std::string PortLockPath(const std::string& device);

// A process killed between creating its lock file and filling it leaves the file empty, and Qt
// then refuses the port until the file is 30 s old. Removes the device's lock file when no
// process holds it and it is empty or names a process that is gone; returns its path then.
std::optional<std::string> RecoverStalePortLock(const std::string& device);

}  // namespace pmv
