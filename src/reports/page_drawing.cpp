#include "reports/page_drawing.h"

#include "ini/ini_file.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <deque>

namespace pmv::reports {
namespace {

constexpr double kUnitsPerInch = 96;
constexpr double kPointsPerInch = 72;
constexpr int kPdfDotsPerInch = 1200;

// A face of the forms at its size in points, for a device of the given resolution whose
// painter draws in report units.
QFont FontOf(const PageFont& f, double dotsPerInch)
{
    const bool serif = f.face == FontFace::TimesNewRoman;
    QFont font(serif ? QStringLiteral("Liberation Serif") : QStringLiteral("Liberation Sans"));
    font.setStyleHint(serif ? QFont::Serif : QFont::SansSerif);
    // Qt turns points into device pixels at the device's resolution, and the painter's scale
    // to report units applies once more on top; this size cancels the second step.
    font.setPointSizeF(f.points * kUnitsPerInch / dotsPerInch);
    font.setBold(f.bold);
    return font;
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

// Tries point sizes from the font's own down to the smallest, in half points; the last one
// tried is the one returned.
template <class Fits>
QFont LargestFitting(const PageFont& f, double dotsPerInch, Fits fits)
{
    QFont font = FontOf(f, dotsPerInch);
    for (double points = f.points;; points -= 0.5) {
        font.setPointSizeF(points * kUnitsPerInch / dotsPerInch);
        if (fits(font) || points - 0.5 < kSmallestPoints)
            return font;
    }
}

void PaintLabel(QPainter& painter, const PageLabel& label, double dotsPerInch)
{
    const QString text = Text(label.text);
    QPaintDevice* device = painter.device();
    painter.setFont(label.maxWidth <= 0
                        ? FontOf(label.font, dotsPerInch)
                        : LargestFitting(label.font, dotsPerInch, [&](const QFont& font) {
                              return QFontMetricsF(font, device).horizontalAdvance(text) <= label.maxWidth;
                          }));
    painter.drawText(QPointF(label.x, label.y + painter.fontMetrics().ascent()), text);
}

// The lines of a box laid out one below the other at a font, wrapped at word boundaries; a
// single word wider than the box stays whole. Returns the height they take.
double LayOut(std::deque<QTextLayout>& layouts, const PageTextBox& box, const QFont& font, QPaintDevice* device)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layouts.clear();
    double y = 0;
    for (const std::string& line : box.lines) {
        QTextLayout& layout = layouts.emplace_back(Text(line), font, device);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
            row.setLineWidth(box.rect.width);
            row.setPosition(QPointF(0, y));
            y += row.height();
        }
        layout.endLayout();
    }
    return y;
}

// Only whole rows inside the rectangle are drawn; a word wider than the box is cut at its edge.
void PaintTextBox(QPainter& painter, const PageTextBox& box, double dotsPerInch)
{
    std::deque<QTextLayout> layouts;
    QPaintDevice* device = painter.device();
    LargestFitting(box.font, dotsPerInch,
                   [&](const QFont& font) { return LayOut(layouts, box, font, device) <= box.rect.height; });
    const QRectF rect(box.rect.x, box.rect.y, box.rect.width, box.rect.height);
    painter.save();
    painter.setClipRect(rect);
    for (const QTextLayout& layout : layouts)
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine row = layout.lineAt(i);
            if (row.y() + row.height() > rect.height() + 0.5) {
                painter.restore();
                return;
            }
            row.draw(&painter, rect.topLeft());
        }
    painter.restore();
}

