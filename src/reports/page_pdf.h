#pragma once

#include "reports/page.h"

#include <optional>
#include <string>

namespace pmv::reports {

// Drawn with QtGui by page_drawing.cpp; a program that keeps QtGui out of its start gives its own
// definitions, which draw the page where QtGui is loaded (pmvctl's page module). Drawing is safe
// on a thread of its own while the program's main thread works the line.

// The page as a PDF document in memory; nullopt when it cannot be drawn.
std::optional<std::string> DrawPagePdf(const Page& page);

// A drawn document as the file `path`, replaced atomically; "Unable to write to <path>" when it
// cannot be.
std::optional<std::string> SavePagePdf(const std::string& document, const std::string& path);

// Whether a PDF can be saved under `path` as given: the file's name passes through Qt's text, in
// which bytes that are not UTF-8 become another name. SavePagePdf refuses any other.
bool SavesUnderItsName(const std::string& path);

// The page as a PDF file, replaced atomically; "Unable to write to <path>" when it cannot be.
inline std::optional<std::string> WritePagePdf(const Page& page, const std::string& path)
{
    const std::optional<std::string> document = DrawPagePdf(page);
    return document ? SavePagePdf(*document, path) : "Unable to write to " + path;
}

}  // namespace pmv::reports
