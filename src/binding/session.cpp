#include "binding/session.h"

#include "binding/file_errors.h"
#include "device/connection_check.h"
#include "link/link_settings.h"
#include "messages/connection_texts.h"
#include "messages/messages.h"

#include <filesystem>

namespace pmv::binding {

namespace {

std::string FolderHere()
{
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return error ? std::string() : here.string();
}

}  // namespace

Session::Session(Messages& m, Progress& p)
    : messages(m), progress(p), port(line, exchange, m, link::FoundSerialPorts), history({}, FolderHere())
{
    port.SetOpenExplainer([](const std::string& path, const std::string& systemError) {
        return device::ExplainOpenFailure(system::SystemView::Current(), path, systemError);
    });
    exchange.OnLineLost(
        [this] { messages.ShowMessage(line.OpenError(), Text(LinkNotice::ErrorCaption), MessageIcon::Error); });
    exchange.OnLogFailure([this](const std::string& path, int error) {
        messages.ShowMessage(LogNotWrittenText(path, error), "Ошибка", MessageIcon::Warning);
    });
}

std::optional<ini::FileError> Session::LoadLinkSettings()
{
    auto failure = pmv::link::LoadLinkSettings(link::LinkSettingsPath(), port.settings(), messages);
    history.Use(historyOverride.empty() ? port.settings().HistoryServer : historyOverride);
    return failure;
}

void Session::SelectHistory()
{
    history.Use(historyOverride.empty() ? link::ReadHistoryServer(link::LinkSettingsPath()) : historyOverride);
}

void Session::UseGivenDevice(const std::string& given)
{
    port.SetDeviceOverride(given);
    port.SetOpenExplainer([](const std::string& path, const std::string& systemError) {
        return device::ExplainOpenFailure(system::SystemView::Current(), path, systemError, true);
    });
}

std::optional<ini::FileError> Session::OpenPort(bool quiet)
{
    std::optional<ini::FileError> failure = port.OpenPort(quiet);
    link::ApplyLinkValues(port.settings(), exchange.values());
    return failure;
}

}  // namespace pmv::binding
