#pragma once

#include "device/calibration_procedures.h"
#include "device/device.h"
#include "history/history.h"
#include "messages/error_codes.h"
#include "messages/forwarded_messages.h"
#include "model/settings_model.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::binding {

// Reads what identifies the instrument on the line (serial number, type code, production date,
// firmware version) into a model of its own, so that a history row names the instrument that
// received a write and not the profile's numbers.
ErrorCode ReadIdentity(device::Device& device, model::SettingsModel& identity);

// A write's `beforeWriting` (binding/commands.h) that reads the identity into `identity` for the
// write's history row: after the write's closing restart the instrument is silent for a while,
// and a write that fails half-way still names the instrument it reached. An instrument that does
// not answer stops the write with 2 (it would not take the write either), an Esc with 20.
std::function<ErrorCode()> IdentityBeforeWriting(device::Device& device, model::SettingsModel& identity);

// "ch1,ch2,relay,general": the groups selected in the model.
std::string SelectedGroupsText(const model::SettingsModel& model);

// What the program did, for one history row.
struct OperationFacts {
    const char* operation;
    ErrorCode result = kOk;
    std::string profilePath;  // empty when no profile took part
    std::string details;
};

// A row of the history: identity from `identity`, device type and groups from `settings`.
history::HistoryRecord MakeHistoryRecord(const model::SettingsModel& identity, const model::SettingsModel& settings,
                                         const OperationFacts& facts);

// The questions of a calibration passed on, with a note of a No: a procedure the operator
// declined ends with 0, which must not be told as done.
class DeclineWatch : public ForwardedMessages {
public:
    using ForwardedMessages::ForwardedMessages;
    bool AskYesNo(Question question, const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        const bool yes = ForwardedMessages::AskYesNo(question, text, caption, icon);
        declined = declined || !yes;
        return yes;
    }
    bool declined = false;
};

// One calibration procedure of channel `ch` (a coefficient's variant, or UREF and RREF without
// one) with its history row when its result was written, for the window and pmvctl alike; the
// calibration asks its questions through `declines`. The instrument's identity for the row is
// read before the result is written, as a write does: after it the instrument restarts, and the
// row would wait for its return. A No that left the model as the procedure found it is a refusal
// (16); a No to writing the result keeps the result in the model, which is done.
ErrorCode CalibrateWithRecord(device::Calibration& c, DeclineWatch& declines,
                              std::optional<device::CalibrationVariant> variant, uint32_t ch,
                              const std::string& profilePath,
                              const std::function<void(const history::HistoryRecord&)>& record);

// Channel `ch`'s coefficients from the device's model into the instrument, then its restart,
// which takes them in and follows a failed write too. `written` hears the write's own result
// before the restart; the row names the write's failure, else the restart's.
struct RecordedCoefficientsWrite {
    ErrorCode write;
    ErrorCode restart;
    history::HistoryRecord record;
    ErrorCode result() const { return write != kOk ? write : restart; }
};
RecordedCoefficientsWrite WriteCoefficientsWithRecord(device::Device& device, uint32_t ch,
                                                      const std::string& profilePath,
                                                      const std::function<void(ErrorCode)>& written);

// The serial number, type code and production date of the device's model written by hand (the
// window's "Записать" of the production parameters, pmvctl serial --set), one flow for both. The
// history is asked first: a number it holds as given (reserved by a production, written into an
// instrument) is written again only when `reuse`, told why, agrees; a history that cannot tell
// refuses the write too, since the number could then be given twice. A write that was sent is a
// history row (`record`), whatever its result: a failed one may have reached the instrument.
struct RecordedSerialWrite {
    enum class Refusal {
        None,     // the write was sent; `code` is its result
        Used,     // the number was given before and not agreed to again; gives 16
        History,  // the history cannot be read; gives 14
    };
    Refusal refusal = Refusal::None;
    ErrorCode code = kOk;
    std::string message;  // why it was refused
};
RecordedSerialWrite WriteSerialWithRecord(device::Device& device, history::History& history, int32_t day,
                                          const std::function<bool(const std::string& why)>& reuse,
                                          const std::function<void(const history::HistoryRecord&)>& record);

// The factory reset, asked first. The reset erases the serial number too, so the instrument is
// read between the operator's Yes and the reset and its row names it as it was; a No leaves no row
// and gives 16, so that a declined reset is never reported as done.
struct RecordedFactoryReset {
    ErrorCode code;
    std::optional<history::HistoryRecord> record;
};
RecordedFactoryReset FactoryResetWithRecord(device::Device& device, Messages& messages);

}  // namespace pmv::binding
