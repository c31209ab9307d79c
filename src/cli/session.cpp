#include "session.h"

#include "binding/file_errors.h"
#include "device/device.h"

#include "ini/ini_file.h"

#include "link/link_settings.h"
#include "messages/error_codes.h"
#include "model/profile.h"

#include <algorithm>
#include <filesystem>

namespace pmv::cli {

TerminalSeams::TerminalSeams(Console& c, std::optional<bool> answer)
    : terminalMessages(c.err, *c.in, c.inIsTerminal, answer),
      terminalProgress(c.err, c.errIsTerminal && !c.verbose, ProgressShown(c))
{}

bool ProgressShown(const Console& console) { return (console.errIsTerminal && !console.quiet) || console.verbose; }

TerminalSession::TerminalSession(Console& c, std::optional<bool> answer)
    : TerminalSeams(c, answer), pmv::binding::Session(terminalMessages, terminalProgress), console(c)
{
    if (c.verbose)
        ShowExchanges();
}

void TerminalSession::ShowExchanges()
{
    tap.SetObserver([this](bool sent, const char* bytes, size_t size) {
        if (sent) {
            // The four wake-up bytes before ':' are no text.
            std::string request(bytes, size);
            request.erase(0, std::min(request.find(':'), request.size()));
            while (!request.empty() && (request.back() == '\r' || request.back() == '\n'))
                request.pop_back();
            std::fprintf(console.err, "> %s\n", request.c_str());
            answerLine_.clear();
            return;
        }
        for (size_t i = 0; i < size; ++i) {
            if (bytes[i] != '\r') {
                answerLine_ += bytes[i];
                continue;
            }
            std::fprintf(console.err, "< %s\n", answerLine_.c_str());
            answerLine_.clear();
        }
    });
}

bool TerminalSession::Record(const history::HistoryRecord& record)
{
    const std::optional<history::HistoryError> failure = history.Record(record);
    if (const auto notice = history.TakeNotice())
        std::fprintf(console.err, "%s\n", notice->c_str());
    if (failure && !historyFailed_)
        std::fprintf(console.err, "%s%s\n", binding::HistoryErrorText(*failure).c_str(),
                     history.corrupt() ? "; отложить его и начать новый: pmvctl produce ... --new-history" : "");
    historyFailed_ |= failure.has_value();
    return !failure;
}

ErrorCode TerminalSession::Open(const LinkOverrides& given)
{
    overrides = given;
    std::error_code missing;
    const bool firstRun = !std::filesystem::exists(link::LinkSettingsPath(), missing);
    if (const auto failure = LoadLinkSettings())
        ReportFileProblem(*failure);
    link::LinkSettings& settings = port.settings();
    if (overrides.address)
        settings.NetAdrr = *overrides.address;
    if (overrides.baud)
        settings.BaudRate = *overrides.baud;
    if (!overrides.port.empty())
        UseGivenDevice(overrides.port);
    // Without dev.dat and --port the instrument is looked for on a port nobody chose: name it.
    if (firstRun && overrides.port.empty()) {
        const std::string chosen = port.DeviceName();
        std::fprintf(console.err, "Нет dev.dat: создан с портом %d (%s); другое устройство: pmvctl --port DEVICE\n",
                     settings.Number, chosen.empty() ? "устройство не найдено" : chosen.c_str());
    }
    if (const auto failure = OpenPort())
        ReportFileProblem(*failure);
    if (!port.LatencyNote().empty())
        std::fprintf(console.err, "%s\n", port.LatencyNote().c_str());
    // Without a port every exchange would end with "no answer" after its time-outs; say so at once.
    if (!line.IsOpen())
        return kNoAnswer;
    if (!exchange.Restarting())
        return kOk;
    // The last command on this line may have ended as its instrument began to reboot: short probes
    // until it is back cost the command less than a first request that waits a whole time-out.
    const ErrorCode code = device::AwaitRestart(device);
    progress.HideProgressPanel();
    return code;
}

int TerminalSession::Finish(ErrorCode code)
{
    progress.HideProgressPanel();
    ShowErrorMessage(messages, code);
    return static_cast<int>(CodeNumber(code));
}

int TerminalSession::FileFailure(const std::string& message)
{
    ReportFileProblem(message);
    return kFileFailure;
}

int TerminalSession::FileFailure(const ini::FileError& error) { return FileFailure(binding::FileErrorText(error)); }

void TerminalSession::ReportFileProblem(const std::string& message)
{
    std::fprintf(console.err, "%s\n", message.c_str());
}

void TerminalSession::ReportFileProblem(const ini::FileError& error)
{
    ReportFileProblem(binding::FileErrorText(error));
}

std::optional<std::vector<std::string>> LoadProfileUnchanged(const std::string& path, model::SettingsModel& model,
                                                             bool toInstrument, std::string& error)
{
    model::SettingsModel loaded = model;
    const model::ReadProfileResult read = model::ReadProfile(path, loaded);
    if (read.error) {
        error = binding::FileErrorText(*read.error);
        return std::nullopt;
    }
    // Defaults taken for a mistyped name or a file that is no profile would wipe an instrument.
    if (toInstrument && !read.exists) {
        error = "Нет файла профиля " + path;
        return std::nullopt;
    }
    if (toInstrument && !read.holdsProfile) {
        error = "Файл " + path + " не является профилем: в нем нет ни одного раздела настроек";
        return std::nullopt;
    }
    model = loaded;
    return std::vector<std::string>(read.description.begin(), read.description.end());
}

bool RefusedToSend(TerminalSession& s, const std::string& path, const model::SentSettings& sent, bool checkMissing,
                   bool allowDefaults)
{
    const model::ProfileCheck check = model::CheckProfile(ini::IniFile::Load(path), sent);
    if (!check.bad.empty()) {
        std::fprintf(s.console.err, "pmvctl: %s\nВ прибор ничего не отправлено.\n",
                     model::BadValuesText(path, check.bad).c_str());
        return true;
    }
    if (!checkMissing || check.missing == 0)
        return false;
    std::fprintf(s.console.err, "pmvctl: %s\n", model::MissingKeysText(path, check.missing).c_str());
    if (allowDefaults)
        return false;
    std::fprintf(s.console.err, "В прибор ничего не отправлено; записать значения по умолчанию: --defaults.\n");
    return true;
}

bool WaitOrStop(TerminalSession& s, link::Clock& clock, int64_t deadline)
{
    constexpr int64_t kWaitSliceMs = 20;
    const int64_t wait = deadline - clock.MonotonicMs();
    for (int64_t waited = 0; waited < wait; waited += kWaitSliceMs) {
        if (s.progress.EscapePressed())
            return true;
        clock.Wait(static_cast<uint32_t>(std::min(kWaitSliceMs, wait - waited)));
    }
    return s.progress.EscapePressed();
}

}  // namespace pmv::cli
