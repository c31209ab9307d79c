#include "device_fixture.h"

#include "device/calibration_procedures.h"
#include "messages/error_codes.h"
#include "sim/blocks.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace pmv::device {
namespace {

using sim::Source;

class ProcedureTest : public test::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        model::CalibrationSettings& g = model.grad;
        g = {1,      8,     180,   9000.0f, 5000.0f, 32.0f, 18.0f, 22.0f, 14.0f, 22.0f, 14.0f,
             115.0f, 75.0f, 11.5f, 7.5f,    2,       3,     2,     8,     8,     8};
        for (model::ChannelSettings& c : model.channel) {
            c.uref = 26.32f, c.rref = 7491.0f, c.ku = 94.44f, c.ku10 = 9.43f, c.ki05 = 18.43f, c.ki020 = 18.43f;
            c.set_ra = 40.0f, c.set_rb = 300.0f, c.set_ku = 100.0f, c.set_ku10 = 10.0f, c.set_ki05 = 5.0f,
            c.set_ki020 = 20.0f;
        }
        // The bench: what the operator is asked to connect is connected.
        calibration.referenceConnected = [this](uint32_t ch, Reference r, float value) {
            static constexpr Source::Kind kKinds[] = {Source::Kind::Volts, Source::Kind::Millivolts,
                                                      Source::Kind::Milliamps20, Source::Kind::Milliamps5,
                                                      Source::Kind::Ohms};
            simulator->ConnectSource(static_cast<int>(ch), {kKinds[static_cast<int>(r)], value});
        };
        clock.onWait = [this](int) { panels.push_back(progress.lines); };
    }

    size_t Count(const std::string& request) const
    {
        const auto r = Requests();
        return static_cast<size_t>(std::count(r.begin(), r.end(), request));
    }
    bool AnyWrite() const
    {
        const auto r = Requests();
        return std::any_of(r.begin(), r.end(), [](const std::string& s) { return s[0] == 'W'; });
    }

    test::RecordingMessages messages;
    test::TestClock clock;
    Calibration calibration{device, messages, clock};
    std::vector<ProgressLines> panels;  // the panel at each one-second wait
};

