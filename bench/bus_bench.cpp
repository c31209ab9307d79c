// A cabinet of 8 instruments on one line, simulated with the line's timing:
//   read:  a bus read of the 8 (each instrument's "Прочитать все" and its profile) at 9600 baud
//          against 8 single reads of one instrument, each alone on its line;
//          goal: at most 1.03 of the 8 single reads' time.
//   scan:  scan --all of addresses 1..255 at 57600 baud with the 8 instruments, against its answer
//          slots: every probe with the longest answer it could get, and every identity read with its
//          answer, as the bytes need them on the wire; goal: at most 1.10.
#include "binding/bus.h"
#include "binding/session.h"
#include "link/clock.h"
#include "link/local_serial_line.h"
#include "messages/messages.h"
#include "messages/progress.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr size_t kLongestProbeAnswer = 14;  // "!255;FF;65535" CR
const std::vector<uint32_t> kCabinet{3, 17, 40, 66, 101, 150, 200, 254};

class Quiet : public pmv::Messages {
public:
    void ShowMessage(const std::string&, const std::string&, pmv::MessageIcon) override {}
    bool AskYesNo(pmv::Question, const std::string&, const std::string&, pmv::MessageIcon) override { return true; }
    void DiscardPendingKeys() override {}
};

class NoPanel : public pmv::Progress {
public:
    void SetProgressLines(const pmv::ProgressLines&) override {}
    void ShowProgressPanel() override {}
    void HideProgressPanel() override {}
    void SetProgressStep(const std::string&) override {}
    bool EscapePressed() override { return false; }
};

double WireMs(size_t bytes, uint32_t baud) { return static_cast<double>(bytes) * 10.0 * 1000.0 / baud; }

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Line {
    explicit Line(pmv::sim::SimOptions options) : simulator(options) {}
    pmv::sim::Simulator simulator;
    pmv::link::LocalSerialLine line;
    pmv::link::SystemClock clock;
};

// The exchange of a session on the simulated line, at `baud`, logs off.
struct Bench {
    Bench(pmv::sim::SimOptions options, uint32_t baud) : line(options)
    {
        line.simulator.Start();
        session.line.Open(line.simulator.DevicePath());
        session.line.Configure(baud);
        session.exchange.values().ByteTimeout = pmv::link::ByteTimeoutForBaud(baud);
        session.exchange.values().UseLogFile = false;
    }
    Line line;
    Quiet messages;
    NoPanel panel;
    pmv::binding::Session session{messages, panel};
};

int64_t ReadInto(Bench& b, const std::vector<pmv::binding::BusInstrument>& instruments, const std::string& folder)
{
    std::vector<std::string> taken;
    const int64_t start = NowMs();
    const auto outcomes = pmv::binding::RunOnEach(
        b.session.device, b.session.line, instruments, [&](pmv::device::Device& d, pmv::binding::BusOutcome& o) {
            return pmv::binding::ReadIntoFolder(d, b.messages, 1, folder, taken, o);
        });
    const int64_t elapsed = NowMs() - start;
    for (const auto& o : outcomes)
        if (o.code != pmv::kOk)
            std::fprintf(stderr, "bus_bench: address %u failed: %s\n", o.instrument.address,
                         pmv::binding::OutcomeLine(o).c_str());
    return elapsed;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "pmv_bus_bench";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);

    // Eight single reads, each instrument alone on its line.
    int64_t singles = 0;
    for (const uint32_t address : kCabinet) {
        pmv::sim::SimOptions one;
        one.address = address;
        one.baud = 9600;
        Bench b(one, 9600);
        pmv::binding::BusInstrument i;
        i.address = address;
        i.baud = 9600;
        singles += ReadInto(b, {i}, folder.string());
    }
    pmv::sim::SimOptions cabinet;
    cabinet.addresses = kCabinet;
    cabinet.baud = 9600;
    Bench bus(cabinet, 9600);
    std::vector<pmv::binding::BusInstrument> all;
    for (const uint32_t address : kCabinet) {
        pmv::binding::BusInstrument i;
        i.address = address;
        i.baud = 9600;
        all.push_back(i);
    }
    const int64_t batch = ReadInto(bus, all, folder.string());
    std::printf(" 9600  bus read of 8 instruments   %6.2f s, 8 single reads %6.2f s, ratio %.3f (goal 1.03)\n",
                batch / 1000.0, singles / 1000.0, static_cast<double>(batch) / static_cast<double>(singles));

    cabinet.baud = 57600;
    cabinet.onlyAtBaud = true;
    Bench scanLine(cabinet, 57600);
    pmv::device::SearchOptions options;
    options.bauds = {57600};
    options.firstAddress = 1;
    options.lastAddress = 255;
    const int64_t start = NowMs();
    const pmv::binding::BusScan scan =
        pmv::binding::ScanBus(scanLine.session.device, scanLine.session.line, scanLine.session.clock, options, {}, {});
    const int64_t elapsed = NowMs() - start;
    size_t slotBytes = 0;
    for (const auto& r : scanLine.line.simulator.Transcript()) {
        const bool probe = r.command == 37 && r.bank == 1 && r.memType == 1 && r.reg == 6 &&
                           r.text.find("37;002006") != std::string::npos;
        slotBytes += r.wireBytes + (r.answered ? r.answer.size() : (probe ? kLongestProbeAnswer : 0));
    }
    size_t probeBytes = 0;
    for (const auto& r : scanLine.line.simulator.Transcript())
        if (r.text.find(";37;002006;") != std::string::npos)
            probeBytes += r.wireBytes + (r.answered ? r.answer.size() : kLongestProbeAnswer);
    std::printf("57600  of which the search          %6.2f s, its probes' slots %.2f s\n",
                scan.search.elapsedMs / 1000.0, WireMs(probeBytes, 57600) / 1000.0);
    size_t identified = 0;
    for (const auto& i : scan.instruments)
        identified += i.identified;
    std::printf("57600  scan --all 1..255, 8 found %6.2f s, %zu identified, slots %.2f s, ratio %.3f (goal 1.10)\n",
                elapsed / 1000.0, identified, WireMs(slotBytes, 57600) / 1000.0,
                static_cast<double>(elapsed) / WireMs(slotBytes, 57600));
    return 0;
}
