#pragma once

#include "temp_dir.h"

#include "system/system_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace pmv::test {

// A fake machine: /dev, /sys, /proc and /etc/group under a temporary root, and a user who is
// neither root nor the owner of the device, so that only the group decides the access.
class FakeMachineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Write("/dev/ttyUSB0", "");
        chmod(Path("/dev/ttyUSB0").c_str(), 0660);
        struct stat st {};
        stat(Path("/dev/ttyUSB0").c_str(), &st);
        deviceGid_ = st.st_gid;
        Write("/etc/group", "users:x:100:\ndialout:x:" + std::to_string(deviceGid_) + ":ivan\n");
        Link("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "../../ttyUSB0");
        Write("/sys/class/tty/ttyUSB0/device/latency_timer", "1\n");
        Process(100, "bash", {});

        view_.root = root_.path().string();
        view_.uid = 54321;
        view_.gid = 54321;
        view_.userName = "ivan";
        view_.processGroups = {54321, deviceGid_};
        view_.selfPid = 999;
    }

    std::string Path(const std::string& path) const
    {
        return (root_.path() / std::filesystem::path(path).relative_path()).string();
    }
    void Write(const std::string& path, const std::string& text)
    {
        std::filesystem::create_directories(std::filesystem::path(Path(path)).parent_path());
        WriteFileBytes(Path(path), text);
    }
    void Link(const std::string& path, const std::string& target)
    {
        std::filesystem::create_directories(std::filesystem::path(Path(path)).parent_path());
        std::filesystem::create_symlink(target, Path(path));
    }
    void Process(int pid, const std::string& name, const std::vector<std::string>& files)
    {
        const std::string dir = "/proc/" + std::to_string(pid);
        Write(dir + "/comm", name + "\n");
        std::filesystem::create_directories(Path(dir + "/fd"));
        for (size_t i = 0; i < files.size(); ++i)
            Link(dir + "/fd/" + std::to_string(i + 3), files[i]);
    }
    void UsbDevice(const std::string& name, const std::string& vendor, const std::string& product)
    {
        Write("/sys/bus/usb/devices/" + name + "/idVendor", vendor + "\n");
        Write("/sys/bus/usb/devices/" + name + "/idProduct", product + "\n");
    }

    // The one problem of the findings; fails unless there is exactly one.
    static system::Finding OnlyProblem(const std::vector<system::Finding>& findings)
    {
        std::vector<system::Finding> problems;
        for (const system::Finding& f : findings)
            if (f.state == system::FindingState::Problem)
                problems.push_back(f);
        EXPECT_EQ(problems.size(), 1u);
        return problems.empty() ? system::Finding{} : problems.front();
    }

    TempDir root_;
    system::SystemView view_;
    gid_t deviceGid_ = 0;
};

}  // namespace pmv::test
