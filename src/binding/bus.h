#pragma once

#include "device/device.h"
#include "device/instrument_search.h"
#include "messages/error_codes.h"
#include "model/settings_model.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::history {
struct HistoryRecord;
}  // namespace pmv::history

namespace pmv::link {
class Clock;
class Exchange;
class SerialLine;
}  // namespace pmv::link

namespace pmv::binding {

// One instrument on the line: where it answers and who it is.
struct BusInstrument {
    uint32_t address = 0;
    uint32_t baud = 0;
    // Answers came garbled: more than one instrument at this address. Nothing more is read.
    bool conflict = false;
    ErrorCode code = kOk;           // of the identity's read
    bool identified = false;        // the identity below was read from the instrument
    model::SettingsModel identity;  // serial number, type code, date, firmware, device type
};

// "7703 Н Двухканальный": the device type's name; empty while unknown.
std::string ModelText(const BusInstrument& instrument);
// "012-00345", empty while unknown.
std::string NumberText(const BusInstrument& instrument);
// "1.1.2", empty while unknown.
std::string FirmwareText(const BusInstrument& instrument);

// The exchange's requests go to the instrument at `address`, at `baud`.
void SelectOnLine(link::Exchange& exchange, link::SerialLine& line, uint32_t address, uint32_t baud);

// Reads the identity and device type of the instrument the exchange is on.
ErrorCode ReadBusIdentity(device::Device& device, BusInstrument& instrument);

struct BusScan {
    std::vector<BusInstrument> instruments;  // by address, as found
    bool stopped = false;                    // Esc
    device::SearchResult search;
};

// Every instrument that answers on the line: a search of all addresses at the speeds given,
// then the identity of each one found. `onStep` runs before each probe and each identity read
// (false stops the scan); `onFound` hears each instrument when found and again once read.
// The exchange is left on the instrument it was on, the line at the last speed used.
BusScan ScanBus(device::Device& device, link::SerialLine& line, const link::Clock& clock,
                const device::SearchOptions& options, const std::function<bool(const device::SearchStep&)>& onStep,
                const std::function<void(const BusInstrument&)>& onFound);

// "2,5-7": addresses 0..255 in the order given, each once; nullopt for a bad list.
std::optional<std::vector<uint32_t>> ParseAddressList(const std::string& text);

// What became of one instrument of a batch.
struct BusOutcome {
    BusInstrument instrument;
    ErrorCode code = kOk;
    bool done = false;  // its flow ran to its end (code says how)
    std::string note;   // a file written, a difference, the reason
};

// Runs `flow` on each instrument in turn, with the exchange on it; an instrument that fails is
// reported and the others go on. An Esc ends the batch between two instruments: the instrument
// under way runs to its end (its flow sees no Esc), those not begun stay !done with 20. The flow
// gets the device on a progress that keeps the Esc for the batch. The exchange is put back on the
// instrument it was on.
std::vector<BusOutcome> RunOnEach(device::Device& device, link::SerialLine& line,
                                  const std::vector<BusInstrument>& instruments,
                                  const std::function<ErrorCode(device::Device&, BusOutcome&)>& flow);

// A bus read of one instrument: every group into a model of its own, saved in `folder` as
// "<instrument number>.prf" (".адрес N" before ".prf" when an instrument of this batch took the
// name already, as instruments with the same number would); the file goes into outcome.note.
ErrorCode ReadIntoFolder(device::Device& device, Messages& messages, int32_t portNumber, const std::string& folder,
                         std::vector<std::string>& taken, BusOutcome& outcome);

// A bus write of one instrument: `checked` (the profile after the checks before writing, which
// ran once for the batch) written into the instrument, each group selected, then read back and
// compared; `record` hears the write's history row and the check's.
ErrorCode WriteAndVerify(device::Device& device, Messages& messages, int32_t portNumber,
                         const model::SettingsModel& checked, const std::string& profilePath,
                         const std::function<void(const history::HistoryRecord&)>& record, BusOutcome& outcome);

// "адрес 5 (012-01235): выполнено" lines and a last line with the count; the outcome's message
// text from the error table.
std::string OutcomeLine(const BusOutcome& outcome);

}  // namespace pmv::binding
