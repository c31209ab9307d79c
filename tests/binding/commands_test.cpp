#include "fakes.h"
#include "sim_line.h"
#include "temp_dir.h"

#include "binding/binding.h"
#include "binding/commands.h"
#include "binding/window_commands.h"
#include "device/device_settings.h"
#include "device/register_map.h"
#include "history/sqlite_history.h"
#include "messages/error_codes.h"
#include "model/factory_profiles.h"
#include "model/number_format.h"
#include "model/profile.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pmv::binding {
namespace {

using test::RecordingMessages;

class RecordingHost : public CommandHost {
public:
    void ShowControls(const ControlValues& values) override
    {
        calls.push_back("show");
        shown = values;
    }
    void RepaintNow() override { calls.push_back("repaint"); }
    std::vector<std::string> calls;
    ControlValues shown;
};

// The window's world around the simulated instrument, with the factory profiles in the
// working directory.
class Commands : public test::SimLine {
protected:
    void SetUp() override
    {
        SimLine::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        ASSERT_EQ(model::CreateDefaultProfiles(), std::nullopt);
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    // What the window does on opening a profile: load it, show it.
    void Open(const std::string& file, model::SettingsModel& into, ControlValues& values)
    {
        ASSERT_EQ(model::LoadProfile(file, into).error, std::nullopt);
        ShowSettings(into, 1, values);
    }
    void Open(const std::string& file) { Open(file, model, controls); }

    std::vector<std::string> Requests() const
    {
        std::vector<std::string> texts;
        for (const sim::Request& r : simulator->Transcript())
            texts.push_back(r.text);
        return texts;
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& box : messages.boxes)
            texts.push_back(box.text);
        return texts;
    }

    model::SettingsModel model;
    ControlValues controls;
    test::ScriptedProgress progress;
    device::Device device{exchange, progress, model, {}};
    RecordingMessages messages;
    RecordingHost host;
    CommandContext context{device, messages, host, controls, 1};
    history::SqliteHistory history{history::kHistoryFileName};
    std::vector<history::HistoryRecord> recorded;
    RecordedSerialWrite WriteSerial()
    {
        return WriteSerialNumber(context, history, [&](const history::HistoryRecord& r) {
            recorded.push_back(r);
            EXPECT_EQ(history.Record(r), std::nullopt);
        });
    }

private:
    test::TempDir dir_;
    std::filesystem::path previous_;
};

constexpr const char* kStopped17 = "Прекратили запись чтобы поправить настройки (ERR 17)";

TEST_F(Commands, WriteAllOfFactoryProfile1AndReadItBack)
{
    Open("PMV7700.prf");
    model.channel[1].select = 0;
    model.rele.select = 0;
    ASSERT_EQ(WriteAll(context), kOk);
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"show"}));
    EXPECT_TRUE(host.shown.top.groupBoxes.channel2 && host.shown.top.groupBoxes.relays &&
                host.shown.top.groupPanels.relays);
    const std::vector<std::string> sent = Requests();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2], "1;38;000000;2F;") << "the marker 47";
    EXPECT_EQ(sent.back(), "1;38;002000;01;") << "the restart";

    // The same as the device operation on the profile as the window takes it: every group
    // selected, the relay masks in force.
    model::SettingsModel expected;
    ControlValues ignored;
    Open("PMV7700.prf", expected, ignored);
    for (model::ChannelSettings& c : expected.channel)
        c.select = 1, c.ver_rel_proc = 1;
    expected.rele.select = expected.general.gen_select = 1;
    simulator->ClearTranscript();
    device::Device bare{exchange, progress, expected, {}};
    ASSERT_EQ(device::WriteDeviceSettings(bare), kOk);
    EXPECT_EQ(Requests(), sent);

    // Read back into a window that shows another profile: the same controls come back.
    model::SettingsModel other;
    ControlValues readBack;
    Open("PMV7706.prf", other, readBack);
    device::Device otherDevice{exchange, progress, other, {}};
    RecordingHost otherHost;
    CommandContext read{otherDevice, messages, otherHost, readBack, 1};
    ASSERT_EQ(ReadAll(read), kOk);
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(otherHost.calls, (std::vector<std::string>{"show", "show"}));
    EXPECT_EQ(otherHost.shown, readBack);
    ControlValues written;
    ShowSettings(model, 1, written);
    // The identity of the instrument is read, not written.
    written.general.firmwareVersion = readBack.general.firmwareVersion,
    written.general.productionDate = readBack.general.productionDate,
    written.general.serialNumber = readBack.general.serialNumber;
    written.general.productionMonth = readBack.general.productionMonth,
    written.general.productionYear = readBack.general.productionYear;
    written.general.typeCode = readBack.general.typeCode, written.general.calendar = readBack.general.calendar;
    EXPECT_EQ(readBack, written);
}