TEST_F(ProcedureTest, EachVariantFindsTheTrueCoefficientAndWritesItsGroupOnYes)
{
    struct Case {
        CalibrationVariant variant;
        uint32_t ch;
        float model::ChannelSettings::*field;
        double sim::TrueCoefficients::*truth;
        int reg;
    };
    const Case cases[] = {
        {CalibrationVariant::Ku10, 0, &model::ChannelSettings::ku10, &sim::TrueCoefficients::ku10, 23},
        {CalibrationVariant::Ku100, 1, &model::ChannelSettings::ku, &sim::TrueCoefficients::ku, 22},
        {CalibrationVariant::Ki20, 0, &model::ChannelSettings::ki020, &sim::TrueCoefficients::ki020, 27},
        {CalibrationVariant::Ki5, 1, &model::ChannelSettings::ki05, &sim::TrueCoefficients::ki05, 26},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reg);
        simulator->ClearTranscript();
        const int restarts = simulator->RestartCount();
        messages.answers = {true, true};
        ASSERT_EQ(CalibrateCoefficient(calibration, c.variant, c.ch), kOk);
        const double truth = simulator->TrueCoefficientsOf(static_cast<int>(c.ch)).*c.truth;
        EXPECT_NEAR(model.channel[c.ch].*c.field, truth, truth * 1e-3);
        EXPECT_NEAR(simulator->FloatRegister(2, c.reg), truth, truth * 1e-3);
        const auto r = Requests();
        ASSERT_GE(r.size(), 3u);
        EXPECT_EQ(r[r.size() - 3].rfind("W 2.3." + std::to_string(c.reg) + "=", 0), 0u);
        EXPECT_EQ(r.back(), "W 1.1.0=1");
        EXPECT_EQ(simulator->RestartCount(), restarts + 1);
        EXPECT_FALSE(progress.shown);
    }

    simulator->ClearTranscript();
    messages.boxes.clear();
    messages.answers = {true, true, true};
    ASSERT_EQ(CalibrateReference(calibration, 1), kOk);
    const sim::TrueCoefficients truth = simulator->TrueCoefficientsOf(1);
    EXPECT_NEAR(model.channel[1].uref, truth.uref, truth.uref * 1e-3);
    EXPECT_NEAR(model.channel[1].rref, truth.rref, truth.rref * 1e-3);
    const auto r = Requests();
    ASSERT_GE(r.size(), 5u);
    EXPECT_EQ(r[r.size() - 5].rfind("W 2.3.18=", 0), 0u) << "UREF first";
    EXPECT_EQ(r[r.size() - 3].rfind("W 2.3.20=", 0), 0u);
    EXPECT_EQ(r.back(), "W 1.1.0=1");
    EXPECT_EQ(messages.boxes[0].text, "Подключите ко входу резистор сопротивлением  40.0000  Ом");
    EXPECT_EQ(messages.boxes[1].asked, Question::ReferenceConnected);
    EXPECT_EQ(messages.boxes[2].asked, Question::WriteCalibrationResult);
    EXPECT_EQ(messages.boxes[1].text, "Подключите ко входу резистор сопротивлением 300.0000  Ом");
    EXPECT_EQ(messages.boxes[2].text.rfind("В результате получили Uref= 26.", 0), 0u) << messages.boxes[2].text;
    EXPECT_NE(messages.boxes[2].text.find("   Rref=73", 0), std::string::npos) << messages.boxes[2].text;
    EXPECT_NE(messages.boxes[2].text.find("\n(прежние значения: Uref="), std::string::npos) << messages.boxes[2].text;
}

TEST_F(ProcedureTest, AverageOfOnePointZeroSixAgainstTenVolts)
{
    simulator->SetMeasurementBlock(0, sim::EncodeMeasurementBlock(1.06f, 2.0f, 0.5f, 9));
    messages.answers = {true, false};
    ASSERT_EQ(CalibrateCoefficient(calibration, CalibrationVariant::Ku10, 0), kOk);
    EXPECT_NEAR(model.channel[0].ku10, 9.4340f, 5e-5f) << "stored in the model on No";
    EXPECT_FALSE(AnyWrite());

    ASSERT_EQ(messages.boxes.size(), 2u);
    EXPECT_EQ(messages.boxes[0].caption, "Градуировка параметра Ku 0-10 V");
    EXPECT_EQ(messages.boxes[0].text, "Подключите ко входу напряжение  10.0000  V");
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Information);
    EXPECT_EQ(messages.boxes[1].caption, "Результат градуировки");
    // The coefficient the result would replace stands beside it.
    EXPECT_EQ(messages.boxes[1].text,
              "В результате получили Ku 0-10 V=  9.4340.  Записать в прибор сразу?\n(прежнее значение:   9.4300)");
    EXPECT_EQ(messages.boxes[1].icon, MessageIcon::Information) << "a good result is no error";
    // pmvctl's --no answers by these, whatever the captions say.
    EXPECT_EQ(messages.boxes[0].asked, Question::ReferenceConnected);
    EXPECT_EQ(messages.boxes[1].asked, Question::WriteCalibrationResult);

    // A dwell of 3 s: 3, 2, 1 seconds left and three block reads, then the series of eight.
    ASSERT_EQ(panels.size(), 3u + 8u);
    EXPECT_EQ(Count("R 1.4.0"), 3u + 8u);
    EXPECT_EQ(clock.waitedMs, 11 * 1000);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(panels[i][0], "Идет градуировка по Ku 0-10 V.");
        EXPECT_EQ(panels[i][1], "Выполняется выдержка времени.");
        EXPECT_EQ(panels[i][2], "До окончания осталось " + std::to_string(3 - i) + " сек");
        EXPECT_EQ(panels[i][5], "Для прекращения нажмите ESC");
    }
    EXPECT_EQ(panels[0][4], "U1=  0.0000000   U2=  0.0000000   U3=  0.0000000   ERR=0000") << "nothing read yet";
    EXPECT_EQ(panels[1][4], "U1=  1.0599999   U2=  2.0000000   U3=  0.5000000   ERR=0009");
    EXPECT_EQ(panels[10][1], "Идет накопление результатов измерения.");
    EXPECT_EQ(panels[10][2], "Измерение 8 из 8");
    EXPECT_EQ(panels[10][4], "  1.0599999   U2=  2.0000000   U3=  0.5000000   ERR 0009") << "the Ku 0-10 V series";
}

