#include "produce_command.h"

#include "command_table.h"
#include "page_module.h"

#include "binding/dates.h"
#include "binding/file_errors.h"
#include "messages/error_codes.h"
#include "production/production.h"
#include "reports/page.h"

#include <cstdio>

namespace pmv::cli {
namespace {

// Each step as a line on stderr, "1/4 Запись настроек ... выполнено", where progress lines are
// shown; what a failed step says, always.
class TerminalSteps : public production::ProductionObserver {
public:
    TerminalSteps(std::FILE* err, bool shown) : err_(err), shown_(shown) {}

    void StepStarted(production::ProductionStep step) override
    {
        if (shown_)
            std::fprintf(err_, "%zu/%zu %s ...\n", static_cast<size_t>(step) + 1, production::kProductionSteps,
                         production::StepName(step));
    }
    void StepEnded(production::ProductionStep step, ErrorCode code, const std::string& note) override
    {
        if (shown_)
            std::fprintf(err_, "%zu/%zu %s: %s\n", static_cast<size_t>(step) + 1, production::kProductionSteps,
                         production::StepName(step), code == kOk ? "выполнено" : "ошибка");
        // The passport's path is the command's result on stdout.
        if (!note.empty() && code != kOk)
            std::fprintf(err_, "%s%s", note.c_str(), note.back() == '\n' ? "" : "\n");
    }

private:
    std::FILE* err_;
    bool shown_;
};

bool ParseDate(const std::string& text, production::ProductionOrder& order, std::FILE* err)
{
    std::string problem;
    const auto date = binding::ParseProductionDate(text, &problem);
    if (!date) {
        std::fprintf(err, "pmvctl: %s\n", problem.c_str());
        return false;
    }
    order.day = date->day, order.month = date->month, order.year = date->year;
    return true;
}

int RefusalStatus(production::ProductionRefusal::Kind kind)
{
    switch (kind) {
    case production::ProductionRefusal::Kind::Used: return kSerialUsedStatus;
    case production::ProductionRefusal::Kind::RangeEnd: return kSerialRangeEndStatus;
    default: return TerminalSession::kFileFailure;
    }
}

}  // namespace

int RunProduce(TerminalSession& s, const Arguments& a)
{
    if (!a.options.count("--profile") || !a.options.count("--serial")) {
        return Usage(s.console, "нужны --profile и --serial");
    }
    production::ProductionOrder order;
    order.profilePath = a.options.at("--profile");
    order.passportDir = a.options.count("--passport-dir") ? a.options.at("--passport-dir") : ".";
    order.passportWriter = ModulePdfWriter();
    const auto instrument = history::ParseInstrumentNumber(a.options.at("--serial"), history::LoneNumber::TypeCode);
    const reports::PrintDate today = reports::Today();
    order.day = today.day, order.month = today.month, order.year = today.year;
    if (!instrument || (a.options.count("--date") && !ParseDate(a.options.at("--date"), order, s.console.err))) {
        return Usage(s.console, "--serial ТИП[-НОМЕР] (0..255, 0..65535), --date ДД.ММ.ГГГГ");
    }
    order.typeCode = *instrument->typeCode;
    order.serial = instrument->serial.value_or(0);
    order.nextSerial = !instrument->serial;
    order.reuse = a.Has("--reuse");
    order.allowDefaults = a.Has("--defaults");

    std::optional<production::ProductionRefusal> refusal = production::PrepareProduction(s.history, order);
    if (refusal && refusal->kind == production::ProductionRefusal::Kind::HistoryCorrupt && a.Has("--new-history")) {
        if (const auto failure = s.history.StartNew()) {
            return s.FileFailure(binding::HistoryErrorText(*failure));
        }
        if (const auto notice = s.history.TakeNotice())
            std::fprintf(s.console.err, "%s\n", notice->c_str());
        refusal = production::PrepareProduction(s.history, order);
    }
    if (refusal) {
        std::fprintf(s.console.err, "pmvctl: выпуск не начат, в прибор ничего не записано.\n%s\n",
                     refusal->message.c_str());
        if (refusal->kind == production::ProductionRefusal::Kind::HistoryCorrupt)
            std::fprintf(s.console.err, "С --new-history журнал будет сохранен в стороне и начат новый; следующий "
                                        "номер будет выше паспортов в папке паспортов, номера, выданные вне ее, "
                                        "новый журнал не знает: тогда укажите номер явно (--serial ТИП-НОМЕР).\n");
        if (refusal->kind == production::ProductionRefusal::Kind::ProfileIncomplete)
            std::fprintf(s.console.err, "Записать значения по умолчанию: --defaults.\n");
        if (refusal->kind == production::ProductionRefusal::Kind::Used)
            std::fprintf(s.console.err, "Выпустить прибор под этим номером еще раз: --reuse.\n");
        return RefusalStatus(refusal->kind);
    }
    const bool shown = ProgressShown(s.console);
    if (shown)
        std::fprintf(s.console.err, "Прибор %s\n", history::InstrumentNumber(order.typeCode, order.serial).c_str());

    binding::ControlValues controls;
    NoWindow host;
    binding::CommandContext context{s.device, s.messages, host, controls, s.port.settings().Number};
    TerminalSteps steps(s.console.err, shown);
    const production::ProductionResult result = production::ProduceInstrument(
        context, order, steps, [&](const history::HistoryRecord& r) { return s.Record(r); });
    if (result.code == kOk)
        std::fprintf(s.console.out, "%s\n", result.passportPath.c_str());
    if (result.historyLost) {
        std::fprintf(s.console.err,
                     "pmvctl: выпуск остановлен после шага «%s»: журнал приборов не принял его запись. "
                     "Номер %s остается выданным.\n",
                     production::StepName(*result.failedStep),
                     history::InstrumentNumber(order.typeCode, order.serial).c_str());
        s.progress.HideProgressPanel();
        return TerminalSession::kFileFailure;
    }
    // A write that reached the instrument has printed its message already.
    if (result.failedStep == production::ProductionStep::Write && result.code != kFileNotOpened)
        return static_cast<int>(CodeNumber(result.code));
    return s.Finish(result.code);
}

}  // namespace pmv::cli
