#include "general_page.h"

#include "binding/control_values.h"
#include "production_calendar.h"
#include "widgets.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pmv::gui {
namespace {

template <size_t N>
QStringList Items(const std::array<const char*, N>& items)
{
    QStringList list;
    for (const char* item : items)
        list << QString::fromUtf8(item);
    return list;
}

}  // namespace

using namespace widgets;

GeneralPage::GeneralPage(QWidget* parent) : QWidget(parent)
{
    panel = FramedPanel(this, {4, 4, kWidePanelWidth, kPanelHeight});
    auto* split = new QFrame(panel);
    split->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    split->setGeometry(QRect(340, 6, 4, kPanelHeight - 12));

    Label("Версия внутреннего ПО прибора", panel, 10, 10);
    firmwareVersion = TextPanel(panel, 10, 26, 100);
    Label("Тип прибора", panel, 10, 60);
    deviceType = List(panel, 10, 76, 230, "Задаем тип функционирования прибора");
    Fill(*deviceType, Items(binding::kDeviceTypeItems));
    Label("Отображение ошибки", panel, 10, 110);
    errorDisplay = List(panel, 10, 126, 130, "Для поиска ошибки можем задать расширенную индикацию");
    Fill(*errorDisplay, Items(binding::kErrorDisplayItems));

    Label("Параметры назначаемые при производстве", panel, 354, 10);
    Label("Номер прибора", panel, 354, 36);
    typeCode = List(panel, 354, 52, 60, "Тип прибора ");
    Fill(*typeCode, Numbers(0, binding::kTypeCodeListSize - 1, 3));
    Label("-", panel, 419, 54);
    serialNumber = Edit(panel, 428, 52, 96, "Здесь задается заводской номер прибора");
    Label("Дата выпуска", panel, 354, 86);
    productionDate = TextPanel(panel, 354, 102, 170);
    today = Button("&Текущее", panel, 530, 100, 84, "Выставить в календаре текущую дату по часам компьютора");
    today->setObjectName("Button46");
    readSerial = Button("Про&читать", panel, 354, 138, 84, "Читаем из прибора заводской номер и дату выпуска");
    readSerial->setObjectName("Button44");
    writeSerial = Button("Зап&исать", panel, 440, 138, 84, "Записываем в прибор заводской номер и дату выпуска");
    writeSerial->setObjectName("Button45");

    productionMonth = List(panel, 354, 180, 100, "Здесь можно выбрать и изменить месяц выпуска прибора");
    Fill(*productionMonth, Texts({"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь",
                                  "Октябрь", "Ноябрь", "Декабрь"}));
    productionMonth->hide();
    productionYear = List(panel, 460, 180, 64, "Здесь можно выбрать и изменить год выпуска прибора");
    Fill(*productionYear, Numbers(binding::kFirstListedYear, binding::kLastListedYear));
    productionYear->hide();
    calendar = new ProductionCalendar(panel);
    calendar->setToolTip(
        Text("Здесь показывается дата производства прибора.  Перед записью здесь можно выбрать дату выпуска прибора."));
    calendar->setGeometry(QRect(354, 206, 260, 80));
    calendar->hide();
}

}  // namespace pmv::gui
