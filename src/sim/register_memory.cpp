#include "register_memory.h"

#include <algorithm>
#include <bit>

namespace pmv::sim {
namespace {

struct ByteDefault {
    int reg;
    uint8_t value;
};

struct FloatDefault {
    int reg;
    float value;
};

// Bank 2 byte registers; per-channel pairs list CH1 then CH2.
// clang-format off
constexpr ByteDefault kByteDefaults[] = {
    {0, 47},                  // device type marker
    {3, 1},                   // proc_ver: two-channel
    {4, 1},                   // err_ver: extended
    {11, 1234 % 256},         // serial number 1234, low byte
    {12, 1234 / 256},         // high byte
    {14, 47},                 // otk_type
    {17, 15},                 // production date 15.03.2024
    {18, 3},
    {19, 24},
    {315, 17}, {316, 17},     // dat: current 0-5 mA
    {317, 1}, {318, 1},       // ns
    {319, 2}, {320, 2},       // search
    {321, 1}, {322, 1},       // point
    {325, 1}, {326, 1},       // ver_rel_proc: relays follow the masks
    {337, 30}, {338, 30},     // reg_int
    {339, 5}, {340, 5},       // pulse_int
};
// clang-format on

// Bank 2 4-byte registers (floats); unlisted ones (shift, koef0..3, ...) are 0.
// clang-format off
constexpr FloatDefault kFloatDefaults[] = {
    {3, 1.0f}, {4, 1.0f},            // adj
    {15, 100.0f}, {16, 100.0f},      // diap_max
    {17, 26.32f}, {18, 26.32f},      // uref
    {19, 7491.0f}, {20, 7491.0f},    // rref
    {21, 94.44f}, {22, 94.44f},      // ku
    {23, 9.43f}, {24, 9.43f},        // ku10
    {25, 18.43f}, {26, 18.43f},      // ki05
    {27, 18.43f}, {28, 18.43f},      // ki020
    {29, 50.0f}, {33, 50.0f},        // th1
    {30, 60.0f}, {34, 60.0f},        // th2
    {31, 0.1f}, {35, 0.1f},          // spd_th
    {32, 0.01f}, {36, 0.01f},        // spd_his
    {37, 0.02f}, {41, 0.02f},        // his1
    {38, 0.02f}, {42, 0.02f},        // his2
};
// clang-format on

}  // namespace

RegisterMemory::RegisterMemory() : cells_(4 * kRegisters, 0) { LoadFactoryParameters(); }

bool RegisterMemory::IsCell(int bank, int memType, int reg)
{
    return (bank == 1 || bank == 2) && (memType == 1 || memType == 3) && reg >= 0 && reg < kRegisters;
}

size_t RegisterMemory::Index(int bank, int memType, int reg)
{
    return static_cast<size_t>(((bank - 1) * 2 + (memType == 3 ? 1 : 0)) * kRegisters + reg);
}

uint32_t RegisterMemory::Get(int bank, int memType, int reg) const
{
    return IsCell(bank, memType, reg) ? cells_[Index(bank, memType, reg)] : 0;
}

void RegisterMemory::Set(int bank, int memType, int reg, uint32_t value)
{
    if (IsCell(bank, memType, reg))
        cells_[Index(bank, memType, reg)] = memType == 1 ? (value & 0xFF) : value;
}

void RegisterMemory::LoadFactoryParameters()
{
    const auto bank2 = cells_.begin() + 2 * kRegisters;
    std::fill(bank2, cells_.end(), 0u);
    for (const auto& d : kByteDefaults)
        Set(2, 1, d.reg, d.value);
    for (const auto& d : kFloatDefaults)
        Set(2, 3, d.reg, std::bit_cast<uint32_t>(d.value));
}

}  // namespace pmv::sim
