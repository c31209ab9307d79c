#include "channels_page.h"

#include "binding/control_values.h"
#include "model/settings_model.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace pmv::gui {

using namespace widgets;

namespace {

constexpr int kColumn[4] = {6, 88, 170, 252};
constexpr int kRow[6] = {22, 68, 114, 160, 206, 252};
constexpr int kFieldWidth = 78;
constexpr int kLabelHeight = 15;

// A field with its label above it.
template <class W>
W* Labelled(const char* label, W* field)
{
    if (label) {
        QLabel* above = Label(label, field->parentWidget(), 0, 0);
        above->move(field->x(), field->y() - kLabelHeight);
        above->setVisible(!field->isHidden());
    }
    return field;
}

QLineEdit* Field(QWidget* panel, const char* label, int column, int row, const char* hint)
{
    return Labelled(label, Edit(panel, kColumn[column], kRow[row] + kLabelHeight, kFieldWidth, hint));
}

QComboBox* Choice(QWidget* panel, const char* label, int column, int row, int w, const char* hint,
                  const QStringList& items, bool editable = false)
{
    QComboBox* list = List(panel, kColumn[column], kRow[row] + kLabelHeight, w, hint, editable);
    Fill(*list, items);
    return Labelled(label, list);
}

QStringList SensorNames()
{
    QStringList names;
    for (const model::SensorType& s : model::kSensorTypes)
        names << Text(s.name);
    return names;
}

}  // namespace

ChannelPanel::ChannelPanel(QWidget* parent, int channel) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    setGeometry(QRect(4 + channel * 342, 4, 338, kPanelHeight));
    Heading(channel == 0 ? "Канал 1" : "Канал 2", this, 6, 4);

    const QStringList setpointTypes =
        Texts({binding::kSetpointTypeItems[0], binding::kSetpointTypeItems[1], binding::kSetpointTypeItems[2]});
    const QStringList steps = Texts({"0.001", "0.01", "0.1", "1.0", "10.0"});
    sensorType = Choice(this, "Тип датчика", 0, 0, 324, "Задаем тип датчика в канале", SensorNames());
    // Root extraction belongs to the input signal: beside the sensor type.
    squareRoot = Check(channel == 0 ? "Корнеизв&лечение" : "Корне&извлечение", this, kColumn[2], kRow[0] - 2, 150,
                       "Включение извлечения корня при расчете значений унифицированных сигналов.");
    rangeMin = Field(this, "Минимум", 0, 1, "Минимум диапазона.Для унифицированных входов его можно изменить.");
    rangeMax = Field(this, "Максимум", 1, 1, "Максимум диапазона.Для унифицированных входов его можно изменить.");
    shift = Field(this, "0", 2, 1, "Смещение измеренного значения.");
    rangeAdjust = Field(this, "Диапазон", 3, 1, "Подстройка величины диапазона.");
    setpoint1Type = Choice(this, "Уставка I Тип", 0, 2, kFieldWidth, "Задаем тип уставки", setpointTypes);
    setpoint1 = Field(this, "Величина I", 1, 2, "Величина уставки 1.");
    hysteresis1 = Field(this, "Гистерезис I", 2, 2, "Величина гистерезиса уставки 1.");
    setpoint2Type = Choice(this, "Уставка II Тип", 0, 3, kFieldWidth, "Задаем тип уставки", setpointTypes);
    setpoint2 = Field(this, "Величина II", 1, 3, "Величина уставки 2.");
    hysteresis2 = Field(this, "Гистерезис II", 2, 3, "Величина гистерезиса уставки 2.");
    setpointStep = Choice(this, "Шаг изменения уставки", 0, 4, 120, "Задаем шаг изменения уставки", steps, true);
    // Channel 1's label keeps the form's spelling.
    hysteresisStep = Choice(this, channel == 0 ? "Шаг изменеия гистерезиса" : "Шаг изменения гистерезиса", 2, 4, 120,
                            "Задаем шаг изменения гистерезиса", steps, true);
    averaging =
        Choice(this, "Усреднение", 0, 5, kFieldWidth, "Задаем число усреднений измеренного значения", Numbers(1, 10));
    decimals = Choice(this, "Знаков", 1, 5, kFieldWidth, "Задаем число знаков после запятой", Numbers(0, 3));
    observations = Choice(this, "Наблюдения", 2, 5, kFieldWidth,
                          "Задаем число одинаковых наблюдений перед срабатыванием реле", Numbers(1, 10));

    exclude = Check("Исключить", this, kColumn[3], kRow[2] + 17, 82);
    exclude->hide();
    for (size_t i = 0; i < polynomial.size(); ++i) {
        const int y = kRow[4 + i / 2] + kLabelHeight + 23 * static_cast<int>(i % 2);
        polynomial[i] = Edit(this, kColumn[3], y, kFieldWidth);
        polynomial[i]->hide();
    }
    Labelled("Полином", polynomial[0]);
    // Labels of regulator fields that the panels carry without fields, never shown.
    const char* regulatorLabels[] = {"К проп", "Т диф", "Т инт", "К ассим"};
    for (int i = 0; i < 4; ++i)
        Label(regulatorLabels[i], this, kColumn[3], kRow[0] + 23 * i)->hide();
}

ChannelsPage::ChannelsPage(QWidget* parent)
    : QWidget(parent), channels{new ChannelPanel(this, 0), new ChannelPanel(this, 1)}
{}

}  // namespace pmv::gui
