// Measures exchanges against the simulator emulating a 9600-baud line and compares the elapsed
// time with the time the bytes need on the wire (10 bit times per byte, both directions).
// Goal: a ratio of at most 1.2.
#include "device/device.h"
#include "device/device_settings.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/link_settings.h"
#include "link/local_serial_line.h"
#include "link/register_commands.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace {

constexpr uint32_t kBaud = 9600;

struct Result {
    double elapsedMs;
    double wireMs;
    size_t exchanges;
};

Result Measure(pmv::link::Exchange& exchange, pmv::sim::Simulator& simulator, const std::function<void()>& run)
{
    simulator.ClearTranscript();
    const auto start = std::chrono::steady_clock::now();
    run();
    const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    size_t bytes = 0;
    const auto requests = simulator.Transcript();
    for (const auto& r : requests) {
        const std::string fields = r.text.substr(r.text.find(';') + 1);
        bytes += exchange.BuildFrame(fields).size() + r.answer.size();
    }
    return {elapsed, bytes * 10.0 * 1000.0 / kBaud, requests.size()};
}

// The panel of a benchmark run: nothing to show, Esc never pressed.
class SilentProgress : public pmv::Progress {
public:
    void SetProgressLines(const pmv::ProgressLines&) override {}
    void ShowProgressPanel() override {}
    void HideProgressPanel() override {}
    void SetProgressStep(const std::string&) override {}
    bool EscapePressed() override { return false; }
};

void Report(const char* name, const Result& r)
{
    std::printf("%-34s %4zu exchanges  %9.1f ms  wire %9.1f ms  ratio %.3f\n", name, r.exchanges, r.elapsedMs, r.wireMs,
                r.elapsedMs / r.wireMs);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    pmv::sim::SimOptions options;
    options.baud = kBaud;
    pmv::sim::Simulator simulator(options);
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    pmv::link::LocalSerialLine line;
    if (!line.Open(simulator.DevicePath()) || !line.Configure(kBaud)) {
        std::fprintf(stderr, "cannot open %s\n", simulator.DevicePath().c_str());
        return 1;
    }
    pmv::link::SystemClock clock;
    pmv::link::Exchange exchange(line, clock);
    exchange.values().ByteTimeout = pmv::link::ByteTimeoutForBaud(kBaud);
    exchange.values().UseLogFile = false;

    uint32_t value = 0;
    Report("one byte register read", Measure(exchange, simulator, [&] {
               for (int i = 0; i < 10; ++i)
                   pmv::link::ReadByteRegister(exchange, 2, 315, value);
           }));
    Report("60 exchanges (reads and writes)", Measure(exchange, simulator, [&] {
               for (uint32_t i = 0; i < 15; ++i) {
                   pmv::link::WriteByteRegister(exchange, 2, 317, i);
                   pmv::link::ReadByteRegister(exchange, 2, 317, value);
                   pmv::link::WriteLongRegister(exchange, 2, 29, pmv::link::FloatBits(50.0f + static_cast<float>(i)));
                   pmv::link::ReadLongRegister(exchange, 2, 29, value);
               }
           }));

    SilentProgress progress;
    pmv::model::SettingsModel model;
    for (pmv::model::ChannelSettings& c : model.channel)
        c.select = 1;
    model.rele.select = 1;
    model.general.gen_select = 1;
    pmv::device::Device device{exchange, progress, model, {}};
    bool failed = false;
    Report("full read, all groups",
           Measure(exchange, simulator, [&] { failed |= pmv::device::ReadDeviceSettings(device) != pmv::kOk; }));
    Report("full write, all groups",
           Measure(exchange, simulator, [&] { failed |= pmv::device::WriteDeviceSettings(device) != pmv::kOk; }));

    // What a fault costs a full read beyond its time-out: the silent guard time before the
    // retry, and before the next request while an answer is still owed.
    const double clean =
        Measure(exchange, simulator, [&] { failed |= pmv::device::ReadDeviceSettings(device) != pmv::kOk; }).elapsedMs;
    const auto faulted = [&](pmv::sim::Fault::Kind kind, uint32_t delayMs) {
        pmv::sim::Fault fault{kind};
        fault.delayMs = delayMs;
        fault.bank = 2;
        fault.memType = 1;
        fault.reg = 315;
        simulator.InjectFault(fault);
        return Measure(exchange, simulator, [&] { failed |= pmv::device::ReadDeviceSettings(device) != pmv::kOk; })
                   .elapsedMs -
               clean;
    };
    std::printf("full read, one answer lost:       +%.0f ms\n", faulted(pmv::sim::Fault::Kind::NoAnswer, 0));
    std::printf("full read, one answer 1.5 s late: +%.0f ms\n", faulted(pmv::sim::Fault::Kind::Delay, 1500));
    return failed ? 1 : 0;
}