TEST_F(Commands, ARefusedRelayQuestionSendsNothingAndYesGoesOn)
{
    Open("PMV7700.prf");
    controls.relays.grid[0][3] = " +";  // relay 1 on channel 2's setpoint 1 of a one-channel device
    const std::string question = "В одноканальном приборе реле 1 назначено на второй канал. Записать так как есть?";
    messages.answers = {false};
    EXPECT_EQ(WriteAll(context), kStoppedToCorrect);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{question, kStopped17}));
    EXPECT_TRUE(simulator->Transcript().empty());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"show"}));

    messages = {};
    messages.answers = {true};
    EXPECT_EQ(WriteAll(context), kOk);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{question}));
    EXPECT_EQ(simulator->Register(2, 1, static_cast<int>(device::regs::kRel0Msk1.number)), 1u);
}

TEST_F(Commands, AnEntryErrorInAnUnselectedChannelStopsWriteSelected)
{
    Open("PMV7700.prf");
    model.channel[0].select = model.rele.select = model.general.gen_select = 0;
    ShowSettings(model, 1, controls);
    controls.channels[0].rangeMin = "1,5.0";
    const model::SettingsModel before = model;
    EXPECT_EQ(WriteSelected(context), kStoppedToCorrect);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Ошибка задания минимума диапазона.", kStopped17}));
    EXPECT_EQ(messages.boxes[0].caption, "Ошибка задания параметров канала 1.");
    EXPECT_EQ(model, before);
    EXPECT_TRUE(simulator->Transcript().empty());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"show"}));
    EXPECT_FALSE(host.shown.top.groupPanels.channel1);
    EXPECT_TRUE(host.shown.top.groupPanels.channel2);
}

TEST_F(Commands, AGroupFlagOtherThan1FromAProfileIsAnUntickedBox)
{
    Open("PMV7700.prf");
    model.channel[0].select = 2;
    model.channel[1].select = -1;
    model.rele.select = model.general.gen_select = 0;
    ShowSettings(model, 1, controls);
    EXPECT_FALSE(controls.top.groupBoxes.channel1);
    EXPECT_EQ(model.channel[0].select, 0);
    EXPECT_EQ(model.channel[1].select, 0);

    model.rele.select = 1;
    ShowSettings(model, 1, controls);
    EXPECT_EQ(WriteSelected(context), kOk);
    for (const sim::Request& r : simulator->Transcript())
        EXPECT_NE(r.reg, static_cast<int>(device::regs::Dat(0).number)) << "channel 1 written although unticked";
    EXPECT_FALSE(simulator->Transcript().empty());
}

TEST_F(Commands, ASetpointPulledIntoRangeIsWrittenWhileItsFieldKeepsTheTypedText)
{
    Open("PMV7700.prf");
    controls.channels[0].setpoint1 = "12000";
    messages.answers = {true};
    EXPECT_EQ(WriteAll(context), kOk);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(model.channel[0].th1, 9999.0f);
    EXPECT_EQ(simulator->FloatRegister(2, static_cast<int>(device::regs::Th1(0).number)), 9999.0f);
    EXPECT_EQ(controls.channels[0].setpoint1, "12000");
}

