#include "fakes.h"
#include "temp_dir.h"

#include "ini/ini_file.h"
#include "link/link_settings.h"
#include "link/port_names.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pmv::link {
namespace {

namespace fs = std::filesystem;

// Fake /dev trees: an adapter's by-id link moves from ttyUSB0 to ttyUSB1 when it is plugged in
// again after another adapter took its number.
class PortNamesTest : public ::testing::Test {
protected:
    void Plug(const std::string& byId, const std::string& tty)
    {
        const fs::path link = root_.path() / "dev/serial/by-id" / byId;
        fs::create_directories(link.parent_path());
        fs::remove(link);
        fs::create_symlink("../../" + tty, link);
        test::WriteFileBytes((root_.path() / "dev" / tty).string(), "");
    }

    std::string Root() const { return root_.path().string(); }

    test::TempDir root_;
    test::TempDir work_;
};

TEST_F(PortNamesTest, ABoundNumberFollowsItsAdapterToANewTtyNumber)
{
    Plug("usb-FTDI_FT232R_A10K3V-if00-port0", "ttyUSB0");
    const std::string devDat = work_.file("dev.dat");
    std::map<int32_t, std::string> ports;
    ASSERT_FALSE(BindPortToAdapter(devDat, 1, "/dev/ttyUSB0", ports, Root()));
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_A10K3V-if00-port0";
    EXPECT_EQ(ini::ReadIniString(devDat, "PORTS", "COM1", ""), byId);

    // Unplugged, a CH340 takes ttyUSB0, the FTDI comes back as ttyUSB1.
    Plug("usb-1a86_USB_Serial-if00-port0", "ttyUSB0");
    Plug("usb-FTDI_FT232R_A10K3V-if00-port0", "ttyUSB1");
    // The next start reads the binding from dev.dat.
    LinkSettings settings;
    test::RecordingMessages messages;
    LoadLinkSettings(devDat, settings, messages);
    const std::string device = PortDevice(1, settings.PortDevices, {"/dev/ttyUSB0", "/dev/ttyUSB1"});
    EXPECT_EQ(device, byId);
    EXPECT_EQ(ResolveDevice(Root(), device), "/dev/ttyUSB1");
    EXPECT_EQ(ByIdName(Root(), "/dev/ttyUSB0"), "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0");
}

TEST_F(PortNamesTest, ANumberAlreadyMappedOrWithoutAByIdNameStaysAsItIs)
{
    Plug("usb-FTDI_FT232R_A10K3V-if00-port0", "ttyUSB0");
    test::WriteFileBytes((root_.path() / "dev/ttyS0").string(), "");
    const std::string devDat = work_.file("dev.dat");
    std::map<int32_t, std::string> ports{{2, "/dev/ttyUSB0"}};
    EXPECT_FALSE(BindPortToAdapter(devDat, 2, "/dev/ttyUSB0", ports, Root()));
    EXPECT_FALSE(BindPortToAdapter(devDat, 3, "/dev/ttyS0", ports, Root()));
    EXPECT_FALSE(BindPortToAdapter(devDat, 9, "/dev/ttyUSB0", ports, Root()));
    EXPECT_EQ(ports.size(), 1u);
    EXPECT_FALSE(fs::exists(devDat));
    EXPECT_EQ(ByIdName(Root(), "/dev/ttyS0"), "");
}

TEST_F(PortNamesTest, TheSelectorNamesAnAdapterByItsStableNameDescriptionAndSerialNumber)
{
    Plug("usb-FTDI_FT232R_A10K3V-if00-port0", "ttyUSB1");
    const std::vector<SerialPortInfo> found{{"/dev/ttyUSB1", "FT232R USB UART", "A10K3V"}, {"/dev/ttyS0", "", ""}};
    const std::string label =
        "/dev/serial/by-id/usb-FTDI_FT232R_A10K3V-if00-port0 (FT232R USB UART, № A10K3V, /dev/ttyUSB1)";
    EXPECT_EQ(PortLabel("/dev/ttyUSB1", found, Root()), label);
    // A number bound in dev.dat names the by-id link itself.
    EXPECT_EQ(PortLabel("/dev/serial/by-id/usb-FTDI_FT232R_A10K3V-if00-port0", found, Root()), label);
    EXPECT_EQ(PortLabel("/dev/ttyS0", found, Root()), "/dev/ttyS0");
    // Unplugged: the binding is still shown, without what only the adapter could tell.
    EXPECT_EQ(PortLabel("/dev/serial/by-id/usb-FTDI_FT232R_A10K3V-if00-port0", {}, Root()),
              "/dev/serial/by-id/usb-FTDI_FT232R_A10K3V-if00-port0");
}

}  // namespace
}  // namespace pmv::link
