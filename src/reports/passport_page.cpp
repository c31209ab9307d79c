#include "reports/passport_page.h"

#include "reports/report_values.h"

#include "history/history.h"

#include <algorithm>
#include <array>
#include <optional>

namespace pmv::reports {
namespace {

constexpr PageFont kHeadFont{FontFace::Arial, 16, true};
constexpr PageFont kTextFont{FontFace::Arial, 11, false};
constexpr PageRect kLeftFrame{36, 4, 478, 707};
constexpr PageRect kRightFrame{537, 4, 505, 708};

// Width from x to a little before the frame's right edge.
constexpr int RoomRightOf(int x, const PageRect& frame) { return frame.x + frame.width - 8 - x; }

// Mask bits that a relay line tests: in the relay's channel 1 word or in its channel 2 word.
struct RelayLine {
    bool channel2Word;
    uint32_t bit;
    const char* text;    // follows "Реле N"
    const char* follow;  // a further line, or nullptr
};

constexpr const char* kDirectionFollow = "при срабатывании - задвижка открывается";

constexpr std::array<RelayLine, 10> kRelayLines{{
    {false, 0, " сработает от уставки 1 канала 1", nullptr},
    {false, 1, " сработает от уставки 2 канала 1", nullptr},
    {false, 2, " сработает от обрыва в канале 1", nullptr},
    {true, 0, " сработает от уставки 1 канала 2", nullptr},
    {true, 1, " сработает от уставки 2 канала 2", nullptr},
    {true, 2, " сработает от обрыва в канале 2", nullptr},
    {false, 3, " включает закрывание задвижки", nullptr},
    {false, 4, " включает открывание задвижки", nullptr},
    {false, 6, " включает привод задвижки", nullptr},
    {false, 5, " выбирает направление привода задвижки", kDirectionFollow},
}};

// The PID regulator has one alarm setpoint, in channel 2's record.
constexpr std::array<RelayLine, 6> kPidRelayLines{{
    {true, 0, " сработает от уставки канала", nullptr},
    {true, 2, " сработает от обрыва в канале", nullptr},
    {false, 3, " выключает нагрев", nullptr},
    {false, 4, " включает нагрев", nullptr},
    {false, 6, " включает привод задвижки", nullptr},
    {false, 5, " выбирает направление привода задвижки", kDirectionFollow},
}};

// Title of each device type: the instrument's name, and whether the production date follows.
struct DeviceTitle {
    const char* name;
    bool withDate;
};
constexpr std::array<DeviceTitle, 4> kTitles{{
    {"Прибор ПМВ7700/01Н номер ", true},
    {"Прибор ПМВ7703Н номер ", true},
    {"Прибор ПМВ7706Н номер ", true},
    {"Прибор ПМВ7706Н номер ", false},
}};

constexpr const char* kReferenceLine = "Данные для справки. Дополнительная корректировка измеренного значения:";

class Text {
public:
    explicit Text(const model::SettingsModel& model) : m_(model) {}

    std::vector<std::string> lines;

    void Add(std::string line) { lines.push_back(std::move(line)); }

    // Sensor, range, accuracy, square root, averaging and decimals of a channel.
    void Sensor(const model::ChannelSettings& c)
    {
        Add("Тип датчика : " + model::SensorName(c.dat));
        Add("Диапазон измерений : " + Value(c.diap_min) + "..." + Value(c.diap_max));
        if (const std::optional<float> accuracy = AccuracyFigure(m_, c.dat))
            Add("Пределы допустимой основной погрешности : " + Value(*accuracy) + " %");
        if (c.dat >= 17 && c.dat <= 21 && c.flag != 0)
            Add("Включено корнеизвлечение");
        Add("Число усреднений : " + Value(c.ns));
        Add("Число знаков после запятой : " + Value(c.point));
    }

    // The numbered setpoint s (1, 2) of a channel, headed by a separator.
    void NumberedSetpoint(const model::ChannelSettings& c, int s)
    {
        const std::string n = std::to_string(s);
        Add(kSeparatorLine);
        Add("Тип уставки " + n + " : " + model::SetpointTypeName(s == 1 ? c.th_type1 : c.th_type2));
        Add("Величина уставки " + n + " : " + Value(s == 1 ? c.th1 : c.th2));
        Add("Величина гистерезиса уставки " + n + " : " + Value(s == 1 ? c.his1 : c.his2));
    }

