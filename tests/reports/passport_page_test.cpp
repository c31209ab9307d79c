#include "reports/passport_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace pmv::reports {
namespace {

const std::string kSeparator(53, '_');

std::vector<std::string> Lines(const Page& page)
{
    const PageTextBox* left = page.TextBox("leftText");
    return left ? left->lines : std::vector<std::string>{"no left text"};
}

std::string Title(const Page& page) { return page.Label("leftTitle")->text; }

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The lines between the heading of a relay block and the next empty line.
std::vector<std::string> RelayBlock(const std::vector<std::string>& lines, int relay)
{
    const std::string heading = "Логика работы реле " + std::to_string(relay) + ":";
    auto at = std::find(lines.begin(), lines.end(), heading);
    if (at == lines.end())
        return {"no block"};
    const auto end = std::find(at, lines.end(), "");
    return {at + 1, end};
}

model::SettingsModel Instrument(int32_t type)
{
    model::SettingsModel m;
    m.general.proc_ver = type;
    m.general.otk_type = 7;
    m.serial_hi = 2;
    m.serial_lo = 1;  // 513
    m.made_day = 5;
    m.made_month = 3;
    m.made_year = 2024;
    for (model::ChannelSettings& c : m.channel) {
        c.dat = 9;
        c.ns = 4;
        c.point = 2;
    }
    m.datBound[9].pogr = 0.5f;
    return m;
}

const PrintDate kPrinted{1, 2, 2025};

TEST(PassportPage, TitleAndPrintDateOfEveryDeviceType)
{
    const std::vector<std::string> titles{
        "Прибор ПМВ7700/01Н номер 007-513 дата изг. 5.3.2024",
        "Прибор ПМВ7703Н номер 007-513 дата изг. 5.3.2024",
        "Прибор ПМВ7706Н номер 007-513 дата изг. 5.3.2024",
        "Прибор ПМВ7706Н номер 007-513",
    };
    for (int32_t type = 0; type < 4; ++type) {
        const Page page = BuildPassportPage(Instrument(type), kPrinted);
        EXPECT_EQ(page.orientation, PageOrientation::Landscape);
        EXPECT_EQ(Title(page), titles[static_cast<size_t>(type)]);
        EXPECT_EQ(page.Label("rightTitle")->text, Title(page));
        EXPECT_EQ(page.Label("leftDate")->text, "Дата печати 1.2.2025");
        EXPECT_EQ(page.Label("rightDate")->text, "Дата печати 1.2.2025");
        EXPECT_EQ(Lines(page).front(), "Конфигурация прибора:");
    }
    model::SettingsModel big = Instrument(0);
    big.general.otk_type = 255;
    big.serial_hi = 255;
    big.serial_lo = 255;
    EXPECT_EQ(Title(BuildPassportPage(big, kPrinted)), "Прибор ПМВ7700/01Н номер 255-65535 дата изг. 5.3.2024");
}

TEST(PassportPage, UnknownDeviceTypeGivesNoTitleAndNoText)
{
    for (int32_t type : {-1, 4, 255}) {
        const Page page = BuildPassportPage(Instrument(type), kPrinted);
        EXPECT_EQ(Title(page), "");
        EXPECT_TRUE(Lines(page).empty());
        EXPECT_TRUE(page.TextBox("rightText")->lines.empty());
        EXPECT_EQ(PassportText(page), (std::vector<std::string>{"Дата печати 1.2.2025", ""}));
    }
}

TEST(PassportPage, OneChannelInstrumentLineByLine)
{
    model::SettingsModel m = Instrument(0);
    model::ChannelSettings& c = m.channel[0];
    c.diap_min = -50;
    c.diap_max = 1300;
    c.th_type1 = 2;
    c.th_type2 = 0;
    c.th1 = 100.5f;
    c.his1 = 0.25f;
    c.th2 = 200;
    c.his2 = 1;
    c.search = 3;
    c.shift = -0.5f;
    c.adj = 1.25f;
    m.rele.rel0_msk0 = 0x01;
    m.rele.rel1_msk0 = 0x06;
    m.rele.rel1_msk1 = 0x04;
    const std::vector<std::string> expected{
        "Конфигурация прибора:",
        "Тип прибора : ПМВ 7700/01 Н",
        "Одноканальный прибор с двумя уставками.",
        "Тип датчика : ТХА ТП ХА(K) хромель/алюмель",
        "Диапазон измерений : -50.0000...1300.0000",
        "Пределы допустимой основной погрешности :   0.5000 %",
        "Число усреднений : 4",
        "Число знаков после запятой : 2",
        kSeparator,
        "Тип уставки 1 : Повышение",
        "Величина уставки 1 : 100.5000",
        "Величина гистерезиса уставки 1 :   0.2500",
        kSeparator,
        "Тип уставки 2 : Нет",
        "Величина уставки 2 : 200.0000",
        "Величина гистерезиса уставки 2 :   1.0000",
        kSeparator,
        "Число подтверждений при работе реле  : 3",
        "Логика работы реле 1:",
        "Реле 1 сработает от уставки 1 канала 1",
        "",
        "Логика работы реле 2:",
        "Реле 2 сработает от уставки 2 канала 1",
        "Реле 2 сработает от обрыва в канале 1",
        "Реле 2 сработает от обрыва в канале 2",
        "",
        "Данные для справки. Дополнительная корректировка измеренного значения:",
        "0 :  -0.5000",
        "Диапазон :   1.2500",
    };
    const Page page = BuildPassportPage(m, kPrinted);
    EXPECT_EQ(Lines(page), expected);
    EXPECT_EQ(page.TextBox("rightText")->lines, expected);
}

TEST(PassportPage, RelayBlocksListTheSetBitsInTheirOrder)
{
    model::SettingsModel m = Instrument(0);
    m.rele.rel0_msk0 = 0x20;
    EXPECT_EQ(RelayBlock(Lines(BuildPassportPage(m, kPrinted)), 1),
              (std::vector<std::string>{"Реле 1 выбирает направление привода задвижки",
                                        "при срабатывании - задвижка открывается"}));

    // Valve bits come after the channel 2 events, the pulse bit before the direction bit.
    m.general.proc_ver = 2;
    m.rele.rel1_msk0 = 0x7F;
    m.rele.rel1_msk1 = 0x03;
    EXPECT_EQ(RelayBlock(Lines(BuildPassportPage(m, kPrinted)), 2),
              (std::vector<std::string>{
                  "Реле 2 сработает от уставки 1 канала 1", "Реле 2 сработает от уставки 2 канала 1",
                  "Реле 2 сработает от обрыва в канале 1", "Реле 2 сработает от уставки 1 канала 2",
                  "Реле 2 сработает от уставки 2 канала 2", "Реле 2 включает закрывание задвижки",
                  "Реле 2 включает открывание задвижки", "Реле 2 включает привод задвижки",
                  "Реле 2 выбирает направление привода задвижки", "при срабатывании - задвижка открывается"}));

    // No bits: the heading alone.
    m.rele = {};
    EXPECT_TRUE(RelayBlock(Lines(BuildPassportPage(m, kPrinted)), 1).empty());
}

TEST(PassportPage, SquareRootOnlyForUnifiedSignalsWithTheFlag)
{
    const std::string root = "Включено корнеизвлечение";
    for (int32_t dat = 0; dat < model::kSensorCount; ++dat) {
        model::SettingsModel m = Instrument(0);
        m.channel[0].dat = dat;
        m.channel[0].flag = 1;
        EXPECT_EQ(Has(Lines(BuildPassportPage(m, kPrinted)), root), dat >= 17 && dat <= 21) << dat;
        m.channel[0].flag = 0;
        EXPECT_FALSE(Has(Lines(BuildPassportPage(m, kPrinted)), root)) << dat;
    }

    // Two channels: each channel's own type and flag decide.
    model::SettingsModel two = Instrument(1);
    two.channel[0].dat = 22;
    two.channel[0].flag = 1;
    two.channel[1].dat = 18;
    two.channel[1].flag = 1;
    const std::vector<std::string> lines = Lines(BuildPassportPage(two, kPrinted));
    ASSERT_EQ(std::count(lines.begin(), lines.end(), root), 1);
    EXPECT_GT(std::find(lines.begin(), lines.end(), root) - lines.begin(),
              std::find(lines.begin(), lines.end(), "Канал 2:") - lines.begin());
}

TEST(PassportPage, ValuesOutsideTheListsPrintAsNumbers)
{
    model::SettingsModel m = Instrument(0);
    m.channel[0].th_type1 = 7;
    m.channel[0].th_type2 = -1;
    m.channel[0].dat = 30;
    const std::vector<std::string> lines = Lines(BuildPassportPage(m, kPrinted));
    EXPECT_TRUE(Has(lines, "Тип уставки 1 : 7"));
    EXPECT_TRUE(Has(lines, "Тип уставки 2 : -1"));
    EXPECT_TRUE(Has(lines, "Тип датчика : 30"));
    // No accuracy is known for a sensor outside the table: none is claimed.
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.starts_with("Пределы допустимой"); }));
}

