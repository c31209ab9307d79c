#include "session.h"

#include "link/link_settings.h"
#include "messages/error_codes.h"
#include "model/profile.h"

#include <cstdlib>
#include <filesystem>

namespace pmv::cli {

TerminalSeams::TerminalSeams(Console& c, std::optional<bool> answer)
    : terminalMessages(c.err, *c.in, c.inIsTerminal, answer), terminalProgress(c.err, c.errIsTerminal)
{
}

Session::Session(Console& c, std::optional<bool> answer)
    : TerminalSeams(c, answer), pmv::Session(terminalMessages, terminalProgress), console(c)
{
}

uint32_t Session::Open(const LinkOverrides& overrides)
{
    if (const auto failure = LoadLinkSettings())
        std::fprintf(console.err, "%s\n", failure->c_str());
    LinkSettings& settings = port.settings();
    if (overrides.address)
        settings.NetAdrr = *overrides.address;
    if (overrides.baud)
        settings.BaudRate = *overrides.baud;
    if (!overrides.port.empty())
        port.SetDeviceOverride(overrides.port);
    OpenPort();
    // Without a port every exchange would end with "no answer" after its time-outs; say so at once.
    return line.IsOpen() ? kOk : kNoAnswer;
}

int Session::Finish(uint32_t code)
{
    progress.HideProgressPanel();
    ShowErrorMessage(messages, code);
    return static_cast<int>(code);
}

std::optional<std::vector<std::string>> LoadProfileUnchanged(const std::string& path, SettingsModel& model,
                                                             std::string& error)
{
    namespace fs = std::filesystem;
    std::string folder = (fs::temp_directory_path() / "pmvctl-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        error = "Unable to write to " + folder;
        return std::nullopt;
    }
    const fs::path copy = fs::path(folder) / "profile.prf";
    std::error_code ignored;
    if (fs::exists(path) && !fs::copy_file(path, copy, ignored)) {
        fs::remove_all(folder, ignored);
        error = "Не удается прочитать файл " + path;
        return std::nullopt;
    }
    const LoadProfileResult loaded = LoadProfile(copy.string(), model);
    fs::remove_all(folder, ignored);
    if (loaded.error) {
        error = *loaded.error;
        return std::nullopt;
    }
    const auto& lines = *loaded.description;
    return std::vector<std::string>(lines.begin(), lines.end());
}

}  // namespace pmv::cli
