#include "report_commands.h"

#include "binding/binding.h"
#include "binding/commands.h"
#include "binding/window_commands.h"
#include "model/profile.h"
#include "reports/configuration_report.h"
#include "reports/page_pdf.h"
#include "reports/passport_page.h"

#include <algorithm>
#include <filesystem>

namespace pmv::cli {
namespace {

// The page as lines on stdout (also when no option asks for anything) and as a PDF file.
int PutOut(Session& s, const Arguments& a, const Page& page, const std::vector<std::string>& text)
{
    const bool pdf = a.options.count("--pdf") != 0;
    if (a.Has("--text") || !pdf)
        for (const std::string& line : text)
            std::fprintf(s.console.out, "%s\n", line.c_str());
    if (pdf)
        if (const auto failure = WritePagePdf(page, a.options.at("--pdf")))
            return s.FileFailure(*failure);
    return 0;
}

// The report is titled with the profile's name, as its file is known to the user.
Page ProfileReport(const SettingsModel& model, const std::string& path)
{
    Page page = BuildConfigurationReport(model, Today());
    page.title = std::filesystem::path(path).stem().string();
    return page;
}

}  // namespace

int RunPassport(Session& s, const Arguments& a)
{
    // The accuracy figures and whatever the reads do not fill come from the window's profile.
    std::string error;
    if (!LoadProfileUnchanged(RecentProfilePath(), s.model, false, error))
        return s.FileFailure(error);
    const int32_t port = s.port.settings().Number;
    ControlValues controls;
    NoWindow host;
    CommandContext context{s.device, s.messages, host, controls, port};
    if (const ErrorCode code = ReadForPassport(context); code != kOk)
        return static_cast<int>(code);
    s.progress.HideProgressPanel();
    const Page page = BuildPassportPage(s.model, Today());
    return PutOut(s, a, page, PassportText(page));
}

int RunReport(Session& s, const Arguments& a)
{
    const std::string& path = a.words[0];
    const bool read = a.Has("--read");
    // A report of a mistyped name would show the defaults of a new profile as if they were its own.
    std::string error;
    const auto description = LoadProfileUnchanged(path, s.model, !read, error);
    if (!description)
        return s.FileFailure(error);
    if (!read) {
        const Page page = ProfileReport(s.model, path);
        return PutOut(s, a, page, ConfigurationReportText(page));
    }
    const int32_t port = s.port.settings().Number;
    ControlValues controls;
    ShowSettings(s.model, port, controls);
    NoWindow host;
    CommandContext context{s.device, s.messages, host, controls, port};
    const ErrorCode code = ReadForReport(context);
    s.progress.HideProgressPanel();
    // The report shows the model as the window would, before the profile's gather changes it.
    const Page page = ProfileReport(s.model, path);
    const int status = PutOut(s, a, page, ConfigurationReportText(page));
    if (code != kOk)
        return static_cast<int>(CodeNumber(code));
    GatherSettings(controls, s.model, s.messages);
    if (const auto failure = SaveProfile(path, s.model, *description))
        return s.FileFailure(*failure);
    return status;
}

bool ReportNeedsLine(const Arguments& a)
{
    return a.Has("--read");
}

bool NeedsPageDrawing(const std::vector<std::string>& args)
{
    return std::find(args.begin(), args.end(), "--pdf") != args.end() ||
           std::find(args.begin(), args.end(), "produce") != args.end();
}

}  // namespace pmv::cli
