#pragma once

#include "ini/file_error.h"
#include "reports/page.h"

#include <functional>
#include <optional>
#include <string>

namespace pmv::reports {

// How a program turns a page into a PDF file: the window draws with QtGui (QtGuiPdfWriter in
// page_pdf.h), pmvctl with the page module it loads only when a command draws a page, so that its
// other commands start without QtGui. Drawing is safe on a thread of its own.
struct PdfWriter {
    // The page as a PDF document in memory; nullopt when it cannot be drawn.
    std::function<std::optional<std::string>(const Page& page)> draw;
    // A drawn document as the file `path`, replaced atomically; what the system refused when it
    // cannot be.
    std::function<std::optional<ini::FileError>(const std::string& document, const std::string& path)> save;

    // The page as a PDF file; what the system refused, or Compose when the page cannot be drawn.
    std::optional<ini::FileError> Write(const Page& page, const std::string& path) const
    {
        const std::optional<std::string> document = draw ? draw(page) : std::nullopt;
        if (!document || !save)
            return ini::FileError{ini::FileOperation::Compose, path};
        return save(*document, path);
    }
};

// Whether a PDF can be saved under `path` as given: the file's name passes through Qt's text, in
// which bytes that are not UTF-8 become another name. SavePagePdf refuses any other.
bool SavesUnderItsName(const std::string& path);

}  // namespace pmv::reports
