#include "arguments.h"
#include "connection_commands.h"
#include "json.h"
#include "session.h"

#include "device/connection_check.h"

namespace pmv::cli {

int RunDoctor(TerminalSession& s, const Arguments& a)
{
    const std::string device = s.port.DeviceName();
    std::vector<system::Finding> findings = device::CheckPortSide(system::SystemView::Current(), device, s.line);
    if (s.line.IsOpen())
        findings.push_back(device::CheckInstrument(s.exchange, s.port.settings().BaudRate));
    else
        findings.push_back(device::PortNotOpen(device));
    for (const history::HistoryFinding& h : s.history.Check())
        findings.push_back(
            {"history", h.ok ? system::FindingState::Ok : system::FindingState::Problem, h.text, h.fix, h.id});
    if (a.Has("--json")) {
        std::string list;
        for (const system::Finding& f : findings)
            list += std::string(list.empty() ? "" : ",") + "{\"id\":" + JsonString(f.id) +
                    ",\"topic\":" + JsonString(f.topic) +
                    ",\"ok\":" + (f.state == system::FindingState::Ok ? "true" : "false") +
                    ",\"text\":" + JsonString(f.text) + ",\"fix\":" + JsonString(f.fix) + "}";
        std::fprintf(s.console.out, "{\"ok\":%s,\"findings\":[%s]}\n", system::AllClear(findings) ? "true" : "false",
                     list.c_str());
        return system::AllClear(findings) ? 0 : kNothingFoundStatus;
    }
    for (const system::Finding& f : findings) {
        std::fprintf(s.console.out, "%s %s\n", f.state == system::FindingState::Ok ? "[ок]  " : "[!!]  ",
                     f.text.c_str());
        if (!f.fix.empty())
            std::fprintf(s.console.out, "      исправить: %s\n", f.fix.c_str());
    }
    return system::AllClear(findings) ? 0 : kNothingFoundStatus;
}

}  // namespace pmv::cli
