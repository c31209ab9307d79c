#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "input_stage.h"
#include "register_memory.h"

namespace pmv::sim {

// Block 2 of bank 1: the live values.
using LiveBlock = std::array<uint8_t, 16>;
// Blocks 0 and 1 of bank 1: the measurement block of channel 1 and 2.
using MeasurementBlock = std::array<uint8_t, 13>;

struct LiveValues {
    uint8_t relays = 0;               // bit 0 relay 1, bit 1 relay 2
    uint8_t panel = 0;                // bits 0-4 buttons, bits 5-6 rotary encoder
    float value[2] = {21.5f, 48.0f};  // measured value of CH1, CH2
    uint8_t status[2] = {0, 0};       // channel status (12: channel switched off)
    uint8_t signals[2] = {0, 0};      // bit 0 setpoint 1, bit 1 setpoint 2, bit 2 break
};

// Bytes 0-1 unused, 2 relays, 3 panel, 4-7 CH1 value (float, most significant byte first),
// 8 CH1 status, 9 CH1 signals, 10-13 CH2 value, 14 CH2 status, 15 CH2 signals.
LiveBlock EncodeLiveBlock(const LiveValues& values);

// Three floats, most significant byte first, and the status byte.
MeasurementBlock EncodeMeasurementBlock(float u1, float u2, float u3, uint8_t status = 0);

// The contents of the blocks as the instrument answers them.
class BlockSource {
public:
    // Without fixed contents every read gives new values: CH1 swings slowly around 21.5, CH2
    // around 48.0; a channel whose `use` register is non-zero reports status 12, and a setpoint
    // whose type is set raises its signal (and the relay of that setpoint) when the value is
    // past it.
    LiveBlock NextLive(const RegisterMemory& memory);
    void FixLive(const LiveBlock& block) { fixedLive_ = block; }
    void ReleaseLive() { fixedLive_.reset(); }

    // The channel's measurement block: fixed contents until released, else what the input
    // stage measures with its status 0.
    MeasurementBlock NextMeasurement(int channel);
    void SetMeasurement(int channel, const MeasurementBlock& block)
    {
        fixedMeasurement_[static_cast<size_t>(channel)] = block;
    }
    void ReleaseMeasurement(int channel) { fixedMeasurement_[static_cast<size_t>(channel)].reset(); }
    InputStage& Inputs() { return inputs_; }
    const InputStage& Inputs() const { return inputs_; }

private:
    std::optional<LiveBlock> fixedLive_;
    uint32_t liveReads_ = 0;
    std::array<std::optional<MeasurementBlock>, 2> fixedMeasurement_{};
    InputStage inputs_;
};

}  // namespace pmv::sim
