#include "restart_commands.h"

#include "binding/history_records.h"
#include "device/service_commands.h"

namespace pmv::cli {

int RunRestart(TerminalSession& s, const Arguments&) { return s.Finish(device::Restart(s.exchange)); }

int RunFactoryReset(TerminalSession& s, const Arguments&)
{
    const binding::RecordedFactoryReset reset = binding::FactoryResetWithRecord(s.device, s.messages);
    if (!reset.record) {
        std::fprintf(s.console.err, "Сброс не выполнен: нет подтверждения\n");
        return kNotConfirmedStatus;
    }
    s.Record(*reset.record);
    return s.Finish(reset.code);
}

}  // namespace pmv::cli