TEST_F(ProcedureTest, NoAtTheSecondResistorStoresNothing)
{
    messages.answers = {true, false};
    ASSERT_EQ(CalibrateReference(calibration, 0), kOk);
    EXPECT_EQ(Count("R 1.4.0"), 2u + 8u) << "the first dwell and series ran";
    EXPECT_FLOAT_EQ(model.channel[0].uref, 26.32f);
    EXPECT_FLOAT_EQ(model.channel[0].rref, 7491.0f);
    EXPECT_FALSE(AnyWrite());
    EXPECT_EQ(panels[0][1], "Выполняется выдержка времени перед измерением с первым резистором.");
    EXPECT_EQ(panels[2][1], "Идет накопление результатов измерения с первым резистором.");
}

TEST_F(ProcedureTest, WithoutImmediateWriteTheInstrumentIsUntouched)
{
    model.grad.wr_grad_immid = 0;
    messages.answers = {true};
    ASSERT_EQ(CalibrateCoefficient(calibration, CalibrationVariant::Ki5, 0), kOk);
    EXPECT_NEAR(model.channel[0].ki05, 18.21f, 0.02f);
    EXPECT_FALSE(AnyWrite());
    EXPECT_EQ(messages.boxes.size(), 1u) << "no question about writing";
    EXPECT_EQ(simulator->RestartCount(), 0);
}

TEST_F(ProcedureTest, EscAFailedReadOrAFailedGatherStoreNothing)
{
    messages.answers = {true};
    progress.escapeAtQuery = 2;  // during the dwell
    EXPECT_EQ(CalibrateCoefficient(calibration, CalibrationVariant::Ku100, 0), kStoppedByUser);
    EXPECT_FALSE(progress.shown);

    progress.queries = 0;
    progress.escapeAtQuery = 5;  // in the series
    messages.answers = {true, true, true};
    EXPECT_EQ(CalibrateReference(calibration, 0), kStoppedByUser);
    EXPECT_FALSE(progress.shown);

    progress.escapeAtQuery = 0;
    clock.waits = 0;
    clock.onWait = [this](int n) {
        if (n == 6)
            Refuse(1, 4, 0, 0x0003);
    };
    messages.answers = {true, true};
    EXPECT_EQ(CalibrateCoefficient(calibration, CalibrationVariant::Ki20, 0), kCannotParse)
        << "a status answer carries no measurement block";
    EXPECT_FALSE(progress.shown);

    simulator->ClearFaults();
    messages.boxes.clear();
    calibration.gather = [] { return kBadNumber; };
    EXPECT_EQ(CalibrateCoefficient(calibration, CalibrationVariant::Ku10, 0), kBadNumber);
    EXPECT_TRUE(messages.boxes.empty()) << "the calling command shows the code";

    EXPECT_FALSE(AnyWrite());
    EXPECT_FLOAT_EQ(model.channel[0].ku, 94.44f);
    EXPECT_FLOAT_EQ(model.channel[0].uref, 26.32f);
    EXPECT_FLOAT_EQ(model.channel[0].ki020, 18.43f);
}