TEST(PassportPage, TwoChannelInstrumentTakesEachChannelsOwnRecord)
{
    model::SettingsModel m = Instrument(1);
    m.channel[1].dat = 18;
    m.datBound[18].pogr = 0.25f;
    m.channel[1].th_type1 = 1;
    m.channel[1].th1 = 42;
    m.channel[1].search = 9;
    m.channel[1].shift = 3;
    m.channel[0].koef0 = 1;
    m.channel[0].koef3 = -2.5f;
    const std::vector<std::string> lines = Lines(BuildPassportPage(m, kPrinted));
    const auto channel2 = std::find(lines.begin(), lines.end(), "Канал 2:");
    ASSERT_NE(channel2, lines.end());
    const std::vector<std::string> second(channel2, channel2 + 13);
    EXPECT_EQ(second, (std::vector<std::string>{
                          "Канал 2:", "Тип датчика : Ток 0-20 мА", "Диапазон измерений :   0.0000...  0.0000",
                          "Пределы допустимой основной погрешности :   0.2500 %", "Число усреднений : 4",
                          "Число знаков после запятой : 2", "Тип уставки  : Понижение", "Величина уставки  :  42.0000",
                          "Величина гистерезиса уставки  :   0.0000", "Число подтверждений при работе реле  : 9",
                          kSeparator, kSeparator, "Логика работы реле 1:"}));
    EXPECT_TRUE(Has(lines, "K0=  1.0000 K1=  0.0000 K2=  0.0000 K3= -2.5000"));
    const std::vector<std::string> tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Канал 2", "0 :   3.0000", "Диапазон :   0.0000"}));
}

