#include "window_layout.h"

#include "model/settings_model.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>

#include <array>
#include <vector>

namespace pmv::layout {
namespace {

enum class Kind { Label, Edit, List, EditableList, Check, Button, TextPanel };

// One control: kind, name (none for a label nobody refers to), caption, place and hint. A width
// of 0 makes a label as wide as its caption.
struct ControlSpec {
    Kind kind;
    const char* name;
    const char* text;
    int x, y, w;
    const char* hint = nullptr;
    bool hidden = false;
};

int DefaultHeight(Kind kind)
{
    switch (kind) {
    case Kind::Button:
        return 25;
    case Kind::Check:
        return 17;
    default:
        return 21;
    }
}

QLabel* TextPanel(QWidget* parent)
{
    auto* panel = new QLabel(parent);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);
    panel->setIndent(3);
    return panel;
}

QWidget* Create(const ControlSpec& s, QWidget* parent)
{
    const QString text = QString::fromUtf8(s.text ? s.text : "");
    QWidget* w = nullptr;
    switch (s.kind) {
    case Kind::Label:
        w = new QLabel(text, parent);
        break;
    case Kind::Edit:
        w = new QLineEdit(parent);
        break;
    case Kind::List:
    case Kind::EditableList: {
        auto* list = new QComboBox(parent);
        list->setEditable(s.kind == Kind::EditableList);
        list->setMaxVisibleItems(16);
        w = list;
        break;
    }
    case Kind::Check:
        w = new QCheckBox(text, parent);
        break;
    case Kind::Button:
        w = new QPushButton(text, parent);
        break;
    case Kind::TextPanel:
        w = TextPanel(parent);
        break;
    }
    if (s.name)
        w->setObjectName(QString::fromUtf8(s.name));
    if (s.hint)
        w->setToolTip(QString::fromUtf8(s.hint));
    if (s.w == 0) {
        w->adjustSize();
        w->move(s.x, s.y);
    } else {
        w->setGeometry(s.x, s.y, s.w, DefaultHeight(s.kind));
    }
    if (s.hidden)
        w->hide();
    return w;
}

void CreateAll(const std::vector<ControlSpec>& specs, QWidget* parent)
{
    for (const ControlSpec& s : specs)
        Create(s, parent);
}

// The framed panels fill their page.
constexpr int kPanelHeight = 310;

QFrame* FramedPanel(const char* name, QWidget* parent, const QRect& geometry)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromUtf8(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    panel->setGeometry(geometry);
    return panel;
}

QLabel* Heading(const char* text, QWidget* parent, int x, int y)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->adjustSize();
    label->move(x, y);
    return label;
}

// ---- Top area ----

const std::vector<ControlSpec> kTopArea{
    {Kind::Label, "Label1", "Номер порта", 8, 6, 0},
    {Kind::List, "ComboBox17", nullptr, 8, 22, 44, "Задаем номер порта компьютора"},
    {Kind::Label, "Label2", nullptr, 58, 22, 20},
    {Kind::Label, "PortDeviceLabel", nullptr, 8, 48, 156},
    {Kind::Label, "Label3", "Используемые каналы", 170, 6, 0},
    {Kind::Check, "CheckBox1", "1", 170, 24, 36,
     "При нажатии кнопок прочитать/ записать выбранное будут прочитаны или записаны параметры первого канала"},
    {Kind::Check, "CheckBox2", "2", 208, 24, 36,
     "При нажатии на кнопки прочитать/ записать выбранное будут прочитаны или записаны параметры второго канала"},
    {Kind::Check, "CheckBox3", "Реле", 246, 24, 54,
     "При нажатии на кнопки прочитать/ записать выбранное будут прочитаны или записаны настройки логики реле"},
    {Kind::Check, "CheckBox10", "Общие", 302, 24, 64,
     "При нажатии на кнопки прочитать / записать будут прочитаны или записаны заводские настройки : вид прибора, "
     "вид отображения ошибки. Прочитаются : версия ПО и заводской номер. "},
    {Kind::Button, "Button1", "Прочитать все", 170, 48, 124,
     "Прочитать параметры обоих каналов, реле, часть общеприборных настроек."},
    {Kind::Button, "Button2", "Прочитать выбранное", 296, 48, 124, "Прочитать отмеченные группы параметров."},
    {Kind::Button, "Button3", "Записать все", 170, 77, 124,
     "Записать параметры обоих каналов, реле, часть общеприборных  настроек."},
    {Kind::Button, "Button4", "Записать выбранное", 296, 77, 124, "Записать отмеченные группы параметров."},
    {Kind::Label, "Label5", "Описание настроек", 428, 6, 0,
     "Текстовое описание файла настроек прибора.  Перед записью нового файла сюда можно внести свои комментарии."},
};

