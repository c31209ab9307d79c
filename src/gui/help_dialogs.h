#pragma once

#include <QString>

#include <string>

class QWidget;

namespace pmv {

// "О программе": the program's version, the Qt version it runs on and the serial device in use.
QString AboutText(const std::string& device);
void ShowAbout(QWidget& parent, const std::string& device);

// The user guide: the user's part of the README, shipped inside the program, in a window of
// its own beside the main window.
QString UserGuideMarkdown();
void ShowUserGuide(QWidget& parent);

}  // namespace pmv
