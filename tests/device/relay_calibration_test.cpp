#include "device_fixture.h"

#include "device/calibration_coefficients.h"
#include "device/output_test.h"
#include "device/relay_regulator.h"
#include "device/service_commands.h"
#include "messages/error_codes.h"

namespace pmv::device {
namespace {

using RelayTest = test::DeviceTest;
using CalibrationTest = test::DeviceTest;
using OutputTestTest = test::DeviceTest;

TEST_F(RelayTest, RelayGroupOnlyWhenSelectedRegulatorAlways)
{
    model.rele.select = 0;
    EXPECT_EQ(ReadRelayLogic(device), kOk);
    EXPECT_EQ(WriteRelayLogic(device), kOk);
    EXPECT_TRUE(simulator->Transcript().empty());

    model.rele.select = 1;
    model.rele.rel1_msk0 = 0x40;
    model.rele.rel1_msk1 = 0x04;
    model.channel[0].ver_rel_proc = 2;
    ASSERT_EQ(WriteRelayLogic(device), kOk);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"W 2.1.325=2", "W 2.1.326=0", "W 2.1.6=0", "W 2.1.7=0",
                                                    "W 2.1.8=64", "W 2.1.9=4"}));
    EXPECT_EQ(progress.lines[1], "Запись логики реле");
    EXPECT_EQ(progress.lines[5], kEscapeHint) << "Esc stops the relay group between its registers";
    EXPECT_FALSE(progress.shown);
    EXPECT_FLOAT_EQ(simulator->FloatRegister(2, 6), 0.0f) << "the mask never touches koef1 of channel 1";
}

TEST_F(RelayTest, GroupFailureLeavesLaterFieldsAndThePanel)
{
    model.channel[1].pulse_int = 9;
    Refuse(2, 1, 340, 0x0003);
    simulator->SetRegister(2, 1, 339, 7);
    EXPECT_EQ(ReadRegulatorParameters(device), kCannotParse);
    EXPECT_EQ(model.channel[0].pulse_int, 7);
    EXPECT_EQ(model.channel[1].pulse_int, 9);
    EXPECT_TRUE(progress.shown) << "the caller hides it";
}

TEST_F(CalibrationTest, CoefficientsOfTheSecondChannel)
{
    simulator->SetFloatRegister(2, 20, 7491.0f);
    ASSERT_EQ(ReadCalibrationCoefficients(device, 1), kOk);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"R 2.3.18", "R 2.3.20", "R 2.3.22", "R 2.3.24", "R 2.3.26", "R 2.3.28"}));
    EXPECT_FLOAT_EQ(model.channel[1].rref, 7491.0f);
    EXPECT_EQ(progress.lines[0], "Чтение градуировок канала 2");
    EXPECT_EQ(progress.lines[1], "Ki 0-20 mA");

    simulator->ClearTranscript();
    model.channel[1].ku = 95.5f;
    ASSERT_EQ(WriteCalibrationCoefficients(device, 1), kOk);
    EXPECT_EQ(Requests().size(), 12u);
    EXPECT_FLOAT_EQ(simulator->FloatRegister(2, 22), 95.5f);
}

TEST_F(CalibrationTest, GroupsAndEscape)
{
    ASSERT_EQ(WriteCalibrationGroup(device, 1, 0), kOk);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"W 2.3.17=0", "R 2.3.17", "W 2.3.19=0", "R 2.3.19"}));
    simulator->ClearTranscript();
    EXPECT_EQ(WriteCalibrationGroup(device, 0, 0), kOk);
    EXPECT_EQ(WriteCalibrationGroup(device, 6, 0), kOk);
    EXPECT_TRUE(simulator->Transcript().empty());

    progress.escapeAtQuery = 6;  // the test after the sixth coefficient never comes
    EXPECT_EQ(ReadCalibrationCoefficients(device, 0), kOk);
    progress.queries = 0;
    progress.escapeAtQuery = 2;
    EXPECT_EQ(ReadCalibrationCoefficients(device, 0), kStoppedByUser);
    EXPECT_FALSE(progress.shown);
}

TEST_F(CalibrationTest, ReadBackFurtherThanAHundredthFails)
{
    sim::Fault wrong{sim::Fault::Kind::WrongReadBack};
    wrong.count = -1;
    wrong.bank = 2;
    wrong.memType = 3;
    wrong.reg = 19;
    simulator->InjectFault(wrong);
    EXPECT_EQ(WriteCalibrationGroup(device, 1, 0), kReadBackMismatch);
}

TEST_F(OutputTestTest, SelectingOutputsWritesTheirMaskBytes)
{
    OutputTest test(exchange);
    ASSERT_EQ(test.SelectTestOutput(3), kOk);
    simulator->ClearTranscript();
    ASSERT_EQ(test.SelectTestOutput(9), kOk);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"W 1.1.6=2", "W 1.1.5=0"}));
    ASSERT_EQ(test.SelectTestOutput(3), kOk);
    simulator->ClearTranscript();
    ASSERT_EQ(test.SelectTestOutput(4), kOk);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"W 1.1.5=16", "W 1.1.5=16"}));

    simulator->ClearTranscript();
    ASSERT_EQ(test.ToggleTestMode(), kOk);
    ASSERT_EQ(test.PreviousOutput(), kOk);
    EXPECT_EQ(test.runningIndex(), 35u);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"W 1.1.4=1", "W 1.1.9=8", "W 1.1.5=0"}));
    ASSERT_EQ(test.NextOutput(), kOk);
    EXPECT_EQ(test.runningIndex(), 0u);

    simulator->ClearTranscript();
    ASSERT_EQ(test.AllOn(), kOk);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"W 1.1.5=255", "W 1.1.6=255", "W 1.1.7=255", "W 1.1.8=255", "W 1.1.9=255"}));
}

TEST_F(OutputTestTest, TimedWalkStopsAtTheFirstFailure)
{
    OutputTest test(exchange);
    ASSERT_EQ(test.RunStop(), kOk);
    ASSERT_EQ(test.Tick(), kOk);
    ASSERT_EQ(test.Tick(), kOk);
    EXPECT_EQ(test.runningIndex(), 2u);
    EXPECT_EQ(simulator->Register(1, 1, 5), 2u);

    sim::Fault refuse{sim::Fault::Kind::Status};
    refuse.count = -1;
    refuse.status = 0x0001;
    simulator->InjectFault(refuse);
    EXPECT_EQ(test.Tick(), kDeviceError);
    EXPECT_FALSE(test.running());
    simulator->ClearFaults();
    simulator->ClearTranscript();
    EXPECT_EQ(test.Tick(), kOk);
    EXPECT_TRUE(simulator->Transcript().empty());
}

TEST_F(OutputTestTest, FactoryResetOnlyOnYes)
{
    test::RecordingMessages messages;
    EXPECT_EQ(FactoryReset(exchange, messages), kOk);
    EXPECT_EQ(simulator->FactoryResetCount(), 0);
    messages.answers = {true};
    EXPECT_EQ(FactoryReset(exchange, messages), kOk);
    EXPECT_EQ(simulator->FactoryResetCount(), 1);
    EXPECT_EQ(messages.boxes.back().caption, "Предупреждение");
    EXPECT_EQ(Restart(exchange), kOk);
    EXPECT_EQ(simulator->RestartCount(), 1);
}

}  // namespace
}  // namespace pmv::device
