#include "fakes.h"
#include "temp_dir.h"

#include "binding/binding.h"
#include "binding/description.h"
#include "binding/number_text.h"
#include "model/profile.h"

#include <gtest/gtest.h>

#include <locale.h>

namespace pmv::binding {
namespace {

using test::RecordingMessages;

// A model as a new profile file leaves it: every field and the sensor range table filled.
model::SettingsModel NewProfileModel()
{
    test::TempDir dir;
    model::SettingsModel model;
    model::LoadProfile(dir.file("new.prf"), model);
    return model;
}

TEST(NumberText, FormatAndScanAsPrintfAndScanfInTheCLocale)
{
    EXPECT_EQ(model::FormatNumber(5), "  5.0000");
    EXPECT_EQ(model::FormatNumber(-12.5f), "-12.5000");
    EXPECT_EQ(model::FormatNumber(0.02f), "  0.0200");
    EXPECT_EQ(model::FormatNumber(123456.5f), "123456.5000");

    EXPECT_EQ(ParseNumberText("  1.5x"), 1.5f);
    EXPECT_EQ(ParseNumberText("1-2.3.4"), 1.0f);
    EXPECT_EQ(ParseNumberText(" -0.25 "), -0.25f);
    EXPECT_EQ(ParseNumberText("+.5"), 0.5f);
    EXPECT_EQ(ParseNumberText("1,5"), 1.5f);
    EXPECT_EQ(ParseNumberText("x1"), 0.0f);
    EXPECT_EQ(ParseNumberText(""), 0.0f);
    EXPECT_EQ(ParseNumberText(model::FormatNumber(12.34f)), 12.34f);
}

TEST(NumberText, PointAsSeparatorUnderACommaLocale)
{
    const locale_t russian = newlocale(LC_ALL_MASK, "ru_RU.UTF-8", locale_t{});
    if (!russian)
        GTEST_SKIP() << "no ru_RU.UTF-8 locale on this machine";
    const locale_t previous = uselocale(russian);
    const std::string shown = model::FormatNumber(1.5f);
    const float scanned = ParseNumberText("2.75");
    uselocale(previous);
    freelocale(russian);
    EXPECT_EQ(shown, "  1.5000");
    EXPECT_EQ(scanned, 2.75f);
}

TEST(NumberText, CharacterChecksAndSerialScan)
{
    for (const char* ok : {"1", " -12.5 ", "\t7\t", "12,5", " -0,25 ", "+.5"})
        EXPECT_TRUE(IsNumberText(ok)) << ok;
    for (const char* bad : {"", "   ", "1e5", "1 2", "nan", "1-2.3.4", "+.", "-", ",", "1,2,5", "7,5.1"})
        EXPECT_FALSE(IsNumberText(bad)) << bad;
    EXPECT_TRUE(IsNumberText(std::string(38, '9')));
    EXPECT_FALSE(IsNumberText(std::string(50, '9'))) << "beyond the float range";

    for (const char* ok : {"0", " 65535 ", "000123"})
        EXPECT_TRUE(IsSerialNumberText(ok)) << ok;
    for (const char* bad : {"", " ", "65536", "70000", "99999999999999999999", "-1", "+1", "12a"})
        EXPECT_FALSE(IsSerialNumberText(bad)) << bad;

    EXPECT_EQ(ScanSerialNumber(""), 0u);
    EXPECT_EQ(ScanSerialNumber("abc"), 0u);
    EXPECT_EQ(ScanSerialNumber(" 12abc"), 12u);
    EXPECT_EQ(ScanSerialNumber("+65535"), 65535u);
    EXPECT_EQ(ScanSerialNumber("65536"), 65536u);
    EXPECT_EQ(ScanSerialNumber("4294967296"), 65536u);  // no wrap to 0
    EXPECT_EQ(ScanSerialNumber("-1"), 65536u);
    EXPECT_EQ(ScanSerialNumber("-0"), 0u);
}

TEST(NumberText, ACommaTypedInAFieldReachesTheModelAsTheDecimalPoint)
{
    model::SettingsModel model = NewProfileModel();
    model.general.use_max = 0;
    ControlValues v;
    ShowSettings(model, 1, v);
    v.channels[0].setpoint1 = "7,5";
    v.channels[1].polynomial[2] = " -0,125";
    RecordingMessages messages;
    GatherSettings(v, model, messages);
    EXPECT_EQ(model.channel[0].th1, 7.5f);
    EXPECT_EQ(model.channel[1].koef2, -0.125f);
    ShowSettings(model, 1, v);
    EXPECT_EQ(v.channels[0].setpoint1, "  7.5000") << "shown, like the profile, with the point";
}

TEST(NumberText, APageChangeLeavesATextThatDoesNotScanForTheEntryCheck)
{
    model::SettingsModel model = NewProfileModel();
    ControlValues typed;
    ShowSettings(model, 1, typed);
    const float th2 = model.channel[1].th2;
    typed.channels[1].setpoint2 = "abc";
    typed.channels[0].polynomial[0] = "+.";
    typed.general.serialNumber = "12a";
    typed.channels[0].setpoint1 = "5,5";
    RecordingMessages messages;
    GatherSettings(typed, model, messages);
    EXPECT_EQ(model.channel[1].th2, th2) << "not 0";
    ControlValues shown;
    ShowSettings(model, 1, shown);
    KeepUnscannedTexts(typed, shown);
    EXPECT_EQ(shown.channels[1].setpoint2, "abc");
    EXPECT_EQ(shown.channels[0].polynomial[0], "+.");
    EXPECT_EQ(shown.general.serialNumber, "12a") << "else \"12\" would be written as the serial number";
    EXPECT_EQ(shown.channels[0].setpoint1, "  5.5000");
}

TEST(Description, FourLinesOnlyAndEveryCharacterTheProfileCannotKeepIsNamed)
{
    DescriptionFit fit = FitDescription("Печь 3\nцех 2\nТ=20 °C\nвход 4-20\nпятая\nшестая");
    EXPECT_EQ(fit.text, "Печь 3\nцех 2\nТ=20 °C\nвход 4-20");
    EXPECT_TRUE(fit.refused.empty());

    fit = FitDescription("датчик ☃ α ☃ ok? €");
    EXPECT_EQ(fit.text, "датчик    ok? €") << "the euro sign is a Windows-1251 character";
    EXPECT_EQ(fit.refused, "☃α");
    EXPECT_EQ(RefusedCharactersText(fit.refused),
              "Символы «☃α» нельзя сохранить в файле настроек (кодировка Windows-1251): они убраны из описания.");
    EXPECT_EQ(RefusedCharactersText("😀"),
              "Символ «😀» нельзя сохранить в файле настроек (кодировка Windows-1251): он убран из описания.");
}

// Two models that differ in every field the window shows and takes, and in nothing else.
struct TwoModels : ::testing::Test {
    void SetUp() override
    {
        a = NewProfileModel();
        a.general.use_max = 0;  // unified inputs keep the typed range
        for (model::ChannelSettings& c : a.channel)
            c.ver_rel_proc = 1;
        b = a;
        struct Values {
            int32_t dat;
            float diap_max, diap_min, shift, adj, th1, his1, th2, his2, spd_th, spd_his, k0, k1, k2, k3;
            int32_t th_type1, th_type2, ns, point, search, flag, use;
        };
        const Values va[2] = {
            {17, 100, 0, 0, 1, 50, 0.02f, 60, 0.02f, 0.1f, 0.01f, 0, 0, 0, 0, 0, 2, 1, 1, 2, 0, 1},
            {19, 20, 4, -1.5f, 1.25f, 10, 0.5f, 12, 0.75f, 1, 0.001f, 1, 2, 3, 4, 2, 0, 3, 0, 3, 1, 1},
        };
        const Values vb[2] = {
            {18, 37.5f, -2.25f,  0.125f, 0.9f, -5, 1.5f, 35.25f, 2,  10, 0.1f,
             -1, 0.5f,  0.0625f, 7,      2,    1,  10,   3,      10, 1,  0},
            {23, 8, 1, 2, 1.5f, 7.5f, 0.25f, 6.5f, 0.125f, 0.01f, 1, 9, 8, 7, 6, 1, 2, 7, 2, 1, 0, 0},
        };
        for (size_t ch = 0; ch < 2; ++ch)
            for (auto [model, v] : {std::pair{&a, va[ch]}, std::pair{&b, vb[ch]}}) {
                model::ChannelSettings& c = model->channel[ch];
                c.dat = v.dat;
                c.diap_max = v.diap_max, c.diap_min = v.diap_min, c.shift = v.shift, c.adj = v.adj;
                c.th1 = v.th1, c.his1 = v.his1, c.th2 = v.th2, c.his2 = v.his2;
                c.spd_th = v.spd_th, c.spd_his = v.spd_his;
                c.koef0 = v.k0, c.koef1 = v.k1, c.koef2 = v.k2, c.koef3 = v.k3;
                c.th_type1 = v.th_type1, c.th_type2 = v.th_type2, c.ns = v.ns, c.point = v.point;
                c.search = v.search, c.flag = v.flag, c.use = v.use;
            }
        a.channel[0].reg_int = 30, b.channel[0].reg_int = 240;
        a.channel[0].pulse_int = 5, b.channel[0].pulse_int = 60;
        a.general.proc_ver = 0, b.general.proc_ver = 3;
        a.general.err_ver = 1, b.general.err_ver = 0;
        a.general.otk_type = 47, b.general.otk_type = 255;
        a.general.gen_select = 1, b.general.gen_select = 0;
        a.serial_hi = 1, a.serial_lo = 2, b.serial_hi = 255, b.serial_lo = 255;
        a.rele = {1, 0, 1, 1, 0, 6, 0};
        b.rele = {1, 0, 1, 0x7F, 7, 0x2A, 5};
    }

