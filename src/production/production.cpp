#include "production/production.h"

#include "binding/binding.h"
#include "binding/file_errors.h"
#include "binding/history_records.h"
#include "binding/window_commands.h"
#include "device/device_settings.h"
#include "ini/ini_file.h"
#include "messages/error_codes.h"
#include "model/profile.h"
#include "model/profile_check.h"
#include "reports/passport_page.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <future>
#include <system_error>
#include <unistd.h>

namespace pmv::production {
namespace {

constexpr std::array<const char*, kProductionSteps> kOperations{history::kOperationWrite, history::kOperationVerify,
                                                                history::kOperationSerial, history::kOperationPassport};

class Run {
public:
    Run(binding::CommandContext& c, const ProductionOrder& o, ProductionObserver& observer,
        const std::function<bool(const history::HistoryRecord&)>& record)
        : c_(c), order_(o), observer_(observer), record_(record)
    {}

    // Runs one step; false when it failed and the production ends there.
    template <class Body>
    bool Step(ProductionStep step, Body body)
    {
        observer_.StepStarted(step);
        std::string note;
        const ErrorCode code = body(note);
        observer_.StepEnded(step, code, note);
        const std::string details = step == ProductionStep::Write ? binding::SettingsValueLines(c_.device.model) : note;
        const bool recorded = Record(kOperations[static_cast<size_t>(step)], code, details);
        if (code == kOk && !recorded) {
            result.code = kFileNotOpened;
            result.failedStep = step;
            result.historyLost = true;
            return false;
        }
        if (code != kOk) {
            result.code = code;
            result.failedStep = step;
        }
        return code == kOk;
    }

    // The row that closes the number's reservation: the run's code and its last step.
    void RecordOutcome()
    {
        Record(history::kOperationProduction, result.code,
               result.failedStep ? StepName(*result.failedStep) : result.passportPath);
    }

    ProductionResult result;

private:
    bool Record(const char* operation, ErrorCode code, const std::string& details)
    {
        model::SettingsModel identity;
        identity.SetSerialNumber(order_.serial);
        identity.general.otk_type = order_.typeCode;
        identity.fw_version = c_.device.model.fw_version;
        return record_(
            binding::MakeHistoryRecord(identity, c_.device.model, {operation, code, order_.profilePath, details}));
    }

    binding::CommandContext& c_;
    const ProductionOrder& order_;
    ProductionObserver& observer_;
    const std::function<bool(const history::HistoryRecord&)>& record_;
};

}  // namespace

const char* StepName(ProductionStep step) { return kProductionStepNames[static_cast<size_t>(step)]; }

std::string PassportFileName(int32_t typeCode, int32_t serial)
{
    return history::InstrumentNumber(typeCode, serial) + ".pdf";
}

namespace {

// The highest serial number of the type code among the passports in the folder; -1 when none.
int32_t HighestPassport(const std::filesystem::path& folder, int32_t typeCode)
{
    int32_t highest = -1;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const auto id = history::ParseInstrumentNumber(std::string_view(name).substr(0, name.find('.')),
                                                       history::LoneNumber::Serial);
        if (id && id->typeCode == typeCode && PassportFileName(typeCode, *id->serial) == name)
            highest = std::max(highest, *id->serial);
    }
    return highest;
}

}  // namespace

std::optional<ProductionRefusal> PrepareProduction(history::History& history, ProductionOrder& order)
{
    using Kind = ProductionRefusal::Kind;
    model::SettingsModel profile;
    const model::ReadProfileResult read = model::ReadProfile(order.profilePath, profile);
    if (read.error)
        return ProductionRefusal{Kind::Profile, binding::FileErrorText(*read.error)};
    if (!read.exists)
        return ProductionRefusal{Kind::Profile, "Нет файла профиля " + order.profilePath};
    if (!read.holdsProfile)
        return ProductionRefusal{Kind::Profile, "Файл " + order.profilePath +
                                                    " не является профилем: в нем нет ни одного раздела настроек"};
    // A production writes every group, whatever the profile's boxes say.
    const auto everyGroup = [](model::Group group, unsigned) {
        return group != model::Group::Calibration && group != model::Group::ProfileOnly;
    };
    const model::ProfileCheck check = model::CheckProfile(ini::IniFile::Load(order.profilePath), everyGroup);
    if (!check.bad.empty())
        return ProductionRefusal{Kind::Profile, model::BadValuesText(order.profilePath, check.bad)};
    if (check.missing != 0 && !order.allowDefaults)
        return ProductionRefusal{Kind::ProfileIncomplete, model::MissingKeysText(order.profilePath, check.missing)};

    const std::filesystem::path folder(order.passportDir.empty() ? "." : order.passportDir);
    if (!reports::SavesUnderItsName((folder / PassportFileName(order.typeCode, order.serial)).string()))
        return ProductionRefusal{Kind::PassportFolder, "Имя папки паспортов " + folder.string() +
                                                           " не является текстом UTF-8: паспорт в ней не сохранить"};
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    int refused = error.value();
    if (refused == 0 && !std::filesystem::is_directory(folder, error))
        refused = ENOTDIR;
    if (refused == 0 && access(folder.c_str(), W_OK | X_OK) != 0)
        refused = errno;
    if (refused != 0)
        return ProductionRefusal{Kind::PassportFolder,
                                 "Папка паспортов " + folder.string() +
                                     " недоступна для записи: " + binding::SystemReasonText(refused)};

    model::SettingsModel identity;
    identity.general.otk_type = order.typeCode;
    // The next number goes above every passport of the type code in the folder: a history begun
    // anew, or lost, must not give the numbers of instruments made before it again.
    const int32_t highest = order.nextSerial ? HighestPassport(folder, order.typeCode) : -1;
    const auto passportExists = [&](int32_t serial) {
        return serial <= highest || std::filesystem::exists(folder / PassportFileName(order.typeCode, serial));
    };
    const history::SerialReservation reservation = history.ReserveSerial(
        order.typeCode, order.nextSerial ? std::nullopt : std::optional<int32_t>(order.serial), order.reuse,
        passportExists,
        binding::MakeHistoryRecord(identity, profile,
                                   {history::kOperationReservation, kOk, order.profilePath,
                                    order.reuse ? "повторно" : (order.nextSerial ? "следующий номер" : "")}));
    switch (reservation.outcome) {
    case history::SerialReservation::Outcome::Reserved: order.serial = reservation.serial; return std::nullopt;
    case history::SerialReservation::Outcome::HistoryCorrupt:
        return ProductionRefusal{Kind::HistoryCorrupt, binding::HistoryErrorText(reservation.message)};
    case history::SerialReservation::Outcome::Used:
        return ProductionRefusal{Kind::Used, binding::HistoryErrorText(reservation.message)};
    case history::SerialReservation::Outcome::RangeEnd:
        return ProductionRefusal{Kind::RangeEnd, binding::HistoryErrorText(reservation.message)};
    case history::SerialReservation::Outcome::HistoryFailed: break;
    }
    return ProductionRefusal{Kind::History, binding::HistoryErrorText(reservation.message)};
}

