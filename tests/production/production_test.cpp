#include "fakes.h"
#include "history/sqlite_history.h"
#include "pdf_text.h"
#include "reboot_checks.h"
#include "sim_line.h"
#include "temp_dir.h"

#include "device/register_map.h"
#include "messages/error_codes.h"
#include "model/factory_profiles.h"
#include "production/production.h"
#include "reports/page_pdf.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

namespace pmv::production {
namespace {

class StepLog : public ProductionObserver {
public:
    void StepStarted(ProductionStep step) override
    {
        started.push_back(step);
        if (onStart)
            onStart(step);
    }
    std::function<void(ProductionStep)> onStart;
    void StepEnded(ProductionStep, ErrorCode code, const std::string& note) override
    {
        codes.push_back(code);
        notes.push_back(note);
    }
    std::vector<ProductionStep> started;
    std::vector<ErrorCode> codes;
    std::vector<std::string> notes;
};

class NoWindow : public binding::CommandHost {
public:
    void ShowControls(const binding::ControlValues&) override {}
};

// One instrument on the simulated line, the factory profiles in the working directory.
class ProductionTest : public test::SimLine {
protected:
    void SetUp() override
    {
        SimLine::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        ASSERT_EQ(model::CreateDefaultProfiles(), std::nullopt);
        order.profilePath = dir.file("PMV7706.prf");
        order.typeCode = 12;
        order.serial = 345;
        order.day = 5, order.month = 3, order.year = 2026;
        order.passportDir = dir.path().string();
        order.passportWriter = reports::QtGuiPdfWriter();
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    ProductionResult Produce()
    {
        return ProduceInstrument(context, order, steps, [&](const history::HistoryRecord& r) {
            const auto failure = history->Record(r);
            EXPECT_EQ(failure, std::nullopt);
            return !failure;
        });
    }
    std::vector<history::HistoryRecord> Rows()
    {
        std::vector<history::HistoryRecord> rows;
        EXPECT_EQ(history->Query({}, rows), std::nullopt);
        return rows;
    }

    test::TempDir dir;
    std::unique_ptr<history::History> history =
        std::make_unique<history::SqliteHistory>(dir.file(history::kHistoryFileName));
    model::SettingsModel model;
    test::ScriptedProgress progress;
    test::RecordingMessages messages;
    device::Device device{exchange, progress, model, {}};
    binding::ControlValues controls;
    NoWindow host;
    binding::CommandContext context{device, messages, host, controls, 1};
    ProductionOrder order;
    StepLog steps;

private:
    std::filesystem::path previous_;
};

TEST_F(ProductionTest, OneInstrumentWrittenVerifiedNumberedAndItsPassportSaved)
{
    const ProductionResult result = Produce();
    ASSERT_EQ(result.code, kOk) << (steps.notes.empty() ? "" : steps.notes.back());
    EXPECT_EQ(steps.started.size(), kProductionSteps);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kProcVer.number), 2u) << "the profile's device type";
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kSerialLo.number), 345u % 256);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kSerialHi.number), 345u / 256);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kOtkType.number), 12u);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kMadeMonth.number), 3u);
    EXPECT_EQ(result.passportPath, dir.file("012-00345.pdf"));
    EXPECT_EQ(test::ReadFileBytes(result.passportPath).rfind("%PDF", 0), 0u);
    const std::string text = test::Poppler("pdftotext", result.passportPath);
    ASSERT_FALSE(text.empty()) << "pdftotext (poppler-utils) is needed";
    EXPECT_NE(text.find("номер 012-345 "), std::string::npos) << text;

    const std::vector<history::HistoryRecord> rows = Rows();
    ASSERT_EQ(rows.size(), kProductionSteps + 1);
    for (const history::HistoryRecord& r : rows) {
        EXPECT_EQ(r.serial, 345);
        EXPECT_EQ(r.typeCode, 12);
        EXPECT_EQ(r.result, 0u);
        EXPECT_EQ(r.profile, "PMV7706.prf");
        EXPECT_EQ(r.profileSha256.size(), 64u);
        EXPECT_EQ(r.firmware, "1.1.2") << r.operation;
    }
    EXPECT_EQ(rows[0].operation, history::kOperationWrite);
    EXPECT_NE(rows[0].details.find("Общие · Тип прибора=2\n"), std::string::npos);
    EXPECT_EQ(rows[3].details, result.passportPath);
    EXPECT_EQ(rows[4].operation, history::kOperationProduction);
    EXPECT_EQ(history->PeekNextSerial(12).serial, 346);
    EXPECT_EQ(history->PeekNextSerial(13).serial, 1);
}

