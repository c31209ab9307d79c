#include "fakes.h"

#include "binding/binding.h"
#include "binding/entry_checks.h"
#include "binding/write_checks.h"
#include "messages/error_codes.h"

#include <gtest/gtest.h>

#include <vector>

namespace pmv::binding {
namespace {

using test::RecordingMessages;

constexpr const char* kCh1 = "Ошибка задания параметров канала 1.";
constexpr const char* kCh2 = "Ошибка задания параметров канала 2.";

// Every field holds a valid number.
ControlValues ValidEntries()
{
    model::SettingsModel m;
    m.channel[0].dat = m.channel[1].dat = 17;
    ControlValues v;
    ShowSettings(m, 1, v);
    return v;
}

std::vector<std::string> Texts(const RecordingMessages& messages)
{
    std::vector<std::string> texts;
    for (const auto& box : messages.boxes)
        texts.push_back(box.text);
    return texts;
}

TEST(CheckEntries, FirstFailingFieldInTheFixedOrder)
{
    RecordingMessages messages;
    ControlValues v = ValidEntries();
    v.channels[0].setpoint1 = " -12.5 ";
    EXPECT_EQ(CheckEntries(v, messages), kOk);
    EXPECT_TRUE(messages.boxes.empty());

    struct Case {
        void (*type)(ControlValues&);
        const char* text;
        const char* caption;
    };
    const Case cases[] = {
        {[](ControlValues& v) { v.channels[0].setpoint1 = "12,5,0"; }, "Ошибка задания уставки 1.", kCh1},
        {[](ControlValues& v) {
             v.general.serialNumber = "70000";
             v.channels[0].rangeMax = "x";
         },
         "Ошибка задания заводского номера прибора.", "Ошибка задания общеприборных параметров."},
        {[](ControlValues& v) {
             v.channels[0].rangeMin = "";
             v.general.serialNumber = "";
         },
         "Ошибка задания минимума диапазона.", kCh1},
        {[](ControlValues& v) {
             v.channels[0].setpoint2 = "a";
             v.channels[0].hysteresis1 = "a";
         },
         "Ошибка задания уставки 2.", kCh1},
        {[](ControlValues& v) { v.channels[0].hysteresisStep = "1e3"; },
         "Ошибка задания скорости изменения гистерезиса.", kCh1},
        {[](ControlValues& v) {
             v.channels[0].polynomial[3] = "?";
             v.channels[1].rangeMin = "?";
         },
         "Ошибка задания коэффициента 4 полинома.", kCh1},
        {[](ControlValues& v) {
             v.channels[1].rangeMax = " ";
             v.channels[1].shift = "?";
         },
         "Ошибка задания максимума диапазона.", kCh2},
        {[](ControlValues& v) { v.channels[1].hysteresis1 = "-"; }, "Ошибка задания гистерезиса уставки 1.",
         kCh2},                                                                      // no number in it
        {[](ControlValues& v) { v.channels[1].hysteresisStep = "0,1"; }, "", kCh2},  // a decimal comma
        {[](ControlValues& v) { v.channels[1].hysteresisStep = "0.1.2"; },
         "Ошибка задания скорости изменения гистерезиса уставки.", kCh2},
        {[](ControlValues& v) { v.channels[1].polynomial[0] = "k"; }, "Ошибка задания коэффициента 1 полинома.", kCh2},
    };
    for (const Case& c : cases) {
        messages.boxes.clear();
        v = ValidEntries();
        c.type(v);
        const bool fails = *c.text != '\0';
        EXPECT_EQ(CheckEntries(v, messages), fails ? kStoppedToCorrect : kOk) << c.text;
        ASSERT_EQ(messages.boxes.size(), fails ? 1u : 0u) << c.text;
        if (fails) {
            EXPECT_EQ(messages.boxes[0].text, c.text);
            EXPECT_EQ(messages.boxes[0].caption, c.caption);
            EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
            EXPECT_FALSE(messages.boxes[0].question);
        }
    }
}

TEST(CheckEntries, TheFailingFieldIsNamedWithWhatWasTypedAndHandedToTheWindowFirst)
{
    RecordingMessages messages;
    ControlValues v = ValidEntries();
    v.channels[1].setpointStep = "0,1,";
    const std::string* located = nullptr;
    size_t boxesWhenLocated = 1;
    EXPECT_EQ(CheckEntries(v, messages,
                           [&](const std::string& field) {
                               located = &field;
                               boxesWhenLocated = messages.boxes.size();
                           }),
              kStoppedToCorrect);
    EXPECT_EQ(located, &v.channels[1].setpointStep);
    EXPECT_EQ(boxesWhenLocated, 0u);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].detail, "Поле «Канал 2 · Шаг изменения уставки»: введено «0,1,».");

