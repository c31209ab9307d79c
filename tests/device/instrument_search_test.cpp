#include "sim_line.h"
#include "temp_dir.h"
#include "wait_for.h"

#include "device/instrument_search.h"
#include "ini/ini_file.h"
#include "link/link_settings.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

namespace pmv::device {
namespace {

// The search on a real pseudo-terminal against the simulator, which answers only while the
// line runs at its own speed.
class InstrumentSearchTest : public test::SimLine {
protected:
    void SetUp() override {}

    void Instrument(uint32_t address, uint32_t baud, bool anyAddress = false)
    {
        sim::SimOptions options;
        options.address = address;
        options.baud = baud;
        options.onlyAtBaud = true;
        options.anyAddress = anyAddress;
        Connect(options);
    }

    SearchResult Search(std::vector<uint32_t> bauds, uint32_t first, uint32_t last, bool all = false,
                        std::function<bool(const SearchStep&)> onStep = {})
    {
        SearchOptions options;
        options.bauds = std::move(bauds);
        options.firstAddress = first;
        options.lastAddress = last;
        options.all = all;
        InstrumentSearch search(line, clock);
        return search.Run(options, onStep);
    }
};

TEST_F(InstrumentSearchTest, FindsTheInstrumentAtItsAddressAndSpeed)
{
    Instrument(37, 19200);
    std::vector<std::pair<uint32_t, uint32_t>> steps;
    const SearchResult result = Search(SearchBauds(9600), 30, 40, false, [&](const SearchStep& s) {
        steps.emplace_back(s.baud, s.address);
        return true;
    });
    ASSERT_EQ(result.found.size(), 1u);
    EXPECT_EQ(result.found[0].address, 37u);
    EXPECT_EQ(result.found[0].baud, 19200u);
    EXPECT_FALSE(result.stopped);
    // The configured speed first, all its addresses; then 19200 up to the instrument, or a probe
    // or two beyond it when a busy machine lets its answer come in with the next probe.
    ASSERT_GE(steps.size(), 11u + 8u);
    EXPECT_LE(steps.size(), 11u + 8u + 2u);
    EXPECT_EQ(steps.front(), std::make_pair(9600u, 30u));
    EXPECT_EQ(steps[10], std::make_pair(9600u, 40u));
    EXPECT_EQ(steps[18], std::make_pair(19200u, 37u));
    // At 9600 the simulator heard nothing: no answer was taken for an instrument.
    for (const sim::Request& r : simulator->Transcript())
        EXPECT_FALSE(r.answered && r.address != 37) << r.text;
}

TEST_F(InstrumentSearchTest, WithAllEveryAnsweringAddressIsFound)
{
    Instrument(0, 9600, true);
    const SearchResult result = Search({9600}, 1, 6, true);
    ASSERT_EQ(result.found.size(), 6u);
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(result.found[i].address, i + 1);
    EXPECT_EQ(result.probes, 6u);
    EXPECT_GT(result.wireMs, 0.0);
}

TEST_F(InstrumentSearchTest, NothingFoundEndsAfterTheProbeTimeOutsWithoutAHang)
{
    Instrument(200, 9600);
    const int64_t start = clock.MonotonicMs();
    const SearchResult result = Search({9600, 4800}, 1, 10);
    const int64_t elapsed = clock.MonotonicMs() - start;
    EXPECT_TRUE(result.found.empty());
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(result.probes, 20u);
    const uint32_t boundUs =
        10 * (InstrumentSearch::ProbeTimeoutUs(9600, 30) + InstrumentSearch::ProbeTimeoutUs(4800, 30));
    EXPECT_LT(elapsed, boundUs / 1000 + 1000);
}

TEST_F(InstrumentSearchTest, EscStopsTheSearchBeforeTheNextProbe)
{
    Instrument(37, 9600);
    const SearchResult result = Search({9600}, 1, 255, false, [](const SearchStep& s) { return s.address < 5; });
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(result.found.empty());
    EXPECT_EQ(result.probes, 4u);
    EXPECT_EQ(simulator->Transcript().size(), 4u);
}

// A busy computer or a slow adapter may hold an answer back past the next probe's window too.
TEST_F(InstrumentSearchTest, AnAnswerLaterThanTheNextProbeCountsForItsOwnAddressOnly)
{
    sim::SimOptions options;
    options.address = 8;
    options.baud = 9600;
    // The answer to the probe of 8 comes only after the probe of 9 has given up.
    options.turnaroundMs = 50;
    Connect(options);
    const SearchResult result = Search({9600}, 8, 11, true);
    ASSERT_EQ(result.found.size(), 1u);
    EXPECT_EQ(result.found[0].address, 8u);
    // The simulator's thread may still be taking in the last probe on a slow (sanitized) run.
    ASSERT_TRUE(test::WaitFor([&] { return simulator->Transcript().size() >= 4; }, 1000));
    ASSERT_EQ(simulator->Transcript().size(), 4u);
    EXPECT_TRUE(simulator->Transcript()[0].answered);
}

TEST_F(InstrumentSearchTest, AnAnswerAfterItsWindowCountsForTheAddressItNamesAndWidensTheWindows)
{
    sim::SimOptions options;
    options.address = 8;
    options.baud = 9600;
    // Longer than a probe's first allowance: the answer to 8 comes while the probe of 9 waits.
    options.turnaroundMs = 30;
    Connect(options);
    const int64_t start = clock.MonotonicMs();
    const SearchResult result = Search({9600}, 8, 12, true);
    const int64_t elapsed = clock.MonotonicMs() - start;
    ASSERT_EQ(result.found.size(), 1u);
    EXPECT_EQ(result.found[0].address, 8u);
    // The probes after it wait for such a turnaround.
    EXPECT_GT(elapsed, 5 * InstrumentSearch::ProbeTimeoutUs(9600, 22) / 1000 + 3 * 30);
}

TEST(SearchBaudsTest, TheConfiguredSpeedComesFirstAndOnce)
{
    EXPECT_EQ(SearchBauds(19200), (std::vector<uint32_t>{19200, 9600, 4800, 38400, 57600}));
    EXPECT_EQ(SearchBauds(9600).size(), 5u);
}

TEST(SaveFoundInstrumentTest, AddressAndSpeedGoToDevDatKeepingTheRestOfTheLine)
{
    test::TempDir dir;
    const std::string path = dir.file("dev.dat");
    link::LinkSettings settings;
    settings.Settings = "9600,N,8,2";
    ASSERT_FALSE(SaveFoundInstrument(path, {37, 19200, 82}, settings));
    EXPECT_EQ(ini::ReadIniString(path, "DEVICE", "NetAdrr", ""), "37");
    EXPECT_EQ(ini::ReadIniString(path, "COM_SETTINGS", "Settings", ""), "19200,N,8,2");
    EXPECT_EQ(link::BaudRateFromSettings(settings.Settings), 19200u);
    // Back to 4800 the text must not keep a rate that would win over it.
    ASSERT_FALSE(SaveFoundInstrument(path, {1, 4800, 82}, settings));
    EXPECT_EQ(link::BaudRateFromSettings(ini::ReadIniString(path, "COM_SETTINGS", "Settings", "")), 4800u);
    EXPECT_TRUE(SaveFoundInstrument(dir.file("missing/dev.dat"), {1, 9600, 82}, settings).has_value());
}

// Address and speed change together: a stop between two saves left the new address with the
// old speed, and the instrument was found nowhere.
TEST(SaveFoundInstrumentTest, AddressAndSpeedReachDevDatInOneReplacement)
{
    test::TempDir dir;
    const std::string path = dir.file("dev.dat");
    link::LinkSettings settings;
    ASSERT_FALSE(ini::WriteIniString(path, "COM_SETTINGS", "Settings", "9600,N,8,2"));
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
    ASSERT_FALSE(SaveFoundInstrument(path, {37, 19200, 82}, settings));
    int replacements = 0;
    alignas(inotify_event) char events[4096];
    for (ssize_t got; (got = read(watch, events, sizeof events)) > 0;)
        for (char* at = events; at < events + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            replacements += (event->mask & IN_MOVED_TO) && event->len > 0 && std::string(event->name) == "dev.dat";
            replacements += (event->mask & IN_CLOSE_WRITE) && event->len > 0 && std::string(event->name) == "dev.dat";
            at += sizeof(inotify_event) + event->len;
        }
    close(watch);
    EXPECT_EQ(replacements, 1);
    EXPECT_EQ(ini::ReadIniString(path, "DEVICE", "NetAdrr", ""), "37");
    EXPECT_EQ(ini::ReadIniString(path, "COM_SETTINGS", "Settings", ""), "19200,N,8,2");
}

}  // namespace
}  // namespace pmv::device
