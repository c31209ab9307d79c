#pragma once

class QFileDialog;

namespace pmv::gui {

// The file dialogs' size and date columns in Russian: Qt writes them in the system's locale
// ("19.37 KiB", "24 Jan 2023"), whatever language the program speaks. Sizes read "19,4 КБ",
// dates 24.01.2023 11:13.
void ShowRussianFileColumns(QFileDialog& dialog);

}  // namespace pmv::gui
