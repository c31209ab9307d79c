#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace pmv::sim {

// A reference signal on a channel's input, as a calibration bench applies it.
struct Source {
    enum class Kind {
        None,
        Volts,        // the 0-10 V input, value in V
        Millivolts,   // the 0-100 mV input, value in mV
        Milliamps20,  // the 0-20 mA input, value in mA
        Milliamps5,   // the 0-5 mA input, value in mA
        Ohms,         // a resistor, value in ohm
    };
    Kind kind = Kind::None;
    double value = 0;
};

// The instrument's own coefficients: what its input stage really does, whatever the
// calibration registers say. They differ from the factory register values on purpose, so
// that a calibration has something to find.
struct TrueCoefficients {
    double uref = 26.05, rref = 7380.0, ku = 95.2, ku10 = 9.51, ki05 = 18.21, ki020 = 18.64;
};

// The raw readings of one channel.
struct Readings {
    float u1 = 0, u2 = 0, u3 = 0;
};

// What the channels measure: U1 = voltage / Ku, U3 = current / Ki, and for a resistor R in the
// divider with the reference resistor U2 = Uref * R / (R + Rref), U1 = 0. Every reading carries
// a relative noise of at most 1e-5 from a fixed sequence, so runs repeat.
class InputStage {
public:
    static constexpr double kNoise = 1e-5;

    void Connect(int channel, const Source& source) { sources_[static_cast<size_t>(channel)] = source; }
    const Source& Connected(int channel) const { return sources_[static_cast<size_t>(channel)]; }
    void SetTrue(int channel, const TrueCoefficients& c) { true_[static_cast<size_t>(channel)] = c; }
    const TrueCoefficients& True(int channel) const { return true_[static_cast<size_t>(channel)]; }

    Readings Measure(int channel);

private:
    double Noisy(double value);

    std::array<Source, 2> sources_{};
    std::array<TrueCoefficients, 2> true_{};
    uint32_t noise_ = 12345;
};

// pmvsim's "--source CH:KIND:VALUE" (KIND V, mV, mA20, mA5 or ohm; CH 1 or 2): the channel
// index 0 or 1 and the source, or nothing when the text is malformed.
std::optional<std::pair<int, Source>> ParseSourceOption(const std::string& text);

// pmvsim's "--true CH:NAME:VALUE" (NAME uref, rref, ku, ku10, ki05 or ki020, VALUE positive):
// sets one true coefficient; false when the text is malformed.
bool ApplyTrueOption(const std::string& text, std::array<TrueCoefficients, 2>& coefficients);

}  // namespace pmv::sim
