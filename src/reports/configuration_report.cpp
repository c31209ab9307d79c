#include "reports/configuration_report.h"

#include "reports/report_values.h"

#include <array>

namespace pmv::reports {
namespace {

constexpr PageFont kHeadingFont{FontFace::TimesNewRoman, 21, true};
constexpr PageFont kMakerFont{FontFace::TimesNewRoman, 19, true};
constexpr PageFont kLabelFont{FontFace::Arial, 10, false};
constexpr PageFont kBoxFont{FontFace::Arial, 9, false};

struct Box {
    const char* name;
    const char* heading;  // nullptr: the box has none
    int headingX, headingY;
    PageRect rect;
};

// Headings keep to their column: the left one ends at the vertical rule, the right one at the
// right edge of the boxes.
constexpr int kRuleX = 415;
constexpr int kRightEdge = 852;

constexpr int HeadingRoom(int x) { return (x < kRuleX ? kRuleX : kRightEdge) - 6 - x; }

// In the order of the report's text.
constexpr std::array<Box, 7> kBoxes{{
    {"channel1", "Канал 1", 64, 248, {40, 276, 365, 353}},
    {"channel2", "Канал 2", 460, 252, {428, 279, 419, 350}},
    {"relay1", "Управление реле в канале 1", 52, 643, {40, 676, 365, 123}},
    {"relay2", "Управление реле в канале 2", 456, 647, {430, 676, 417, 119}},
    {"calibration1", "Градуировка канала 1", 56, 820, {44, 852, 361, 174}},
    {"calibration2", "Градуировка канала 2", 460, 820, {432, 852, 418, 174}},
    {"general", nullptr, 0, 0, {48, 1040, 369, 45}},
}};

std::vector<std::string> ChannelLines(const model::ChannelSettings& c, bool regulator)
{
    std::vector<std::string> l;
    l.push_back(c.use != 0 ? "Канал выключен из работы" : "Канал включен в работу");
    l.push_back("Тип датчика : " + model::SensorName(c.dat));
    l.push_back("Диапазон измерений унифицированных входов : " + Value(c.diap_min) + "..." + Value(c.diap_max));
    if (c.flag != 0) {
        l.push_back("При работе с унифицированным сигналом");
        l.push_back("будет извлекаться корень квадратный");
    }
    l.push_back("Число усреднений : " + Value(c.ns));
    l.push_back("Число точек после запятой : " + Value(c.point));
    l.push_back("0 : " + Value(c.shift));
    l.push_back("Диапазон : " + Value(c.adj));
    const std::array<float, 4> koef{c.koef0, c.koef1, c.koef2, c.koef3};
    for (size_t k = 0; k < koef.size(); ++k)
        l.push_back("Коэфф. K" + std::to_string(k) + " поправочного полинома : " + Value(koef[k]));
    for (int s = 1; s <= 2; ++s) {
        const std::string n = std::to_string(s);
        l.push_back(kSeparatorLine);
        l.push_back("Тип уставки " + n + " : " + model::SetpointTypeName(s == 1 ? c.th_type1 : c.th_type2));
        l.push_back("Величина уставки " + n + " : " + Value(s == 1 ? c.th1 : c.th2));
        l.push_back("Величина гистерезиса уставки " + n + " : " + Value(s == 1 ? c.his1 : c.his2));
    }
    if (regulator) {
        l.push_back(kSeparatorLine);
        l.push_back("Интервал времени принятия решения в регуляторе : " + Value(c.reg_int) + " сек");
        l.push_back("Максимальная длит. импульса в регуляторе : " + Value(c.pulse_int) + " сек");
    }
    return l;
}

// Extended relay logic of one channel: which events of the channel switch relay 1 and relay 2.
std::vector<std::string> ExtendedRelayLines(int channel, int32_t relay1Word, int32_t relay2Word)
{
    static constexpr std::array<const char*, 3> kEvents{
        " сработает от уставки 1 канала ", " сработает от уставки 2 канала ", " сработает от обрывом канала "};
    const std::string n = std::to_string(channel);
    std::vector<std::string> l{"Расширенная логика работы реле в канале " + n};
    for (int relay = 1; relay <= 2; ++relay) {
        const int32_t word = relay == 1 ? relay1Word : relay2Word;
        for (size_t bit = 0; bit < kEvents.size(); ++bit)
            if (word >> bit & 1)
                l.push_back("Реле " + std::to_string(relay) + kEvents[bit] + n);
    }
    return l;
}

std::array<std::vector<std::string>, 2> RelayLines(const model::SettingsModel& m)
{
    const model::RelaySettings& r = m.rele;
    switch (m.channel[0].ver_rel_proc) {
    case 0:
        return {{{"Упрощенная логика работы реле ", "Реле 1 управляется уставкой 1 канала1 ",
                  "Реле 2 управляется уставкой 2 канала1 "},
                 {}}};
    case 1:
        return {ExtendedRelayLines(1, r.rel0_msk0, r.rel1_msk0), m.channel[1].ver_rel_proc == 1
                                                                     ? ExtendedRelayLines(2, r.rel0_msk1, r.rel1_msk1)
                                                                     : std::vector<std::string>{}};
    case 2:
        return {{{"Реле управляют цепями задвижки", "Реле 1 включает двигатель задвижки",
                  "Реле управляют цепями задвижки", "Реле 2 управляется направлением двигателя задвижки"},
                 {}}};
    default: return {};
    }
}

std::vector<std::string> CalibrationLines(const model::ChannelSettings& c)
{
    return {"UREF : " + Value(c.uref),   "RREF : " + Value(c.rref),     "Ku 100 mV: " + Value(c.ku),
            "Ku 10 V: " + Value(c.ku10), "Ki 0-5 mA: " + Value(c.ki05), "Ki 0-20 mA: " + Value(c.ki020)};
}

// The model the settings describe, by their device type; the family's name when the type is none
// of the four.
std::string DeviceName(int32_t deviceType)
{
    static constexpr std::array<const char*, 4> kNames{"ПМВ 7700/01 Н", "ПМВ 7703 Н", "ПМВ 7706 Н", "ПМВ 7706 Н"};
    return deviceType >= 0 && deviceType < static_cast<int32_t>(kNames.size()) ? kNames[static_cast<size_t>(deviceType)]
                                                                               : "ПМВ 77xx";
}

std::vector<std::string> GeneralLines(const model::GeneralSettings& g)
{
    std::vector<std::string> l;
    if (g.err_ver == 0)
        l.push_back("Упрощенная индикация ошибки");
    else if (g.err_ver == 1)
        l.push_back("Расширенная индикация ошибки");
    if (g.proc_ver == 0)
        l.push_back("Одноканальный прибор");
    else if (g.proc_ver == 1)
        l.push_back("Двухканальный прибор");
    return l;
}

}  // namespace

Page BuildConfigurationReport(const model::SettingsModel& model, const PrintDate& date)
{
    const std::array<std::vector<std::string>, 2> relays = RelayLines(model);
    const std::array<std::vector<std::string>, 7> lines{ChannelLines(model.channel[0], true),
                                                        ChannelLines(model.channel[1], false),
                                                        relays[0],
                                                        relays[1],
                                                        CalibrationLines(model.channel[0]),
                                                        CalibrationLines(model.channel[1]),
                                                        GeneralLines(model.general)};

    Page page;
    page.title = "Отчет по настройкам прибора";
    page.orientation = PageOrientation::Portrait;
    page.emblems = {{44, 96, 113, 85}};
    page.rules = {{kRuleX, 248, kRuleX, 248 + 664},
                  {36, 636, kRightEdge, 636},
                  {36, 816, kRightEdge, 816},
                  {36, 1032, kRightEdge, 1032}};
    page.labels = {
        {"maker", 184, 136, kMakerFont, "НПП Велтон"},
        {"device", 372, 176, kHeadingFont, DeviceName(model.general.proc_ver), kRightEdge - 372},
        {"heading", 336, 204, kHeadingFont, "Конфигурация прибора"},
        {"number", 56, 188, kLabelFont, "Прибор номер  " + InstrumentNumberOf(model)},
        {"date", 68, 212, kLabelFont, "Дата " + DateText(date.day, date.month, date.year)},
    };
    for (size_t i = 0; i < kBoxes.size(); ++i) {
        const Box& box = kBoxes[i];
        if (box.heading)
            page.labels.push_back({std::string(box.name) + "Heading", box.headingX, box.headingY, kHeadingFont,
                                   box.heading, HeadingRoom(box.headingX)});
        page.boxes.push_back({box.name, box.rect, kBoxFont, lines[i]});
    }
    return page;
}

std::vector<std::string> ConfigurationReportText(const Page& page)
{
    std::vector<std::string> text;
    for (const char* name : {"number", "date"})
        if (const PageLabel* label = page.Label(name))
            text.push_back(label->text);
    for (const Box& box : kBoxes) {
        if (const PageLabel* heading = page.Label(std::string(box.name) + "Heading"))
            text.push_back(heading->text);
        if (const PageTextBox* lines = page.TextBox(box.name))
            text.insert(text.end(), lines->lines.begin(), lines->lines.end());
    }
    return text;
}

}  // namespace pmv::reports
