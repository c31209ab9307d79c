#include "serial_command.h"

#include "command_table.h"

#include "binding/dates.h"
#include "binding/history_records.h"
#include "device/device_settings.h"
#include "messages/error_codes.h"

namespace pmv::cli {

int RunSerial(TerminalSession& s, const Arguments& a)
{
    model::SettingsModel& m = s.model;
    if (a.options.count("--set")) {
        if (a.words.size() != 2)
            return Usage(s.console, "--set НОМЕР ТИП ДД.ММ.ГГГГ");
        const auto serial = history::ParseSerialNumber(a.options.at("--set"));
        const auto type = history::ParseTypeCode(a.words[0]);
        std::string problem;
        const auto date = binding::ParseProductionDate(a.words[1], &problem);
        if (!date)
            std::fprintf(s.console.err, "pmvctl: %s\n", problem.c_str());
        // A number or date that does not scan is a bad argument, as for produce.
        if (!serial || !type || !date)
            return Usage(s.console, "--set НОМЕР ТИП ДД.ММ.ГГГГ (0..65535, 0..255)");
        m.SetSerialNumber(*serial);
        m.general.otk_type = *type;
        m.made_month = date->month;
        m.made_year = date->year;
        const binding::RecordedSerialWrite written = binding::WriteSerialWithRecord(
            s.device, s.history, date->day, [&](const std::string&) { return a.Has("--reuse"); },
            [&](const history::HistoryRecord& r) { s.Record(r); });
        switch (written.refusal) {
        case binding::RecordedSerialWrite::Refusal::None: return s.Finish(written.code);
        case binding::RecordedSerialWrite::Refusal::Used:
            std::fprintf(s.console.err, "pmvctl: номер не записан.\n%s\nЗаписать его еще раз: --reuse.\n",
                         written.message.c_str());
            return kSerialUsedStatus;
        case binding::RecordedSerialWrite::Refusal::History: break;
        }
        std::fprintf(s.console.err,
                     "pmvctl: номер не записан: без журнала приборов не проверить, что он не выдан раньше.\n%s\n",
                     written.message.c_str());
        return TerminalSession::kFileFailure;
    }
    if (!a.words.empty())
        return Usage(s.console, "лишние параметры");
    if (const ErrorCode code = device::ReadSerialAndDate(s.device); code != kOk)
        return s.Finish(code);
    if (a.Has("--json")) {
        std::fprintf(s.console.out, "{\"serial\":%d,\"type\":%d,\"made\":\"%04d-%02d-%02d\"}\n", m.SerialNumber(),
                     m.general.otk_type, m.made_year, m.made_month, m.made_day);
        return 0;
    }
    std::fprintf(s.console.out, "Заводской номер: %d\nТип: %03d\nДата изготовления: %02d.%02d.%04d\n", m.SerialNumber(),
                 m.general.otk_type, m.made_day, m.made_month, m.made_year);
    return 0;
}

}  // namespace pmv::cli