TEST(PassportPage, ValveInstrumentShowsItsRegulator)
{
    model::SettingsModel m = Instrument(2);
    m.channel[0].th1 = 70;
    m.channel[0].th2 = 2;
    m.channel[0].his1 = 5;
    m.channel[0].reg_int = 30;
    m.channel[0].pulse_int = 6;
    const std::vector<std::string> lines = Lines(BuildPassportPage(m, kPrinted));
    const auto empty = std::find(lines.begin(), lines.end(), "");
    ASSERT_NE(empty, lines.end());
    EXPECT_EQ(std::vector<std::string>(empty, empty + 7),
              (std::vector<std::string>{"", "Заданная для регулирования величина :  70.0000",
                                        "Коэффициент пропорциональности :   2.0000",
                                        "Зона пропорционального управления :   5.0000",
                                        "Интервал времени выдачи управляющих воздействий : 30 сек",
                                        "Максимальное время управляющего импульса : 6 сек", ""}));
    EXPECT_EQ(lines[1], "Тип прибора : ПМВ 7706 Н");
}

TEST(PassportPage, PidInstrumentTakesItsAlarmFromChannelTwo)
{
    model::SettingsModel m = Instrument(3);
    m.channel[0].th_type1 = 2;
    m.channel[0].th1 = 80;
    m.channel[0].search = 1;
    m.channel[1].th_type1 = 1;
    m.channel[1].th1 = 95;
    m.channel[1].his1 = 2;
    m.channel[1].search = 6;
    m.channel[0].koef0 = 1.5f;
    m.channel[0].koef1 = 20;
    m.channel[0].koef2 = 60;
    m.channel[0].reg_int = 4;
    m.rele.rel0_msk0 = 0x10;
    m.rele.rel0_msk1 = 0x05;
    m.rele.rel1_msk0 = 0x08;
    m.rele.rel1_msk1 = 0x02;  // not a PID event
    const std::vector<std::string> lines = Lines(BuildPassportPage(m, kPrinted));
    EXPECT_EQ(lines[1], "Тип прибора : ПМВ 7706Н  ");
    EXPECT_TRUE(Has(lines, "Период ШИМ : 4 сек"));
    const auto alarm = std::find(lines.begin(), lines.end(), "Тип уставки  : Понижение");
    ASSERT_NE(alarm, lines.end());
    EXPECT_EQ(std::vector<std::string>(alarm, alarm + 9),
              (std::vector<std::string>{"Тип уставки  : Понижение", "Величина уставки  :  95.0000",
                                        "Величина гистерезиса уставки  :   2.0000",
                                        "Число подтверждений при работе реле  : 6", "",
                                        "Коэффициенты ПИД регулятора:", "Коэфф. пропрциональности=  1.5000",
                                        "Время дифференцирования= 20.0000", "Время интегрирования= 60.0000"}));
    EXPECT_EQ(RelayBlock(lines, 1),
              (std::vector<std::string>{"Реле 1 сработает от уставки канала", "Реле 1 сработает от обрыва в канале",
                                        "Реле 1 включает нагрев"}));
    EXPECT_EQ(RelayBlock(lines, 2), (std::vector<std::string>{"Реле 2 выключает нагрев"}));
    EXPECT_EQ(lines.back(), "Диапазон :   0.0000");
    EXPECT_FALSE(Has(lines, "Данные для справки. Дополнительная корректировка измеренного значения:"));
}

TEST(PassportPage, RightCopyIsTheLeftOneAndTheTextIsDateTitleLines)
{
    for (int32_t type = 0; type < 4; ++type) {
        model::SettingsModel m = Instrument(type);
        m.rele.rel0_msk0 = 0x7F;
        m.rele.rel1_msk1 = 0x07;
        m.channel[0].flag = 1;
        m.channel[0].dat = 19;
        const Page page = BuildPassportPage(m, kPrinted);
        EXPECT_EQ(page.TextBox("rightText")->lines, Lines(page)) << type;
        const std::vector<std::string> lines = Lines(page);
        std::vector<std::string> text{"Дата печати 1.2.2025", Title(page)};
        text.insert(text.end(), lines.begin(), lines.end());
        EXPECT_EQ(PassportText(page), text);
    }
}

}  // namespace
}  // namespace pmv::reports
