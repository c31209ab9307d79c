#include "device_fixture.h"
#include "temp_dir.h"

#include "binding/live_view.h"
#include "device/live_values.h"
#include "link/log_file.h"
#include "messages/error_codes.h"

#include <filesystem>

#include <limits>

namespace pmv::device {
namespace {

using LiveValuesTest = test::DeviceTest;

sim::LiveBlock Block(float ch1, uint8_t status1, float ch2, uint8_t status2)
{
    sim::LiveValues v;
    v.relays = 0x02;
    v.panel = 0x10;
    v.value[0] = ch1;
    v.value[1] = ch2;
    v.status[0] = status1;
    v.status[1] = status2;
    v.signals[0] = 0x05;
    return sim::EncodeLiveBlock(v);
}

TEST_F(LiveValuesTest, BlockIsDecodedClampedAndShown)
{
    simulator->SetLiveBlock(Block(12345.0f, 0, -2000.0f, 12));
    LiveValues live;
    ASSERT_EQ(ReadCurrentValues(exchange, live), kOk);
    EXPECT_EQ(simulator->Transcript().back().text, "1;37;00E002;");
    EXPECT_EQ(live.relays, 0x02);
    EXPECT_FLOAT_EQ(live.value[0], 12345.0f);

    const binding::LiveView view = binding::ShowCurrentValues(live);
    EXPECT_FLOAT_EQ(live.value[0], 10000.0f) << "the clamped value replaces the stored one";
    EXPECT_EQ(view.channel[0].valueText, "10000.0000");
    EXPECT_EQ(view.channel[1].valueText, "-1000.0000");
    EXPECT_EQ(view.channel[0].statusText, "Нормальное измерение");
    EXPECT_EQ(view.channel[0].valueColour, binding::PanelColour::White);
    EXPECT_EQ(view.channel[0].statusColour, binding::PanelColour::ButtonFace);
    EXPECT_EQ(view.channel[1].statusText, "Канал выключен");
    EXPECT_EQ(view.channel[1].valueColour, binding::PanelColour::ButtonFace);
    EXPECT_EQ(view.channel[0].lamps, (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(view.relays, (std::array<bool, 2>{false, true}));
    EXPECT_EQ(view.keys, (std::array<bool, 5>{false, false, false, false, true})) << "0x10 lights only \"Диапазон\"";
}

TEST_F(LiveValuesTest, SignallingAndQuietNotANumber)
{
    sim::LiveBlock block = Block(0, 0, 0, 9);
    const uint8_t signalling[4] = {0x7F, 0x80, 0x00, 0x01};
    const uint8_t quiet[4] = {0x7F, 0xC0, 0x00, 0x00};
    std::copy(std::begin(signalling), std::end(signalling), block.begin() + 4);
    std::copy(std::begin(quiet), std::end(quiet), block.begin() + 10);
    simulator->SetLiveBlock(block);
    LiveValues live;
    ASSERT_EQ(ReadCurrentValues(exchange, live), kOk);
    const binding::LiveView view = binding::ShowCurrentValues(live);
    EXPECT_EQ(view.channel[0].valueText, "-444.0000");
    EXPECT_EQ(view.channel[0].statusText, "Ошибка в плавающей арифметике");
    EXPECT_EQ(view.channel[0].statusColour, binding::PanelColour::Yellow);
    EXPECT_EQ(view.channel[1].valueText, "-1000.0000");
    EXPECT_EQ(view.channel[1].statusText, "Обрыв");
}

TEST_F(LiveValuesTest, PollReportsItsOutcomeAndLogsEverySecondTick)
{
    test::TempDir dir;
    exchange.values().AnswerTimeout = 1000;
    simulator->SetLiveBlock(Block(21.5f, 0, 48.0f, 0));
    LivePoll poll;
    LiveValues live;
    for (int i = 0; i < 4; ++i) {
        const LivePoll::Outcome outcome = poll.Tick(exchange, live, dir.file("IZM.txt"));
        EXPECT_EQ(outcome.code, kOk);
        EXPECT_STREQ(binding::ShowPollOutcome(outcome.code).text, "Получен ответ");
        EXPECT_EQ(binding::ShowPollOutcome(outcome.code).colour, binding::PanelColour::ButtonFace);
        EXPECT_EQ(outcome.nextIntervalMs, 500u);
    }
    const std::string log = test::ReadFileBytes(dir.file("IZM.txt"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
    EXPECT_NE(log.find(" \t 02 \t  21.5000 \t 00 \t  48.0000 \t 00\n"), std::string::npos) << log;
    EXPECT_EQ(log[2], ':');

    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0001;
    simulator->InjectFault(refuse);
    const LivePoll::Outcome failed = poll.Tick(exchange, live, "");
    EXPECT_EQ(failed.code, kDeviceError);
    EXPECT_STREQ(binding::ShowPollOutcome(failed.code).text, "Какая-то ошибка в ответе");
    EXPECT_EQ(binding::ShowPollOutcome(failed.code).colour, binding::PanelColour::Yellow);
    EXPECT_EQ(failed.nextIntervalMs, 1500u);
    EXPECT_FLOAT_EQ(live.value[0], 21.5f) << "a failed poll keeps the last values";

    EXPECT_STREQ(binding::ShowPollOutcome(kTooManyChars).text, "В ответе много мусора, ответ не разобран");
    EXPECT_STREQ(binding::ShowPollOutcome(kNoAnswer).text, "Не дождались ответа");
    EXPECT_STREQ(binding::ShowPollOutcome(kCannotParse).text, "Ошибка в разборе ответа");
}

TEST(LiveView, ChannelStatusTexts)
{
    EXPECT_EQ(binding::ChannelStatusText(0), "Нормальное измерение");
    EXPECT_EQ(binding::ChannelStatusText(9), "Обрыв");
    EXPECT_EQ(binding::ChannelStatusText(12), "Канал выключен");
    EXPECT_EQ(binding::ChannelStatusText(15), "Ошибка в градуировках");
    for (uint32_t status : {1u, 2u, 3u, 5u, 6u, 10u, 11u, 16u, 255u})
        EXPECT_EQ(binding::ChannelStatusText(status), "Какая то ошибка") << status;
}

TEST_F(LiveValuesTest, BothLogsAreSetAsideAtTheirSizeLimit)
{
    test::TempDir dir;
    const std::string exchangeLog = dir.file("COM.txt"), measurementLog = dir.file("IZM.txt");
    for (const std::string& log : {exchangeLog, measurementLog}) {
        test::WriteFileBytes(log + ".1", "older\n");
        test::WriteFileBytes(log, "");
        std::filesystem::resize_file(log, link::kLogRotateBytes);  // sparse: costs no disk
    }
    exchange.values().UseLogFile = true;
    exchange.values().LogFileName = exchangeLog;
    simulator->SetLiveBlock(Block(21.5f, 0, 48.0f, 0));
    LiveValues live;
    ASSERT_EQ(ReadCurrentValues(exchange, live), kOk);
    ASSERT_EQ(LogMeasurement(measurementLog, exchange.state().sendTime, live), kOk);

    for (const std::string& log : {exchangeLog, measurementLog}) {
        EXPECT_EQ(std::filesystem::file_size(log + ".1"), link::kLogRotateBytes) << log;
        EXPECT_LT(std::filesystem::file_size(log), 1000u) << log;
    }
    EXPECT_EQ(test::ReadFileBytes(exchangeLog).rfind("________________________________________\nSend cmd at ", 0), 0u);

    // Below the limit the log simply grows.
    ASSERT_EQ(LogMeasurement(measurementLog, exchange.state().sendTime, live), kOk);
    const std::string measurements = test::ReadFileBytes(measurementLog);
    EXPECT_EQ(std::count(measurements.begin(), measurements.end(), '\n'), 2);
}

}  // namespace
}  // namespace pmv::device
