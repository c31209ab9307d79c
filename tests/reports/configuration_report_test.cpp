#include "reports/configuration_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pmv::reports {
namespace {

const std::string kSeparator(53, '_');
const PrintDate kPrinted{9, 10, 2025};

std::vector<std::string> Box(const Page& page, const char* name)
{
    const PageTextBox* box = page.TextBox(name);
    return box ? box->lines : std::vector<std::string>{"no box"};
}

TEST(ConfigurationReport, ChannelBoxLineByLine)
{
    model::SettingsModel m;
    model::ChannelSettings& c = m.channel[0];
    c.use = 0;
    c.dat = 19;
    c.diap_min = 0;
    c.diap_max = 16;
    c.flag = 1;
    c.ns = 5;
    c.point = 3;
    c.shift = 0.125f;
    c.adj = 1;
    c.koef1 = 2;
    c.th_type1 = 1;
    c.th1 = 4;
    c.his1 = 0.5f;
    c.th_type2 = 9;
    c.th2 = 12;
    c.reg_int = 45;
    c.pulse_int = 7;
    const std::vector<std::string> expected{
        "Канал включен в работу",
        "Тип датчика : Ток 4-20 мА",
        "Диапазон измерений унифицированных входов :   0.0000... 16.0000",
        "При работе с унифицированным сигналом",
        "будет извлекаться корень квадратный",
        "Число усреднений : 5",
        "Число точек после запятой : 3",
        "0 :   0.1250",
        "Диапазон :   1.0000",
        "Коэфф. K0 поправочного полинома :   0.0000",
        "Коэфф. K1 поправочного полинома :   2.0000",
        "Коэфф. K2 поправочного полинома :   0.0000",
        "Коэфф. K3 поправочного полинома :   0.0000",
        kSeparator,
        "Тип уставки 1 : Понижение",
        "Величина уставки 1 :   4.0000",
        "Величина гистерезиса уставки 1 :   0.5000",
        kSeparator,
        "Тип уставки 2 : 9",
        "Величина уставки 2 :  12.0000",
        "Величина гистерезиса уставки 2 :   0.0000",
        kSeparator,
        "Интервал времени принятия решения в регуляторе : 45 сек",
        "Максимальная длит. импульса в регуляторе : 7 сек",
    };
    EXPECT_EQ(Box(BuildConfigurationReport(m, kPrinted), "channel1"), expected);

    // Channel 2 has no regulator lines; a channel with use 1 is out of work.
    m.channel[1] = c;
    m.channel[1].use = 1;
    const std::vector<std::string> second = Box(BuildConfigurationReport(m, kPrinted), "channel2");
    EXPECT_EQ(second.front(), "Канал выключен из работы");
    EXPECT_EQ(std::vector<std::string>(second.begin() + 1, second.end()),
              std::vector<std::string>(expected.begin() + 1, expected.end() - 3));
}

TEST(ConfigurationReport, RelayBoxesFollowTheRelayLogicOfChannelOne)
{
    model::SettingsModel m;
    m.rele.rel0_msk0 = 0x05;
    m.rele.rel1_msk0 = 0x02;
    m.rele.rel0_msk1 = 0x01;
    m.rele.rel1_msk1 = 0x04;

    m.channel[0].ver_rel_proc = 0;
    Page page = BuildConfigurationReport(m, kPrinted);
    EXPECT_EQ(Box(page, "relay1"),
              (std::vector<std::string>{"Упрощенная логика работы реле ", "Реле 1 управляется уставкой 1 канала1 ",
                                        "Реле 2 управляется уставкой 2 канала1 "}));
    EXPECT_TRUE(Box(page, "relay2").empty());

    m.channel[0].ver_rel_proc = 1;
    m.channel[1].ver_rel_proc = 0;
    page = BuildConfigurationReport(m, kPrinted);
    EXPECT_EQ(
        Box(page, "relay1"),
        (std::vector<std::string>{"Расширенная логика работы реле в канале 1", "Реле 1 сработает от уставки 1 канала 1",
                                  "Реле 1 сработает от обрывом канала 1", "Реле 2 сработает от уставки 2 канала 1"}));
    EXPECT_TRUE(Box(page, "relay2").empty());

    m.channel[1].ver_rel_proc = 1;
    EXPECT_EQ(
        Box(BuildConfigurationReport(m, kPrinted), "relay2"),
        (std::vector<std::string>{"Расширенная логика работы реле в канале 2", "Реле 1 сработает от уставки 1 канала 2",
                                  "Реле 2 сработает от обрывом канала 2"}));

    // Channel 2's logic alone fills nothing.
    m.channel[0].ver_rel_proc = 0;
    EXPECT_TRUE(Box(BuildConfigurationReport(m, kPrinted), "relay2").empty());

    m.channel[0].ver_rel_proc = 2;
    page = BuildConfigurationReport(m, kPrinted);
    EXPECT_EQ(Box(page, "relay1"),
              (std::vector<std::string>{"Реле управляют цепями задвижки", "Реле 1 включает двигатель задвижки",
                                        "Реле управляют цепями задвижки",
                                        "Реле 2 управляется направлением двигателя задвижки"}));
    EXPECT_TRUE(Box(page, "relay2").empty());

    for (int32_t other : {3, -1, 255}) {
        m.channel[0].ver_rel_proc = other;
        page = BuildConfigurationReport(m, kPrinted);
        EXPECT_TRUE(Box(page, "relay1").empty()) << other;
        EXPECT_TRUE(Box(page, "relay2").empty()) << other;
    }
}

TEST(ConfigurationReport, GeneralBoxNamesOnlyKnownValues)
{
    model::SettingsModel m;
    const std::vector<std::pair<std::pair<int32_t, int32_t>, std::vector<std::string>>> cases{
        {{0, 0}, {"Упрощенная индикация ошибки", "Одноканальный прибор"}},
        {{1, 1}, {"Расширенная индикация ошибки", "Двухканальный прибор"}},
        {{1, 2}, {"Расширенная индикация ошибки"}},
        {{0, 3}, {"Упрощенная индикация ошибки"}},
        {{2, 4}, {}},
    };
    for (const auto& [values, lines] : cases) {
        m.general.err_ver = values.first;
        m.general.proc_ver = values.second;
        EXPECT_EQ(Box(BuildConfigurationReport(m, kPrinted), "general"), lines) << values.first << values.second;
    }
}

TEST(ConfigurationReport, TextIsNumberDateThenEachBoxUnderItsHeading)
{
    model::SettingsModel m;
    m.general.otk_type = 47;
    m.serial_hi = 4;
    m.serial_lo = 210;  // 1234
    m.channel[0].uref = 26.32f;
    m.channel[1].ki020 = 18.43f;
    m.general.err_ver = 1;
    m.general.proc_ver = 1;
    m.channel[0].ver_rel_proc = 1;
    m.channel[1].ver_rel_proc = 1;
    const Page page = BuildConfigurationReport(m, kPrinted);
    EXPECT_EQ(page.orientation, PageOrientation::Portrait);
    EXPECT_EQ(page.Label("number")->text, "Прибор номер  047-1234");
    EXPECT_EQ(page.Label("date")->text, "Дата 9.10.2025");
    EXPECT_EQ(Box(page, "calibration1").front(), "UREF :  26.3200");
    EXPECT_EQ(Box(page, "calibration2").back(), "Ki 0-20 mA:  18.4300");

    const std::vector<std::string> text = ConfigurationReportText(page);
    std::vector<std::string> expected{"Прибор номер  047-1234", "Дата 9.10.2025"};
    const std::vector<std::pair<const char*, const char*>> order{
        {"Канал 1", "channel1"},
        {"Канал 2", "channel2"},
        {"Управление реле в канале 1", "relay1"},
        {"Управление реле в канале 2", "relay2"},
        {"Градуировка канала 1", "calibration1"},
        {"Градуировка канала 2", "calibration2"},
    };
    for (const auto& [heading, box] : order) {
        expected.push_back(heading);
        const std::vector<std::string> lines = Box(page, box);
        expected.insert(expected.end(), lines.begin(), lines.end());
    }
    expected.push_back("Расширенная индикация ошибки");
    expected.push_back("Двухканальный прибор");
    EXPECT_EQ(text, expected);
}

TEST(ConfigurationReport, HeadingNamesTheModelOfTheDeviceType)
{
    const std::pair<int32_t, const char*> names[] = {{0, "ПМВ 7700/01 Н"}, {1, "ПМВ 7703 Н"}, {2, "ПМВ 7706 Н"},
                                                     {3, "ПМВ 7706 Н"},    {4, "ПМВ 77xx"},   {-1, "ПМВ 77xx"}};
    for (const auto& [type, name] : names) {
        model::SettingsModel m;
        m.general.proc_ver = type;
        EXPECT_EQ(BuildConfigurationReport(m, kPrinted).Label("device")->text, name) << type;
    }
}

}  // namespace
}  // namespace pmv::reports