namespace {

// The page drawn on a thread of its own; no future when no thread can be had.
std::future<std::optional<std::string>> DrawAside(const reports::PdfWriter& pdf, const reports::Page& page)
{
    if (!pdf.draw)
        return {};
    try {
        return std::async(std::launch::async, [&pdf, &page] { return pdf.draw(page); });
    } catch (const std::system_error&) {
        return {};
    }
}

void RunSteps(Run& run, binding::CommandContext& c, const ProductionOrder& order)
{
    model::SettingsModel& model = c.device.model;

    const bool written = run.Step(ProductionStep::Write, [&](std::string& note) -> ErrorCode {
        const model::ReadProfileResult profile = model::ReadProfile(order.profilePath, model);
        if (profile.error || !profile.holdsProfile) {
            note = profile.error ? binding::FileErrorText(*profile.error) : "Нет профиля " + order.profilePath;
            return kFileNotOpened;
        }
        binding::ShowSettings(model, c.portNumber, c.controls);
        // The profile's firmware version is not this instrument's; every row names the real one,
        // read before the write, which ends with the instrument's restart.
        c.beforeWriting = [&] {
            return device::ReadByte(c.device.exchange, device::regs::kFirmwareVersion, model.fw_version);
        };
        const ErrorCode code = binding::WriteAll(c);
        c.beforeWriting = {};
        return code;
    });
    if (!written)
        return;

    const bool verified = run.Step(ProductionStep::Verify, [&](std::string& note) -> ErrorCode {
        const ErrorCode code = binding::VerifyWritten(c.device, model, run.result.differences);
        note = binding::DifferenceLines(run.result.differences);
        return code;
    });
    if (!verified)
        return;

    const bool numbered = run.Step(ProductionStep::SerialAndDate, [&](std::string&) -> ErrorCode {
        model.SetSerialNumber(order.serial);
        model.general.otk_type = order.typeCode;
        model.made_month = order.month;
        model.made_year = order.year;
        return device::WriteSerialAndDate(c.device, order.day);
    });
    if (!numbered)
        return;

    run.Step(ProductionStep::Passport, [&](std::string& note) -> ErrorCode {
        // The passport shows what the instrument reports, which takes a whole read. The page of
        // what was just written and verified is drawn meanwhile and kept when the read gives
        // the same page.
        const reports::Page expected = reports::BuildPassportPage(model, reports::Today());
        std::future<std::optional<std::string>> drawing = DrawAside(order.passportWriter, expected);
        const ErrorCode code = binding::ReadForPassport(c);
        const std::optional<std::string> drawn = drawing.valid() ? drawing.get() : std::nullopt;
        if (code != kOk)
            return code;
        const reports::Page page = reports::BuildPassportPage(model, reports::Today());
        const std::string path =
            (std::filesystem::path(order.passportDir) / PassportFileName(order.typeCode, order.serial)).string();
        const reports::PdfWriter& pdf = order.passportWriter;
        if (const auto failure =
                drawn && page == expected && pdf.save ? pdf.save(*drawn, path) : pdf.Write(page, path)) {
            note = binding::FileErrorText(*failure);
            return kFileNotOpened;
        }
        run.result.passportPath = note = path;
        return kOk;
    });
}

}  // namespace

ProductionResult ProduceInstrument(binding::CommandContext& c, const ProductionOrder& order,
                                   ProductionObserver& observer,
                                   const std::function<bool(const history::HistoryRecord&)>& record)
{
    Run run(c, order, observer, record);
    RunSteps(run, c, order);
    run.RecordOutcome();
    return run.result;
}

}  // namespace pmv::production
