#include "sim_fixture.h"

#include "sim/input_stage.h"

#include <bit>
#include <cstdlib>

namespace pmv::sim::test {
namespace {

// U1, U2, U3 of a measurement block answer.
Readings Decode(const std::string& data)
{
    auto at = [&](size_t i) {
        return std::bit_cast<float>(static_cast<uint32_t>(std::stoul(data.substr(i, 8), nullptr, 16)));
    };
    return {at(0), at(8), at(16)};
}

TEST_F(SimTest, TheInputStageMeasuresTheConnectedSourceWithItsTrueCoefficients)
{
    EXPECT_EQ(DataField(line->Exchange("1;37;00E000;")), "00000000000000000000000000") << "nothing connected";

    TrueCoefficients truth;
    truth.ku10 = 9.0;
    truth.uref = 25.0;
    truth.rref = 7000.0;
    sim.SetTrueCoefficients(1, truth);
    sim.ConnectSource(1, {Source::Kind::Volts, 9.0});
    EXPECT_NEAR(Decode(DataField(line->Exchange("1;37;00E001;"))).u1, 1.0f, 2e-5f);
    EXPECT_NEAR(Decode(DataField(line->Exchange("1;37;00E000;"))).u1, 0.0f, 0.0f) << "the other channel has none";

    sim.ConnectSource(1, {Source::Kind::Ohms, 1000.0});
    const Readings r = Decode(DataField(line->Exchange("1;37;00E001;")));
    EXPECT_EQ(r.u1, 0.0f);
    EXPECT_NEAR(r.u2, 25.0 * 1000.0 / 8000.0, 4e-5);

    sim.ConnectSource(1, {Source::Kind::Milliamps5, 5.0});
    const Readings first = Decode(DataField(line->Exchange("1;37;00E001;")));
    const Readings second = Decode(DataField(line->Exchange("1;37;00E001;")));
    EXPECT_NEAR(first.u3, 5.0 / truth.ki05, 1e-5);
    EXPECT_NE(first.u3, second.u3) << "a little noise";

    sim.SetMeasurementBlock(1, EncodeMeasurementBlock(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(Decode(DataField(line->Exchange("1;37;00E001;"))).u3, 3.0f);
    sim.ReleaseMeasurementBlock(1);
    EXPECT_NEAR(Decode(DataField(line->Exchange("1;37;00E001;"))).u3, 5.0 / truth.ki05, 1e-5);
}

TEST(InputStageOptions, SourcesAndTrueCoefficientsFromTheCommandLine)
{
    const auto source = ParseSourceOption("2:mA20:20");
    ASSERT_TRUE(source);
    EXPECT_EQ(source->first, 1);
    EXPECT_EQ(source->second.kind, Source::Kind::Milliamps20);
    EXPECT_EQ(source->second.value, 20.0);
    for (const char* bad : {"3:V:10", "1:A:1", "1:V:", "1:V:-1", "1:V:10:2", "1:V:1e999", "V:10"})
        EXPECT_FALSE(ParseSourceOption(bad)) << bad;

    std::array<TrueCoefficients, 2> k{};
    EXPECT_TRUE(ApplyTrueOption("1:rref:7100.5", k));
    EXPECT_EQ(k[0].rref, 7100.5);
    EXPECT_EQ(k[1].rref, TrueCoefficients{}.rref);
    for (const char* bad : {"1:rref:0", "2:kx:1", "0:ku:1", "1:ku:nan", "1:ku:1x"})
        EXPECT_FALSE(ApplyTrueOption(bad, k)) << bad;
}

}  // namespace
}  // namespace pmv::sim::test
