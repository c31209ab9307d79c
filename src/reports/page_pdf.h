#pragma once

#include "reports/page.h"
#include "reports/page_writer.h"

#include <optional>
#include <string>

namespace pmv::reports {

// Drawn with QtGui by page_drawing.cpp. Drawing is safe on a thread of its own while the program's
// main thread works the line.

// The page as a PDF document in memory; nullopt when it cannot be drawn.
std::optional<std::string> DrawPagePdf(const Page& page);

// A drawn document as the file `path`, replaced atomically; what the system refused when it
// cannot be.
std::optional<ini::FileError> SavePagePdf(const std::string& document, const std::string& path);

// The two above, for the code that is given a PdfWriter.
inline PdfWriter QtGuiPdfWriter() { return {DrawPagePdf, SavePagePdf}; }

// The page as a PDF file, replaced atomically; what the system refused when it cannot be.
inline std::optional<ini::FileError> WritePagePdf(const Page& page, const std::string& path)
{
    return QtGuiPdfWriter().Write(page, path);
}

}  // namespace pmv::reports
