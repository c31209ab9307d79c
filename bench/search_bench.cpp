// The instrument search over all addresses at one speed against the simulator emulating a
// 9600-baud line: addresses per second, and the ratio of the elapsed time to the wire time of
// the probes (each probe's request and the slot of its longest answer). Goal: at most 1.5.
#include "device/instrument_search.h"
#include "link/clock.h"
#include "link/qt_serial_line.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>

namespace {

constexpr uint32_t kBaud = 9600;

// Wire time of a probe: its request and the longest answer it can get.
double ProbeSlotMs(uint32_t address)
{
    const size_t bytes = pmv::InstrumentSearch::ProbeFrame(address).size() + 14;
    return static_cast<double>(bytes) * 10.0 * 1000.0 / kBaud;
}

bool Run(const char* title, pmv::sim::SimOptions options)
{
    options.baud = kBaud;
    options.onlyAtBaud = true;
    pmv::sim::Simulator simulator(options);
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "search_bench: %s\n", error.c_str());
        return false;
    }
    pmv::QtSerialLine line;
    if (!line.Open(simulator.DevicePath())) {
        std::fprintf(stderr, "search_bench: the pseudo-terminal does not open\n");
        return false;
    }
    pmv::SystemClock clock;
    pmv::InstrumentSearch search(line, clock);
    pmv::SearchOptions search_options;
    search_options.bauds = {kBaud};
    search_options.firstAddress = 0;
    search_options.lastAddress = 255;
    search_options.all = true;
    const pmv::SearchResult result = search.Run(search_options, {});
    double slots = 0;
    for (uint32_t a = 0; a <= 255; ++a)
        slots += ProbeSlotMs(a);
    const double seconds = static_cast<double>(result.elapsedMs) / 1000.0;
    std::printf("%-34s %3u probes, %3zu found, %6.2f s, %6.1f addresses/s, ratio to wire time %.2f (goal <= 1.5)\n",
                title, result.probes, result.found.size(), seconds, result.probes / seconds,
                static_cast<double>(result.elapsedMs) / slots);
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
    return Run("nobody answers", silent) && Run("one instrument (address 37)", one) &&
                   Run("every address answers", everyone)
               ? 0
               : 1;
}
