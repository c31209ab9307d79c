#pragma once

#include "arguments.h"
#include "session.h"

#include <string>
#include <vector>

namespace pmv::cli {

// pmvctl passport [--pdf FILE] [--text]: the reading part of the window's passport command on
// the model of recent.prf (read, not changed), then the page as text on stdout and/or as PDF.
int RunPassport(TerminalSession& session, const Arguments& arguments);

// pmvctl report [--read] [--pdf FILE] [--text] PROFILE: the configuration report of the profile's
// model; with --read the window's reading part of the report first, the profile saved afterwards
// only when every read succeeded.
int RunReport(TerminalSession& session, const Arguments& arguments);

// Only `report --read` of the report commands needs the instrument.
bool ReportNeedsLine(const Arguments& arguments);

// Drawing a PDF needs a QGuiApplication (fonts) instead of a QCoreApplication.
bool NeedsPageDrawing(const std::vector<std::string>& args);

}  // namespace pmv::cli
