#pragma once

#include "reports/page.h"

#include <optional>
#include <string>

namespace pmv::reports {

// The page as a PDF file, replaced atomically; "Unable to write to <path>" when it cannot be.
// Drawn with QtGui by page_drawing.cpp; a program that keeps QtGui out of its start gives its own
// definition, which draws the page where QtGui is loaded (pmvctl's page module).
std::optional<std::string> WritePagePdf(const Page& page, const std::string& path);

}  // namespace pmv::reports
