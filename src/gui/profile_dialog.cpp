#include "profile_dialog.h"

#include <QDir>
#include <QFileDialog>

namespace pmv {

std::optional<QString> AskProfilePath(QWidget& parent, bool open)
{
    QFileDialog dialog(&parent);
    dialog.setObjectName(open ? "OpenDialog1" : "SaveDialog1");
    // No overwrite prompt: it would ask about the chosen name, not the one with ".prf" appended.
    dialog.setOptions(open ? QFileDialog::DontUseNativeDialog
                           : QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    if (open)
        dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromUtf8(kProfileFilter));
    dialog.setDirectory(QDir::currentPath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().front();
    QDir::setCurrent(QFileInfo(path).absolutePath());
    return path;
}

}  // namespace pmv