    messages.boxes.clear();
    v = ValidEntries();
    v.general.serialNumber = "";
    EXPECT_EQ(CheckEntries(v, messages, [&](const std::string& field) { located = &field; }), kStoppedToCorrect);
    EXPECT_EQ(located, &v.general.serialNumber);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].detail, "Поле «Заводской номер»: пусто.");
}

struct RelayCase {
    int32_t procVer;
    model::RelaySettings masks;
    std::vector<std::string> questions;
};

model::RelaySettings Masks(int32_t r0m0, int32_t r0m1, int32_t r1m0, int32_t r1m1)
{
    return {1, 0, 1, r0m0, r0m1, r1m0, r1m1};
}

TEST(CheckRelaySettings, QuestionsByDeviceTypeWithYesAndNo)
{
    const std::string one = "В одноканальном приборе реле ";
    const std::string two = "В двухканальном приборе реле ";
    const std::string valve = "В приборе управляющем задвижками реле ";
    const std::string pid = "В приборе управляющем нагревателоем реле ";
    const std::string asIs = " Записать так как есть?";
    const RelayCase cases[] = {
        {0, Masks(7, 0, 7, 0), {}},
        {0, Masks(0, 1, 0, 0), {one + "1 назначено на второй канал." + asIs}},
        {0,
         Masks(0x08, 0, 0x40, 4),
         {one + "2 назначено на второй канал." + asIs, one + "1 назначено на управление задвижкой." + asIs,
          one + "2 назначено на управление задвижкой." + asIs}},
        {1, Masks(1, 5, 5, 1), {}},
        {1,
         Masks(0, 0, 2 | 64, 0),
         {two + "2 назначено на вторую уставку первого канала." + asIs,
          "В двухканальном  приборе реле 2 назначено на управление задвижкой." + asIs}},
        {1,
         Masks(2 | 0x10, 2, 0, 2),
         {two + "1 назначено на вторую уставку первого канала." + asIs,
          two + "1 назначено на вторую уставку второго канала." + asIs,
          two + "2 назначено на вторую уставку второго канала." + asIs,
          "В двухканальном  приборе реле 1 назначено на управление задвижкой." + asIs}},
        {2, Masks(16, 0, 32, 0), {}},
        {2, Masks(8, 0, 0, 0), {"Для реле 2 неправильно выбран источник срабатывания." + asIs}},
        {2,
         Masks(8 | 1, 0, 64, 4),
         {valve + "1 назначено еще и на уставки или обрыв." + asIs,
          valve + "2 назначено еще и на уставки или обрыв." + asIs,
          "Для реле 1 неправильно выбран источник срабатывания." + asIs}},
        {2,
         Masks(8 | 16, 1, 8, 0),
         {valve + "1 назначено еще и на уставки или обрыв." + asIs,
          "Для реле 1 неправильно выбран источник срабатывания." + asIs}},
        {3, Masks(0x78, 2 | 4, 0x78, 2 | 4 | 32), {}},
        {3, Masks(4, 0, 0, 0), {pid + "1 назначено на неиспользуемые флаги." + asIs}},
        {3,
         Masks(0, 1, 1, 1),
         {pid + "1 назначено на неиспользуемые флаги." + asIs, pid + "2 назначено на неиспользуемые флаги." + asIs,
          pid + "2 назначено на неиспользуемые флаги." + asIs}},
        {4, Masks(-1, -1, -1, -1), {}},
        {-1, Masks(-1, -1, -1, -1), {}},
    };
    for (const RelayCase& c : cases) {
        model::SettingsModel m;
        m.general.proc_ver = c.procVer;
        m.rele = c.masks;
        for (bool yes : {true, false}) {
            RecordingMessages messages;
            messages.answers.assign(c.questions.size(), yes);
            const ErrorCode code = CheckRelaySettings(m, messages);
            const bool stopped = !yes && !c.questions.empty();
            EXPECT_EQ(code, stopped ? kStoppedToCorrect : kOk) << c.procVer;
            std::vector<std::string> expected = c.questions;
            if (stopped)
                expected.resize(1);
            EXPECT_EQ(Texts(messages), expected) << c.procVer << " yes " << yes;
            for (const auto& box : messages.boxes) {
                EXPECT_EQ(box.caption, "Ошибка в настройках реле ");
                EXPECT_EQ(box.icon, MessageIcon::Error);
                EXPECT_TRUE(box.question);
            }
        }
    }
}

