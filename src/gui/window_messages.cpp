#include "window_messages.h"

#include "key_watch.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

namespace pmv::gui {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Information: break;
    }
    return QMessageBox::Information;
}

// The title bar beside its caption: the window's icon and its close button, with margins.
constexpr int kTitleBarRoom = 120;

}  // namespace

void FitCaption(QMessageBox& box)
{
    QFont title = QApplication::font();
    title.setBold(true);
    const int width = QFontMetrics(title).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

void WindowMessages::RaiseWindow()
{
    window_.show();
    window_.raise();
    window_.activateWindow();
    window_.repaint();
}

int WindowMessages::Exec(QMessageBox& box)
{
    FitCaption(box);
    const int64_t opened = clock_.elapsed();
    const int answer = box.exec();
    boxOpenMs_ += clock_.elapsed() - opened;
    return answer;
}

void WindowMessages::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
    RaiseWindow();
    QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    &window_);
    Exec(box);
}

void WindowMessages::ShowDetailedMessage(const std::string& text, const std::string& detail, const std::string& caption,
                                         MessageIcon icon)
{
    RaiseWindow();
    QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    &window_);
    box.setInformativeText(QString::fromStdString(detail));
    Exec(box);
}

bool WindowMessages::AskYesNo(Question, const std::string& text, const std::string& caption, MessageIcon icon)
{
    RaiseWindow();
    QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, &window_);
    box.setDefaultButton(QMessageBox::No);
    return Exec(box) == QMessageBox::Yes;
}

void WindowMessages::DiscardPendingKeys()
{
    (void)keys_.TakeEscape();
    (void)keys_.TakeEnter();
}

bool InstallRussianTranslation(QApplication& app)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto* translator = new QTranslator(&app);
    if (!translator->load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QApplication::installTranslator(translator);
}

}  // namespace pmv::gui