void BuildTopArea(QWidget& client)
{
    CreateAll(kTopArea, &client);
    auto* description = new QTextEdit(&client);
    description->setObjectName("RichEdit1");
    description->setAcceptRichText(false);
        description->setToolTip(client.findChild<QLabel*>("Label5")->toolTip());
    description->setGeometry(428, 22, 267, 80);
}

// ---- Page 0: the two channel panels ----

// A control of a channel panel with its label above it (for a check box: its caption), named
// for channel 1 and channel 2.
struct ChannelControl {
    Kind kind;
    std::array<const char*, 2> name;
    std::array<const char*, 2> label;
    int x, y, w;
    const char* hint;
    bool hidden = false;
};

constexpr int kColumn[4] = {6, 88, 170, 252};
constexpr int kRow[6] = {22, 68, 114, 160, 206, 252};
constexpr int kFieldWidth = 78;

const std::vector<ChannelControl> kChannelControls{
    {Kind::List, {"ComboBox1", "ComboBox7"}, {"Тип датчика", "Тип датчика"}, kColumn[0], kRow[0], 324,
     "Задаем тип датчика в канале"},
    // Root extraction belongs to the input signal: beside the sensor type.
    {Kind::Check, {"CheckBox4", "CheckBox6"}, {"Корнеизвлечение", "Корнеизвлечение"}, kColumn[2], kRow[0] - 2, 150,
     "Включение извлечения корня при расчете значений унифицированных сигналов."},
    {Kind::Edit, {"Edit2", "Edit14"}, {"Минимум", "Минимум"}, kColumn[0], kRow[1], kFieldWidth,
     "Минимум диапазона.Для унифицированных входов его можно изменить."},
    {Kind::Edit, {"Edit1", "Edit13"}, {"Максимум", "Максимум"}, kColumn[1], kRow[1], kFieldWidth,
     "Максимум диапазона.Для унифицированных входов его можно изменить."},
    {Kind::Edit, {"Edit3", "Edit15"}, {"0", "0"}, kColumn[2], kRow[1], kFieldWidth, "Смещение измеренного значения."},
    {Kind::Edit, {"Edit4", "Edit16"}, {"Диапазон", "Диапазон"}, kColumn[3], kRow[1], kFieldWidth,
     "Подстройка величины диапазона."},
    {Kind::List, {"ComboBox2", "ComboBox8"}, {"Уставка I Тип", "Уставка I Тип"}, kColumn[0], kRow[2], kFieldWidth,
     "Задаем тип уставки"},
    {Kind::Edit, {"Edit5", "Edit17"}, {"Величина I", "Величина I"}, kColumn[1], kRow[2], kFieldWidth,
     "Величина уставки 1."},
    {Kind::Edit, {"Edit6", "Edit18"}, {"Гистерезис I", "Гистерезис I"}, kColumn[2], kRow[2], kFieldWidth,
     "Величина гистерезиса уставки 1."},
    {Kind::List, {"ComboBox3", "ComboBox9"}, {"Уставка II Тип", "Уставка II Тип"}, kColumn[0], kRow[3], kFieldWidth,
     "Задаем тип уставки"},
    {Kind::Edit, {"Edit7", "Edit19"}, {"Величина II", "Величина II"}, kColumn[1], kRow[3], kFieldWidth,
     "Величина уставки 2."},
    {Kind::Edit, {"Edit8", "Edit20"}, {"Гистерезис II", "Гистерезис II"}, kColumn[2], kRow[3], kFieldWidth,
     "Величина гистерезиса уставки 2."},
    {Kind::EditableList, {"ComboBox21", "ComboBox23"}, {"Шаг изменения уставки", "Шаг изменения уставки"},
     kColumn[0], kRow[4], 120, "Задаем шаг изменения уставки"},
    {Kind::EditableList, {"ComboBox22", "ComboBox24"}, {"Шаг изменеия гистерезиса", "Шаг изменения гистерезиса"},
     kColumn[2], kRow[4], 120, "Задаем шаг изменения гистерезиса"},
    {Kind::List, {"ComboBox4", "ComboBox10"}, {"Усреднение", "Усреднение"}, kColumn[0], kRow[5], kFieldWidth,
     "Задаем число усреднений измеренного значения"},
    {Kind::List, {"ComboBox5", "ComboBox11"}, {"Знаков", "Знаков"}, kColumn[1], kRow[5], kFieldWidth,
     "Задаем число знаков после запятой"},
    {Kind::List, {"ComboBox6", "ComboBox12"}, {"Наблюдения", "Наблюдения"}, kColumn[2], kRow[5], kFieldWidth,
     "Задаем число одинаковых наблюдений перед срабатыванием реле"},
    // Kept for the binding, never shown: exclusion of the channel and the correction polynomial.
    {Kind::Check, {"CheckBox5", "CheckBox7"}, {"Исключить", "Исключить"}, kColumn[3], kRow[2] + 17, 82, nullptr, true},
    {Kind::Edit, {"Edit9", "Edit21"}, {"Полином", "Полином"}, kColumn[3], kRow[4], kFieldWidth, nullptr, true},
    {Kind::Edit, {"Edit10", "Edit22"}, {nullptr, nullptr}, kColumn[3], kRow[4] + 23, kFieldWidth, nullptr, true},
    {Kind::Edit, {"Edit11", "Edit23"}, {nullptr, nullptr}, kColumn[3], kRow[5], kFieldWidth, nullptr, true},
    {Kind::Edit, {"Edit12", "Edit24"}, {nullptr, nullptr}, kColumn[3], kRow[5] + 23, kFieldWidth, nullptr, true},
};