TEST_F(Commands, AReadErrorStillShowsTheGroupsReadBeforeIt)
{
    Open("PMV7700.prf");
    simulator->SetRegister(2, 1, static_cast<int>(device::regs::Dat(0).number), 9);
    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0003;
    refuse.bank = 2, refuse.memType = 1, refuse.reg = static_cast<int>(device::regs::Dat(1).number);
    simulator->InjectFault(refuse);
    const int channel2Type = controls.channels[1].sensorType;

    const ErrorCode code = ReadSelected(context);
    ASSERT_NE(code, kOk);
    ASSERT_NE(FindErrorMessage(code), nullptr);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{FindErrorMessage(code)->text}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"show", "show"}));
    EXPECT_EQ(controls.channels[0].sensorType, 9);
    EXPECT_EQ(controls.channels[0].rangeMax, "1300.0000") << "the range of the sensor read";
    EXPECT_EQ(controls.channels[1].sensorType, channel2Type);
}

// ---- The window's other commands ----

TEST_F(Commands, PassportReadThatFailsKeepsTheSelection)
{
    Open("PMV7700.prf");
    SetGroupBoxes(model, controls, {.ch1 = true, .ch2 = false, .relay = false, .general = true});
    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0001;
    simulator->InjectFault(refuse);

    const ErrorCode code = ReadForPassport(context);
    ASSERT_NE(FindErrorMessage(code), nullptr);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{FindErrorMessage(code)->text}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"repaint", "repaint"}));
    EXPECT_EQ(model.channel[0].select, 1);
    EXPECT_EQ(model.channel[1].select, 0);
    EXPECT_EQ(model.rele.select, 0);
    EXPECT_EQ(model.general.gen_select, 1);

    simulator->ClearFaults();
    host.calls.clear();
    EXPECT_EQ(ReadForPassport(context), kOk);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"repaint", "repaint", "show"}));
    EXPECT_EQ(model.channel[1].select, 0) << "the selection comes back after the full read";
    EXPECT_FALSE(host.shown.top.groupBoxes.channel2);
}

TEST_F(Commands, GroupBoxClickSetsItsFlagAndPanelOnly)
{
    Open("PMV7700.prf");
    SelectAllGroups(model, controls);
    controls.channels[0].setpoint1 = "77";
    SelectGroup(context, &GroupFlags::relays, false);
    EXPECT_EQ(model.rele.select, 0);
    EXPECT_EQ(model.channel[0].select, 1);
    EXPECT_EQ(model.general.gen_select, 1);
    EXPECT_FALSE(host.shown.top.groupPanels.relays);
    EXPECT_TRUE(host.shown.top.groupPanels.channel2);
    EXPECT_EQ(host.shown.channels[0].setpoint1, "77") << "an unwritten edit stays as typed";
    EXPECT_TRUE(simulator->Transcript().empty());
}

TEST_F(Commands, SerialNumberWriteTakesTheTypedNumberAndTheCalendarDay)
{
    Open("PMV7700.prf");
    controls.general.serialNumber = "4660";
    controls.general.typeCode = 47;
    ChooseProductionMonth(context, 2);
    ChooseProductionYear(context, 1);
    ChooseProductionDay(context, 15);
    EXPECT_EQ(controls.general.productionDate, "15 Марта 2008");
    ASSERT_EQ(WriteSerial().code, kOk);
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kSerialHi.number), 0x12u);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kSerialLo.number), 0x34u);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kMadeDay.number), 15u);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kMadeMonth.number), 3u);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kMadeYear.number), 8u);
}

TEST_F(Commands, ASerialNumberThatDoesNotScanOrIsAbove65535IsNotWrittenAsZero)
{
    Open("PMV7700.prf");
    simulator->SetRegister(2, 1, device::regs::kSerialHi.number, 0x12);
    simulator->SetRegister(2, 1, device::regs::kSerialLo.number, 0x34);
    for (const char* typed : {"70000", "abc", "", "-1", "12a"}) {
        messages.boxes.clear();
        simulator->ClearTranscript();
        controls.general.serialNumber = typed;
        EXPECT_EQ(WriteSerial().code, kBadNumber) << typed;
        EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Неправильно задано число (ERR 23)"})) << typed;
        EXPECT_TRUE(simulator->Transcript().empty()) << typed;
    }
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kSerialHi.number), 0x12u);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kSerialLo.number), 0x34u);
    EXPECT_TRUE(recorded.empty());
}

