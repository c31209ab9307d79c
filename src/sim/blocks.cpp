#include "blocks.h"

#include <bit>
#include <cmath>
#include <numbers>

namespace pmv::sim {
namespace {

void PutFloat(uint8_t* out, float value)
{
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(bits >> (24 - 8 * i));
}

float FloatCell(const RegisterMemory& memory, int reg) { return std::bit_cast<float>(memory.Get(2, 3, reg)); }

// Setpoint type 1 acts on a falling value, type 2 on a rising one.
bool SetpointActive(int type, float value, float threshold)
{
    return (type == 1 && value < threshold) || (type == 2 && value > threshold);
}

}  // namespace

LiveBlock EncodeLiveBlock(const LiveValues& v)
{
    LiveBlock b{};
    b[2] = v.relays;
    b[3] = v.panel;
    for (int ch = 0; ch < 2; ++ch) {
        PutFloat(&b[static_cast<size_t>(4 + 6 * ch)], v.value[ch]);
        b[static_cast<size_t>(8 + 6 * ch)] = v.status[ch];
        b[static_cast<size_t>(9 + 6 * ch)] = v.signals[ch];
    }
    return b;
}

MeasurementBlock EncodeMeasurementBlock(float u1, float u2, float u3, uint8_t status)
{
    MeasurementBlock b{};
    PutFloat(&b[0], u1);
    PutFloat(&b[4], u2);
    PutFloat(&b[8], u3);
    b[12] = status;
    return b;
}

MeasurementBlock BlockSource::NextMeasurement(int channel)
{
    if (const auto& fixed = fixedMeasurement_[static_cast<size_t>(channel)])
        return *fixed;
    const Readings r = inputs_.Measure(channel);
    return EncodeMeasurementBlock(r.u1, r.u2, r.u3);
}

LiveBlock BlockSource::NextLive(const RegisterMemory& memory)
{
    if (fixedLive_)
        return *fixedLive_;
    const double phase = 2 * std::numbers::pi * liveReads_++ / 40.0;
    LiveValues v;
    v.value[0] = static_cast<float>(21.5 + 0.5 * std::sin(phase));
    v.value[1] = static_cast<float>(48.0 + 3.0 * std::sin(phase + 1.0));
    for (int ch = 0; ch < 2; ++ch) {
        if (memory.Get(2, 1, 341 + ch) != 0) {
            v.status[ch] = 12;
            continue;
        }
        const int base = 4 * ch;
        const bool sp1 =
            SetpointActive(static_cast<int>(memory.Get(2, 1, 327 + base)), v.value[ch], FloatCell(memory, 29 + base));
        const bool sp2 =
            SetpointActive(static_cast<int>(memory.Get(2, 1, 328 + base)), v.value[ch], FloatCell(memory, 30 + base));
        v.signals[ch] = static_cast<uint8_t>((sp1 ? 1 : 0) | (sp2 ? 2 : 0));
        v.relays |= v.signals[ch];
    }
    return EncodeLiveBlock(v);
}

}  // namespace pmv::sim