// Labels of regulator fields that the panels carry without fields, never shown.
constexpr std::array<const char*, 4> kRegulatorLabels{"К проп", "Т диф", "Т инт", "К ассим"};

void BuildChannelPanel(QWidget* page, int channel)
{
    QFrame* panel = FramedPanel(channel == 0 ? "Panel1" : "Panel2", page, {4 + channel * 342, 4, 338, kPanelHeight});
    Heading(channel == 0 ? "Канал 1" : "Канал 2", panel, 6, 4);
    for (const ChannelControl& c : kChannelControls) {
        const bool check = c.kind == Kind::Check;
        const char* label = c.label[channel];
        if (label && !check) {
            ControlSpec above{Kind::Label, nullptr, label, c.x, c.y, 0, nullptr, c.hidden};
            Create(above, panel);
        }
        Create({c.kind, c.name[channel], check ? label : nullptr, c.x, check ? c.y : c.y + 15, c.w, c.hint, c.hidden},
               panel);
    }
    for (size_t i = 0; i < kRegulatorLabels.size(); ++i)
        Create({Kind::Label, nullptr, kRegulatorLabels[i], kColumn[3], kRow[0] + 23 * static_cast<int>(i), 0, nullptr,
                true},
               panel);
}

// ---- Page 1: relays ----

constexpr int kCellWidth = 60;
constexpr int kCellHeight = 24;

QTableWidget* Grid(const char* name, QWidget* parent, int x, int y, int visibleRows, int fixedColumns, int fixedRows)
{
    auto* grid = new QTableWidget(kGridRows, kGridColumns, parent);
    grid->setObjectName(QString::fromUtf8(name));
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setMinimumSectionSize(1);
    for (int c = 0; c < kGridColumns; ++c)
        grid->setColumnWidth(c, kCellWidth);
    for (int r = 0; r < kGridRows; ++r)
        grid->setRowHeight(r, kCellHeight);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setFrameStyle(QFrame::Box | QFrame::Plain);
    grid->setGeometry(x, y, kGridColumns * kCellWidth + 2, visibleRows * kCellHeight + 2);
    grid->setProperty("fixedColumns", fixedColumns);
    grid->setProperty("fixedRows", fixedRows);
    const QBrush face = grid->palette().button();
    for (int r = 0; r < kGridRows; ++r)
        for (int c = 0; c < kGridColumns; ++c) {
            auto* cell = new QTableWidgetItem;
            if (r < fixedRows || c < fixedColumns) {
                cell->setBackground(face);
                cell->setFlags(Qt::ItemIsEnabled);
            }
            grid->setItem(r, c, cell);
        }
    return grid;
}

QLabel* CaptionPanel(const char* text, QWidget* parent, int x, int y, int w)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Raised);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(x, y, w, 20);
    return label;
}

