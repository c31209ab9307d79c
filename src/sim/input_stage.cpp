#include "input_stage.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace pmv::sim {
namespace {

std::vector<std::string> SplitColons(const std::string& text)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ':');)
        parts.push_back(part);
    return parts;
}

std::optional<int> ChannelIndex(const std::string& text)
{
    if (text == "1" || text == "2")
        return text[0] - '1';
    return std::nullopt;
}

// A finite number and nothing after it.
std::optional<double> Number(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v))
        return std::nullopt;
    return v;
}

}  // namespace

double InputStage::Noisy(double value)
{
    noise_ = noise_ * 1664525u + 1013904223u;
    const double unit = static_cast<double>(noise_ >> 8) / static_cast<double>(1u << 24) * 2.0 - 1.0;
    return value * (1.0 + kNoise * unit);
}

Readings InputStage::Measure(int channel)
{
    const Source& s = Connected(channel);
    const TrueCoefficients& k = True(channel);
    Readings r;
    switch (s.kind) {
    case Source::Kind::None: break;
    case Source::Kind::Volts: r.u1 = static_cast<float>(Noisy(s.value / k.ku10)); break;
    case Source::Kind::Millivolts: r.u1 = static_cast<float>(Noisy(s.value / k.ku)); break;
    case Source::Kind::Milliamps20: r.u3 = static_cast<float>(Noisy(s.value / k.ki020)); break;
    case Source::Kind::Milliamps5: r.u3 = static_cast<float>(Noisy(s.value / k.ki05)); break;
    case Source::Kind::Ohms:
        if (s.value + k.rref != 0)
            r.u2 = static_cast<float>(Noisy(k.uref * s.value / (s.value + k.rref)));
        break;
    }
    return r;
}

std::optional<std::pair<int, Source>> ParseSourceOption(const std::string& text)
{
    const auto parts = SplitColons(text);
    if (parts.size() != 3)
        return std::nullopt;
    const auto channel = ChannelIndex(parts[0]);
    const auto value = Number(parts[2]);
    if (!channel || !value || *value < 0)
        return std::nullopt;
    // clang-format off
    static const std::pair<const char*, Source::Kind> kKinds[] = {
        {"V", Source::Kind::Volts},         {"mV", Source::Kind::Millivolts}, {"mA20", Source::Kind::Milliamps20},
        {"mA5", Source::Kind::Milliamps5}, {"ohm", Source::Kind::Ohms},
    };
    // clang-format on
    for (const auto& [word, kind] : kKinds)
        if (parts[1] == word)
            return std::pair{*channel, Source{kind, *value}};
    return std::nullopt;
}

bool ApplyTrueOption(const std::string& text, std::array<TrueCoefficients, 2>& coefficients)
{
    const auto parts = SplitColons(text);
    if (parts.size() != 3)
        return false;
    const auto channel = ChannelIndex(parts[0]);
    const auto value = Number(parts[2]);
    if (!channel || !value || *value <= 0)
        return false;
    // clang-format off
    static const std::pair<const char*, double TrueCoefficients::*> kNames[] = {
        {"uref", &TrueCoefficients::uref}, {"rref", &TrueCoefficients::rref}, {"ku", &TrueCoefficients::ku},
        {"ku10", &TrueCoefficients::ku10}, {"ki05", &TrueCoefficients::ki05}, {"ki020", &TrueCoefficients::ki020},
    };
    // clang-format on
    for (const auto& [name, field] : kNames)
        if (parts[1] == name) {
            coefficients[static_cast<size_t>(*channel)].*field = *value;
            return true;
        }
    return false;
}

}  // namespace pmv::sim
