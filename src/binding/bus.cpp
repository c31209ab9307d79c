#include "bus.h"

#include "binding.h"
#include "commands.h"
#include "file_errors.h"
#include "history_records.h"
#include "settings_diff.h"

#include "device/device_settings.h"
#include "device/register_map.h"
#include "history/history.h"
#include "link/clock.h"
#include "link/exchange.h"
#include "link/link_settings.h"
#include "link/serial_line.h"
#include "model/profile.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace pmv::binding {

std::string ModelText(const BusInstrument& instrument)
{
    const int32_t type = instrument.identity.general.proc_ver;
    if (!instrument.identified || type < 0 || type >= static_cast<int32_t>(model::kDeviceTypeNames.size()))
        return {};
    return model::kDeviceTypeNames[static_cast<size_t>(type)];
}

std::string NumberText(const BusInstrument& instrument)
{
    if (!instrument.identified)
        return {};
    return history::InstrumentNumber(instrument.identity.general.otk_type, instrument.identity.SerialNumber());
}

std::string FirmwareText(const BusInstrument& instrument)
{
    if (instrument.conflict || (!instrument.identified && instrument.identity.fw_version == 0))
        return {};
    return device::FirmwareVersionText(instrument.identity.fw_version);
}

void SelectOnLine(link::Exchange& exchange, link::SerialLine& line, uint32_t address, uint32_t baud)
{
    exchange.values().DeviceAddress = address;
    if (baud != 0) {
        link::SetLineSpeed(exchange.values(), baud);
        line.Configure(baud);
    }
}

ErrorCode ReadBusIdentity(device::Device& device, BusInstrument& instrument)
{
    model::SettingsModel identity;
    ErrorCode code = ReadIdentity(device, identity);
    if (code == kOk)
        code = device::ReadByte(device.exchange, device::regs::kProcVer, identity.general.proc_ver);
    instrument.identity = identity;
    instrument.code = code;
    instrument.identified = code == kOk;
    return code;
}

BusScan ScanBus(device::Device& device, link::SerialLine& line, const link::Clock& clock,
                const device::SearchOptions& options, const std::function<bool(const device::SearchStep&)>& onStep,
                const std::function<void(const BusInstrument&)>& onFound)
{
    const link::LinkValues held = device.exchange.values();
    BusScan scan;
    device::SearchOptions all = options;
    all.all = true;
    all.onFound = [&](const device::FoundInstrument& f) {
        // An instrument that hears several speeds is one instrument, at the speed tried first.
        if (std::any_of(scan.instruments.begin(), scan.instruments.end(),
                        [&](const BusInstrument& i) { return i.address == f.address; }))
            return;
        BusInstrument instrument;
        instrument.address = f.address;
        instrument.baud = f.baud;
        instrument.conflict = f.garbled;
        instrument.identity.fw_version = static_cast<int32_t>(f.firmware);
        scan.instruments.push_back(instrument);
        if (onFound)
            onFound(instrument);
    };
    device::InstrumentSearch search(line, clock);
    scan.search = search.Run(all, onStep);
    std::sort(scan.instruments.begin(), scan.instruments.end(),
              [](const BusInstrument& a, const BusInstrument& b) { return a.address < b.address; });
    scan.stopped = scan.search.stopped;
    device::SearchStep step;
    step.total = scan.search.probes + static_cast<uint32_t>(scan.instruments.size());
    step.probed = scan.search.probes;
    for (BusInstrument& instrument : scan.instruments) {
        if (instrument.conflict || scan.stopped)
            continue;
        step.baud = instrument.baud;
        step.address = instrument.address;
        ++step.probed;
        if (onStep && !onStep(step)) {
            scan.stopped = true;
            break;
        }
        SelectOnLine(device.exchange, line, instrument.address, instrument.baud);
        ReadBusIdentity(device, instrument);
        if (onFound)
            onFound(instrument);
    }
    device.exchange.values() = held;
    return scan;
}

