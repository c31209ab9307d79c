#include "port_names.h"

#include "link_settings.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace pmv::link {
namespace {

fs::path InRoot(const std::string& root, const fs::path& path) { return fs::path(root) / path.relative_path(); }

}  // namespace

std::string ResolveDevice(const std::string& root, const std::string& path)
{
    fs::path current = fs::path(path).lexically_normal();
    // A bound on the links followed, so that a loop of links cannot hang the lookup.
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        const fs::path inRoot = InRoot(root, current);
        if (!fs::is_symlink(inRoot, error))
            return current.string();
        const fs::path target = fs::read_symlink(inRoot, error);
        if (error)
            return current.string();
        current = (target.is_absolute() ? target : current.parent_path() / target).lexically_normal();
    }
    return current.string();
}

std::string ByIdName(const std::string& root, const std::string& device)
{
    const std::string wanted = ResolveDevice(root, device);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(InRoot(root, "/dev/serial/by-id"), error)) {
        const std::string name = "/dev/serial/by-id/" + entry.path().filename().string();
        if (ResolveDevice(root, name) == wanted)
            return name;
    }
    return {};
}

std::vector<std::string> DeviceNames(const std::vector<SerialPortInfo>& found)
{
    std::vector<std::string> devices;
    for (const SerialPortInfo& info : found)
        devices.push_back(info.device);
    return devices;
}

std::string PortLabel(const std::string& device, const std::vector<SerialPortInfo>& found, const std::string& root)
{
    const std::string byId = device.starts_with("/dev/serial/by-id/") ? device : ByIdName(root, device);
    std::string label = byId.empty() ? device : byId;
    const std::string resolved = ResolveDevice(root, device);
    const auto info =
        std::find_if(found.begin(), found.end(), [&](const SerialPortInfo& i) { return i.device == resolved; });
    if (info == found.end())
        return label;
    std::vector<std::string> parts;
    if (!info->description.empty())
        parts.push_back(info->description);
    if (!info->serialNumber.empty())
        parts.push_back("№ " + info->serialNumber);
    if (resolved != label)
        parts.push_back(resolved);
    for (size_t i = 0; i < parts.size(); ++i)
        label += (i == 0 ? " (" : ", ") + parts[i];
    return parts.empty() ? label : label + ")";
}

std::optional<ini::FileError> BindPortToAdapter(const std::string& devDatPath, int32_t number,
                                                const std::string& device, std::map<int32_t, std::string>& portDevices,
                                                const std::string& root)
{
    if (number < 1 || number > 8 || portDevices.count(number) || device.empty())
        return std::nullopt;
    const std::string byId = ByIdName(root, device);
    if (byId.empty())
        return std::nullopt;
    portDevices[number] = byId;
    return SavePortDevice(devDatPath, number, byId);
}

}  // namespace pmv::link
