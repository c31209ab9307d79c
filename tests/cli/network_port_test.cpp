#include "captured_output.h"
#include "fakes.h"
#include "ser2net.h"
#include "temp_dir.h"

#include "cli/pmvctl.h"
#include "cli/terminal_io.h"
#include "sim/simulator.h"
#include "sim/tcp_bridge.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>

namespace pmv {
namespace {

using test::Ser2net;

// pmvctl in-process in a fresh working directory, on ports behind ser2net or the simulator's own
// TCP server in front of the simulated instrument.
class NetworkPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    // A simulator paced like a 9600-baud line, with a few settings that differ from the defaults.
    void StartSimulator(sim::SimOptions options = {})
    {
        options.baud = 9600;
        simulator_ = std::make_unique<sim::Simulator>(std::move(options));
        ASSERT_TRUE(simulator_->Start());
        simulator_->SetFloatRegister(2, 29, 55.5f);
        simulator_->SetRegister(2, 1, 315, 3);
        simulator_->SetRegister(2, 1, 338, 120);
    }

    int Run(const std::string& port, std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", port});
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        std::istringstream in;
        cli::Console console{out, err, &in, false, false, &waits_};
        const int status = cli::RunPmvctl(args, console);
        out_ = test::Slurp(out);
        err_ = test::Slurp(err);
        return status;
    }

    // The read-all's status, and its seconds.
    std::pair<int, double> TimedRead(const std::string& port, const std::string& profile)
    {
        const auto start = std::chrono::steady_clock::now();
        const int status = Run(port, {"read", profile});
        return {status, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
    }

    // The findings of `pmvctl doctor --json` as id -> text.
    std::map<std::string, std::string> Doctor(const std::string& port)
    {
        EXPECT_NE(Run(port, {"doctor", "--json"}), 0);
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(out_));
        std::map<std::string, std::string> findings;
        for (const QJsonValue f : document.object()["findings"].toArray())
            findings[f["id"].toString().toStdString()] = f["text"].toString().toStdString();
        return findings;
    }

    test::TempDir dir_;
    std::filesystem::path previous_;
    std::unique_ptr<sim::Simulator> simulator_;
    std::string out_, err_;
    test::TestClock waits_;
};

// A read of everything gives the same profile over the pseudo-terminal, over ser2net in either
// mode and over the simulator's own TCP server; the times are printed for comparison.
TEST_F(NetworkPortTest, ReadAllOverEveryKindOfPortGivesWhatThePseudoTerminalGives)
{
    StartSimulator();
    const auto [ptyStatus, ptySeconds] = TimedRead(simulator_->PtyPath(), "pty.prf");
    ASSERT_EQ(ptyStatus, 0) << err_;
    const std::string expected = test::ReadFileBytes("pty.prf");
    ASSERT_NE(expected.find("55.5"), std::string::npos);

    std::vector<std::pair<std::string, double>> times{{"pty", ptySeconds}};
    for (const auto accepter : {Ser2net::Accepter::Raw, Ser2net::Accepter::Rfc2217}) {
        Ser2net server;
        ASSERT_TRUE(server.Start(accepter, simulator_->PtyPath())) << server.Log();
        const auto [status, seconds] = TimedRead(server.Name(), "net.prf");
        ASSERT_EQ(status, 0) << server.Name() << ": " << err_ << server.Log();
        EXPECT_EQ(test::ReadFileBytes("net.prf"), expected) << server.Name();
        times.emplace_back("ser2net " + server.Name().substr(0, server.Name().find(':')), seconds);
    }
    sim::TcpBridge bridge;
    std::string error;
    ASSERT_TRUE(bridge.Start(simulator_->PtyPath(), 9600, "127.0.0.1", 0, &error)) << error;
    const auto [status, seconds] = TimedRead("tcp://127.0.0.1:" + std::to_string(bridge.Port()), "sim.prf");
    ASSERT_EQ(status, 0) << err_;
    EXPECT_EQ(test::ReadFileBytes("sim.prf"), expected);
    times.emplace_back("pmvsim --listen", seconds);
    // ser2net passes each answer on some 30 ms after its last byte reaches its device; the
    // program's own side adds little, as the simulator's server shows. A time-out waited out
    // would cost a second at least.
    for (const auto& [port, s] : times) {
        std::printf("read all over %s: %.2f s\n", port.c_str(), s);
        EXPECT_LT(s, (port.starts_with("ser2net") ? 2.0 : 1.3) * ptySeconds) << port << ": no answer waited out";
    }
}

// RFC 2217 sets the server's line to the speed of dev.dat: an instrument that hears only 9600
// baud behind a server set to 4800 is written and verified over rfc2217://, whereas over tcp://
// the server's own speed holds and the instrument hears noise.
TEST_F(NetworkPortTest, WriteWithVerifyOverRfc2217SetsTheServersLineSpeed)
{
    sim::SimOptions options;
    options.onlyAtBaud = true;
    StartSimulator(options);
    ASSERT_EQ(Run(simulator_->PtyPath(), {"read", "p.prf"}), 0) << err_;
    std::string profile = test::ReadFileBytes("p.prf");
    const size_t at = profile.find("55.5");
    ASSERT_NE(at, std::string::npos);
    profile.replace(at, 4, "71.25");
    test::WriteFileBytes("p.prf", profile);

    Ser2net server;
    ASSERT_TRUE(server.Start(Ser2net::Accepter::Rfc2217, simulator_->PtyPath(), 4800)) << server.Log();
    EXPECT_EQ(Run(server.NameAs(Ser2net::Accepter::Rfc2217), {"write", "--yes", "--verify", "p.prf"}), 0) << err_;
    EXPECT_NE(err_.find("прибор хранит записанное"), std::string::npos) << err_;
    EXPECT_FLOAT_EQ(simulator_->FloatRegister(2, 29), 71.25f);
    server.Kill();

    Ser2net raw;
    ASSERT_TRUE(raw.Start(Ser2net::Accepter::Raw, simulator_->PtyPath(), 4800)) << raw.Log();
    EXPECT_EQ(Run(raw.Name(), {"read", "raw.prf"}), 2) << "the server's 4800 baud held";
}

// The search sets each speed it tries on the server's line through RFC 2217.
TEST_F(NetworkPortTest, TheSearchOverRfc2217FindsAnInstrumentAtAnotherSpeed)
{
    sim::SimOptions options;
    options.onlyAtBaud = true;
    options.baud = 19200;
    options.address = 5;
    sim::Simulator simulator(options);
    ASSERT_TRUE(simulator.Start());
    Ser2net server;
    ASSERT_TRUE(server.Start(Ser2net::Accepter::Rfc2217, simulator.PtyPath(), 9600)) << server.Log();
    EXPECT_EQ(Run(server.Name(), {"scan", "--addresses", "1-6", "--bauds", "9600,19200"}), 0) << err_;
    EXPECT_NE(out_.find("адрес 5, скорость 19200"), std::string::npos) << out_;
}

// A server that goes away in the middle of a read ends it at once with a clean error that says
// so; no profile is written.
TEST_F(NetworkPortTest, AServerKilledMidReadEndsTheReadWithACleanErrorAndNothingSaved)
{
    std::atomic<pid_t> victim = -1;
    std::atomic<int> requests = 0;
    sim::SimOptions options;
    options.onRequest = [&](const sim::Request&) {
        if (++requests == 20)
            ::kill(victim.load(), SIGKILL);
    };
    StartSimulator(options);
    Ser2net server;
    ASSERT_TRUE(server.Start(Ser2net::Accepter::Raw, simulator_->PtyPath())) << server.Log();
    victim = server.Pid();

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(server.Name(), {"read", "cut.prf"}), 2);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(requests.load(), 20);
    EXPECT_NE(err_.find("Соединение с " + server.Name() + " разорвано"), std::string::npos) << err_;
    EXPECT_NE(err_.find("ERR 2"), std::string::npos) << err_;
    EXPECT_FALSE(std::filesystem::exists("cut.prf"));
    EXPECT_LT(seconds, 2.5) << "no retries nor time-outs on a connection that is gone";
}

