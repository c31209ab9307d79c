#pragma once

#include "binding/commands.h"
#include "binding/settings_diff.h"
#include "history/history.h"
#include "messages/error_codes.h"
#include "reports/page_writer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv::production {

// One instrument to make ready for shipping.
struct ProductionOrder {
    std::string profilePath;
    int32_t typeCode = 0;  // 0..255
    int32_t serial = 0;    // 0..65535
    int32_t day = 1, month = 1, year = 2000;
    std::string passportDir;            // where the passport PDF goes
    bool nextSerial = false;            // take the next free number of the type code instead of `serial`:
                                        // above every number of the history and every passport in the folder
    bool reuse = false;                 // a named number given before, and its passport, may be given again
    bool allowDefaults = false;         // a profile without some keys of the written groups writes their defaults
    reports::PdfWriter passportWriter;  // how the passport page becomes its PDF
};

// Why a production did not start. Nothing was sent to the instrument and no number was taken.
struct ProductionRefusal {
    enum class Kind {
        Profile,            // the profile cannot be read, is no profile, or holds values that cannot be sent
        ProfileIncomplete,  // the profile lacks keys of the written groups and defaults were not allowed
        PassportFolder,     // the passport folder cannot be made or written, or its name is no text
        History,            // the history cannot be opened, read or written, or is not ours
        HistoryCorrupt,     // the history is not a sound database; a new one is the operator's decision
        Used,               // the number (or its passport) was given before
        RangeEnd,           // no number is left for the type code
    };
    Kind kind;
    std::string message;
};

enum class ProductionStep {

    Write,

    Verify,

    SerialAndDate,

    Passport,

};
inline constexpr std::array<const char*, 4> kProductionStepNames{"Запись настроек", "Проверка записанного",
                                                                 "Номер и дата изготовления", "Паспорт"};
inline constexpr size_t kProductionSteps = kProductionStepNames.size();

const char* StepName(ProductionStep step);

// What the dialog or the terminal shows of the steps.
class ProductionObserver {
public:
    virtual ~ProductionObserver() = default;
    virtual void StepStarted(ProductionStep step) = 0;
    // `note`: the passport's file, the differences found, or a failure's reason.
    virtual void StepEnded(ProductionStep step, ErrorCode code, const std::string& note) = 0;
};

struct ProductionResult {
    ErrorCode code = kOk;
    std::optional<ProductionStep> failedStep;
    std::string passportPath;
    std::vector<binding::FieldDifference> differences;
    bool historyLost = false;  // a step's row was not written
};

// "012-00345.pdf": the type code and serial number as the passport prints them.
std::string PassportFileName(int32_t typeCode, int32_t serial);

// Everything that can stop a production before it sends anything: the profile is read, the
// passport folder made (or checked), and the number reserved in the history, for good: a run that
// fails or is killed later never lets it come back. On success `order.serial` holds the number.
std::optional<ProductionRefusal> PrepareProduction(history::History& history, ProductionOrder& order);

// Writes the whole profile with its checks (as "Записать все" after opening it), reads the
// written groups back and compares them, writes the serial number and production date, reads
// the instrument for its passport and saves the page as PDF. The first failing step ends the
// run with its code. Every step's outcome, failed or not, and then the whole run's go to `record`
// as history rows of the reserved serial number (PrepareProduction first). `record` returns false
// when the row was not written: the run stops there (kFileNotOpened, `historyLost`), since an
// instrument must never leave the line without its history. `context.controls`
// and the model are the command's own.
ProductionResult ProduceInstrument(binding::CommandContext& context, const ProductionOrder& order,
                                   ProductionObserver& observer,
                                   const std::function<bool(const history::HistoryRecord&)>& record);

}  // namespace pmv::production
