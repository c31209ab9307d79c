#include "fakes.h"
#include "temp_dir.h"

#include "link/exchange.h"
#include "link/link_port.h"
#include "link/network_port.h"
#include "link/port_line.h"
#include "link/port_lock.h"
#include "link/register_commands.h"
#include "link/rfc2217.h"
#include "sim/simulator.h"
#include "sim/tcp_bridge.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

namespace pmv::link {
namespace {

TEST(NetworkPortName, WellFormedNamesParseAndEveryMalformedOneSaysWhy)
{
    const auto raw = ParseNetworkPort("TCP://Box-7.local:4001");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->mode, NetworkMode::Raw);
    EXPECT_EQ(raw->host, "Box-7.local");
    EXPECT_EQ(raw->port, 4001);
    const auto telnet = ParseNetworkPort("rfc2217://[fd00::7]:2217/");
    ASSERT_TRUE(telnet);
    EXPECT_EQ(telnet->mode, NetworkMode::Rfc2217);
    EXPECT_EQ(telnet->host, "fd00::7");
    EXPECT_EQ(NetworkPortName(*telnet), "rfc2217://[fd00::7]:2217");

    const std::pair<const char*, NetworkNameProblem> bad[] = {
        {"tcp://box", NetworkNameProblem::Form},         {"tcp://:4001", NetworkNameProblem::Host},
        {"tcp://a b:4001", NetworkNameProblem::Host},    {"tcp://box:0", NetworkNameProblem::Port},
        {"tcp://box:65536", NetworkNameProblem::Port},   {"tcp://box:40x1", NetworkNameProblem::Port},
        {"rfc2217://[box]:1", NetworkNameProblem::Host}, {"rfc2217://[::1]1", NetworkNameProblem::Form},
    };
    for (const auto& [name, why] : bad) {
        NetworkNameProblem problem = NetworkNameProblem::None;
        EXPECT_FALSE(ParseNetworkPort(name, &problem)) << name;
        EXPECT_EQ(problem, why) << name;
        EXPECT_TRUE(IsNetworkName(name)) << name;
    }
    EXPECT_FALSE(IsNetworkName("/dev/ttyUSB0"));
}

// The frame's four 0xFF bytes are telnet's IAC: doubled on the way out, and a doubled one, a
// negotiation or a server's report split anywhere on the way in never reaches the line's bytes.
TEST(ComPortClient, IacIsEscapedBothWaysAndCommandsSplitAnywhereStayOffTheLine)
{
    EXPECT_EQ(ComPortClient::Escape("\xFF\xFF:1;"), std::string("\xFF\xFF\xFF\xFF:1;"));
    const std::string fromServer = std::string("\xFF\xFD\x2C", 3) +                               // DO COM-PORT-OPTION
                                   std::string("\xFF\xFB\x01", 3) +                               // WILL ECHO
                                   std::string("!1;\xFF\xFF;", 6) +                               // a line byte 0xFF
                                   std::string("\xFF\xFA\x2C\x65\x00\x00\x25\x80\xFF\xF0", 10) +  // baud 9600
                                   "5\r";
    for (size_t cut = 0; cut <= fromServer.size(); ++cut) {
        ComPortClient client;
        client.Offer();
        std::string data, reply;
        client.Take(std::string_view(fromServer).substr(0, cut), data, reply);
        client.Take(std::string_view(fromServer).substr(cut), data, reply);
        EXPECT_EQ(data, std::string("!1;\xFF;5\r", 7)) << "cut at " << cut;
        EXPECT_EQ(reply, std::string("\xFF\xFE\x01", 3)) << "echo refused, cut at " << cut;
        EXPECT_EQ(client.ComPort(), ComPortClient::Accord::Accepted);
        EXPECT_EQ(client.ServerBaud(), 9600u);
    }
    ComPortClient refused;
    std::string data, reply;
    refused.Offer();
    refused.Take(std::string("\xFF\xFE\x2C", 3), data, reply);
    EXPECT_EQ(refused.ComPort(), ComPortClient::Accord::Refused);
}

// The simulated instrument behind the simulator's own TCP server.
class NetworkLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(simulator.Start());
        std::string error;
        ASSERT_TRUE(bridge.Start(simulator.PtyPath(), 9600, "127.0.0.1", 0, &error)) << error;
        name = "tcp://127.0.0.1:" + std::to_string(bridge.Port());
    }

    sim::Simulator simulator;
    sim::TcpBridge bridge;
    std::string name;
    SystemClock clock;
    test::RecordingMessages messages;
};

