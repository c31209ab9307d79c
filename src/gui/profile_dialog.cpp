#include "profile_dialog.h"

#include "file_dialog_texts.h"
#include "save_dialog.h"

#include <QDir>
#include <QFileDialog>

namespace pmv::gui {

std::optional<QString> AskProfilePath(QWidget& parent, bool open, bool keepWorkFolder)
{
    QString path;
    if (open) {
        QFileDialog dialog(&parent);
        dialog.setObjectName("OpenDialog1");
        dialog.setOptions(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(QString::fromUtf8(kProfileFilter));
        ShowRussianFileColumns(dialog);
        dialog.setDirectory(QDir::currentPath());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        path = dialog.selectedFiles().front();
    } else {
        // The save appends ".prf" whatever the name ends in; the question is about that file.
        const auto chosen = AskSavePath(parent, {"SaveDialog1", QString::fromUtf8(kProfileFilter), ".prf", true, {}});
        if (!chosen)
            return std::nullopt;
        path = chosen->chosen;
    }
    if (!keepWorkFolder)
        QDir::setCurrent(QFileInfo(path).absolutePath());
    return path;
}

}  // namespace pmv::gui