    // The single setpoint of a channel and the confirmations of its relay.
    void SingleSetpoint(const model::ChannelSettings& c)
    {
        Add("Тип уставки  : " + model::SetpointTypeName(c.th_type1));
        Add("Величина уставки  : " + Value(c.th1));
        Add("Величина гистерезиса уставки  : " + Value(c.his1));
        Confirmations(c);
    }

    void Confirmations(const model::ChannelSettings& c)
    {
        Add("Число подтверждений при работе реле  : " + Value(c.search));
    }

    template <size_t N>
    void Relay(int relay, const std::array<RelayLine, N>& table)
    {
        const model::RelaySettings& r = m_.rele;
        const int32_t word1 = relay == 1 ? r.rel0_msk0 : r.rel1_msk0;
        const int32_t word2 = relay == 1 ? r.rel0_msk1 : r.rel1_msk1;
        const std::string name = "Реле " + std::to_string(relay);
        Add("Логика работы реле " + std::to_string(relay) + ":");
        for (const RelayLine& line : table) {
            if (((line.channel2Word ? word2 : word1) >> line.bit & 1) == 0)
                continue;
            Add(name + line.text);
            if (line.follow)
                Add(line.follow);
        }
    }

    template <size_t N>
    void BothRelays(const std::array<RelayLine, N>& table)
    {
        Relay(1, table);
        Add("");
        Relay(2, table);
        Add("");
    }

    void Correction(const model::ChannelSettings& c)
    {
        Add("0 : " + Value(c.shift));
        Add("Диапазон : " + Value(c.adj));
    }

