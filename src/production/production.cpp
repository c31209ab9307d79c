#include "production/production.h"

#include "binding/binding.h"
#include "binding/history_records.h"
#include "binding/window_commands.h"
#include "device/device_settings.h"
#include "messages/error_codes.h"
#include "model/profile.h"
#include "reports/page_drawing.h"
#include "reports/passport_page.h"

#include <cstdio>
#include <filesystem>

namespace pmv {
namespace {

constexpr std::array<const char*, kProductionSteps> kOperations{kOperationWrite, kOperationVerify, kOperationSerial,
                                                                kOperationPassport};

class Run {
public:
    Run(CommandContext& c, const ProductionOrder& o, ProductionObserver& observer,
        const std::function<void(const HistoryRecord&)>& record)
        : c_(c), order_(o), observer_(observer), record_(record)
    {
    }

    // Runs one step; false when it failed and the production ends there.
    template <class Body>
    bool Step(ProductionStep step, Body body)
    {
        observer_.StepStarted(step);
        std::string note;
        const uint32_t code = body(note);
        observer_.StepEnded(step, code, note);
        SettingsModel identity;
        identity.serial_hi = order_.serial / 256;
        identity.serial_lo = order_.serial % 256;
        identity.general.otk_type = order_.typeCode;
        identity.fw_version = c_.device.model.fw_version;
        const std::string details = step == ProductionStep::Write ? SettingsValueLines(c_.device.model) : note;
        record_(MakeHistoryRecord(identity, c_.device.model,
                                  {kOperations[static_cast<size_t>(step)], code, order_.profilePath, details}));
        if (code != kOk) {
            result.code = code;
            result.failedStep = step;
        }
        return code == kOk;
    }

    ProductionResult result;

private:
    CommandContext& c_;
    const ProductionOrder& order_;
    ProductionObserver& observer_;
    const std::function<void(const HistoryRecord&)>& record_;
};

}  // namespace

const char* StepName(ProductionStep step)
{
    return kProductionStepNames[static_cast<size_t>(step)];
}

std::string PassportFileName(int32_t typeCode, int32_t serial)
{
    char name[32];
    std::snprintf(name, sizeof name, "%03d-%05d.pdf", typeCode, serial);
    return name;
}

int32_t NextSerial(History& history, int32_t typeCode)
{
    const std::optional<int32_t> last = history.LastSerial(typeCode);
    return last ? std::min(*last + 1, 65535) : 1;
}

ProductionResult ProduceInstrument(CommandContext& c, const ProductionOrder& order, ProductionObserver& observer,
                                   const std::function<void(const HistoryRecord&)>& record)
{
    Run run(c, order, observer, record);
    SettingsModel& model = c.device.model;

    const bool written = run.Step(ProductionStep::Write, [&](std::string& note) -> uint32_t {
        const ReadProfileResult profile = ReadProfile(order.profilePath, model);
        if (profile.error || !profile.holdsProfile) {
            note = profile.error.value_or("Нет профиля " + order.profilePath);
            return kFileNotOpened;
        }
        ShowSettings(model, c.portNumber, c.controls);
        if (const uint32_t code = WriteAll(c))
            return code;
        // The profile's firmware version is not this instrument's; every row names the real one.
        return ReadByte(c.device.exchange, regs::kFirmwareVersion, model.fw_version);
    });
    if (!written)
        return run.result;

    const bool verified = run.Step(ProductionStep::Verify, [&](std::string& note) -> uint32_t {
        SettingsModel instrument;
        if (const uint32_t code = ReadForComparison(c.device, model, instrument))
            return code;
        run.result.differences = CompareSettings(model, instrument);
        note = DifferenceLines(run.result.differences);
        return run.result.differences.empty() ? kOk : kReadBackMismatch;
    });
    if (!verified)
        return run.result;

    const bool numbered = run.Step(ProductionStep::SerialAndDate, [&](std::string&) -> uint32_t {
        model.serial_hi = order.serial / 256;
        model.serial_lo = order.serial % 256;
        model.general.otk_type = order.typeCode;
        model.made_month = order.month;
        model.made_year = order.year;
        return WriteSerialAndDate(c.device, order.day);
    });
    if (!numbered)
        return run.result;

    run.Step(ProductionStep::Passport, [&](std::string& note) -> uint32_t {
        if (const uint32_t code = ReadForPassport(c))
            return code;
        const std::string path =
            (std::filesystem::path(order.passportDir) / PassportFileName(order.typeCode, order.serial)).string();
        if (const auto failure = WritePagePdf(BuildPassportPage(model, Today()), path)) {
            note = *failure;
            return kFileNotOpened;
        }
        run.result.passportPath = note = path;
        return kOk;
    });
    return run.result;
}

}  // namespace pmv
