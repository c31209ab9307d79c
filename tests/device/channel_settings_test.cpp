#include "device_fixture.h"

#include "device/channel_settings.h"
#include "link/register_commands.h"
#include "messages/error_codes.h"

#include <algorithm>

namespace pmv::device {
namespace {

using ChannelTest = test::DeviceTest;
using Fault = sim::Fault;

const std::vector<std::string> kCh1ReadOrder{
    "R 2.1.315", "R 2.3.15", "R 2.3.13", "R 2.1.323", "R 2.3.3",   "R 2.3.1",   "R 2.3.29",  "R 2.3.37",
    "R 2.1.327", "R 2.3.30", "R 2.3.38", "R 2.1.328", "R 2.1.317", "R 2.1.319", "R 2.1.341", "R 2.1.321",
    "R 2.3.31",  "R 2.3.32", "R 2.3.5",  "R 2.3.6",   "R 2.3.7",   "R 2.3.8"};

TEST_F(ChannelTest, ReadTakesEveryRegisterInOrderIntoTheModel)
{
    simulator->SetRegister(2, 1, 315, 3);
    simulator->SetFloatRegister(2, 15, 450.5f);
    simulator->SetFloatRegister(2, 8, -0.25f);
    simulator->SetRegister(2, 1, 327, 2);
    simulator->SetRegister(2, 1, 341, 200);
    ASSERT_EQ(ReadChannelSettings(device, 0), kOk);
    EXPECT_EQ(Requests(), kCh1ReadOrder);
    const model::ChannelSettings& c = model.channel[0];
    EXPECT_EQ(c.dat, 3);
    EXPECT_FLOAT_EQ(c.diap_max, 450.5f);
    EXPECT_FLOAT_EQ(c.koef3, -0.25f);
    EXPECT_EQ(c.th_type1, 2);
    EXPECT_EQ(c.use, 200);
    EXPECT_EQ(progress.steps.front(), "Чтение типа датчика");
    EXPECT_EQ(progress.steps.back(), "Чтение корректирующего полинома");
    EXPECT_EQ(progress.steps.size(), 19u);
    EXPECT_TRUE(device.currentStep.empty());
}

TEST_F(ChannelTest, SecondChannelUsesItsOwnRegisters)
{
    ASSERT_EQ(ReadChannelSettings(device, 1), kOk);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"R 2.1.316", "R 2.3.16",  "R 2.3.14",  "R 2.1.324", "R 2.3.4",  "R 2.3.2",
                                        "R 2.3.33",  "R 2.3.41",  "R 2.1.331", "R 2.3.34",  "R 2.3.42", "R 2.1.332",
                                        "R 2.1.318", "R 2.1.320", "R 2.1.342", "R 2.1.322", "R 2.3.35", "R 2.3.36",
                                        "R 2.3.9",   "R 2.3.10",  "R 2.3.11",  "R 2.3.12"}));
}

TEST_F(ChannelTest, UnselectedOrUnknownChannelsSendNothing)
{
    model.channel[0].select = 0;
    EXPECT_EQ(ReadChannelSettings(device, 0), kOk);
    EXPECT_EQ(WriteChannelSettings(device, 0), kOk);
    EXPECT_EQ(ReadChannelSettings(device, 2), kOperandTooLarge);
    EXPECT_EQ(WriteChannelSettings(device, 2), kOperandTooLarge);
    EXPECT_TRUE(simulator->Transcript().empty());
}

TEST_F(ChannelTest, ReadFailureKeepsTheFailedAndLaterFields)
{
    model.channel[0].flag = 77;
    model.channel[0].ns = 66;
    simulator->SetRegister(2, 1, 315, 5);
    Refuse(2, 1, 323, 0x0003);
    EXPECT_EQ(ReadChannelSettings(device, 0), kCannotParse);
    EXPECT_EQ(model.channel[0].dat, 5);
    EXPECT_FLOAT_EQ(model.channel[0].diap_max, 100.0f);
    EXPECT_EQ(model.channel[0].flag, 77);
    EXPECT_EQ(model.channel[0].ns, 66);
    EXPECT_FALSE(progress.shown);
}

TEST_F(ChannelTest, WriteSwitchesEachSetpointOffBeforeItChanges)
{
    model::ChannelSettings& c = model.channel[0];
    c.dat = 4;
    c.diap_max = 500;
    c.adj = 1;
    c.th1 = 120.5f;
    c.his1 = 0.5f;
    c.th_type1 = 2;
    c.th2 = 80;
    c.his2 = 1;
    c.th_type2 = 1;
    c.ns = 3;
    c.search = 2;
    c.point = 1;
    ASSERT_EQ(WriteChannelSettings(device, 0), kOk);

    std::vector<std::string> writes;
    for (const std::string& r : Requests())
        if (r[0] == 'W')
            writes.push_back(r.substr(0, r.find('=')) +
                             (r.find("2.1.") != std::string::npos ? r.substr(r.find('=')) : ""));
    EXPECT_EQ(writes, (std::vector<std::string>{
                          "W 2.1.315=4", "W 2.3.15",    "W 2.3.13",    "W 2.1.323=0", "W 2.3.3",     "W 2.3.1",
                          "W 2.1.327=0", "W 2.3.29",    "W 2.3.37",    "W 2.1.327=2", "W 2.1.328=0", "W 2.3.30",
                          "W 2.3.38",    "W 2.1.328=1", "W 2.1.317=3", "W 2.1.319=2", "W 2.1.341=0", "W 2.1.321=1",
                          "W 2.3.31",    "W 2.3.32",    "W 2.3.5",     "W 2.3.6",     "W 2.3.7",     "W 2.3.8"}));
    EXPECT_EQ(simulator->Transcript().size(), 48u) << "every write is read back";
    EXPECT_FLOAT_EQ(simulator->FloatRegister(2, 29), 120.5f);
    EXPECT_EQ(progress.lines[1], "Запись настроек канала 1");
    EXPECT_EQ(progress.lines[5], "Для остановки нажмите ESC");
}

TEST_F(ChannelTest, EscapeIsNoticedOnlyWhereTheWriteChecks)
{
    // Queries: 1 before the steps, then after steps 1..4; step 5 ("Подстройка диапазона") has
    // no check, so a press during it is seen after step 6.
    progress.escapeAtQuery = 6;
    EXPECT_EQ(WriteChannelSettings(device, 0), kStoppedByUser);
    EXPECT_EQ(progress.steps.back(), "Запись смещения");
    EXPECT_FALSE(progress.shown);
    const auto requests = Requests();
    EXPECT_EQ(requests.back(), "R 2.3.1");
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](const std::string& r) { return r[0] == 'W'; }), 6);

    simulator->ClearTranscript();
    test::ScriptedProgress early;
    early.escapeAtQuery = 2;
    Device other{exchange, early, model, {}};
    EXPECT_EQ(WriteChannelSettings(other, 0), kStoppedByUser);
    EXPECT_EQ(Requests().size(), 2u) << "only the sensor type was written and read back";
}

TEST_F(ChannelTest, ByteFieldAbove255EndsWithMismatch)
{
    model.channel[0].point = 300;
    exchange.values().RetryCount = 3;
    EXPECT_EQ(WriteChannelSettings(device, 0), kReadBackMismatch);
    EXPECT_EQ(simulator->Register(2, 1, 321), 255u);
    const auto requests = Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "W 2.1.321=255"), 3);
}

}  // namespace
}  // namespace pmv::device
