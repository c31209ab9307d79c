#include "help_dialogs.h"

#include "window_messages.h"

#include <QAbstractTextDocumentLayout>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace pmv::gui {

QString ProgramVersion()
{
    QStringList parts = QStringLiteral(PMV_VERSION).split('.');
    while (parts.size() < 4)
        parts << QStringLiteral("0");
    return parts.join('.');
}

QString AboutText(const std::string& device)
{
    return QString::fromUtf8("Настройка ПМВ 77xx\nВерсия %1\nQt %2\nПрибор: %3")
        .arg(ProgramVersion(), QString::fromLatin1(qVersion()),
             device.empty() ? QString::fromUtf8("нет устройства") : QString::fromStdString(device));
}

void ShowAbout(QWidget& parent, const std::string& device)
{
    QMessageBox box(QMessageBox::Information, QString::fromUtf8("О программе"), AboutText(device), QMessageBox::Ok, &parent);
    FitCaption(box);
    box.exec();
}

QString UserGuideMarkdown()
{
    QFile guide(QStringLiteral(":/docs/user-guide.md"));
    if (!guide.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(guide.readAll());
}

bool ShowGuidePart(QTextBrowser& text, const QString& heading)
{
    // Headings read from Markdown carry no anchors, so the part is found by its heading's text.
    for (QTextBlock block = text.document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || block.text().trimmed() != heading)
            continue;
        text.setTextCursor(QTextCursor(block));
        const QRectF place = text.document()->documentLayout()->blockBoundingRect(block);
        text.verticalScrollBar()->setValue(qRound(place.top()));
        return true;
    }
    return false;
}

void ShowUserGuide(QWidget& parent, const QString& part)
{
    auto* guide = parent.findChild<QDialog*>(QStringLiteral("UserGuide"));
    if (!guide) {
        guide = new QDialog(&parent);
        guide->setObjectName("UserGuide");
        guide->setWindowTitle(QString::fromUtf8("Руководство пользователя"));
        auto* text = new QTextBrowser(guide);
        text->setObjectName("UserGuideText");
        // The pictures lie beside the guide, under the names the guide gives them.
        text->setSearchPaths({QStringLiteral(":/docs")});
        text->setMarkdown(UserGuideMarkdown());
        auto* layout = new QVBoxLayout(guide);
        layout->addWidget(text);
        guide->resize(parent.width(), parent.height());
    }
    guide->show();
    guide->raise();
    // Shown first: the places of the headings follow from the width the text is laid out in.
    if (!part.isEmpty())
        ShowGuidePart(*guide->findChild<QTextBrowser*>(), part);
}

}  // namespace pmv::gui
