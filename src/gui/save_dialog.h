#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace pmv::gui {

struct SaveChoice {
    const char* objectName;  // of the dialog, so that tests find it
    QString filter;
    QString suffix;         // appended to the chosen name unless `always` is false and it ends so
    bool always = false;    // a profile gets ".prf" whatever it ends in
    QString suggestedName;  // offered in the name field; empty offers none
};

struct SavePath {
    QString chosen;  // as the user chose it
    QString path;    // with the suffix: the file that is written
};

// The save dialog in the working directory. The name gets its suffix first; a file of that
// name already there is replaced only on "Да" to the question (default "Нет", which opens the
// dialog again). Nothing when the user cancels.
std::optional<SavePath> AskSavePath(QWidget& parent, const SaveChoice& choice);

// "Заменить?" for a file that exists; true when it does not exist or the user says "Да".
bool MayReplace(QWidget& parent, const QString& path);

}  // namespace pmv::gui
