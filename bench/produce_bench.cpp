// Produces one instrument (write, verify, serial number and date, passport PDF) against the
// simulator emulating a 9600-baud line and compares the elapsed time with the time its bytes need
// on the wire. Goal: a ratio of at most 1.1. Also prints the instruments per hour the line allows,
// and again with an instrument that answers 20 ms after each request and is silent for 1.5 s
// after its restart, as a real one.
#include "binding/commands.h"
#include "history/sqlite_history.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/link_settings.h"
#include "link/local_serial_line.h"
#include "messages/messages.h"
#include "model/factory_profiles.h"
#include "production/production.h"
#include "reports/page_pdf.h"
#include "sim/simulator.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace {

constexpr uint32_t kBaud = 9600;

class Silent : public pmv::Progress,
               public pmv::Messages,
               public pmv::binding::CommandHost,
               public pmv::production::ProductionObserver {
public:
    void SetProgressLines(const pmv::ProgressLines&) override {}
    void ShowProgressPanel() override {}
    void HideProgressPanel() override {}
    void SetProgressStep(const std::string&) override {}
    bool EscapePressed() override { return false; }
    void ShowMessage(const std::string&, const std::string&, pmv::MessageIcon) override {}
    bool AskYesNo(pmv::Question, const std::string&, const std::string&, pmv::MessageIcon) override { return true; }
    void DiscardPendingKeys() override {}
    void ShowControls(const pmv::binding::ControlValues&) override {}
    void StepStarted(pmv::production::ProductionStep) override {}
    void StepEnded(pmv::production::ProductionStep, pmv::ErrorCode, const std::string&) override {}
};

// One production run; false when it failed.
bool Produce(const QTemporaryDir& work, uint32_t turnaroundMs, uint32_t rebootMs, const char* title)
{
    pmv::sim::SimOptions options;
    options.baud = kBaud;
    options.turnaroundMs = turnaroundMs;
    options.rebootMs = rebootMs;
    pmv::sim::Simulator simulator(options);
    pmv::link::LocalSerialLine line;
    if (!simulator.Start() || !line.Open(simulator.DevicePath()) || !line.Configure(kBaud))
        return false;
    pmv::link::SystemClock clock;
    pmv::link::Exchange exchange(line, clock);
    exchange.values().ByteTimeout = pmv::link::ByteTimeoutForBaud(kBaud);
    exchange.values().UseLogFile = false;

    Silent silent;
    pmv::model::SettingsModel model;
    pmv::device::Device device{exchange, silent, model, {}};
    pmv::binding::ControlValues controls;
    pmv::binding::CommandContext context{device, silent, silent, controls, 1};
    pmv::history::SqliteHistory history((work.path() + "/history.sqlite").toStdString());
    pmv::production::ProductionOrder order;
    order.profilePath = "PMV7706.prf";
    order.typeCode = 12;
    order.nextSerial = true;
    order.year = 2026;
    order.passportDir = work.path().toStdString();
    order.passportWriter = pmv::reports::QtGuiPdfWriter();

    // The reservation of the number is part of every production: timed with it.
    const auto start = std::chrono::steady_clock::now();
    if (const auto refusal = pmv::production::PrepareProduction(history, order)) {
        std::fprintf(stderr, "%s\n", refusal->message.c_str());
        return 1;
    }
    const pmv::production::ProductionResult result = pmv::production::ProduceInstrument(
        context, order, silent, [&](const pmv::history::HistoryRecord& r) { return !history.Record(r); });
    const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    size_t bytes = 0;
    const auto requests = simulator.Transcript();
    for (const auto& r : requests)
        bytes += r.wireBytes + r.answer.size();
    const double wire = bytes * 10.0 * 1000.0 / kBaud;
    std::printf("%-44s %zu exchanges  %.1f ms  line %.1f ms  ratio %.3f  %.0f instruments per hour\n", title,
                requests.size(), elapsed, wire, elapsed / wire, 3600'000.0 / elapsed);
    return result.code == pmv::kOk;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    if (pmv::model::CreateDefaultProfiles())
        return 1;
    const bool ok = Produce(work, 0, 0, "produce one instrument:") && Produce(work, 20, 0, "answers after 20 ms:") &&
                    Produce(work, 20, 1500, "answers after 20 ms, 1.5 s reboot:");
    return ok ? 0 : 1;
}
