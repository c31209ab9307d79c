#include "device_fixture.h"

#include "device/device_settings.h"
#include "messages/error_codes.h"

#include <algorithm>

namespace pmv::device {
namespace {

using DeviceSettingsTest = test::DeviceTest;

std::vector<std::string> Prefix(const char* kind, const std::vector<std::string>& requests)
{
    std::vector<std::string> out;
    for (const std::string& r : requests)
        if (r.rfind(kind, 0) == 0)
            out.push_back(r);
    return out;
}

TEST_F(DeviceSettingsTest, AReadAfterTheWritesRestartWaitsForTheInstrumentAndEscStopsTheWait)
{
    simulator->SetReboot(400);
    ASSERT_EQ(WriteDeviceSettings(device), kOk);
    EXPECT_TRUE(exchange.Restarting());
    progress.steps.clear();
    simulator->ClearTranscript();
    ASSERT_EQ(ReadDeviceSettings(device), kOk);
    ASSERT_FALSE(progress.steps.empty());
    EXPECT_EQ(progress.steps.front(), "Ожидание перезапуска прибора: 0 с из 10");
    const auto requests = Requests();
    const auto probes = std::count(requests.begin(), requests.end(), "R 1.1.6");
    EXPECT_GE(probes, 2);
    EXPECT_LE(probes, 400 / link::kMinProbeWindowMs + 3) << "one of them may be the firmware version of the read";

    // Esc while it waits: the read stops with 20 and sends nothing but probes.
    ASSERT_EQ(WriteDeviceSettings(device), kOk);
    simulator->ClearTranscript();
    progress.escapeAtQuery = progress.queries + 2;
    EXPECT_EQ(ReadDeviceSettings(device), kStoppedByUser);
    for (const std::string& r : Requests())
        EXPECT_EQ(r, "R 1.1.6");
    EXPECT_FALSE(progress.shown);
}

TEST_F(DeviceSettingsTest, ReadWithNoGroupReadsOnlyTheRegulator)
{
    SelectGroups(false, false, false, false);
    ASSERT_EQ(ReadDeviceSettings(device), kOk);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"R 2.1.337", "R 2.1.338", "R 2.1.339", "R 2.1.340"}));
    EXPECT_FALSE(progress.shown);
}

TEST_F(DeviceSettingsTest, ReadOfTheGeneralGroupAlone)
{
    SelectGroups(false, false, false, true);
    simulator->SetRegister(2, 1, 11, 210);
    simulator->SetRegister(2, 1, 12, 4);
    simulator->SetRegister(2, 1, 19, 9);
    simulator->SetRegister(2, 1, 3, 3);
    ASSERT_EQ(ReadDeviceSettings(device), kOk);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"R 2.1.337", "R 2.1.338", "R 2.1.339", "R 2.1.340", "R 2.1.11",
                                                    "R 2.1.12", "R 2.1.14", "R 2.1.17", "R 2.1.18", "R 2.1.19",
                                                    "R 1.1.6", "R 2.1.3", "R 2.1.4"}));
    EXPECT_EQ(model.serial_hi * 256 + model.serial_lo, 1234);
    EXPECT_EQ(model.made_year, 2009);
    EXPECT_EQ(model.general.proc_ver, 3);
    EXPECT_EQ(FirmwareVersionText(model.fw_version), "1.1.2");
    EXPECT_EQ(progress.steps, (std::vector<std::string>{"Читаем номер прибора", "Читаем дату изготовления",
                                                        "Версия ПО прибора", "Тип прибора", "Вид отображения ошибки"}));
}

TEST_F(DeviceSettingsTest, FullReadOfAllGroups)
{
    simulator->SetRegister(2, 1, 8, 0x40);
    simulator->SetRegister(2, 1, 338, 200);
    ASSERT_EQ(ReadDeviceSettings(device), kOk);
    const auto requests = Requests();
    EXPECT_EQ(requests.size(), 22u + 22u + 6u + 4u + 6u + 3u);
    EXPECT_EQ(requests[0], "R 2.1.315");
    EXPECT_EQ(requests[22], "R 2.1.316");
    EXPECT_EQ(std::vector<std::string>(requests.begin() + 44, requests.begin() + 54),
              (std::vector<std::string>{"R 2.1.325", "R 2.1.326", "R 2.1.6", "R 2.1.7", "R 2.1.8", "R 2.1.9",
                                        "R 2.1.337", "R 2.1.338", "R 2.1.339", "R 2.1.340"}));
    EXPECT_EQ(model.rele.rel1_msk0, 0x40);
    EXPECT_EQ(model.channel[1].reg_int, 200);
    EXPECT_EQ(model.channel[1].dat, 17);
    EXPECT_FALSE(progress.shown);
}

TEST_F(DeviceSettingsTest, FullWriteEndsWithMarkerAndRestartWhateverTheSelection)
{
    SelectGroups(false, false, false, false);
    model.channel[1].reg_int = 200;
    ASSERT_EQ(WriteDeviceSettings(device), kOk);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"W 2.1.337=0", "W 2.1.338=200", "W 2.1.339=0", "W 2.1.340=0",
                                                    "W 2.1.0=47", "W 1.1.0=1"}));
    EXPECT_EQ(simulator->RestartCount(), 1);
    EXPECT_FALSE(progress.shown);
}

