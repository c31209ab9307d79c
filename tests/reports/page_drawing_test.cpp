#include "file_error_print.h"
#include "pdf_text.h"
#include "temp_dir.h"

#include "reports/configuration_report.h"
#include "reports/page_drawing.h"
#include "reports/passport_page.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <map>

namespace pmv::reports {
namespace {

constexpr double kUnitsPerInch = 96;

using test::Poppler;

// Whether any pixel of the report-unit rectangle is not white.
bool Inked(const QImage& image, int x, int y, int width, int height)
{
    for (int py = y; py < y + height; ++py)
        for (int px = x; px < x + width; ++px)
            if (image.pixelColor(px, py) != Qt::white)
                return true;
    return false;
}

model::SettingsModel TwoChannelInstrument()
{
    model::SettingsModel m;
    m.general.proc_ver = 1;
    m.general.otk_type = 47;
    m.serial_hi = 4;
    m.serial_lo = 210;
    m.made_day = 15;
    m.made_month = 3;
    m.made_year = 2024;
    m.rele.rel0_msk0 = 0x01;
    return m;
}

TEST(PageDrawing, PdfOfThePassportHoldsItsTitleAndRelayLines)
{
    test::TempDir dir;
    const std::string path = dir.file("passport.pdf");
    ASSERT_EQ(WritePagePdf(BuildPassportPage(TwoChannelInstrument(), {1, 2, 2025}), path), std::nullopt);

    const std::string text = Poppler("pdftotext", path);
    ASSERT_FALSE(text.empty()) << "pdftotext (poppler-utils) is needed";
    EXPECT_NE(text.find("Прибор ПМВ7703Н номер 047-1234 дата изг. 15.3.2024"), std::string::npos) << text;
    EXPECT_NE(text.find("Реле 1 сработает от уставки 1 канала 1"), std::string::npos) << text;
    EXPECT_NE(text.find("Дата печати 1.2.2025"), std::string::npos);
    EXPECT_NE(Poppler("pdfinfo", path).find("842 x 595 pts (A4)"), std::string::npos);
}

TEST(PageDrawing, PdfOfTheReportIsAPortraitSheet)
{
    test::TempDir dir;
    const std::string path = dir.file("report.pdf");
    ASSERT_EQ(WritePagePdf(BuildConfigurationReport(TwoChannelInstrument(), {1, 2, 2025}), path), std::nullopt);
    EXPECT_NE(Poppler("pdfinfo", path).find("595 x 842 pts (A4)"), std::string::npos);
    EXPECT_NE(Poppler("pdftotext", path).find("Градуировка канала 2"), std::string::npos);
}

TEST(PageDrawing, UnwritablePdfIsReportedAndLeavesNoFile)
{
    test::TempDir dir;
    const std::string path = dir.file("missing/report.pdf");
    EXPECT_EQ(WritePagePdf(BuildConfigurationReport({}, {1, 2, 2025}), path),
              (ini::FileError{ini::FileOperation::OpenFolder, path, ENOENT}));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(PageDrawing, TextBoxShrinksItsLinesToFitAndNeverSpillsOver)
{
    Page page;
    page.orientation = PageOrientation::Portrait;
    PageTextBox box{"memo", {100, 100, 300, 200}, {FontFace::Arial, 11, false}, {}};
    for (int i = 0; i < 15; ++i)
        box.lines.push_back("Строка " + std::to_string(i) + " довольно длинного текста, который переносится по словам");
    page.boxes.push_back(box);
    QImage image = RenderPageImage(page, kUnitsPerInch);
    ASSERT_EQ(image.size(), QSize(794, 1123));
    EXPECT_TRUE(Inked(image, 100, 100, 300, 20));
    // Smaller type brings the wrapped lines down to the bottom of the box.
    EXPECT_TRUE(Inked(image, 100, 260, 300, 40));
    EXPECT_FALSE(Inked(image, 0, 300, 794, 823));
    EXPECT_FALSE(Inked(image, 400, 0, 394, 1123));

    // Far too many lines even for the smallest type: the rest is cut at the bottom edge.
    page.boxes[0].lines.resize(400, std::string(60, '_'));
    image = RenderPageImage(page, kUnitsPerInch);
    EXPECT_TRUE(Inked(image, 100, 280, 300, 20));
    EXPECT_FALSE(Inked(image, 0, 300, 794, 823));
    EXPECT_FALSE(Inked(image, 400, 0, 394, 1123));
}

TEST(PageDrawing, PassportTitleStaysInsideItsFrame)
{
    model::SettingsModel m = TwoChannelInstrument();
    m.general.otk_type = 255;
    m.serial_hi = 255;
    m.serial_lo = 255;
    m.made_day = 28;
    m.made_month = 12;
    const QImage image = RenderPageImage(BuildPassportPage(m, {28, 12, 2025}), kUnitsPerInch);
    ASSERT_EQ(image.size(), QSize(1123, 794));
    EXPECT_TRUE(Inked(image, 52, 40, 100, 20));
    // Between the left frame (right edge at 514) and the divider (525).
    EXPECT_FALSE(Inked(image, 516, 10, 8, 700));
    EXPECT_FALSE(Inked(image, 1044, 0, 79, 794));
}

// The height of each word of a PDF in the left and in the right half of the sheet, as
// pdftotext -bbox measures it: the first time the word is met in each half.
std::array<std::map<std::string, double>, 2> WordHeightsByHalf(const std::string& path, double middle)
{
    QProcess process;
    process.start("pdftotext", {"-bbox", QString::fromStdString(path), "-"});
    std::array<std::map<std::string, double>, 2> heights;
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return heights;
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">([^<]*)</word>)re");
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        auto& half = heights[m.captured(1).toDouble() < middle ? 0 : 1];
        half.try_emplace(m.captured(4).toStdString(), m.captured(3).toDouble() - m.captured(2).toDouble());
    }
    return heights;
}

TEST(PageDrawing, BothCopiesOfAPassportAreDrawnInTheSameTypeSizes)
{
    // Every relay line of a two-channel instrument: more text than its box holds at 11 points.
    model::SettingsModel m = TwoChannelInstrument();
    m.rele.rel0_msk0 = m.rele.rel1_msk0 = 0x7F;
    m.rele.rel0_msk1 = m.rele.rel1_msk1 = 0x07;
    for (model::ChannelSettings& c : m.channel) {
        c.dat = 19;
        c.flag = 1;
    }
    test::TempDir dir;
    const std::string path = dir.file("passport.pdf");
    ASSERT_EQ(WritePagePdf(BuildPassportPage(m, {28, 12, 2025}), path), std::nullopt);
    // The divider at 525 report units is 393.75 points from the left edge.
    const auto halves = WordHeightsByHalf(path, 525 * 72.0 / kUnitsPerInch);
    ASSERT_GT(halves[0].size(), 40u) << "pdftotext (poppler-utils) is needed";
    size_t compared = 0;
    for (const auto& [text, height] : halves[0]) {
        const auto right = halves[1].find(text);
        ASSERT_NE(right, halves[1].end()) << text;
        EXPECT_NEAR(right->second, height, 0.05) << text;
        ++compared;
    }
    EXPECT_EQ(compared, halves[1].size());
}

}  // namespace
}  // namespace pmv::reports