// The three ways a server cannot be reached are three findings, each with its own id and text.
TEST_F(NetworkPortTest, DoctorTellsAnUnreachableHostARefusedPortAndAServerWithoutRfc2217Apart)
{
    StartSimulator();
    // A listener whose queue is full drops new connections unanswered, as a host that is down.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 0), 0);
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size);
    std::vector<int> queued;
    for (int i = 0; i < 3; ++i) {
        queued.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(queued.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    const auto unreachable = Doctor("tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    for (const int fd : queued)
        ::close(fd);
    ::close(silent);

    const auto refused = Doctor("tcp://127.0.0.1:" + std::to_string(test::FreeTcpPort()));

    Ser2net raw;
    ASSERT_TRUE(raw.Start(Ser2net::Accepter::Raw, simulator_->PtyPath())) << raw.Log();
    const auto notRfc2217 = Doctor(raw.NameAs(Ser2net::Accepter::Rfc2217));

    ASSERT_TRUE(unreachable.contains("network_host_unreachable")) << out_;
    ASSERT_TRUE(refused.contains("network_port_refused")) << out_;
    ASSERT_TRUE(notRfc2217.contains("network_not_rfc2217")) << out_;
    const std::set<std::string> texts{unreachable.at("network_host_unreachable"), refused.at("network_port_refused"),
                                      notRfc2217.at("network_not_rfc2217")};
    EXPECT_EQ(texts.size(), 3u);
    EXPECT_NE(unreachable.at("network_host_unreachable").find("недоступен"), std::string::npos);
    EXPECT_NE(refused.at("network_port_refused").find("соединения не принимают"), std::string::npos);
    EXPECT_NE(notRfc2217.at("network_not_rfc2217").find("RFC 2217"), std::string::npos);
    for (const auto* findings : {&unreachable, &refused, &notRfc2217})
        EXPECT_TRUE(findings->contains("port_not_open")) << "the instrument is not asked";

    Ser2net rfc2217;
    ASSERT_TRUE(rfc2217.Start(Ser2net::Accepter::Rfc2217, simulator_->PtyPath())) << rfc2217.Log();
    EXPECT_EQ(Run(rfc2217.Name(), {"doctor", "--json"}), 0) << out_;
    EXPECT_NE(out_.find("network_connected_rfc2217"), std::string::npos) << out_;
    EXPECT_NE(out_.find("answers_verified"), std::string::npos) << out_;
}

}  // namespace
}  // namespace pmv
