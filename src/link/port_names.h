#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace pmv {

// Serial devices by their stable names. `root` stands for "/" (tests pass a fake tree); the
// paths given and returned are the system's, without the root.

// The /dev/serial/by-id name whose link leads to `device`; empty when there is none.
std::string ByIdName(const std::string& root, const std::string& device);

// `path` with every symbolic link followed inside the root; the path itself when it does not
// resolve. A by-id name thus gives the ttyUSB device the adapter has now.
std::string ResolveDevice(const std::string& root, const std::string& path);

// Binds a port number to its adapter: when the number has no [PORTS] entry yet and its device
// has a by-id name, that name is stored in dev.dat, so that the number follows the adapter to
// whatever ttyUSB number it gets next. Returns the message of a failed write.
std::optional<std::string> BindPortToAdapter(const std::string& devDatPath, int32_t number, const std::string& device,
                                             std::map<int32_t, std::string>& portDevices, const std::string& root = "/");

}  // namespace pmv