// A number written by hand goes through the history as production's do: one given before (by a
// production's reservation or an earlier write) is written again only after a question, and a
// history that cannot tell keeps the number out of the instrument.
TEST_F(Commands, ASerialNumberGivenBeforeIsWrittenAgainOnlyAfterTheOperatorAgrees)
{
    Open("PMV7700.prf");
    controls.general.typeCode = 12;
    controls.general.serialNumber = "4660";
    ASSERT_EQ(WriteSerial().code, kOk);
    EXPECT_TRUE(messages.boxes.empty()) << "a free number is written without a question";
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].operation, history::kOperationSerial);
    EXPECT_EQ(recorded[0].serial, 4660);
    EXPECT_EQ(recorded[0].typeCode, 12);

    ASSERT_EQ(history.ReserveSerial(12, 4661, false, {}, {}).outcome, history::SerialReservation::Outcome::Reserved);
    for (const char* given : {"4660", "4661"}) {
        SCOPED_TRACE(given);
        controls.general.serialNumber = given;
        messages.boxes.clear();
        simulator->ClearTranscript();
        messages.answers = {false};
        const RecordedSerialWrite declined = WriteSerial();
        EXPECT_EQ(declined.refusal, RecordedSerialWrite::Refusal::Used);
        EXPECT_EQ(declined.code, kStoppedToRevise);
        ASSERT_EQ(messages.boxes.size(), 1u);
        EXPECT_EQ(messages.boxes[0].asked, Question::ReuseSerialNumber);
        EXPECT_NE(messages.boxes[0].text.find(std::string("012-0") + given), std::string::npos)
            << messages.boxes[0].text;
        EXPECT_TRUE(simulator->Transcript().empty()) << "nothing sent";
    }
    EXPECT_EQ(recorded.size(), 1u) << "a number not written leaves no row";

    messages.answers = {true};
    ASSERT_EQ(WriteSerial().code, kOk);
    EXPECT_EQ(simulator->Register(2, 1, device::regs::kSerialLo.number), 4661u % 256);
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_NE(recorded[1].details.find("повторно"), std::string::npos) << recorded[1].details;

    controls.general.typeCode = 13;
    messages.boxes.clear();
    EXPECT_EQ(WriteSerial().code, kOk) << "another type code's number";
    EXPECT_TRUE(messages.boxes.empty());

    std::filesystem::create_directory("folder");
    history::SqliteHistory unusable("folder");
    simulator->ClearTranscript();
    controls.general.serialNumber = "5000";
    const RecordedSerialWrite refused =
        WriteSerialNumber(context, unusable, [&](const history::HistoryRecord&) { ADD_FAILURE() << "a row"; });
    EXPECT_EQ(refused.refusal, RecordedSerialWrite::Refusal::History);
    EXPECT_EQ(refused.code, kFileNotOpened);
    EXPECT_NE(refused.message.find("folder"), std::string::npos) << refused.message;
    EXPECT_TRUE(simulator->Transcript().empty());
}

TEST_F(Commands, ProfileSavedUnderTheChosenNameWithPrfAppendedOpensAgain)
{
    Open("PMV7700.prf");
    controls.channels[1].setpoint2 = "12.5";
    SaveProfileAs(context, "mine.prf", {"first line"});
    EXPECT_TRUE(messages.boxes.empty());
    ASSERT_TRUE(std::filesystem::exists("mine.prf.prf"));
    EXPECT_FALSE(std::filesystem::exists("mine.prf"));

    controls.channels[1].setpoint2 = "1";
    const auto description = OpenProfile(context, "mine.prf.prf");
    ASSERT_TRUE(description.has_value());
    EXPECT_EQ((*description)[0], "first line");
    EXPECT_FLOAT_EQ(model.channel[1].th2, 12.5f);
    EXPECT_EQ(host.shown.channels[1].setpoint2, " 12.5000");
}