TEST_F(ProcedureTest, OutOfBoundsOrNonFiniteResultsAreRefused)
{
    simulator->SetMeasurementBlock(0, sim::EncodeMeasurementBlock(2.0f, 0.0f, 0.0f));
    messages.answers = {true, true};
    ASSERT_EQ(CalibrateCoefficient(calibration, CalibrationVariant::Ku10, 0), kOk);
    EXPECT_EQ(messages.boxes.back().text, "Ku 0-10 V =  5.0000  и выходит за границы допустимого");
    EXPECT_EQ(messages.boxes.back().caption, "Ошибка калибровки");
    EXPECT_EQ(messages.boxes.back().icon, MessageIcon::Warning);

    // Nothing on the input: an average of 0 for Ki, a zero denominator for UREF/RREF.
    simulator->ReleaseMeasurementBlock(0);
    simulator->ConnectSource(0, {});
    calibration.referenceConnected = nullptr;
    messages.answers = {true, true};
    ASSERT_EQ(CalibrateCoefficient(calibration, CalibrationVariant::Ki20, 0), kOk);
    EXPECT_EQ(messages.boxes.back().text, "Ki 0-20 =     inf  и выходит за границы допустимого");
    messages.answers = {true, true, true};
    ASSERT_EQ(CalibrateReference(calibration, 0), kOk);
    EXPECT_EQ(messages.boxes.back().text.rfind("Rref=", 0), 0u);
    EXPECT_NE(messages.boxes.back().text.find("nan и выходит за границы допустимого"), std::string::npos)
        << messages.boxes.back().text;

    model.grad.usr_ku = 0;
    simulator->SetMeasurementBlock(0, sim::EncodeMeasurementBlock(1.06f, 0.0f, 0.0f));
    messages.answers = {true, true};
    ASSERT_EQ(CalibrateCoefficient(calibration, CalibrationVariant::Ku10, 0), kOk);
    EXPECT_NE(messages.boxes.back().text.find("nan"), std::string::npos) << "no measurements averaged";

    EXPECT_FALSE(AnyWrite());
    EXPECT_FLOAT_EQ(model.channel[0].ku10, 9.43f);
    EXPECT_FLOAT_EQ(model.channel[0].ki020, 18.43f);
    EXPECT_FLOAT_EQ(model.channel[0].rref, 7491.0f);
}

TEST_F(ProcedureTest, MeasurementRecordFloatRulesAndDwellBounds)
{
    sim::MeasurementBlock block = sim::EncodeMeasurementBlock(0.0f, 1e6f, std::nanf(""), 0x2A);
    block[0] = 0x7F, block[1] = 0x80, block[2] = 0x00, block[3] = 0x01;  // a signalling NaN
    simulator->SetMeasurementBlock(1, block);
    MeasurementRecord r{1, 1, 1, 1};
    ASSERT_EQ(ReadMeasurementBlock(exchange, 1, r), kOk);
    EXPECT_EQ(MeasurementLine(r), "U1=  0.0000000   U2=65536.0000000   U3=-65536.0000000   ERR=002A");

    Refuse(1, 4, 1, 0x0003);
    EXPECT_NE(ReadMeasurementBlock(exchange, 1, r), kOk);
    EXPECT_FLOAT_EQ(r.u2, 65536.0f) << "a failed read leaves the record";
    simulator->ClearFaults();

    // Unlike the live-values block, a status answer is not read as the instrument's status.
    Refuse(1, 4, 1, 0x0006);
    EXPECT_EQ(ReadMeasurementBlock(exchange, 1, r), kCannotParse) << "a status answer carries no block";
    simulator->ClearFaults();

    // A dwell of no seconds would never count down to 1; it takes one.
    simulator->ClearTranscript();
    EXPECT_EQ(Dwell(calibration, "t", "x", 0, 1), kOk);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"R 1.4.1"}));
}

}  // namespace
}  // namespace pmv::device