TEST_F(DeviceSettingsTest, FullWriteOfAllGroups)
{
    model.general.proc_ver = 2;
    model.general.err_ver = 1;
    model.rele.rel1_msk1 = 0x04;
    ASSERT_EQ(WriteDeviceSettings(device), kOk);
    const auto writes = Prefix("W", Requests());
    ASSERT_EQ(writes.size(), 24u + 24u + 6u + 4u + 2u + 2u);
    EXPECT_EQ(writes[0], "W 2.1.315=0");
    EXPECT_EQ(writes[24], "W 2.1.316=0");
    EXPECT_EQ(std::vector<std::string>(writes.end() - 4, writes.end()),
              (std::vector<std::string>{"W 2.1.3=2", "W 2.1.4=1", "W 2.1.0=47", "W 1.1.0=1"}));
    EXPECT_EQ(simulator->Register(2, 1, 9), 0x04u);
    EXPECT_EQ(progress.steps.back(), "Отдается команда на перезагрузку прибора");
}

TEST_F(DeviceSettingsTest, FailedWriteNeverRestarts)
{
    Refuse(2, 1, 339, 0x0006);
    SelectGroups(false, false, true, true);
    EXPECT_EQ(WriteDeviceSettings(device), kOperandTooLarge);
    EXPECT_EQ(simulator->RestartCount(), 0);
    EXPECT_FALSE(progress.shown);
}

TEST_F(DeviceSettingsTest, EscStopsAFullWriteBetweenAnyTwoSettingsAndNeverReordersTheLine)
{
    model.rele.rel1_msk1 = 0x04;
    WriteReach reach;
    ASSERT_EQ(WriteDeviceSettings(device, &reach), kOk);
    const std::vector<std::string> full = Requests();
    const int checks = progress.queries;
    EXPECT_EQ(reach.finished, (std::vector<WritePart>{WritePart::Channel1, WritePart::Channel2, WritePart::Relays,
                                                      WritePart::Regulator, WritePart::General, WritePart::Closing}));
    ASSERT_EQ(simulator->RestartCount(), 1);

    // After the channels (whose last steps belong together and go unchecked) every register
    // operation is followed by a check.
    const size_t relays = static_cast<size_t>(std::find(full.begin(), full.end(), "W 2.1.325=0") - full.begin());
    ASSERT_LT(relays, full.size());
    size_t before = 0, widestGap = 0;
    for (int k = 1; k <= checks; ++k) {
        simulator->ClearTranscript();
        progress = {};
        progress.escapeAtQuery = k;
        ASSERT_EQ(WriteDeviceSettings(device, &reach), kStoppedByUser) << "check " << k;
        const std::vector<std::string> sent = Requests();
        ASSERT_LE(sent.size(), full.size());
        EXPECT_TRUE(std::equal(sent.begin(), sent.end(), full.begin())) << "check " << k;
        EXPECT_TRUE(reach.stoppedIn.has_value());
        EXPECT_FALSE(progress.shown);
        if (before >= relays)
            widestGap = std::max(widestGap, sent.size() - before);
        before = sent.size();
    }
    EXPECT_EQ(simulator->RestartCount(), 1) << "no stopped write restarts the instrument";
    EXPECT_EQ(before, full.size() - 1) << "the last check stands before the restart command";
    EXPECT_EQ(widestGap, 1u);
}

TEST_F(DeviceSettingsTest, AWriteStoppedByTheLineNamesThePartUnderWay)
{
    Refuse(2, 1, 339, 0x0006);
    WriteReach reach;
    EXPECT_EQ(WriteDeviceSettings(device, &reach), kOperandTooLarge);
    EXPECT_EQ(reach.finished, (std::vector<WritePart>{WritePart::Channel1, WritePart::Channel2, WritePart::Relays}));
    EXPECT_EQ(reach.stoppedIn, WritePart::Regulator);
}

TEST_F(DeviceSettingsTest, SerialNumberAndProductionDate)
{
    model.serial_lo = 1234 % 256;
    model.serial_hi = 1234 / 256;
    model.general.otk_type = 47;
    model.made_month = 11;
    model.made_year = 2009;
    ASSERT_EQ(WriteSerialAndDate(device, 28), kOk);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"W 2.1.11=210", "W 2.1.12=4", "W 2.1.14=47", "W 2.1.17=28",
                                                    "W 2.1.18=11", "W 2.1.19=9"}));
    EXPECT_EQ(model.made_day, 28);

    model::SettingsModel fresh;
    Device reader{exchange, progress, fresh, {}};
    ASSERT_EQ(ReadSerialAndDate(reader), kOk);
    EXPECT_EQ(fresh.made_year, 2009);
    EXPECT_EQ(fresh.made_day, 28);
    EXPECT_EQ(fresh.serial_lo + 256 * fresh.serial_hi, 1234);

    EXPECT_EQ(EncodeProductionYear(1999), 255u);
    EXPECT_EQ(EncodeProductionYear(2255), 255u);
    EXPECT_EQ(EncodeProductionYear(2256), 255u);
    EXPECT_EQ(FirmwareVersionText(0x95), "2.1.5");

    Refuse(2, 1, 18, 0x0001);
    EXPECT_EQ(WriteSerialAndDate(device, 1), kDeviceError);
}

}  // namespace
}  // namespace pmv::device