// A network line has no device: its lock is named by host and port, so a second program on the
// same server's line is refused however it carries it, and the line is free again once closed.
TEST_F(NetworkLineTest, ASecondLineOnTheSameServerIsRefusedUntilTheFirstCloses)
{
    EXPECT_NE(DeviceLockPath(name).find("pmv77xx-net-127.0.0.1-" + std::to_string(bridge.Port()) + ".lock"),
              std::string::npos);
    EXPECT_EQ(DeviceLockPath(name), DeviceLockPath("rfc2217://127.0.0.1:" + std::to_string(bridge.Port())));
    PortLine first;
    ASSERT_TRUE(first.Open(name)) << first.OpenError();
    PortLine second;
    EXPECT_FALSE(second.Open("RFC2217://127.0.0.1:" + std::to_string(bridge.Port())));
    EXPECT_EQ(second.network().Failure(), NetworkFailure::Held);
    EXPECT_EQ(second.OpenError(), "порт уже открыт другой программой");
    first.Close();
    EXPECT_TRUE(second.Open(name)) << second.OpenError();
}

// The simulator's server serves one client at a time: one that comes meanwhile is closed at once
// and never mixes its bytes into the line.
TEST_F(NetworkLineTest, TheSimulatorsServerClosesASecondClient)
{
    PortLine line;
    ASSERT_TRUE(line.Open(name));
    const int other = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(bridge.Port());
    ASSERT_EQ(::connect(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    char byte = 0;
    EXPECT_EQ(::recv(other, &byte, 1, 0), 0) << "closed";
    ::close(other);
    Exchange exchange(line, clock);
    exchange.values().UseLogFile = false;
    simulator.SetRegister(2, 1, 11, 42);
    uint32_t value = 0;
    EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
    EXPECT_EQ(value, 42u);
}

// An answer that comes seconds late over the network is never taken for the next read's, and
// what is still owed when the program ends goes to the next program on the same server's line.
TEST_F(NetworkLineTest, LateAnswersAreOwedAndHandedOverOnANetworkLineToo)
{
    test::TempDir dir;
    PortLine line;
    simulator.SetRegister(2, 1, 11, 7);
    simulator.SetRegister(2, 1, 12, 8);
    sim::Fault late{sim::Fault::Kind::DelayApart};
    late.delayMs = 2500;
    simulator.InjectFault(late);
    const std::string kept = DeviceLockPath(name) + ".owed";
    {
        Exchange exchange(line, clock);
        exchange.values().UseLogFile = false;
        LinkPort port(line, exchange, messages, [] { return std::vector<std::string>{}; });
        port.SetDeviceOverride(name);
        EXPECT_FALSE(port.OpenPort());
        ASSERT_TRUE(line.IsOpen()) << port.OpenProblem();
        EXPECT_GT(exchange.values().TransitMs, 0u) << "the network's allowance";
        uint32_t value = 0;
        EXPECT_EQ(ReadByteRegister(exchange, 2, 11, value), kOk);
        EXPECT_EQ(value, 7u);
        ASSERT_FALSE(exchange.OwedHandover().empty()) << "the first try's answer is owed";
    }
    ASSERT_TRUE(std::filesystem::exists(kept));
    Exchange next(line, clock);
    next.values().UseLogFile = false;
    LinkPort port(line, next, messages, [] { return std::vector<std::string>{}; });
    port.SetDeviceOverride(name);
    EXPECT_FALSE(port.OpenPort());
    EXPECT_FALSE(next.OwedHandover().empty()) << "taken over";
    uint32_t value = 0;
    EXPECT_EQ(ReadByteRegister(next, 2, 12, value), kOk);
    EXPECT_EQ(value, 8u) << "the late answer of register 11 did not stand for 12";
    port.ClosePort();
    std::filesystem::remove(kept);
}

}  // namespace
}  // namespace pmv::link
