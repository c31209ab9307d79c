#pragma once

#include "ini/file_error.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pmv::link {

// A serial device present on this machine, as its driver describes it.
struct SerialPortInfo {
    std::string device;  // /dev/ttyUSB0
    std::string description;
    std::string serialNumber;

    bool operator==(const SerialPortInfo&) const = default;
};

std::vector<std::string> DeviceNames(const std::vector<SerialPortInfo>& found);

// Serial devices by their stable names. `root` stands for "/" (tests pass a fake tree); the
// paths given and returned are the system's, without the root.

// The /dev/serial/by-id name whose link leads to `device`; empty when there is none.
std::string ByIdName(const std::string& root, const std::string& device);

// `path` with every symbolic link followed inside the root; the path itself when it does not
// resolve. A by-id name thus gives the ttyUSB device the adapter has now.
std::string ResolveDevice(const std::string& root, const std::string& path);

// How the port selector names a device: its by-id name where it has one, then the adapter's
// description and serial number as its driver gives them and the tty it has now, e.g.
// "/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0 (FT232R USB UART, № A50285BI, /dev/ttyUSB0)".
std::string PortLabel(const std::string& device, const std::vector<SerialPortInfo>& found,
                      const std::string& root = "/");

// Binds a port number to its adapter: when the number has no [PORTS] entry yet and its device
// has a by-id name, that name is stored in dev.dat, so that the number follows the adapter to
// whatever ttyUSB number it gets next. Returns the write the system refused.
std::optional<ini::FileError> BindPortToAdapter(const std::string& devDatPath, int32_t number,
                                                const std::string& device, std::map<int32_t, std::string>& portDevices,
                                                const std::string& root = "/");

}  // namespace pmv::link