    model::SettingsModel a, b;
    RecordingMessages messages;
};

TEST_F(TwoModels, GatheringTheShownValuesOfOneModelIntoTheOtherGivesTheFirst)
{
    ControlValues shownA, shownB;
    model::SettingsModel original = b;
    ShowSettings(a, 1, shownA);
    ShowSettings(b, 1, shownB);
    EXPECT_EQ(b, original) << "typed ranges of unified inputs stay";
    EXPECT_NE(shownA, shownB);

    GatherSettings(shownB, a, messages);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(messages.boxes.empty());

    ControlValues again;
    ShowSettings(a, 1, again);
    EXPECT_EQ(again, shownB);
}

TEST_F(TwoModels, ShownTextsPositionsAndHeadings)
{
    ControlValues v;
    ShowSettings(b, 3, v);
    EXPECT_EQ(v.top.portNumber, "3");
    EXPECT_EQ(v.top.port, 2);
    EXPECT_EQ(v.general.serialNumber, "65535");
    EXPECT_EQ(v.channels[0].hysteresis1, "  1.5000");
    EXPECT_EQ(v.channels[0].setpoint2, " 35.2500");
    EXPECT_EQ(v.channels[0].setpointStep, " 10.0000");
    EXPECT_EQ(v.channels[0].averaging, 9);     // ns 10
    EXPECT_EQ(v.channels[1].observations, 0);  // search 1
    EXPECT_EQ(v.relays.decisionInterval, 230);
    EXPECT_EQ(v.relays.pulseLength, 55);
    EXPECT_EQ(v.general.typeCode, 255);
    EXPECT_FALSE(v.top.groupPanels.general);
    EXPECT_TRUE(v.top.groupPanels.relays);

    EXPECT_EQ(v.channels[0].setpoint1Type, 2);
    EXPECT_EQ(v.channels[0].setpointTypeHeading[0], "Повышен");
    EXPECT_EQ(v.channels[1].setpointTypeHeading[0], "Понижен");
    EXPECT_EQ(v.channels[0].setpointValueHeading[0], " -5.0000");
    EXPECT_EQ(v.channels[1].setpointValueHeading[1], "  6.5000");
    a.channel[1].th_type1 = 0;
    ShowSettings(a, 1, v);
    EXPECT_EQ(v.channels[1].setpointTypeHeading[0], "Нет");
}

TEST_F(TwoModels, TakingStepsSerialNumberAndRelayLogic)
{
    ControlValues v;
    a.channel[0].ver_rel_proc = 0;
    a.channel[1].ver_rel_proc = 2;
    ShowSettings(a, 1, v);
    EXPECT_EQ(v.channels[0].relayLogic, 0);
    EXPECT_EQ(v.channels[1].relayLogic, -1) << "channel 2's list has two items";
    v.channels[0].setpointStep = "-0.5";
    v.channels[1].hysteresisStep = " -3x";
    v.channels[0].shift = "1.5x";
    v.channels[0].rangeAdjust = "abc";
    GatherSettings(v, a, messages);
    EXPECT_EQ(a.channel[0].spd_th, 0.5f);
    EXPECT_EQ(a.channel[1].spd_his, 3.0f);
    EXPECT_EQ(a.channel[0].shift, 1.5f);
    EXPECT_EQ(a.channel[0].adj, 1.0f) << "a text with no number keeps the model's value, not 0";
    EXPECT_EQ(a.channel[0].ver_rel_proc, 1);
    EXPECT_EQ(a.channel[1].ver_rel_proc, 1);

    struct Serial {
        const char* text;
        int32_t hi, lo;
        bool error;
    };
    for (const Serial& s : {Serial{"", 0, 0, false}, Serial{"258", 1, 2, false}, Serial{"65535", 255, 255, false},
                            Serial{"12abc", 0, 12, false}, Serial{"70000", 0, 0, true}, Serial{"-1", 0, 0, true}}) {
        messages.boxes.clear();
        a.serial_hi = a.serial_lo = 7;
        v.general.serialNumber = s.text;
        GatherSettings(v, a, messages);
        EXPECT_EQ(a.serial_hi, s.hi) << s.text;
        EXPECT_EQ(a.serial_lo, s.lo) << s.text;
        ASSERT_EQ(messages.boxes.size(), s.error ? 1u : 0u) << s.text;
        if (s.error) {
            EXPECT_EQ(messages.boxes[0].text, "Неправильно задано число (ERR 23)");
        }
    }
}

TEST(RangeRule, UnifiedInputsWithUseMaxAndSensorsWithTheirOwnRange)
{
    model::SettingsModel m = NewProfileModel();
    ControlValues v;
    m.channel[0].dat = 18;
    m.channel[0].diap_max = 37;
    m.channel[0].diap_min = 3;
    m.channel[1].dat = 9;
    m.channel[1].diap_max = 1;
    m.channel[1].diap_min = 2;
    m.general.use_max = 0;
    ShowSettings(m, 1, v);
    EXPECT_EQ(v.channels[0].rangeMax, " 37.0000");
    EXPECT_EQ(v.channels[0].rangeMin, "  3.0000");
    EXPECT_EQ(m.channel[1].diap_max, 1300.0f);
    EXPECT_EQ(m.channel[1].diap_min, -50.0f);
    EXPECT_EQ(v.channels[1].rangeMax, "1300.0000");

    m.general.use_max = 1;
    const float tops[model::kSensorCount] = {0, 0, 0, 0, 0, 0,  0,  0,   0,  0, 0,  0, 0,
                                             0, 0, 0, 0, 5, 20, 20, 100, 75, 0, 10, 0};
    for (int32_t dat = 17; dat <= 23; ++dat) {
        m.channel[0].dat = dat;
        m.channel[0].diap_max = 37;
        m.channel[0].diap_min = 3;
        ShowSettings(m, 1, v);
        const model::SensorBounds own = m.datBound[static_cast<size_t>(dat)];
        const bool unified = dat != 22;
        EXPECT_EQ(m.channel[0].diap_max, unified ? tops[dat] : own.max) << dat;
        EXPECT_EQ(m.channel[0].diap_min, unified ? 0.0f : own.min) << dat;
        EXPECT_EQ(v.channels[0].rangeMax, model::FormatNumber(m.channel[0].diap_max));
    }
}

TEST(ListValues, OutsideTheListShowNothingAndAreKept)
{
    model::SettingsModel m = NewProfileModel();
    RecordingMessages messages;
    ControlValues v;
    m.channel[0].dat = 30;
    m.channel[0].diap_max = 77;
    m.channel[0].th_type1 = 5;
    m.channel[0].th_type2 = 3;  // SetpointTypeIndex keeps 3, which names no item
    m.channel[1].ns = 0;
    m.channel[1].point = 7;
    m.general.proc_ver = 9;
    m.channel[0].reg_int = 300;
    ShowSettings(m, 0, v);
    EXPECT_EQ(m.channel[0].diap_max, 77.0f) << "an unknown sensor takes no range";
    EXPECT_EQ(v.channels[0].sensorType, -1);
    EXPECT_EQ(v.channels[0].setpoint1Type, -1);
    EXPECT_EQ(v.channels[0].setpoint2Type, -1);
    EXPECT_EQ(v.channels[0].setpointTypeHeading[0], "");
    EXPECT_EQ(v.channels[0].setpointTypeHeading[1], "");
    EXPECT_EQ(v.channels[1].averaging, -1);
    EXPECT_EQ(v.channels[1].decimals, -1);
    EXPECT_EQ(v.general.deviceType, -1);
    EXPECT_EQ(v.relays.decisionInterval, -1);
    EXPECT_EQ(v.top.port, -1);
    EXPECT_EQ(v.top.portNumber, "0");

    GatherSettings(v, m, messages);
    EXPECT_EQ(m.channel[0].dat, 30);
    EXPECT_EQ(m.channel[0].th_type1, 5);
    EXPECT_EQ(m.channel[0].th_type2, 3);
    EXPECT_EQ(m.channel[1].ns, 0);
    EXPECT_EQ(m.channel[1].point, 7);
    EXPECT_EQ(m.general.proc_ver, 9);
    EXPECT_EQ(m.channel[0].reg_int, 300);

    // A listed value with nothing selected takes the list's formula.
    ControlValues none;
    ShowSettings(m, 1, none);
    none.channels[1].sensorType = none.channels[1].setpoint1Type = none.channels[0].averaging =
        none.channels[0].observations = none.channels[0].decimals = -1;
    none.relays.decisionInterval = none.relays.pulseLength = none.general.errorDisplay = none.general.typeCode = -1;
    m.channel[0].reg_int = 30;
    GatherSettings(none, m, messages);
    EXPECT_EQ(m.channel[1].dat, -1);
    EXPECT_EQ(m.channel[1].th_type1, 0);
    EXPECT_EQ(m.channel[0].ns, 0);
    EXPECT_EQ(m.channel[0].search, 0);
    EXPECT_EQ(m.channel[0].point, -1);
    EXPECT_EQ(m.channel[0].reg_int, 9);
    EXPECT_EQ(m.channel[0].pulse_int, 4);
    EXPECT_EQ(m.general.err_ver, -1);
    EXPECT_EQ(m.general.otk_type, -1);
}

TEST(Identity, DateAndFirmwareTexts)
{
    EXPECT_EQ(ProductionDateText(5, 3, 2008), "5 Марта 2008");
    EXPECT_EQ(ProductionDateText(1, 1, 2010), "1 Января 2010");
    EXPECT_EQ(ProductionDateText(7, 13, 2010), "7 2010");

    model::SettingsModel m = NewProfileModel();
    ControlValues v;
    m.made_day = 31, m.made_month = 12, m.made_year = 2020;
    m.fw_version = 0x95;
    ShowSettings(m, 1, v);
    EXPECT_EQ(v.general.productionDate, "31 Декабря 2020");
    EXPECT_EQ(v.general.productionMonth, 11);
    EXPECT_EQ(v.general.productionYear, 10);
    EXPECT_EQ(v.general.calendar.day, 31);
    EXPECT_EQ(v.general.calendar.month, 12);
    EXPECT_EQ(v.general.calendar.year, 2020);
    EXPECT_EQ(v.general.firmwareVersion, "2.1.5");

    m.made_month = 0, m.made_year = 1999;
    ShowSettings(m, 1, v);
    EXPECT_EQ(v.general.productionMonth, 0);
    EXPECT_EQ(v.general.productionYear, 0);
}

TEST(RelayGrid, CellsAndMaskBits)
{
    ControlValues v;
    model::RelaySettings r{1, 0, 1, 0x55, 0x55, 0x55, 0x55};
    v.relays.grid[0][2] = " +";  // column 3, row 1
    v.relays.grid[1][7] = " *";  // column 8, row 2
    ReadRelayGrid(v, r);
    EXPECT_EQ(r.rel0_msk0, 4);
    EXPECT_EQ(r.rel1_msk0, 16);
    EXPECT_EQ(r.rel0_msk1, 0);
    EXPECT_EQ(r.rel1_msk1, 0);
    ShowRelayGrid(r, v);
    for (size_t row = 0; row < 2; ++row)
        for (size_t col = 0; col < 10; ++col) {
            const bool marked = (row == 0 && col == 2) || (row == 1 && col == 7);
            EXPECT_EQ(v.relays.grid[row][col], marked ? " *" : "") << row << "," << col;
        }

    // Channel 2's columns set the _msk1 words; the regulator's bits 3..6 of the _msk0 words.
    r = {1, 0, 1, 0x78, 0x04, 0, 0x03};
    ShowRelayGrid(r, v);
    const std::array<std::string, 10> relay1 = {"", "", "", "", "", " *", " *", " *", " *", " *"};
    const std::array<std::string, 10> relay2 = {"", "", "", " *", " *", "", "", "", "", ""};
    EXPECT_EQ(v.relays.grid[0], relay1);
    EXPECT_EQ(v.relays.grid[1], relay2);

    EXPECT_EQ(ToggledRelayCell(""), " +");
    EXPECT_EQ(ToggledRelayCell(" +"), "");
    EXPECT_EQ(ToggledRelayCell(" *"), "");
}

}  // namespace
}  // namespace pmv::binding