// The passport's page is drawn while the instrument is read back; what the instrument reports
// is what the passport shows, also when it is not what was written.
TEST_F(ProductionTest, ThePassportShowsTheNumberTheInstrumentReportsNotTheOneSentIt)
{
    steps.onStart = [&](ProductionStep step) {
        if (step == ProductionStep::Passport)
            simulator->SetRegister(2, 1, device::regs::kSerialLo.number, 346 % 256);
    };
    const ProductionResult result = Produce();
    ASSERT_EQ(result.code, kOk) << (steps.notes.empty() ? "" : steps.notes.back());
    const std::string text = test::Poppler("pdftotext", result.passportPath);
    ASSERT_FALSE(text.empty()) << "pdftotext (poppler-utils) is needed";
    EXPECT_NE(text.find("номер 012-346 "), std::string::npos) << text;
    EXPECT_EQ(text.find("номер 012-345 "), std::string::npos) << text;
}

TEST_F(ProductionTest, NothingIsSentAndNoNumberTakenWhenTheProductionCannotStart)
{
    struct Case {
        const char* what;
        std::function<void()> arrange;
        ProductionRefusal::Kind kind;
    };
    const std::vector<Case> cases{
        {"no profile", [&] { order.profilePath = dir.file("missing.prf"); }, ProductionRefusal::Kind::Profile},
        {"a profile that is no profile",
         [&] {
             test::WriteFileBytes(dir.file("list.csv"), "a;b;c\r\n1;2;3\r\n");
             order.profilePath = dir.file("list.csv");
         },
         ProductionRefusal::Kind::Profile},
        {"the passport folder is a file",
         [&] {
             test::WriteFileBytes(dir.file("passports"), "x");
             order.passportDir = dir.file("passports");
         },
         ProductionRefusal::Kind::PassportFolder},
        {"the passport folder's name is no text: the PDF could not be saved under it",
         [&] { order.passportDir = dir.file("pp\xff"); }, ProductionRefusal::Kind::PassportFolder},
        {"the passport exists", [&] { test::WriteFileBytes(dir.file("012-00345.pdf"), "%PDF"); },
         ProductionRefusal::Kind::Used},
        {"the history is a folder", [&] { history = std::make_unique<history::SqliteHistory>(dir.path().string()); },
         ProductionRefusal::Kind::History},
    };
    const ProductionOrder planned = order;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        history = std::make_unique<history::SqliteHistory>(dir.file(history::kHistoryFileName));
        order = planned;
        c.arrange();
        const std::optional<ProductionRefusal> refusal = PrepareProduction(*history, order);
        ASSERT_TRUE(refusal);
        EXPECT_EQ(refusal->kind, c.kind) << refusal->message;
        EXPECT_FALSE(refusal->message.empty());
        std::filesystem::remove(dir.file("012-00345.pdf"));
    }
    EXPECT_TRUE(simulator->Transcript().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("pp\xff")));
    history = std::make_unique<history::SqliteHistory>(dir.file(history::kHistoryFileName));
    EXPECT_TRUE(Rows().empty()) << "no reservation";

    // A folder that does not exist yet is made before the number is taken.
    order = planned;
    order.passportDir = dir.file("made/2026");
    ASSERT_EQ(PrepareProduction(*history, order), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(order.passportDir));
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0].operation, history::kOperationReservation);
    EXPECT_EQ(Rows()[0].profile, "PMV7706.prf");
    EXPECT_EQ(PrepareProduction(*history, order)->kind, ProductionRefusal::Kind::Used) << "named twice";
    order.nextSerial = true;
    ASSERT_EQ(PrepareProduction(*history, order), std::nullopt);
    EXPECT_EQ(order.serial, 346);
}

