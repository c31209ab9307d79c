// The instrument search over all addresses at one speed against the simulator paced to a 9600
// and a 57600 baud line: addresses per second, and the elapsed time against
//   line:  the bytes actually on the line (each probe with its preamble, each answer sent);
//   slots: the same, but an unanswered probe counts the longest answer it could have got, which
//          the search must wait for before it may send the next one.
// Goal: a silent search at most 1.10 of its slots at 57600 and 1.03 at 9600.
#include "device/instrument_search.h"
#include "link/clock.h"
#include "link/local_serial_line.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>

namespace {

constexpr size_t kLongestProbeAnswer = 14;  // "!255;FF;65535" CR

double WireMs(size_t bytes, uint32_t baud) { return static_cast<double>(bytes) * 10.0 * 1000.0 / baud; }

bool Run(uint32_t baud, const char* title, pmv::sim::SimOptions options)
{
    options.baud = baud;
    options.onlyAtBaud = true;
    pmv::sim::Simulator simulator(options);
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "search_bench: %s\n", error.c_str());
        return false;
    }
    pmv::link::LocalSerialLine line;
    if (!line.Open(simulator.DevicePath())) {
        std::fprintf(stderr, "search_bench: the pseudo-terminal does not open\n");
        return false;
    }
    pmv::link::SystemClock clock;
    pmv::device::InstrumentSearch search(line, clock);
    pmv::device::SearchOptions search_options;
    search_options.bauds = {baud};
    search_options.firstAddress = 0;
    search_options.lastAddress = 255;
    search_options.all = true;
    const pmv::device::SearchResult result = search.Run(search_options, {});
    size_t lineBytes = 0, slotBytes = 0;
    for (const auto& r : simulator.Transcript()) {
        lineBytes += r.wireBytes + r.answer.size();
        slotBytes += r.wireBytes + (r.answered ? r.answer.size() : kLongestProbeAnswer);
    }
    const double ms = static_cast<double>(result.elapsedMs);
    std::printf("%5u  %-30s %3u probes, %3zu found, %6.2f s, %6.1f addresses/s, ratio to line %.2f, to slots %.2f\n",
                baud, title, result.probes, result.found.size(), ms / 1000.0, result.probes * 1000.0 / ms,
                ms / WireMs(lineBytes, baud), ms / WireMs(slotBytes, baud));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    pmv::sim::SimOptions silent;
    silent.address = 1000;  // no address of the search: every probe waits out its time-out
    pmv::sim::SimOptions everyone;
    everyone.anyAddress = true;  // every probe answered
    pmv::sim::SimOptions one;
    one.address = 37;
    bool ok = true;
    for (const uint32_t baud : {9600u, 57600u})
        ok = Run(baud, "nobody answers", silent) && Run(baud, "one instrument (address 37)", one) &&
             Run(baud, "every address answers", everyone) && ok;
    return ok ? 0 : 1;
}
