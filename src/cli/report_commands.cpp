#include "report_commands.h"

#include "binding/binding.h"
#include "binding/commands.h"
#include "binding/window_commands.h"
#include "model/profile.h"
#include "page_module.h"
#include "reports/configuration_report.h"
#include "reports/passport_page.h"

#include <algorithm>
#include <filesystem>

namespace pmv::cli {
namespace {

// The page as lines on stdout (also when no option asks for anything) and as a PDF file.
int PutOut(TerminalSession& s, const Arguments& a, const reports::Page& page, const std::vector<std::string>& text)
{
    const bool pdf = a.options.count("--pdf") != 0;
    if (a.Has("--text") || !pdf)
        for (const std::string& line : text)
            std::fprintf(s.console.out, "%s\n", line.c_str());
    if (pdf)
        if (const auto failure = ModulePdfWriter().Write(page, a.options.at("--pdf")))
            return s.FileFailure(*failure);
    return 0;
}

// The report is titled with the profile's name, as its file is known to the user.
reports::Page ProfileReport(const model::SettingsModel& model, const std::string& path)
{
    reports::Page page = reports::BuildConfigurationReport(model, reports::Today());
    page.title = std::filesystem::path(path).stem().string();
    return page;
}

}  // namespace

int RunPassport(TerminalSession& s, const Arguments& a)
{
    // The accuracy figures and whatever the reads do not fill come from the window's profile.
    std::string error;
    if (!LoadProfileUnchanged(model::RecentProfilePath(), s.model, false, error))
        return s.FileFailure(error);
    const int32_t port = s.port.settings().Number;
    binding::ControlValues controls;
    NoWindow host;
    binding::CommandContext context{s.device, s.messages, host, controls, port};
    if (const ErrorCode code = binding::ReadForPassport(context); code != kOk)
        return static_cast<int>(CodeNumber(code));
    s.progress.HideProgressPanel();
    const reports::Page page = reports::BuildPassportPage(s.model, reports::Today());
    return PutOut(s, a, page, reports::PassportText(page));
}

int RunReport(TerminalSession& s, const Arguments& a)
{
    const std::string& path = a.words[0];
    const bool read = a.Has("--read");
    // A report of a mistyped name would show the defaults of a new profile as if they were its own.
    std::string error;
    const auto description = LoadProfileUnchanged(path, s.model, !read, error);
    if (!description)
        return s.FileFailure(error);
    if (!read) {
        const reports::Page page = ProfileReport(s.model, path);
        return PutOut(s, a, page, reports::ConfigurationReportText(page));
    }
    const int32_t port = s.port.settings().Number;
    binding::ControlValues controls;
    binding::ShowSettings(s.model, port, controls);
    NoWindow host;
    binding::CommandContext context{s.device, s.messages, host, controls, port};
    const ErrorCode code = binding::ReadForReport(context);
    s.progress.HideProgressPanel();
    // The report shows the model as the window would, before the profile's gather changes it.
    const reports::Page page = ProfileReport(s.model, path);
    const int status = PutOut(s, a, page, reports::ConfigurationReportText(page));
    if (code != kOk)
        return static_cast<int>(CodeNumber(code));
    binding::GatherSettings(controls, s.model, s.messages);
    if (const auto failure = model::SaveProfile(path, s.model, *description))
        return s.FileFailure(*failure);
    return status;
}

bool ReportNeedsLine(const Arguments& a) { return a.Has("--read"); }

bool NeedsPageDrawing(const std::vector<std::string>& args)
{
    return std::find(args.begin(), args.end(), "--pdf") != args.end() ||
           std::find(args.begin(), args.end(), "produce") != args.end();
}

}  // namespace pmv::cli
