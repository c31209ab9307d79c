#include "file_dialog_texts.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QTreeView>

namespace pmv::gui {
namespace {

constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;

QString SizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QString::fromUtf8("%1 байт").arg(bytes);
    const char* units[] = {"КБ", "МБ", "ГБ", "ТБ"};
    double size = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    for (; size >= 1024 && unit + 1 < std::size(units); ++unit)
        size /= 1024;
    return QString::number(size, 'f', 1).replace('.', ',') + ' ' + QString::fromUtf8(units[unit]);
}

class RussianColumns final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || (index.column() != kSizeColumn && index.column() != kDateColumn))
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        if (index.column() == kDateColumn)
            return files->lastModified(source).toString(QStringLiteral("dd.MM.yyyy HH:mm"));
        return files->isDir(source) ? QString() : SizeText(files->size(source));
    }
};

}  // namespace

void ShowRussianFileColumns(QFileDialog& dialog)
{
    dialog.setProxyModel(new RussianColumns(&dialog));
    // The detail view's date column as wide as a date with its time: a narrow one cut them.
    if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
        tree->header()->setSectionResizeMode(kDateColumn, QHeaderView::ResizeToContents);
}

}  // namespace pmv::gui
