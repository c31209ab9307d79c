// Produces one instrument (write, verify, serial number and date, passport PDF) against the
// simulator emulating a 9600-baud line and compares the elapsed time with the time its bytes need
// on the wire. Goal: a ratio of at most 1.1. Also prints the instruments per hour the line allows.
#include "binding/commands.h"
#include "history/history.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/link_settings.h"
#include "messages/messages.h"
#include "link/qt_serial_line.h"
#include "model/factory_profiles.h"
#include "production/production.h"
#include "sim/simulator.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace {

constexpr uint32_t kBaud = 9600;

class Silent : public pmv::Progress, public pmv::Messages, public pmv::CommandHost, public pmv::ProductionObserver {
public:
    void SetProgressLines(const pmv::ProgressLines&) override {}
    void ShowProgressPanel() override {}
    void HideProgressPanel() override {}
    void SetProgressStep(const std::string&) override {}
    bool EscapePressed() override { return false; }
    void ShowMessage(const std::string&, const std::string&, pmv::MessageIcon) override {}
    bool AskYesNo(const std::string&, const std::string&, pmv::MessageIcon) override { return true; }
    void DiscardPendingKeys() override {}
    void LockCommands() override {}
    void UnlockCommands() override {}
    void ShowControls(const pmv::ControlValues&) override {}
    void StepStarted(pmv::ProductionStep) override {}
    void StepEnded(pmv::ProductionStep, uint32_t, const std::string&) override {}
};

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    if (pmv::CreateDefaultProfiles())
        return 1;

    pmv::sim::SimOptions options;
    options.baud = kBaud;
    pmv::sim::Simulator simulator(options);
    pmv::QtSerialLine line;
    if (!simulator.Start() || !line.Open(simulator.DevicePath()) || !line.Configure(kBaud))
        return 1;
    pmv::SystemClock clock;
    pmv::Exchange exchange(line, clock);
    exchange.values().ByteTimeout = pmv::ByteTimeoutForBaud(kBaud);
    exchange.values().UseLogFile = false;

    Silent silent;
    pmv::SettingsModel model;
    pmv::Device device{exchange, silent, model, {}};
    pmv::ControlValues controls;
    pmv::CommandContext context{device, silent, silent, controls, 1};
    pmv::History history((work.path() + "/history.sqlite").toStdString());
    pmv::ProductionOrder order;
    order.profilePath = "PMV7706.prf";
    order.typeCode = 12;
    order.nextSerial = true;
    order.year = 2026;
    order.passportDir = work.path().toStdString();

    // The reservation of the number is part of every production: timed with it.
    const auto start = std::chrono::steady_clock::now();
    if (const auto refusal = pmv::PrepareProduction(history, order)) {
        std::fprintf(stderr, "%s\n", refusal->message.c_str());
        return 1;
    }
    const pmv::ProductionResult result =
        pmv::ProduceInstrument(context, order, silent, [&](const pmv::HistoryRecord& r) { history.Record(r); });
    const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    size_t bytes = 0;
    const auto requests = simulator.Transcript();
    for (const auto& r : requests)
        bytes += exchange.BuildFrame(r.text.substr(r.text.find(';') + 1)).size() + r.answer.size();
    const double wire = bytes * 10.0 * 1000.0 / kBaud;
    std::printf("produce one instrument: %zu exchanges  %.1f ms  wire %.1f ms  ratio %.3f  %.0f instruments per hour\n",
                requests.size(), elapsed, wire, elapsed / wire, 3600'000.0 / elapsed);
    return result.code == 0 ? 0 : 1;
}
