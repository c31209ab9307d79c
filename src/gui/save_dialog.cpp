#include "save_dialog.h"

#include "file_dialog_texts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace pmv::gui {

bool MayReplace(QWidget& parent, const QString& path)
{
    if (!QFileInfo::exists(path))
        return true;
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8("Сохранение"),
                    QString::fromUtf8("Файл %1 уже существует. Заменить его?").arg(QDir::toNativeSeparators(path)),
                    QMessageBox::Yes | QMessageBox::No, &parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<SavePath> AskSavePath(QWidget& parent, const SaveChoice& choice)
{
    QString suggested = choice.suggestedName;
    for (;;) {
        QFileDialog dialog(&parent);
        dialog.setObjectName(choice.objectName);
        // The dialog's own prompt would ask about the chosen name, not the one with the suffix.
        dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(choice.filter);
        ShowRussianFileColumns(dialog);
        dialog.setDirectory(QDir::currentPath());
        if (!suggested.isEmpty())
            dialog.selectFile(suggested);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const QString chosen = dialog.selectedFiles().front();
        QString path = chosen;
        if (choice.always || !path.endsWith(choice.suffix, Qt::CaseInsensitive))
            path += choice.suffix;
        if (MayReplace(parent, path))
            return SavePath{chosen, path};
        suggested = QFileInfo(chosen).fileName();
    }
}

}  // namespace pmv::gui
