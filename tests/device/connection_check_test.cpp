#include "device_fixture.h"
#include "fake_machine.h"

#include "device/connection_check.h"

#include <gtest/gtest.h>

namespace pmv::device {
namespace {

// The machine's checks reached through a port's by-id name or links (the checks themselves are
// tested in tests/system).
using ConnectionCheckTest = test::FakeMachineTest;

TEST_F(ConnectionCheckTest, AByIdNameIsFollowedToTheAdaptersDeviceAndBothAreNamed)
{
    const auto byId = CheckSystem(view_, "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0");
    EXPECT_TRUE(system::AllClear(byId));
    EXPECT_NE(byId.front().text.find("/dev/ttyUSB0"), std::string::npos);
    // A failed open through the by-id name is explained by the device it leads to.
    Process(4242, "minicom", {"/dev/ttyUSB0"});
    const std::string why = ExplainOpenFailure(view_, "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "busy");
    EXPECT_NE(why.find("minicom (PID 4242)"), std::string::npos) << why;
}

TEST_F(ConnectionCheckTest, LinksThatLoopDoNotHangTheCheck)
{
    Link("/dev/loop-a", "loop-b");
    Link("/dev/loop-b", "loop-a");
    EXPECT_EQ(OnlyProblem(CheckSystem(view_, "/dev/loop-a")).topic, "device");
}

using InstrumentCheckTest = test::DeviceTest;

TEST_F(InstrumentCheckTest, TheInstrumentAnswersWithItsFirmwareVersion)
{
    exchange.values().DeviceAddress = 1;
    const system::Finding answered = CheckInstrument(exchange, 9600);
    EXPECT_EQ(answered.state, system::FindingState::Ok);
    EXPECT_NE(answered.text.find("по адресу 1 на скорости 9600, версия программы 1.1.2."), std::string::npos)
        << answered.text;

    exchange.values().DeviceAddress = 5;
    const system::Finding silent = CheckInstrument(exchange, 9600);
    EXPECT_EQ(silent.state, system::FindingState::Problem);
    EXPECT_NE(silent.text.find("(ERR 2)"), std::string::npos) << silent.text;
    EXPECT_EQ(silent.fix, "pmvctl scan");
}

TEST_F(InstrumentCheckTest, SaysWhetherTheInstrumentsAnswersVerify)
{
    const system::Finding good = CheckInstrument(exchange, 9600);
    EXPECT_EQ(good.state, system::FindingState::Ok);
    EXPECT_NE(good.text.find("Контрольные суммы его ответов сходятся."), std::string::npos) << good.text;

    sim::Fault foreign{sim::Fault::Kind::ForeignChecksum};
    foreign.count = -1;
    simulator->InjectFault(foreign);
    const system::Finding refused = CheckInstrument(exchange, 9600);
    EXPECT_EQ(refused.state, system::FindingState::Problem);
    EXPECT_NE(refused.text.find("версия программы 1.1.2. Но контрольные суммы его ответов не сходятся"),
              std::string::npos)
        << refused.text;
    EXPECT_NE(refused.fix.find("VerifyAnswerCrc=0"), std::string::npos) << refused.fix;
    EXPECT_TRUE(exchange.values().VerifyAnswers) << "the check leaves the setting as it was";

    exchange.values().VerifyAnswers = false;
    const system::Finding accepted = CheckInstrument(exchange, 9600);
    EXPECT_EQ(accepted.state, system::FindingState::Ok);
    EXPECT_NE(accepted.text.find("не сходятся; их проверка отключена"), std::string::npos) << accepted.text;
    simulator->ClearFaults();
    EXPECT_NE(CheckInstrument(exchange, 9600).text.find("сходятся, но их проверка отключена"), std::string::npos);

    // Answers that are no data answers at all are no question of checksums.
    exchange.values().VerifyAnswers = true;
    sim::Fault noise{sim::Fault::Kind::FlippedBit};
    noise.count = -1;
    noise.flipByte = 0;  // the "!"
    simulator->InjectFault(noise);
    const system::Finding garbled = CheckInstrument(exchange, 9600);
    EXPECT_EQ(garbled.state, system::FindingState::Problem);
    EXPECT_EQ(garbled.fix, "pmvctl scan");
    EXPECT_EQ(garbled.text.find("VerifyAnswerCrc"), std::string::npos) << garbled.text;
}

TEST(PortNotOpen, APortWithNoDeviceIsToldInOneSentence)
{
    EXPECT_EQ(PortNotOpen("").text, "Порт не задан, прибор не опрошен. Устраните причины выше и повторите проверку.");
    EXPECT_EQ(PortNotOpen("/dev/ttyUSB0").text,
              "Порт /dev/ttyUSB0 не открыт, прибор не опрошен. Устраните причины выше и повторите проверку.");
}

}  // namespace
}  // namespace pmv::device
