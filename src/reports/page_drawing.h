#pragma once

#include "reports/page.h"
#include "reports/page_pdf.h"

#include <QImage>
#include <QPageLayout>

#include <optional>
#include <string>

class QPainter;

namespace pmv::reports {

// The sheet of a page: A4 in the page's orientation, without margins, so that report units
// count from the paper's corner.
QPageLayout PageLayoutOf(const Page& page);

// Draws the page with the painter, whose device has its origin at the paper's corner. Arial is drawn
// with Liberation Sans and Times New Roman with Liberation Serif
// (any sans or serif face where those are missing). Text boxes keep their lines inside their
// rectangle. A layout wider or taller than the sheet is drawn scaled down to fit it.
void PaintPage(const Page& page, QPainter& painter);

// The page as a picture at the given resolution, on white.
QImage RenderPageImage(const Page& page, double dotsPerInch);

}  // namespace pmv::reports