const std::vector<ControlSpec> kRegulatorControls{
    {Kind::Label, nullptr, "Интервал принятия решения", 10, 202, 0},
    {Kind::List, "ComboBox15", nullptr, 10, 218, 70, "Через это время прибор будет выдавать управляющие воздействия"},
    {Kind::Label, nullptr, "Максимальная длительность импулься", 250, 202, 0},
    {Kind::List, "ComboBox16", nullptr, 250, 218, 70,
     "Время управляющего воздействия при максимальном рассогласовании в перделах зоны пропорциональности"},
    {Kind::Label, nullptr, "Вид обработки логики реле 1", 10, 250, 0, nullptr, true},
    {Kind::List, "ComboBox13", nullptr, 10, 266, 150, nullptr, true},
    {Kind::Label, nullptr, "Вид обработки логики реле 2", 250, 250, 0, nullptr, true},
    {Kind::List, "ComboBox14", nullptr, 250, 266, 150, nullptr, true},
};

void BuildRelayPage(QWidget* page)
{
    QFrame* panel = FramedPanel("Panel77", page, {4, 4, 682, kPanelHeight});
    Heading("Назначение реле на воздействие", panel, 10, 6);
    constexpr int gridX = 9;
    CaptionPanel("Канал 1", panel, gridX + 1 + kCellWidth, 26, 3 * kCellWidth);
    CaptionPanel("Канал 2", panel, gridX + 1 + 4 * kCellWidth, 26, 3 * kCellWidth);
    CaptionPanel("Регулятор", panel, gridX + 1 + 7 * kCellWidth, 26, 4 * kCellWidth);
    Grid("StringGrid2", panel, gridX, 46, 2, 7, 2);
    QTableWidget* relays = Grid("StringGrid1", panel, gridX, 46 + 2 * kCellHeight + 4, kGridRows, 1, 1);
    relays->setToolTip(QString::fromUtf8("Стявя значек в ячейке включаем реле от данного события."));
    Heading("Параметры регулятора", panel, 10, 182);
    CreateAll(kRegulatorControls, panel);
}

// ---- Page 2: general settings ----

const std::vector<ControlSpec> kGeneralControls{
    {Kind::Label, nullptr, "Версия внутреннего ПО прибора", 10, 10, 0},
    {Kind::TextPanel, "Panel78", nullptr, 10, 26, 100},
    {Kind::Label, nullptr, "Тип прибора", 10, 60, 0},
    {Kind::List, "ComboBox19", nullptr, 10, 76, 230, "Задаем тип функционирования прибора"},
    {Kind::Label, nullptr, "Отображение ошибки", 10, 110, 0},
    {Kind::List, "ComboBox20", nullptr, 10, 126, 130, "Для поиска ошибки можем задать расширенную индикацию"},
    {Kind::Label, nullptr, "Параметры назначаемые при производстве", 354, 10, 0},
    {Kind::Label, nullptr, "Номер прибора", 354, 36, 0},
    {Kind::List, "ComboBox27", nullptr, 354, 52, 60, "Тип прибора "},
    {Kind::Label, nullptr, "-", 419, 54, 0},
    {Kind::Edit, "Edit53", nullptr, 428, 52, 96, "Здесь задается заводской номер прибора"},
    {Kind::Label, nullptr, "Дата выпуска", 354, 86, 0},
    {Kind::TextPanel, "Panel79", nullptr, 354, 102, 170},
    {Kind::Button, "Button46", "Текущее", 530, 100, 84, "Выставить в календаре текущую дату по часам компьютора"},
    {Kind::Button, "Button44", "Прочитать", 354, 138, 84, "Читаем из прибора заводской номер и дату выпуска"},
    {Kind::Button, "Button45", "Записать", 440, 138, 84, "Записываем в прибор заводской номер и дату выпуска"},
    {Kind::List, "ComboBox25", nullptr, 354, 180, 100, "Здесь можно выбрать и изменить месяц выпуска прибора", true},
    {Kind::List, "ComboBox26", nullptr, 460, 180, 64, "Здесь можно выбрать и изменить год выпуска прибора", true},
};

void BuildGeneralPage(QWidget* page)
{
    QFrame* panel = FramedPanel("Panel71", page, {4, 4, 682, kPanelHeight});
    auto* split = new QFrame(panel);
    split->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    split->setGeometry(340, 6, 4, kPanelHeight - 12);
    CreateAll(kGeneralControls, panel);
    auto* calendar = new QCalendarWidget(panel);
    calendar->setObjectName("bcCalendar1");
    calendar->setToolTip(QString::fromUtf8(
        "Здесь показывается дата производства прибора.  Перед записью здесь можно выбрать дату выпуска прибора."));
    calendar->setGeometry(354, 206, 260, 80);
    calendar->hide();
}

