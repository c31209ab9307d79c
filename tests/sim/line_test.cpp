#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim_line.h"

namespace pmv::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

struct Timed {
    std::string answer;
    double firstByteMs = 0;  // since the request was written
    double lastByteMs = 0;
    int reads = 0;
};

// Sends a request and notes when the first and the last byte of the answer arrive.
Timed TimedExchange(const std::string& path, const std::string& text)
{
    Line line(path);
    Timed t;
    const auto start = Clock::now();
    line.Send(text);
    while (t.answer.find('\r') == std::string::npos) {
        const std::string got = line.ReadSome(1000);
        if (got.empty())
            break;
        if (t.answer.empty())
            t.firstByteMs = MsSince(start);
        t.answer += got;
        t.lastByteMs = MsSince(start);
        ++t.reads;
    }
    return t;
}

constexpr double kByteMs9600 = 10.0 / 9600 * 1000;

TEST(SimLineTiming, AnswerTakesTheWireTimeAndTricklesIn)
{
    Simulator sim({.baud = 9600});
    ASSERT_TRUE(sim.Start());
    const std::string request = "1;37;00013B;";
    const size_t requestBytes = 4 + 1 + request.size() + 5 + 1;
    const Timed t = TimedExchange(sim.DevicePath(), request);
    ASSERT_EQ(t.answer, "!1;11;27729\r");
    // The first answer byte is complete one byte time after the request's end; the rest follow
    // one byte time apart. Both are lower bounds counted from the request's start, which a
    // reader scheduled late on a busy machine can only exceed; the gap between first and last
    // byte seen is no such bound, since a late reader finds several bytes waiting.
    EXPECT_GE(t.firstByteMs, (requestBytes + 1) * kByteMs9600 * 0.95);
    EXPECT_GE(t.lastByteMs, (requestBytes + t.answer.size()) * kByteMs9600 * 0.95);
    EXPECT_LT(t.lastByteMs, (requestBytes + t.answer.size()) * kByteMs9600 + 400);
    // Trickling: a reader that is on time sees the answer in pieces. One that is late finds it
    // whole, so of a few tries at least one must show the pieces.
    bool pieces = t.reads > 1;
    for (int i = 0; i < 5 && !pieces; ++i)
        pieces = TimedExchange(sim.DevicePath(), request).reads > 1;
    EXPECT_TRUE(pieces);

    sim.SetTurnaround(60);
    EXPECT_GE(TimedExchange(sim.DevicePath(), request).lastByteMs,
              (requestBytes + t.answer.size()) * kByteMs9600 * 0.95 + 60);
    sim.SetTurnaround(0);
    sim.SetBaud(2400);
    EXPECT_GE(TimedExchange(sim.DevicePath(), request).lastByteMs,
              (requestBytes + t.answer.size()) * 4 * kByteMs9600 * 0.95);
}

// A cabinet on one line: each instrument answers its own address from its own memory, one at a
// time, two at one address collide, and one cut off the line is silent.
TEST(SimCabinet, EachAddressAnswersAloneAndTwoAtOneAddressCollide)
{
    SimOptions options;
    options.addresses = {3, 7, 7};
    options.baud = 9600;
    Simulator sim(options);
    ASSERT_TRUE(sim.Start());
    Line line(sim.DevicePath());
    EXPECT_EQ(line.Exchange("3;37;00000B;"), DataAnswer("3;D2;")) << "serial number 1234, low byte";
    EXPECT_EQ(line.Exchange("5;37;00000B;"), "") << "nobody at 5";
    // Requests to 3 sent back to back: the second answer comes after the first, never over it.
    line.Send("3;37;00000B;");
    line.Send("3;37;00000C;");
    EXPECT_EQ(line.ReadFor(300), DataAnswer("3;D2;") + DataAnswer("3;04;"));
    const std::string collided = line.Exchange("7;37;00000B;");
    ASSERT_FALSE(collided.empty());
    EXPECT_EQ(collided.back(), '\r');
    EXPECT_EQ(collided.find('\r'), collided.size() - 1);
    EXPECT_NE(collided, DataAnswer("7;D3;"));
    EXPECT_NE(collided, DataAnswer("7;D4;"));
    sim.SetRegisterAt(3, 2, 1, 315, 9);
    EXPECT_EQ(sim.RegisterAt(3, 2, 1, 315), 9u);
    EXPECT_EQ(sim.RegisterAt(7, 2, 1, 315), 17u) << "memories of their own";
    sim.SetSilent(3, true);
    EXPECT_EQ(line.Exchange("3;37;00000B;"), "");
    EXPECT_EQ(sim.Addresses(), (std::vector<uint32_t>{3, 7, 7}));
}

TEST(SimLifecycle, LinkIsPlacedReplacedAndRemoved)
{
    const std::string link = "/tmp/pmvsim_test_link_" + std::to_string(getpid());
    ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0);
    {
        Simulator sim({.linkPath = link});
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        EXPECT_EQ(sim.DevicePath(), link);
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), sim.PtyPath());
        Line line(link);
        EXPECT_EQ(line.Exchange("1;37;00013B;"), "!1;11;27729\r");
    }
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0);

    // Anything but a symbolic link is left alone.
    const int fd = open(link.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    Simulator sim({.linkPath = link});
    std::string error;
    EXPECT_FALSE(sim.Start(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    unlink(link.c_str());
}

TEST(SimLifecycle, ServesClientsThatComeAndGoAndRestarts)
{
    Simulator sim;
    ASSERT_TRUE(sim.Start());
    EXPECT_FALSE(sim.Start());
    for (int i = 0; i < 20; ++i) {
        Line line(sim.DevicePath());
        line.Write(":1;37;");  // left unfinished by a client that goes away
        ASSERT_EQ(Line(sim.DevicePath()).Exchange("1;37;00013B;"), "!1;11;27729\r") << i;
    }
    sim.Stop();
    EXPECT_EQ(sim.PtyPath(), "");
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(Line(sim.DevicePath()).Exchange("1;37;00013B;"), "!1;11;27729\r");
}

TEST(SimLifecycle, StopsWhileAnAnswerIsHeldBack)
{
    Simulator sim;
    ASSERT_TRUE(sim.Start());
    Fault delay;
    delay.kind = Fault::Kind::Delay;
    delay.delayMs = 60000;
    sim.InjectFault(delay);
    Line line(sim.DevicePath());
    line.Send("1;37;00013B;");
    line.ReadFor(50);
    const auto start = Clock::now();
    sim.Stop();
    EXPECT_LT(MsSince(start), 1000.0);
}

}  // namespace
}  // namespace pmv::sim::test