// The maker's emblem: a dial with its scale and pointer over the letters of the series.
void PaintEmblem(QPainter& painter, const PageRect& r, double dotsPerInch)
{
    painter.save();
    const QRectF frame(r.x + 1, r.y + 1, r.width - 2, r.height - 2);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRoundedRect(frame, 8, 8);
    const QPointF centre(frame.center().x(), frame.top() + frame.height() * 0.62);
    const double radius = frame.height() * 0.45;
    painter.setPen(QPen(Qt::black, 1.5));
    const QRectF dial(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    painter.drawArc(dial, 20 * 16, 140 * 16);
    const double pi = std::acos(-1.0);
    for (int tick = 0; tick <= 7; ++tick) {
        const double angle = (20 + tick * 20) * pi / 180;
        const QPointF direction(std::cos(angle), -std::sin(angle));
        painter.drawLine(centre + direction * radius * 0.86, centre + direction * radius);
    }
    const double pointer = 62 * pi / 180;
    painter.setPen(QPen(QColor(170, 20, 20), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, centre + QPointF(std::cos(pointer), -std::sin(pointer)) * radius * 0.8);
    painter.setBrush(Qt::black);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(centre, 3, 3);
    painter.setPen(Qt::black);
    painter.setFont(FontOf({FontFace::Arial, 10, true}, dotsPerInch));
    painter.drawText(QRectF(frame.left(), centre.y() + 4, frame.width(), frame.bottom() - centre.y() - 4),
                     Qt::AlignCenter, QString::fromUtf8("ПМВ"));
    painter.restore();
}

// A layout that reaches beyond the sheet is drawn smaller, so that its right and bottom margins
// equal its left and top ones; 1 for a layout that fits.
double FitScale(const Page& page)
{
    QRectF extent;
    const auto take = [&](double x, double y, double width, double height) {
        extent |= QRectF(x, y, std::max(width, 1.0), std::max(height, 1.0));
    };
    for (const PageRect& r : page.frames)
        take(r.x, r.y, r.width, r.height);
    for (const PageRect& r : page.emblems)
        take(r.x, r.y, r.width, r.height);
    for (const PageTextBox& b : page.boxes)
        take(b.rect.x, b.rect.y, b.rect.width, b.rect.height);
    for (const PageLine& l : page.rules)
        take(std::min(l.x1, l.x2), std::min(l.y1, l.y2), std::abs(l.x2 - l.x1), std::abs(l.y2 - l.y1));
    for (const PageLabel& l : page.labels)
        take(l.x, l.y, l.maxWidth, 0);
    const QSizeF sheet = PageLayoutOf(page).fullRect(QPageLayout::Millimeter).size() / 25.4 * kUnitsPerInch;
    const double needX = extent.right() + std::max(extent.left(), 0.0);
    const double needY = extent.bottom() + std::max(extent.top(), 0.0);
    return std::min({1.0, sheet.width() / needX, sheet.height() / needY});
}

}  // namespace

QPageLayout PageLayoutOf(const Page& page)
{
    return QPageLayout(QPageSize(QPageSize::A4),
                       page.orientation == PageOrientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

void PaintPage(const Page& page, QPainter& painter)
{
    const double dotsPerInch = painter.device()->logicalDpiY();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double scale = dotsPerInch / kUnitsPerInch * FitScale(page);
    painter.scale(scale, scale);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    for (const PageRect& r : page.frames)
        painter.drawRect(QRectF(r.x, r.y, r.width, r.height));
    for (const PageLine& l : page.rules)
        painter.drawLine(QPointF(l.x1, l.y1), QPointF(l.x2, l.y2));
    for (const PageRect& r : page.emblems)
        PaintEmblem(painter, r, dotsPerInch);
    for (const PageLabel& label : page.labels)
        PaintLabel(painter, label, dotsPerInch);
    for (const PageTextBox& box : page.boxes)
        PaintTextBox(painter, box, dotsPerInch);
    painter.restore();
}

std::optional<std::string> DrawPagePdf(const Page& page)
{
    QBuffer document;
    document.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&document);
        writer.setResolution(kPdfDotsPerInch);
        writer.setPageLayout(PageLayoutOf(page));
        // The program that made the document: pmvconf or pmvctl.
        writer.setCreator(QCoreApplication::applicationName());
        writer.setTitle(QString::fromStdString(page.title));
        QPainter painter;
        if (!painter.begin(&writer))
            return std::nullopt;
        PaintPage(page, painter);
        painter.end();
    }
    return document.data().toStdString();
}

std::optional<ini::FileError> SavePagePdf(const std::string& document, const std::string& path)
{
    // A name that is not UTF-8 stays refused, as when the file went through Qt's text (production
    // refuses such a passport folder before it starts); EILSEQ is the system's word for such bytes.
    if (!SavesUnderItsName(path))
        return ini::FileError{ini::FileOperation::Write, path, EILSEQ};
    return ini::ReplaceFile(path, document);
}

QImage RenderPageImage(const Page& page, double dotsPerInch)
{
    const QSizeF inches = PageLayoutOf(page).fullRect(QPageLayout::Millimeter).size() / 25.4;
    QImage image(static_cast<int>(std::lround(inches.width() * dotsPerInch)),
                 static_cast<int>(std::lround(inches.height() * dotsPerInch)), QImage::Format_RGB32);
    const int dotsPerMeter = static_cast<int>(std::lround(dotsPerInch / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintPage(page, painter);
    return image;
}

}  // namespace pmv::reports