    void Regulator(const model::ChannelSettings& c)
    {
        Add("Заданная для регулирования величина : " + Value(c.th1));
        Add("Коэффициент пропорциональности : " + Value(c.th2));
        Add("Зона пропорционального управления : " + Value(c.his1));
    }

private:
    const model::SettingsModel& m_;
};

void Header(Text& t, const char* type, const char* kind)
{
    t.Add("Конфигурация прибора:");
    t.Add(std::string("Тип прибора : ") + type);
    t.Add(kind);
}

std::vector<std::string> OneChannelLines(const model::SettingsModel& m)
{
    const model::ChannelSettings& c = m.channel[0];
    Text t(m);
    Header(t, "ПМВ 7700/01 Н", "Одноканальный прибор с двумя уставками.");
    t.Sensor(c);
    t.NumberedSetpoint(c, 1);
    t.NumberedSetpoint(c, 2);
    t.Add(kSeparatorLine);
    t.Confirmations(c);
    t.BothRelays(kRelayLines);
    t.Add(kReferenceLine);
    t.Correction(c);
    return t.lines;
}

std::vector<std::string> TwoChannelLines(const model::SettingsModel& m)
{
    Text t(m);
    Header(t, "ПМВ 7703 Н", "Двухканальный прибор с одной уставкой в каждом канале.");
    for (int ch = 0; ch < 2; ++ch) {
        t.Add(ch == 0 ? "Канал 1:" : "Канал 2:");
        t.Sensor(m.channel[ch]);
        t.SingleSetpoint(m.channel[ch]);
        t.Add(kSeparatorLine);
    }
    t.Add(kSeparatorLine);
    t.BothRelays(kRelayLines);
    const model::ChannelSettings& c = m.channel[0];
    t.Add(kReferenceLine);
    t.Add("Канал 1");
    t.Correction(c);
    t.Add("Коэффициенты корректирующего полинома:");
    t.Add("K0=" + Value(c.koef0) + " K1=" + Value(c.koef1) + " K2=" + Value(c.koef2) + " K3=" + Value(c.koef3));
    t.Add("Канал 2");
    t.Correction(m.channel[1]);
    return t.lines;
}

std::vector<std::string> ValveLines(const model::SettingsModel& m)
{
    const model::ChannelSettings& c = m.channel[0];
    Text t(m);
    Header(t, "ПМВ 7706 Н", "Одноканальный прибор с функцией пропорционального управления задвижками.");
    t.Sensor(c);
    t.Add("");
    t.Regulator(c);
    t.Add("Интервал времени выдачи управляющих воздействий : " + Value(c.reg_int) + " сек");
    t.Add("Максимальное время управляющего импульса : " + Value(c.pulse_int) + " сек");
    t.Add("");
    t.BothRelays(kRelayLines);
    t.Add(kReferenceLine);
    t.Correction(c);
    return t.lines;
}

std::vector<std::string> PidLines(const model::SettingsModel& m)
{
    const model::ChannelSettings& c = m.channel[0];
    Text t(m);
    Header(t, "ПМВ 7706Н  ", "Одноканальный прибор с функцией ПИД управления нагревателем.");
    t.Sensor(c);
    t.Add("");
    t.Regulator(c);
    t.Add("Период ШИМ : " + Value(c.reg_int) + " сек");
    t.Add("");
    // The alarm setpoint of the PID instrument lives in channel 2's record.
    t.SingleSetpoint(m.channel[1]);
    t.Add("");
    t.Add("Коэффициенты ПИД регулятора:");
    t.Add("Коэфф. пропрциональности=" + Value(c.koef0));
    t.Add("Время дифференцирования=" + Value(c.koef1));
    t.Add("Время интегрирования=" + Value(c.koef2));
    t.Add("");
    t.BothRelays(kPidRelayLines);
    t.Correction(c);
    return t.lines;
}

constexpr std::array<std::vector<std::string> (*)(const model::SettingsModel&), 4> kLinesByType{
    OneChannelLines, TwoChannelLines, ValveLines, PidLines};

std::string TitleLine(const model::SettingsModel& m, const DeviceTitle& title)
{
    std::string line = title.name + InstrumentNumberOf(m);
    if (title.withDate)
        line += " дата изг. " + DateText(m.made_day, m.made_month, m.made_year);
    return line;
}

}  // namespace

std::string PrintDateLine(const PrintDate& date) { return "Дата печати " + DateText(date.day, date.month, date.year); }

Page BuildPassportPage(const model::SettingsModel& model, const PrintDate& date)
{
    std::string title;
    std::vector<std::string> lines;
    const int32_t type = model.general.proc_ver;
    if (type >= 0 && type < static_cast<int32_t>(kTitles.size())) {
        title = TitleLine(model, kTitles[static_cast<size_t>(type)]);
        lines = kLinesByType[static_cast<size_t>(type)](model);
    }
    const std::string dateLine = PrintDateLine(date);

    Page page;
    page.title = "Паспорт " + history::InstrumentNumber(model.general.otk_type, model.SerialNumber());
    page.orientation = PageOrientation::Landscape;
    page.frames = {kLeftFrame, kRightFrame};
    page.rules = {{525, 4, 525, 4 + 728}};
    // The title of a long number or date is wider than its half of the sheet; it shrinks to
    // stay inside its frame.
    // Both copies get the room of the narrower half, so that a text too long for it shrinks to
    // the same type size in both.
    const int dateRoom = std::min(RoomRightOf(88, kLeftFrame), RoomRightOf(592, kRightFrame));
    const int titleRoom = std::min(RoomRightOf(52, kLeftFrame), RoomRightOf(552, kRightFrame));
    page.labels = {
        {"leftDate", 88, 16, kHeadFont, dateLine, dateRoom},
        {"rightDate", 592, 12, kHeadFont, dateLine, dateRoom},
        {"leftTitle", 52, 40, kHeadFont, title, titleRoom},
        {"rightTitle", 552, 36, kHeadFont, title, titleRoom},
    };
    page.boxes = {
        {"leftText", {52, 76, 442, 617}, kTextFont, lines},
        {"rightText", {553, 76, 442, 617}, kTextFont, lines},
    };
    return page;
}

std::vector<std::string> PassportText(const Page& page)
{
    std::vector<std::string> text;
    for (const char* name : {"leftDate", "leftTitle"})
        if (const PageLabel* label = page.Label(name))
            text.push_back(label->text);
    if (const PageTextBox* box = page.TextBox("leftText"))
        text.insert(text.end(), box->lines.begin(), box->lines.end());
    return text;
}

}  // namespace pmv::reports