// ---- Page 3: live values ----

QLabel* Lamp(const QString& name, const QString& text, QWidget* parent, int x, int y, int w)
{
    auto* lamp = new QLabel(text, parent);
    lamp->setObjectName(name);
    lamp->setFrameStyle(QFrame::Panel | QFrame::Raised);
    lamp->setAlignment(Qt::AlignCenter);
    lamp->setAutoFillBackground(true);
    lamp->setGeometry(x, y, w, 21);
    return lamp;
}

QGroupBox* Frame(const char* title, QWidget* parent, const QRect& geometry)
{
    auto* frame = new QGroupBox(QString::fromUtf8(title), parent);
    frame->setGeometry(geometry);
    return frame;
}

void BuildLiveChannel(QWidget* page, int channel)
{
    const QString n = QString::number(channel + 1);
    QGroupBox* frame = Frame(channel == 0 ? "Канал 1" : "Канал 2", page, {4 + channel * 342, 4, 338, 150});
    Create({Kind::Label, nullptr, "Измеренное значение", 10, 22, 0}, frame);
    QLabel* value = TextPanel(frame);
    value->setObjectName("ValuePanel" + n);
    QFont big = value->font();
    big.setPixelSize(19);
    big.setBold(true);
    value->setFont(big);
    value->setGeometry(10, 38, 170, 30);
    QLabel* status = TextPanel(frame);
    status->setObjectName("StatusPanel" + n);
    status->setGeometry(10, 74, 318, 21);
    Lamp("Setpoint1Lamp" + n, QString::fromUtf8("Уставка 1"), frame, 10, 108, 96);
    Lamp("Setpoint2Lamp" + n, QString::fromUtf8("Уставка 2"), frame, 112, 108, 96);
    Lamp("BreakLamp" + n, QString::fromUtf8("Обрыв"), frame, 214, 108, 96);
}

void BuildLiveValuesPage(QWidget* page)
{
    BuildLiveChannel(page, 0);
    BuildLiveChannel(page, 1);

    QGroupBox* relays = Frame("Реле", page, {4, 160, 186, 56});
    Lamp("RelayLamp1", QString::fromUtf8("Реле 1"), relays, 10, 24, 80);
    Lamp("RelayLamp2", QString::fromUtf8("Реле 2"), relays, 96, 24, 80);

    QGroupBox* keys = Frame("Кнопки", page, {196, 160, 330, 56});
    struct KeyLamp {
        const char* name;
        const char* text;
        int x, w;
    };
    for (const KeyLamp& k : {KeyLamp{"KeyLamp1", "1", 10, 40}, KeyLamp{"KeyLampHysteresis", "Гистерезис", 54, 84},
                             KeyLamp{"KeyLamp2", "2", 142, 40}, KeyLamp{"KeyLamp0", "0", 186, 40},
                             KeyLamp{"KeyLampRange", "Диапазон", 230, 90}})
        Lamp(k.name, QString::fromUtf8(k.text), keys, k.x, 24, k.w);

    QGroupBox* encoder = Frame("Угловой кодировщик", page, {532, 160, 154, 56});
    Lamp("EncoderLamp1", {}, encoder, 20, 24, 50);
    Lamp("EncoderLamp2", {}, encoder, 84, 24, 50);

    QLabel* poll = TextPanel(page);
    poll->setObjectName("PollPanel");
    poll->setAutoFillBackground(true);
    poll->setPalette(page->palette());
    poll->setGeometry(4, 226, 338, 21);

    QGroupBox* leds = Frame("Единичные светодиоды", page, {346, 222, 340, 56});
    for (int i = 0; i < 4; ++i)
        Lamp(QStringLiteral("LedLamp%1").arg(i + 1), QString::number(i + 1), leds, 10 + 46 * i, 24, 40);
    leds->hide();
    Create({Kind::Button, "Button5", "Начать чтение", 4, 256, 120, nullptr, true}, page);
}

// ---- Page 4: configuration ----

const std::vector<ControlSpec> kConfigurationControls{
    {Kind::Button, "Button42", "Генерируем страничку в паспорт", 10, 10, 260},
    {Kind::Button, "Button40", "Генерируем отчет по текущим настройкам", 10, 44, 330, nullptr, true},
    {Kind::Button, "Button41", "Считываем из прибора настройки и генерируем отчет", 10, 78, 330, nullptr, true},
};

// ---- Lists ----