TEST_F(Commands, AFileThatIsNoProfileIsNeitherTakenNorChanged)
{
    Open("PMV7700.prf");
    const std::string csv = "time,ch1,ch2\r\n12:00:00,20.5,21.0\r\n";
    std::string binary(300, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7);
    test::WriteFileBytes("log.csv", csv);
    test::WriteFileBytes("image.bin", binary);
    controls.channels[0].setpoint1 = "33";
    for (const auto& [file, bytes] : {std::pair{"log.csv", csv}, std::pair{"image.bin", binary}}) {
        messages.boxes.clear();
        EXPECT_FALSE(OpenProfile(context, file).has_value()) << file;
        EXPECT_EQ(BoxTexts(),
                  (std::vector<std::string>{std::string("Файл ") + file +
                                            " не является профилем: в нем нет ни одного раздела настроек"}));
        EXPECT_EQ(test::ReadFileBytes(file), bytes) << file << ": no key written into it";
        EXPECT_FLOAT_EQ(model.channel[0].th1, 33.0f) << file;
    }
    messages.boxes.clear();
    EXPECT_FALSE(OpenProfile(context, "missing.prf").has_value());
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Нет файла профиля missing.prf"}));
    EXPECT_FALSE(std::filesystem::exists("missing.prf"));
}

TEST_F(Commands, AnOpenedProfileWithBadValuesIsRefusedAndOneLackingKeysAsksFirst)
{
    Open("PMV7700.prf");
    controls.channels[0].setpoint1 = "33";
    test::WriteFileBytes("bad.prf", "[CH1]\r\nth1=50,5\r\nth2=abc\r\n[CH2]\r\ndat=99\r\n");
    messages.boxes.clear();
    EXPECT_FALSE(OpenProfile(context, "bad.prf").has_value());
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, "В профиле bad.prf неверные значения (2):\n"
                                      "[CH1] th2, строка 3: \"abc\" — не число\n"
                                      "[CH2] dat, строка 5: \"99\" — вне допустимых значений 0..24\n"
                                      "Профиль не открыт.");
    EXPECT_FLOAT_EQ(model.channel[0].th1, 33.0f);

    test::WriteFileBytes("part.prf", "[CH1]\r\nth1=50,5\r\n");
    for (const bool yes : {false, true}) {
        messages.boxes.clear();
        messages.answers = {yes};
        EXPECT_EQ(OpenProfile(context, "part.prf").has_value(), yes);
        ASSERT_EQ(messages.boxes.size(), 1u);
        EXPECT_TRUE(messages.boxes[0].question);
        EXPECT_EQ(messages.boxes[0].asked, Question::ProfileDefaults);
        EXPECT_EQ(messages.boxes[0].text.rfind("В профиле part.prf нет 55 настроек записываемых групп", 0), 0u)
            << messages.boxes[0].text;
        EXPECT_FLOAT_EQ(model.channel[0].th1, yes ? 50.5f : 33.0f);
    }
}

TEST_F(Commands, WriteSelectedWithNoGroupTickedAsksAndNoSendsNothing)
{
    Open("PMV7700.prf");
    SetGroupBoxes(model, controls, {false, false, false, false});
    const std::string question = "Не выбрана ни одна группа настроек. Записать только параметры регулятора, "
                                 "маркер прибора и перезапустить его?";
    EXPECT_EQ(WriteSelected(context), kStoppedToRevise);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{question, "Прекратили запись для уточнения настроек (ERR 16)"}));
    EXPECT_TRUE(simulator->Transcript().empty());

    messages = {};
    messages.answers = {true};
    EXPECT_EQ(WriteSelected(context), kOk);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{question}));
    EXPECT_EQ(Requests().back(), "1;38;002000;01;") << "the restart, as asked";

    // A ticked group writes without the question.
    messages = {};
    SetGroupBoxes(model, controls, {false, false, true, false});
    EXPECT_EQ(WriteSelected(context), kOk);
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(Commands, AFieldThatDoesNotScanSurvivesAPageChangeAndStopsTheWrite)
{
    Open("PMV7700.prf");
    controls.channels[0].setpoint1 = "7,5";
    controls.channels[1].setpoint2 = "abc";
    SyncControls(context);
    EXPECT_EQ(controls.channels[0].setpoint1, "  7.5000");
    EXPECT_EQ(controls.channels[1].setpoint2, "abc");
    EXPECT_EQ(WriteAll(context), kStoppedToCorrect);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Ошибка задания уставки 2.", kStopped17}));
    EXPECT_TRUE(simulator->Transcript().empty());

    messages = {};
    messages.answers = {true, true, true, true};
    controls.channels[1].setpoint2 = "-2,25";
    EXPECT_EQ(WriteAll(context), kOk);
    EXPECT_FLOAT_EQ(simulator->FloatRegister(2, static_cast<int>(device::regs::Th1(0).number)), 7.5f);
    EXPECT_FLOAT_EQ(simulator->FloatRegister(2, static_cast<int>(device::regs::Th2(1).number)), -2.25f);
}