std::optional<std::vector<uint32_t>> ParseAddressList(const std::string& text)
{
    const auto number = [](std::string_view word) -> std::optional<uint32_t> {
        uint32_t value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (word.empty() || error != std::errc() || end != word.data() + word.size() || value > 255)
            return std::nullopt;
        return value;
    };
    std::vector<uint32_t> addresses;
    const std::string_view all = text;
    for (size_t at = 0; at <= all.size();) {
        const size_t comma = std::min(all.find(',', at), all.size());
        const std::string_view item = all.substr(at, comma - at);
        const size_t dash = item.find('-');
        const auto first = number(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : number(item.substr(dash + 1));
        if (!first || !last || *first > *last)
            return std::nullopt;
        for (uint32_t a = *first; a <= *last; ++a)
            if (std::find(addresses.begin(), addresses.end(), a) == addresses.end())
                addresses.push_back(a);
        at = comma + 1;
    }
    return addresses;
}

namespace {

// The progress of one instrument's flow inside a batch: lines and steps go to the batch's panel,
// an Esc is kept for the batch, which stops between two instruments.
class BatchProgress : public Progress {
public:
    explicit BatchProgress(Progress& panel) : panel_(panel) {}
    void SetProgressLines(const ProgressLines& lines) override { panel_.SetProgressLines(lines); }
    void ShowProgressPanel() override { panel_.ShowProgressPanel(); }
    void HideProgressPanel() override { panel_.HideProgressPanel(); }
    void SetProgressStep(const std::string& text) override { panel_.SetProgressStep(text); }
    bool EscapePressed() override
    {
        pressed_ = panel_.EscapePressed() || pressed_;
        return false;
    }
    // An Esc since the batch began; each query resets it.
    bool StopAsked()
    {
        const bool asked = panel_.EscapePressed() || pressed_;
        pressed_ = false;
        return asked;
    }

private:
    Progress& panel_;
    bool pressed_ = false;
};

}  // namespace

std::vector<BusOutcome> RunOnEach(device::Device& device, link::SerialLine& line,
                                  const std::vector<BusInstrument>& instruments,
                                  const std::function<ErrorCode(device::Device&, BusOutcome&)>& flow)
{
    const link::LinkValues held = device.exchange.values();
    BatchProgress progress(device.progress);
    device::Device each{device.exchange, progress, device.model, {}};
    std::vector<BusOutcome> outcomes;
    bool stopped = false;
    for (const BusInstrument& instrument : instruments) {
        BusOutcome& outcome = outcomes.emplace_back();
        outcome.instrument = instrument;
        stopped = stopped || progress.StopAsked();
        if (stopped) {
            outcome.code = kStoppedByUser;
            continue;
        }
        SelectOnLine(device.exchange, line, instrument.address, instrument.baud);
        outcome.code = flow(each, outcome);
        outcome.done = true;
    }
    device.exchange.values() = held;
    return outcomes;
}

namespace {

// Nothing to show: the batch's instruments are not on the window's controls.
class NoControls : public CommandHost {
public:
    void ShowControls(const ControlValues&) override {}
};

}  // namespace

ErrorCode ReadIntoFolder(device::Device& device, Messages& messages, int32_t portNumber, const std::string& folder,
                         std::vector<std::string>& taken, BusOutcome& outcome)
{
    model::SettingsModel read;
    model::ReadProfile({}, read);
    device::Device reader{device.exchange, device.progress, read, {}};
    ControlValues controls;
    ShowSettings(read, portNumber, controls);
    NoControls host;
    CommandContext context{reader, messages, host, controls, portNumber};
    const ErrorCode code = ReadAll(context);
    outcome.instrument.identity.SetSerialNumber(read.SerialNumber());
    outcome.instrument.identity.general.otk_type = read.general.otk_type;
    outcome.instrument.identity.general.proc_ver = read.general.proc_ver;
    outcome.instrument.identity.fw_version = read.fw_version;
    outcome.instrument.identity.made_day = read.made_day;
    outcome.instrument.identity.made_month = read.made_month;
    outcome.instrument.identity.made_year = read.made_year;
    if (code != kOk)
        return code;
    outcome.instrument.code = kOk;
    outcome.instrument.identified = true;
    GatherSettings(controls, read, messages);
    const std::string number = history::InstrumentNumber(read.general.otk_type, read.SerialNumber());
    std::string name = number + ".prf";
    if (std::find(taken.begin(), taken.end(), name) != taken.end())
        name = number + ".адрес " + std::to_string(outcome.instrument.address) + ".prf";
    taken.push_back(name);
    const std::string path = (std::filesystem::path(folder) / std::filesystem::u8path(name)).string();
    if (const auto failure = model::SaveProfile(path, read, {})) {
        outcome.note = FileErrorText(*failure);
        return kFileNotOpened;
    }
    outcome.note = path;
    return kOk;
}

ErrorCode WriteAndVerify(device::Device& device, Messages& messages, int32_t portNumber,
                         const model::SettingsModel& checked, const std::string& profilePath,
                         const std::function<void(const history::HistoryRecord&)>& record, BusOutcome& outcome)
{
    model::SettingsModel written = checked;
    device::Device writer{device.exchange, device.progress, written, {}};
    ControlValues controls;
    ShowSettings(written, portNumber, controls);
    NoControls host;
    CommandContext context{writer, messages, host, controls, portNumber};
    model::SettingsModel identity;
    const auto identityRead = IdentityBeforeWriting(writer, identity);
    bool identified = false;
    context.beforeWriting = [&] {
        const ErrorCode code = identityRead();
        identified = code == kOk;
        return code;
    };
    ErrorCode code = WriteAllChecked(context);
    outcome.instrument.identity = identity;
    outcome.instrument.identity.general.proc_ver = written.general.proc_ver;
    outcome.instrument.identified = identified;
    record(MakeHistoryRecord(identity, written,
                             {history::kOperationWrite, code, profilePath, SettingsValueLines(written)}));
    if (code != kOk)
        return code;
    std::vector<FieldDifference> differences;
    code = VerifyWritten(writer, written, differences);
    record(MakeHistoryRecord(identity, written,
                             {history::kOperationVerify, code, profilePath, DifferenceLines(differences)}));
    if (!differences.empty())
        outcome.note = std::to_string(differences.size()) + " отличий после записи";
    return code;
}

std::string OutcomeLine(const BusOutcome& outcome)
{
    std::string line = "адрес " + std::to_string(outcome.instrument.address);
    if (const std::string number = NumberText(outcome.instrument); !number.empty())
        line += " (" + number + ")";
    line += ": ";
    if (!outcome.done)
        line += "не начато (остановлено пользователем)";
    else if (outcome.code == kOk)
        line += "выполнено";
    else if (const ErrorMessage* message = FindErrorMessage(outcome.code))
        line += message->text;
    else
        line += "ошибка " + std::to_string(CodeNumber(outcome.code));
    if (!outcome.note.empty())
        line += "; " + outcome.note;
    return line;
}

}  // namespace pmv::binding
