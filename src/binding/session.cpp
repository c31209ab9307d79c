#include "binding/session.h"

#include "link/link_settings.h"

namespace pmv {

Session::Session(Messages& m, Progress& p) : messages(m), progress(p), port(line, exchange, m, FoundSerialPorts) {}

std::optional<std::string> Session::LoadLinkSettings()
{
    return pmv::LoadLinkSettings(LinkSettingsPath(), port.settings(), messages);
}

void Session::OpenPort()
{
    port.OpenPort();
    ApplyLinkValues(port.settings(), exchange.values());
}

}  // namespace pmv