// A channel that passes every check.
model::ChannelSettings Sound()
{
    model::ChannelSettings c;
    c.diap_max = 100, c.diap_min = 0, c.th1 = 50, c.th2 = 60, c.his1 = c.his2 = 0.5f;
    c.lin = 0.2f, c.ns = 1, c.spd_th = 0.1f, c.spd_his = 0.01f, c.select = 1;
    return c;
}

class ChannelChecks : public ::testing::Test {
protected:
    ErrorCode Check(int channel, std::initializer_list<bool> answers, ChannelCheckSwitches switches = {})
    {
        messages = {};
        messages.answers.assign(answers);
        return CheckChannelSettings(m, messages, channel, switches);
    }
    model::SettingsModel m;
    model::ChannelSettings& c = m.channel[0];
    RecordingMessages messages;
};

TEST_F(ChannelChecks, QuestionsPullIntoRangeAndTheLaterTestsSeeTheNewValues)
{
    m.channel = {Sound(), Sound()};
    EXPECT_EQ(Check(0, {}), kOk);
    EXPECT_TRUE(messages.boxes.empty());

    c.th1 = 12000, c.th2 = -5000;
    EXPECT_EQ(Check(0, {true, true}), kOk);
    EXPECT_EQ(Texts(messages),
              (std::vector<std::string>{
                  "Слишком большая величина уставки 1 она будет ограничена величиной 9999. Записать так ?",
                  "Слишком маленькая величина уставки 2 она будет ограничена величиной -999. Записать так ?"}));
    EXPECT_EQ(messages.boxes[0].caption, "Ошибка в настройках канала 1");
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(c.th1, 9999.0f);
    EXPECT_EQ(c.th2, -999.0f);

    c.th1 = 12000;
    EXPECT_EQ(Check(0, {false}), kStoppedToCorrect);
    EXPECT_EQ(c.th1, 12000.0f) << "a refusal changes nothing";

    // diap_max pulled to 9999.999; his1 above it is then found.
    c = Sound();
    c.diap_max = 20000, c.diap_min = -5000, c.his1 = 10000;
    EXPECT_EQ(Check(0, {true, true}), kStoppedToCorrect);
    EXPECT_EQ(c.diap_max, 9999.999f);
    EXPECT_EQ(c.diap_min, -999.0f);
    ASSERT_EQ(messages.boxes.size(), 3u);
    EXPECT_EQ(messages.boxes[2].text,
              "Задан гистерезис 1 превышающий максимум диапазона. Прибор не будет работать правильно.");
    EXPECT_FALSE(messages.boxes[2].question);

    c = Sound();
    c.diap_max = 20000, c.diap_min = 10000;
    EXPECT_EQ(Check(0, {true}), kStoppedToCorrect);
    EXPECT_EQ(messages.boxes.back().text,
              "Слишком большой минимальный диапазон. Прибор, скорее всего, не будет работать правильно.");
}

