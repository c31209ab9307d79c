#include "help_dialogs.h"

#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace pmv {
namespace {

// The README's parts for developers start here; the guide ends before it.
constexpr const char* kDevelopersHeading = "\n## Разработчикам";

}  // namespace

QString AboutText(const std::string& device)
{
    return QString::fromUtf8("Настройка ПМВ 77xx\nВерсия %1\nQt %2\nПрибор: %3")
        .arg(QStringLiteral(PMV_VERSION), QString::fromLatin1(qVersion()),
             device.empty() ? QString::fromUtf8("нет устройства") : QString::fromStdString(device));
}

void ShowAbout(QWidget& parent, const std::string& device)
{
    QMessageBox::about(&parent, QString::fromUtf8("О программе"), AboutText(device));
}

QString UserGuideMarkdown()
{
    QFile readme(QStringLiteral(":/README.md"));
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(readme.readAll());
    return text.left(text.indexOf(QString::fromUtf8(kDevelopersHeading)));
}

void ShowUserGuide(QWidget& parent)
{
    auto* guide = parent.findChild<QDialog*>(QStringLiteral("UserGuide"));
    if (!guide) {
        guide = new QDialog(&parent);
        guide->setObjectName("UserGuide");
        guide->setWindowTitle(QString::fromUtf8("Руководство пользователя"));
        auto* text = new QTextBrowser(guide);
        // The guide's pictures travel with it, under the same relative names.
        text->setSearchPaths({QStringLiteral(":/")});
        text->setMarkdown(UserGuideMarkdown());
        auto* layout = new QVBoxLayout(guide);
        layout->addWidget(text);
        guide->resize(parent.width(), parent.height());
    }
    guide->show();
    guide->raise();
}

}  // namespace pmv
