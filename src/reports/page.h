#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pmv::reports {

// A printed page as a report form lays it out. Positions and sizes are report units of 1/96 inch
// from the top left corner of an A4 sheet (794 x 1123 portrait, 1123 x 794 landscape).
enum class PageOrientation {
    Portrait,
    Landscape,
};

// The faces of the forms; the drawing takes their metric twins.
enum class FontFace {
    Arial,
    TimesNewRoman,
};

struct PageFont {
    FontFace face = FontFace::Arial;
    int points = 10;
    bool bold = false;

    bool operator==(const PageFont&) const = default;
};

struct PageRect {
    int x = 0, y = 0, width = 0, height = 0;

    bool operator==(const PageRect&) const = default;
};

struct PageLine {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;

    bool operator==(const PageLine&) const = default;
};

// One line of text from its top left corner, as wide as the text. A text wider than maxWidth
// (when not 0) is drawn in the largest smaller size that fits.
struct PageLabel {
    std::string name;
    int x = 0, y = 0;
    PageFont font;
    std::string text;
    int maxWidth = 0;

    bool operator==(const PageLabel&) const = default;
};

// A memo: its lines fill the rectangle from the top, wrapped at word boundaries. Lines that do
// not fit at the font's size are drawn in the largest smaller size at which they do (down to
// kSmallestPoints); below that, what does not fit is cut off at the rectangle's edges.
struct PageTextBox {
    std::string name;
    PageRect rect;
    PageFont font;
    std::vector<std::string> lines;

    bool operator==(const PageTextBox&) const = default;
};

inline constexpr double kSmallestPoints = 6;

struct Page {
    std::string title;  // the document's title, shown by PDF viewers and print queues
    PageOrientation orientation = PageOrientation::Portrait;
    std::vector<PageRect> frames;
    std::vector<PageLine> rules;
    std::vector<PageRect> emblems;  // where the maker's emblem is drawn
    std::vector<PageLabel> labels;
    std::vector<PageTextBox> boxes;

    // The element of that name; nullptr when the page has none.
    const PageLabel* Label(std::string_view name) const;
    const PageTextBox* TextBox(std::string_view name) const;

    // Pages that are equal are drawn alike.
    bool operator==(const Page&) const = default;
};

// The computer's local date a page is printed on.
struct PrintDate {
    int day = 0, month = 0, year = 0;
};

// Today's local date of the computer.
PrintDate Today();

// Day, month and year as numbers without leading zeros: "5.3.2024".
std::string DateText(int day, int month, int year);

}  // namespace pmv::reports