TEST_F(ChannelChecks, ErrorsStopWith17InTheirOrder)
{
    struct Case {
        void (*set)(model::ChannelSettings&);
        const char* text;
    };
    const Case cases[] = {
        {[](model::ChannelSettings& c) { c.diap_max = -1000, c.diap_min = -2000; },
         "Слишком маленький максимум диапазона. Прибор, скорее всего, не будет работать правильно."},
        {[](model::ChannelSettings& c) { c.diap_min = c.diap_max = 50, c.his1 = c.his2 = 1; },
         "Неправильное соотношение между диапазонами. Прибор не будет работать правильно."},
        {[](model::ChannelSettings& c) { c.his1 = -0.1f, c.his2 = 0; },
         "Задан отрицательный гистерезис 1. Прибор не будет работать правильно."},
        {[](model::ChannelSettings& c) { c.his1 = 0, c.his2 = -1; },
         "Задан отрицательный гистерезис 2. Прибор не будет работать правильно."},
        {[](model::ChannelSettings& c) { c.his1 = 0; },
         "Задан нулевой гистерезис 1. Прибор не будет работать правильно."},
        {[](model::ChannelSettings& c) { c.his2 = -0.0f; },
         "Задан нулевой гистерезис 2. Прибор не будет работать правильно."},
        {[](model::ChannelSettings& c) { c.his2 = 101, c.lin = -1; },
         "Задан гистерезис 2 превышающий максимум диапазона. Прибор не будет работать правильно."},
        {[](model::ChannelSettings& c) { c.lin = -1; },
         "Задано отрицательное сопротивление линии для двухпроводного включения. Прибор не будет работать правильно."},
    };
    for (const Case& k : cases) {
        m.channel[1] = Sound();
        k.set(m.channel[1]);
        EXPECT_EQ(Check(1, {}), kStoppedToCorrect) << k.text;
        ASSERT_EQ(messages.boxes.size(), 1u) << k.text;
        EXPECT_EQ(messages.boxes[0].text, k.text);
        EXPECT_EQ(messages.boxes[0].caption, "Ошибка в настройках канала 2");
        EXPECT_EQ(Check(1, {}, {.remarks = true, .errors = false}), kOk) << "errors switched off";
    }
}

TEST_F(ChannelChecks, RemarksStopWith16AndSetTheSteps)
{
    m.channel = {Sound(), Sound()};
    c.spd_th = 15;
    EXPECT_EQ(Check(0, {}), kOk) << "the test is against 20";

    c.ns = -1;  // compared as unsigned
    c.spd_th = 25, c.spd_his = 0.0005f;
    EXPECT_EQ(Check(0, {true, true, true}), kOk);
    EXPECT_EQ(Texts(messages),
              (std::vector<std::string>{
                  "При таком усреднении в канале теряется динамика отображения.Записать так как есть?",
                  "Слишком большой шаг изменения уставки. Он будет ограничен 10. Записать так?",
                  "Слишком маленький шаг изменения гистерезиса уставки. Он будет сделан равным 0.001. Записать так?"}));
    EXPECT_EQ(messages.boxes[0].caption, "Замечание по настройкам канала 1");
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(c.ns, -1);
    EXPECT_EQ(c.spd_th, 10.0f);
    EXPECT_EQ(c.spd_his, 0.001f);

    c.ns = 11;
    EXPECT_EQ(Check(0, {false}), kStoppedToRevise);
    EXPECT_EQ(Check(0, {}, {.remarks = false, .errors = true}), kOk);
    c.spd_his = 30, c.spd_th = 0;
    EXPECT_EQ(Check(0, {true, true, false}), kStoppedToRevise);
    EXPECT_EQ(c.spd_his, 10.0f);
    EXPECT_EQ(c.spd_th, 0.0f);
}

TEST_F(ChannelChecks, SelectedChannelsInTheirOrder)
{
    m.channel = {Sound(), Sound()};
    m.channel[0].th1 = 12000;
    m.channel[1].his1 = 0;
    m.channel[0].select = 0;
    messages.answers = {true};
    EXPECT_EQ(CheckSelectedChannels(m, messages, {}), kStoppedToCorrect);
    ASSERT_EQ(messages.boxes.size(), 1u) << "channel 1 is not looked at";
    EXPECT_EQ(messages.boxes[0].caption, "Ошибка в настройках канала 2");
    EXPECT_EQ(m.channel[0].th1, 12000.0f);

    m.channel[0].select = 1;
    messages = {};
    messages.answers = {false};
    EXPECT_EQ(CheckSelectedChannels(m, messages, {}), kStoppedToCorrect);
    EXPECT_EQ(messages.boxes.size(), 1u) << "channel 1's refusal ends the checks";

    m.channel[0].select = 2;  // a write sends every channel whose select is not 0
    messages = {};
    messages.answers = {true};
    EXPECT_EQ(CheckSelectedChannels(m, messages, {}), kStoppedToCorrect);
    EXPECT_EQ(messages.boxes.size(), 2u);
    EXPECT_EQ(m.channel[0].th1, 9999.0f);
}

}  // namespace
}  // namespace pmv::binding
