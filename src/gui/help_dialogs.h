#pragma once

#include <QString>

#include <string>

class QTextBrowser;
class QWidget;

namespace pmv::gui {

// The program's version in four parts, "1.0.24.0": the caption and "О программе" show the same.
QString ProgramVersion();

// "О программе": the program's version, the Qt version it runs on and the serial device in use.
QString AboutText(const std::string& device);
void ShowAbout(QWidget& parent, const std::string& device);

// The user guide in Russian, shipped inside the program with its pictures.
QString UserGuideMarkdown();
// Shows the guide in a window of its own beside the main window, at the part whose heading is
// `part` (the guide names each page's part as the page's tab), or where it was when it has none.
void ShowUserGuide(QWidget& parent, const QString& part = {});
// The guide with a table of contents before its first part: a link "#part-N" to each part and
// section, N counting its headings from 0 (see GuideHeadings).
QString WithContents(const QString& markdown);
// The texts of the guide's parts and sections (its level 2 and 3 headings), in order.
QStringList GuideHeadings(const QString& markdown);
// Scales each picture of the browser down to the width of its view; smaller ones keep their size.
void FitPictures(QTextBrowser& text);
// Puts the heading whose text is `heading` at the top of the browser's view; false when the
// guide has no such heading.
bool ShowGuidePart(QTextBrowser& text, const QString& heading);

}  // namespace pmv::gui
