#pragma once

#include "binding/commands.h"
#include "binding/settings_diff.h"
#include "history/history.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv {

// One instrument to make ready for shipping.
struct ProductionOrder {
    std::string profilePath;
    int32_t typeCode = 0;  // 0..255
    int32_t serial = 0;    // 0..65535
    int32_t day = 1, month = 1, year = 2000;
    std::string passportDir;  // where the passport PDF goes
};

enum class ProductionStep { Write, Verify, SerialAndDate, Passport };
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
    virtual void StepEnded(ProductionStep step, uint32_t code, const std::string& note) = 0;
};

struct ProductionResult {
    uint32_t code = 0;
    std::optional<ProductionStep> failedStep;
    std::string passportPath;
    std::vector<FieldDifference> differences;
};

// "012-00345.pdf": the type code and serial number as the passport prints them.
std::string PassportFileName(int32_t typeCode, int32_t serial);

// The next serial number of a type code: one above the last one in the history, or 1.
int32_t NextSerial(History& history, int32_t typeCode);

// Writes the whole profile with its checks (as "Записать все" after opening it), reads the
// written groups back and compares them, writes the serial number and production date, reads
// the instrument for its passport and saves the page as PDF. The first failing step ends the
// run with its code. Every step's outcome, failed or not, goes to `record` as a history row of
// the new serial number. `context.controls` and the model are the command's own.
ProductionResult ProduceInstrument(CommandContext& context, const ProductionOrder& order,
                                   ProductionObserver& observer,
                                   const std::function<void(const HistoryRecord&)>& record);

}  // namespace pmv
