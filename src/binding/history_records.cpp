#include "binding/history_records.h"

#include "binding/file_errors.h"
#include "device/calibration_coefficients.h"
#include "device/device_settings.h"
#include "device/service_commands.h"
#include "messages/error_codes.h"

#include <cstdio>
#include <filesystem>
#include <functional>

namespace pmv::binding {

ErrorCode ReadIdentity(device::Device& device, model::SettingsModel& identity)
{
    device::Device reader{device.exchange, device.progress, identity, {}};
    if (const ErrorCode code = device::AwaitRestart(reader); code != kOk)
        return reader.Fail(code);
    if (const ErrorCode code = device::ReadSerialAndDate(reader); code != kOk)
        return code;
    return device::ReadByte(device.exchange, device::regs::kFirmwareVersion, identity.fw_version);
}

std::function<ErrorCode()> IdentityBeforeWriting(device::Device& device, model::SettingsModel& identity)
{
    return [&device, &identity] {
        const ErrorCode code = ReadIdentity(device, identity);
        return code == kNoAnswer || code == kStoppedByUser ? code : kOk;
    };
}

std::string SelectedGroupsText(const model::SettingsModel& m)
{
    std::string text;
    const std::pair<bool, const char*> groups[] = {{m.channel[0].select == 1, "ch1"},
                                                   {m.channel[1].select == 1, "ch2"},
                                                   {m.rele.select == 1, "relay"},
                                                   {m.general.gen_select == 1, "general"}};
    for (const auto& [selected, name] : groups)
        if (selected)
            text += (text.empty() ? "" : ",") + std::string(name);
    return text;
}

namespace {

std::string CoefficientsText(const model::SettingsModel& model, uint32_t ch)
{
    const model::ChannelSettings& c = model.channel[ch];
    char text[256];
    std::snprintf(text, sizeof text,
                  "канал %u: UREF %.4f, RREF %.4f, Ku 100 mV %.4f, Ku 10 V %.4f, Ki 0-5 mA %.4f, Ki 0-20 mA %.4f",
                  ch + 1, c.uref, c.rref, c.ku, c.ku10, c.ki05, c.ki020);
    return text;
}

// A DeclineWatch that also runs `onYes` once a question is answered Yes.
class ConfirmationWatch : public DeclineWatch {
public:
    ConfirmationWatch(Messages& inner, std::function<void()> onYes) : DeclineWatch(inner), onYes_(std::move(onYes)) {}

    bool AskYesNo(Question question, const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        const bool yes = DeclineWatch::AskYesNo(question, text, caption, icon);
        if (yes)
            onYes_();
        return yes;
    }

private:
    std::function<void()> onYes_;
};

}  // namespace

history::HistoryRecord MakeHistoryRecord(const model::SettingsModel& identity, const model::SettingsModel& settings,
                                         const OperationFacts& facts)
{
    history::HistoryRecord r;
    r.serial = identity.SerialNumber();
    r.typeCode = identity.general.otk_type;
    r.firmware = identity.fw_version ? device::FirmwareVersionText(identity.fw_version) : "";
    r.deviceType = settings.general.proc_ver;
    r.operation = facts.operation;
    r.result = CodeNumber(facts.result);
    if (!facts.profilePath.empty()) {
        r.profile = std::filesystem::path(facts.profilePath).filename().string();
        r.profileSha256 = history::FileSha256(facts.profilePath);
    }
    r.groups = SelectedGroupsText(settings);
    r.details = facts.details;
    return r;
}

ErrorCode CalibrateWithRecord(device::Calibration& c, DeclineWatch& declines,
                              std::optional<device::CalibrationVariant> variant, uint32_t ch,
                              const std::string& profilePath,
                              const std::function<void(const history::HistoryRecord&)>& record)
{
    model::SettingsModel identity;
    c.written = false;
    declines.declined = false;
    // The model as the procedure begins with it: after the window's controls are taken in.
    model::SettingsModel start = c.device.model;
    const std::function<ErrorCode()> gather = c.gather;
    c.gather = [&] {
        const ErrorCode code = gather();
        start = c.device.model;
        return code;
    };
    c.beforeWrite = [&] { ReadIdentity(c.device, identity); };
    const ErrorCode code = variant ? device::CalibrateCoefficient(c, *variant, ch) : device::CalibrateReference(c, ch);
    c.gather = gather;
    c.beforeWrite = [] {};
    if (c.written)
        record(MakeHistoryRecord(
            identity, c.device.model,
            {history::kOperationCalibration, code, profilePath, CoefficientsText(c.device.model, ch)}));
    if (code == kOk && declines.declined && c.device.model == start)
        return kStoppedToRevise;
    return code;
}

RecordedCoefficientsWrite WriteCoefficientsWithRecord(device::Device& device, uint32_t ch,
                                                      const std::string& profilePath,
                                                      const std::function<void(ErrorCode)>& written)
{
    // The identity first: after the restart the row would wait for the instrument's return.
    model::SettingsModel identity;
    const bool heard = ReadIdentity(device, identity) != kNoAnswer;
    const ErrorCode write = heard ? device::WriteCalibrationCoefficients(device, ch) : kNoAnswer;
    written(write);
    RecordedCoefficientsWrite done{write, heard ? device::Restart(device.exchange) : kNoAnswer, {}};
    done.record = MakeHistoryRecord(
        identity, device.model,
        {history::kOperationCalibration, done.result(), profilePath, CoefficientsText(device.model, ch)});
    return done;
}

RecordedSerialWrite WriteSerialWithRecord(device::Device& device, history::History& history, int32_t day,
                                          const std::function<bool(const std::string& why)>& reuse,
                                          const std::function<void(const history::HistoryRecord&)>& record)
{
    using Refusal = RecordedSerialWrite::Refusal;
    const model::SettingsModel& m = device.model;
    bool again = false;
    if (const auto refused = history.CheckSerial(m.general.otk_type, m.SerialNumber())) {
        const std::string why = HistoryErrorText(refused->message);
        if (refused->outcome != history::SerialReservation::Outcome::Used)
            return {Refusal::History, kFileNotOpened, why};
        if (!reuse(why))
            return {Refusal::Used, kStoppedToRevise, why};
        again = true;
    }
    const ErrorCode code = device::WriteSerialAndDate(device, day);
    char date[16];
    std::snprintf(date, sizeof date, "%02d.%02d.%04d", day, m.made_month, m.made_year);
    record(MakeHistoryRecord(m, m,
                             {history::kOperationSerial, code, {}, std::string(date) + (again ? ", повторно" : "")}));
    return {Refusal::None, code, {}};
}

RecordedFactoryReset FactoryResetWithRecord(device::Device& device, Messages& messages)
{
    model::SettingsModel identity;
    ConfirmationWatch watch(messages, [&] { ReadIdentity(device, identity); });
    const ErrorCode code = device::FactoryReset(device.exchange, watch);
    if (watch.declined)
        return {kStoppedToRevise, std::nullopt};
    return {code, MakeHistoryRecord(identity, identity, {history::kOperationFactoryReset, code, {}, {}})};
}

}  // namespace pmv::binding