// A history begun anew (or lost) knows none of the instruments made before it; their passports do.
TEST_F(ProductionTest, TheNextNumberGoesAboveEveryPassportOfTheTypeInTheFolder)
{
    for (const char* name : {"012-00001.pdf", "012-00004.pdf", "013-00050.pdf", "012-00009 копия.pdf", "12-00030.pdf",
                             "012-00040.txt", "012-00060.pdf.bak"})
        test::WriteFileBytes(dir.file(name), "%PDF");
    order.nextSerial = true;
    ASSERT_EQ(PrepareProduction(*history, order), std::nullopt);
    EXPECT_EQ(order.serial, 5) << "only passports named as production names them count";
    ASSERT_EQ(PrepareProduction(*history, order), std::nullopt);
    EXPECT_EQ(order.serial, 6);

    order.nextSerial = false;
    order.serial = 2;
    EXPECT_EQ(PrepareProduction(*history, order), std::nullopt) << "a number named below them is not a passport's";
    order.typeCode = 13;
    order.nextSerial = true;
    ASSERT_EQ(PrepareProduction(*history, order), std::nullopt);
    EXPECT_EQ(order.serial, 51);
}

TEST_F(ProductionTest, TheRebootAfterTheWriteCostsOnlyShortProbes)
{
    const auto timed = [this] {
        const auto start = std::chrono::steady_clock::now();
        const ProductionResult result = Produce();
        EXPECT_EQ(result.code, kOk) << (steps.notes.empty() ? "" : steps.notes.back());
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    const int64_t plain = timed();
    constexpr uint32_t kRebootMs = 800;
    simulator->SetReboot(kRebootMs);
    simulator->ClearTranscript();
    order.serial = 346;
    const int64_t rebooting = timed();
    test::ExpectOnlyProbesWaitedForTheReboot(simulator->Transcript(), kRebootMs, rebooting, plain);
    for (const history::HistoryRecord& r : Rows())
        EXPECT_EQ(r.firmware, "1.1.2") << r.operation << " " << r.serial;
}

TEST_F(ProductionTest, AFailureStopsAtItsStepAndIsRecordedAsFailed)
{
    struct Case {
        const char* what;
        std::function<void()> arrange;
        ProductionStep failing;
        ErrorCode code;
    };
    const std::vector<Case> cases{
        {"no profile", [&] { order.profilePath = dir.file("missing.prf"); }, ProductionStep::Write, kFileNotOpened},
        {"serial number refused",
         [&] {
             // Refused from the step on: the verification before it reads the same register.
             steps.onStart = [&](ProductionStep step) {
                 sim::Fault refuse{sim::Fault::Kind::Status};
                 refuse.count = -1;
                 refuse.status = 0x0006;
                 refuse.bank = 2, refuse.memType = 1, refuse.reg = static_cast<int>(device::regs::kSerialLo.number);
                 if (step == ProductionStep::SerialAndDate)
                     simulator->InjectFault(refuse);
             };
         },
         ProductionStep::SerialAndDate, kOperandTooLarge},
        {"passport folder missing", [&] { order.passportDir = dir.file("nowhere"); }, ProductionStep::Passport,
         kFileNotOpened},
        // Last: the simulator keeps losing the setting from now on.
        {"a setting lost at the restart", [&] { simulator->ChangeOnRestart(2, 1, device::regs::Ns(0).number, 9); },
         ProductionStep::Verify, kReadBackMismatch},
    };
    const ProductionOrder planned = order;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir fresh;
        history = std::make_unique<history::SqliteHistory>(fresh.file(history::kHistoryFileName));
        steps = {};
        order = planned;
        simulator->ClearFaults();
        c.arrange();
        const ProductionResult result = Produce();
        EXPECT_EQ(result.code, c.code);
        ASSERT_EQ(result.failedStep, c.failing);
        const std::vector<history::HistoryRecord> rows = Rows();
        ASSERT_EQ(rows.size(), static_cast<size_t>(c.failing) + 2) << "stops at the failing step, then the outcome";
        EXPECT_EQ(rows[static_cast<size_t>(c.failing)].result, CodeNumber(c.code));
        if (c.failing == ProductionStep::Passport) {
            EXPECT_NE(rows[static_cast<size_t>(c.failing)].details.find(": нет папки " + dir.file("nowhere") + "."),
                      std::string::npos)
                << "the system's reason in the operator's words: " << rows[static_cast<size_t>(c.failing)].details;
        }
        for (size_t i = 0; i < static_cast<size_t>(c.failing); ++i)
            EXPECT_EQ(rows[i].result, 0u);
        EXPECT_EQ(rows.back().operation, history::kOperationProduction);
        EXPECT_EQ(rows.back().result, CodeNumber(c.code));
        EXPECT_EQ(rows.back().details, StepName(c.failing));
    }
}

}  // namespace
}  // namespace pmv::production
