#include "window_messages.h"

#include "key_watch.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

namespace pmv::gui {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        break;
    }
    return QMessageBox::Information;
}

}  // namespace

void WindowMessages::RaiseWindow()
{
    window_.show();
    window_.raise();
    window_.activateWindow();
    window_.repaint();
}

int WindowMessages::Exec(QMessageBox& box)
{
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