QStringList Numbers(int from, int to, int width = 0)
{
    QStringList items;
    for (int i = from; i <= to; ++i)
        items << QStringLiteral("%1").arg(i, width, 10, QLatin1Char('0'));
    return items;
}

QStringList Texts(std::initializer_list<const char*> texts)
{
    QStringList items;
    for (const char* t : texts)
        items << QString::fromUtf8(t);
    return items;
}

struct ListFill {
    std::vector<const char*> names;
    QStringList items;
};

std::vector<ListFill> WindowLists()
{
    QStringList sensors;
    for (const SensorType& s : kSensorTypes)
        sensors << QString::fromUtf8(s.name);
    const QStringList steps = Texts({"0.001", "0.01", "0.1", "1.0", "10.0"});
    return {
        {{"ComboBox17"}, Numbers(1, 8)},
        {{"ComboBox1", "ComboBox7"}, sensors},
        {{"ComboBox2", "ComboBox3", "ComboBox8", "ComboBox9"}, Texts({"Нет", "Понижение", "Повышение"})},
        {{"ComboBox21", "ComboBox22", "ComboBox23", "ComboBox24"}, steps},
        {{"ComboBox4", "ComboBox6", "ComboBox10", "ComboBox12"}, Numbers(1, 10)},
        {{"ComboBox5", "ComboBox11"}, Numbers(0, 3)},
        {{"ComboBox13"}, Texts({"Упрощенная", "Расширенная", "Управление задвижкой"})},
        {{"ComboBox14"}, Texts({"Упрощенная", "Расширенная"})},
        {{"ComboBox15"}, Numbers(10, 240)},
        {{"ComboBox16"}, Numbers(5, 60)},
        {{"ComboBox19"}, Texts({"7700/01 Н Одноканальный", "7703 Н Двухканальный", "7706 Н Одноканальн. проп.регул.",
                                "7706 Н Одноканальн. ПИД регул."})},
        {{"ComboBox20"}, Texts({"Упрощенное", "Расширенное"})},
        {{"ComboBox27"}, Numbers(0, 255, 3)},
        {{"ComboBox25"}, Texts({"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь",
                                "Октябрь", "Ноябрь", "Декабрь"})},
        {{"ComboBox26"}, Numbers(2007, 2017)},
    };
}

void SetRow(QTableWidget& grid, int row, const std::vector<std::pair<int, const char*>>& cells)
{
    for (const auto& [column, text] : cells)
        grid.item(row, column)->setText(QString::fromUtf8(text));
}

}  // namespace

void BuildClientArea(QWidget& client)
{
    BuildTopArea(client);

    auto* notebook = new QTabWidget(&client);
    notebook->setObjectName("TabbedNotebook1");
    notebook->setGeometry(4, 108, 695, 349);
    const auto addPage = [&](const char* title) {
        auto* page = new QWidget;
        page->setObjectName(QString::fromUtf8(title));
        notebook->addTab(page, QString::fromUtf8(title));
        return page;
    };

    QWidget* channels = addPage("Настройки каналов");
    BuildChannelPanel(channels, 0);
    BuildChannelPanel(channels, 1);
    BuildRelayPage(addPage("Настройки реле"));
    BuildGeneralPage(addPage("Общие"));
    BuildLiveValuesPage(addPage("Текущие значения"));
    CreateAll(kConfigurationControls, addPage("Конфигурация"));
}

void FillWindowLists(QWidget& client)
{
    for (const ListFill& fill : WindowLists())
        for (const char* name : fill.names) {
            auto* list = client.findChild<QComboBox*>(QString::fromUtf8(name));
            list->clear();
            list->addItems(fill.items);
        }

    auto* headings = client.findChild<QTableWidget*>("StringGrid2");
    SetRow(*headings, 0,
           {{0, "Уставка"}, {1, " 1"}, {2, " 2"}, {3, "Обр."}, {4, " 1"}, {5, " 2"}, {6, "Обр."}, {7, "Закр."},
            {8, "Откр."}, {9, "Напр."}, {10, "Импульс"}});
    auto* relays = client.findChild<QTableWidget*>("StringGrid1");
    relays->item(0, 0)->setText(QString::fromUtf8("Реле"));
    relays->item(1, 0)->setText(QStringLiteral("    1"));
    relays->item(2, 0)->setText(QStringLiteral("    2"));
}

bool IsFixedCell(const QTableWidget& grid, int row, int column)
{
    return row < grid.property("fixedRows").toInt() || column < grid.property("fixedColumns").toInt();
}

}  // namespace pmv::layout
