#include "help_dialogs.h"

#include "window_messages.h"

#include <QAbstractTextDocumentLayout>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextList>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

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
    QMessageBox box(QMessageBox::Information, QString::fromUtf8("О программе"), AboutText(device), QMessageBox::Ok,
                    &parent);
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

namespace {

const QRegularExpression& PartHeading()
{
    static const QRegularExpression heading(QStringLiteral("^(##|###) +(.+?) *$"));
    return heading;
}

constexpr const char* kPartLink = "part-";

// The pictures follow the width of the guide's window.
class PictureFitter final : public QObject {
public:
    explicit PictureFitter(QTextBrowser& text) : QObject(&text), text_(text) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            FitPictures(text_);
        return QObject::eventFilter(watched, event);
    }

private:
    QTextBrowser& text_;
};

// The size a picture of the guide has of its own; the document holds it as read or as drawn.
QSizeF PictureSize(QTextDocument& document, const QString& name)
{
    const QVariant held = document.resource(QTextDocument::ImageResource, QUrl(name));
    switch (held.typeId()) {
    case QMetaType::QImage: return held.value<QImage>().size();
    case QMetaType::QPixmap: return held.value<QPixmap>().size();
    case QMetaType::QByteArray: return QImage::fromData(held.toByteArray()).size();
    default: return {};
    }
}

}  // namespace

QStringList GuideHeadings(const QString& markdown)
{
    QStringList headings;
    bool inCode = false;
    for (const QString& line : markdown.split('\n')) {
        if (line.startsWith(QStringLiteral("```")))
            inCode = !inCode;
        if (const QRegularExpressionMatch m = PartHeading().match(line); !inCode && m.hasMatch())
            headings << m.captured(2);
    }
    return headings;
}

QString WithContents(const QString& markdown)
{
    QStringList lines = markdown.split('\n');
    QStringList contents{QString::fromUtf8("**Содержание**"), QString()};
    qsizetype first = -1;
    int n = 0;
    bool inCode = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QStringLiteral("```")))
            inCode = !inCode;
        const QRegularExpressionMatch m = PartHeading().match(lines[i]);
        if (inCode || !m.hasMatch())
            continue;
        if (first < 0)
            first = i;
        const QString indent = m.captured(1).size() == 3 ? QStringLiteral("    ") : QString();
        contents
            << QStringLiteral("%1- [%2](#%3%4)").arg(indent, m.captured(2), QString::fromLatin1(kPartLink)).arg(n++);
    }
    if (first < 0)
        return markdown;
    contents << QString();
    for (qsizetype i = contents.size() - 1; i >= 0; --i)
        lines.insert(first, contents[i]);
    return lines.join('\n');
}

void FitPictures(QTextBrowser& text)
{
    QTextDocument& document = *text.document();
    const qreal room = text.viewport()->width() - 2 * document.documentMargin() - 8;
    if (room <= 0)
        return;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        // A picture in a list item stands as far in as the item's text.
        const QTextBlockFormat format = block.blockFormat();
        qreal indent = format.leftMargin() + format.textIndent() + format.indent() * document.indentWidth();
        if (const QTextList* list = block.textList())
            indent += list->format().indent() * document.indentWidth();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat picture = fragment.charFormat().toImageFormat();
            const QSizeF size = PictureSize(document, picture.name());
            if (size.isEmpty())
                continue;
            const qreal width = std::min(size.width(), room - indent);
            if (qFuzzyCompare(picture.width(), width))
                continue;
            picture.setWidth(width);
            picture.setHeight(size.height() * width / size.width());
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(picture);
        }
    }
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
        const QString markdown = UserGuideMarkdown();
        text->setMarkdown(WithContents(markdown));
        // The contents' links go to their part; a heading read from Markdown has no anchor.
        text->setOpenLinks(false);
        QObject::connect(
            text, &QTextBrowser::anchorClicked, text, [text, headings = GuideHeadings(markdown)](const QUrl& link) {
                const QString fragment = link.fragment();
                bool number = false;
                const int n = fragment.startsWith(QString::fromLatin1(kPartLink))
                                  ? fragment.mid(static_cast<qsizetype>(std::strlen(kPartLink))).toInt(&number)
                                  : -1;
                if (number && n >= 0 && n < headings.size())
                    ShowGuidePart(*text, headings[n]);
            });
        // The guide is always longer than its window; a scroll bar that came and went would change
        // the width the pictures were fitted to.
        text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        text->viewport()->installEventFilter(new PictureFitter(*text));
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
