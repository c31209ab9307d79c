#include "window_fixture.h"

#include "gui/help_dialogs.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QDialog>
#include <QImage>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextImageFormat>

namespace pmv::test {
namespace {

// The names of the pictures the guide shows, as its Markdown gives them.
QStringList PictureNames(const QString& markdown)
{
    QStringList names;
    static const QRegularExpression picture(QStringLiteral(R"(!\[[^\]]*\]\(([^)\s]+)\))"));
    for (auto match = picture.globalMatch(markdown); match.hasNext();)
        names << match.next().captured(1);
    return names;
}

TEST(UserGuideText, IsRussianNotTheDevelopersReadme)
{
    const QString guide = gui::UserGuideMarkdown();
    ASSERT_FALSE(guide.isEmpty()) << "the guide is missing from the program's resources";
    qsizetype cyrillic = 0, latin = 0;
    for (const QChar c : guide) {
        if (c.script() == QChar::Script_Cyrillic)
            ++cyrillic;
        else if (c.script() == QChar::Script_Latin)
            ++latin;
    }
    // File and key names and the instrument's abbreviations are Latin; the text is Russian.
    EXPECT_GT(cyrillic, 8 * latin) << cyrillic << " Cyrillic letters, " << latin << " Latin";
    EXPECT_FALSE(guide.contains(QStringLiteral("scripts/")));
    EXPECT_FALSE(guide.contains(QStringLiteral("## What it is")));
}

QTextBrowser* OpenGuide(gui::MainWindow& window)
{
    window.findChild<QAction*>("UserGuideAction")->trigger();
    auto* dialog = window.findChild<QDialog*>("UserGuide");
    return dialog ? dialog->findChild<QTextBrowser*>() : nullptr;
}

TEST_F(WindowTest, EveryPictureTheGuideNamesLoadsFromTheProgram)
{
    Open();
    QTextBrowser* text = OpenGuide(*window);
    ASSERT_NE(text, nullptr);
    const QStringList names = PictureNames(gui::UserGuideMarkdown());
    const QStringList pages = {"pmvconf-page0-channels.png", "pmvconf-page1-relays.png", "pmvconf-page2-general.png",
                               "pmvconf-page3-live-values.png", "pmvconf-page4-configuration.png"};
    for (const QString& page : pages)
        EXPECT_TRUE(names.contains(page)) << page.toStdString();
    int shown = 0;
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            if (fragment.fragment().charFormat().isImageFormat()) {
                const QString name = fragment.fragment().charFormat().toImageFormat().name();
                const QVariant picture = text->document()->resource(QTextDocument::ImageResource, QUrl(name));
                EXPECT_FALSE(picture.value<QImage>().isNull() && picture.value<QPixmap>().isNull())
                    << name.toStdString() << " does not load";
                ++shown;
            }
    EXPECT_EQ(shown, names.size()) << "every picture named is one the guide shows";
}

// Where the heading of a part stands in the browser's view: 0 is its top edge.
int HeadingOffset(QTextBrowser& text, const QString& heading)
{
    for (QTextBlock block = text.document()->begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() > 0 && block.text() == heading)
            return qRound(text.document()->documentLayout()->blockBoundingRect(block).top()) -
                   text.verticalScrollBar()->value();
    return -1;
}

TEST_F(WindowTest, F1OnEachPageShowsThatPagesPart)
{
    Open();
    auto* pages = Get<QTabWidget>("TabbedNotebook1");
    // Last page first, then back up: each F1 moves the guide, also when it is open already.
    for (int page = pages->count() - 1; page >= 0; --page) {
        pages->setCurrentIndex(page);
        const QString title = pages->tabText(page);
        QTextBrowser* text = OpenGuide(*window);
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(text->isVisible());
        EXPECT_EQ(text->textCursor().block().text().toStdString(), title.toStdString());
        const int offset = HeadingOffset(*text, title);
        EXPECT_GE(offset, 0) << title.toStdString() << ": its heading is above the view or missing";
        EXPECT_LT(offset, text->viewport()->height() / 4) << title.toStdString() << " is not at the top of the view";
    }
}

TEST_F(WindowTest, F1AfterTheGuideWasClosedOpensItAtThePageAgain)
{
    Open();
    auto* pages = Get<QTabWidget>("TabbedNotebook1");
    pages->setCurrentIndex(3);
    QTextBrowser* text = OpenGuide(*window);
    ASSERT_NE(text, nullptr);
    window->findChild<QDialog*>("UserGuide")->close();
    text->verticalScrollBar()->setValue(0);
    pages->setCurrentIndex(1);
    text = OpenGuide(*window);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isVisible());
    const int offset = HeadingOffset(*text, pages->tabText(1));
    EXPECT_GE(offset, 0);
    EXPECT_LT(offset, text->viewport()->height() / 4);
}

TEST_F(WindowTest, GuidePicturesFitItsWindowAndItsContentsLeadToEachPart)
{
    Open();
    QTextBrowser* text = OpenGuide(*window);
    ASSERT_NE(text, nullptr);
    auto* dialog = window->findChild<QDialog*>("UserGuide");
    QApplication::processEvents();
    EXPECT_EQ(text->horizontalScrollBar()->maximum(), 0) << "as the guide opens, something is wider than it";
    for (const int width : {480, 703, 900}) {
        dialog->resize(width, 600);
        QApplication::processEvents();
        int pictures = 0, scaled = 0;
        for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next())
            for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
                if (!fragment.fragment().charFormat().isImageFormat())
                    continue;
                const QTextImageFormat picture = fragment.fragment().charFormat().toImageFormat();
                const QImage image(QStringLiteral(":/docs/") + picture.name());
                ++pictures;
                EXPECT_GT(picture.width(), 0) << picture.name().toStdString();
                EXPECT_LE(picture.width(), text->viewport()->width())
                    << picture.name().toStdString() << " at " << width;
                EXPECT_LE(picture.width(), image.width()) << "enlarged: " << picture.name().toStdString();
                EXPECT_NEAR(picture.height() / picture.width(), double(image.height()) / image.width(), 0.01);
                scaled += picture.width() < image.width();
            }
        EXPECT_GT(pictures, 10);
        // From the width the guide opens at, nothing is wider than the window; narrower, the
        // table of error codes keeps the room its longest words need.
        if (width >= 703) {
            EXPECT_EQ(text->horizontalScrollBar()->maximum(), 0) << "something is wider than the window at " << width;
        }
        if (width == 480) {
            EXPECT_GT(scaled, 5) << "the window's pictures are wider than 480";
        }
    }

    const QString markdown = gui::UserGuideMarkdown();
    const QStringList headings = gui::GuideHeadings(markdown);
    ASSERT_GT(headings.size(), 15);
    EXPECT_TRUE(headings.contains(QString::fromUtf8("Меню")));
    EXPECT_TRUE(headings.contains(QString::fromUtf8("Коды ошибок")));
    QStringList links;
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            if (fragment.fragment().charFormat().isAnchor())
                links << fragment.fragment().charFormat().anchorHref();
    for (int n = 0; n < headings.size(); ++n)
        EXPECT_TRUE(links.contains(QStringLiteral("#part-%1").arg(n))) << headings[n].toStdString();
    EXPECT_TRUE(text->toPlainText().indexOf(QString::fromUtf8("Содержание")) <
                text->toPlainText().indexOf(headings[1]));

    for (const QString& part : {QString::fromUtf8("Коды ошибок"), QString::fromUtf8("Меню")}) {
        text->verticalScrollBar()->setValue(0);
        Q_EMIT text->anchorClicked(QUrl(QStringLiteral("#part-%1").arg(headings.indexOf(part))));
        EXPECT_EQ(text->textCursor().block().text(), part);
        const int offset = HeadingOffset(*text, part);
        EXPECT_GE(offset, 0) << part.toStdString();
        EXPECT_LT(offset, text->viewport()->height() / 4) << part.toStdString();
    }
}

}  // namespace
}  // namespace pmv::test