// ---- The reading parts of the passport page and the configuration report ----

sim::Fault Refusal(device::regs::Register reg, int count = -1)
{
    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = count;
    refuse.status = 0x0003;
    refuse.bank = static_cast<int>(reg.bank);
    refuse.memType = static_cast<int>(reg.memoryType);
    refuse.reg = static_cast<int>(reg.number);
    return refuse;
}

TEST_F(Commands, PassportReadsEveryGroupAndPutsTheSelectionBack)
{
    Open("PMV7700.prf");
    model.channel[0].select = 0;
    model.channel[1].select = 1;
    model.rele.select = 0;
    model.general.gen_select = 0;
    controls.channels[0].setpoint1 = "1";  // not gathered: the value read replaces it
    simulator->SetFloatRegister(2, static_cast<int>(device::regs::Th1(0).number), 77.5f);
    simulator->SetRegister(2, 1, static_cast<int>(device::regs::kMadeMonth.number), 11);

    ASSERT_EQ(ReadForPassport(context), kOk);
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"repaint", "repaint", "show"}));
    EXPECT_EQ(model.channel[0].select, 0);
    EXPECT_EQ(model.channel[1].select, 1);
    EXPECT_EQ(model.rele.select, 0);
    EXPECT_EQ(model.general.gen_select, 0);
    EXPECT_EQ(controls.channels[0].setpoint1, model::FormatNumber(77.5f));
    EXPECT_EQ(model.made_month, 11);
    EXPECT_EQ(model.general.proc_ver, 1) << "the general group was read although not selected";
}

TEST_F(Commands, PassportStopsAtAFailedReadWithTheSelectionBack)
{
    Open("PMV7700.prf");
    model.channel[1].select = 0;
    simulator->InjectFault(Refusal(device::regs::Dat(1)));
    const ErrorCode code = ReadForPassport(context);
    ASSERT_NE(code, kOk);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{FindErrorMessage(code)->text}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"repaint", "repaint"})) << "nothing shown";
    EXPECT_EQ(model.channel[1].select, 0);
    EXPECT_EQ(model.channel[0].select, 1);

    simulator->ClearFaults();
    messages.boxes.clear();
    simulator->InjectFault(Refusal(device::regs::kMadeDay));
    EXPECT_EQ(ReadForPassport(context), code) << "the production date is read after the settings";
    EXPECT_EQ(messages.boxes.size(), 1u);
}

TEST_F(Commands, ReportReadGoesOnPastFailuresButNotPastEsc)
{
    Open("PMV7700.prf");
    simulator->SetFloatRegister(2, static_cast<int>(device::regs::Uref(1).number), 12.5f);
    simulator->InjectFault(Refusal(device::regs::Uref(0)));
    const ErrorCode code = ReadForReport(context);
    ASSERT_NE(code, kOk);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{FindErrorMessage(code)->text}));
    EXPECT_FLOAT_EQ(model.channel[1].uref, 12.5f) << "channel 2 read after channel 1 failed";
    EXPECT_EQ(controls.top.groupBoxes, (GroupFlags{true, true, true, true}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"show", "show"}));

    // Esc during the settings: the message of code 20, and no calibration read afterwards.
    simulator->ClearFaults();
    simulator->ClearTranscript();
    messages.boxes.clear();
    progress.queries = 0;
    progress.escapeAtQuery = 3;  // the first query is the command's own DiscardEscape
    ASSERT_EQ(ReadForReport(context), kStoppedByUser);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{FindErrorMessage(kStoppedByUser)->text}));
    for (const sim::Request& r : simulator->Transcript())
        EXPECT_FALSE(r.memType == 3 && r.reg == static_cast<int>(device::regs::Uref(0).number)) << r.text;
}

}  // namespace
}  // namespace pmv::binding
