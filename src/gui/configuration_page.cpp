#include "configuration_page.h"

#include "widgets.h"

#include <QPushButton>

namespace pmv::gui {

using namespace widgets;

ConfigurationPage::ConfigurationPage(QWidget* parent) : QWidget(parent)
{
    makePassportPage = Button("&Генерируем страничку в паспорт", this, 10, 10, 260);
    makePassportPage->setObjectName("Button42");
    // The configuration report: present on the form, never shown.
    QPushButton* report = Button("Генерируем отчет по текущим настройкам", this, 10, 44, 330);
    report->setObjectName("Button40");
    report->hide();
    QPushButton* readAndReport = Button("Считываем из прибора настройки и генерируем отчет", this, 10, 78, 330);
    readAndReport->setObjectName("Button41");
    readAndReport->hide();
}

}  // namespace pmv::gui
