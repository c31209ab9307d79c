#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pmv::sim {

// The instrument's register cells: bank 1 (commands, tests) and bank 2 (stored parameters), each
// with a byte space (memory type 1) and a 4-byte space (memory type 3) of 8192 registers.
// The spaces are separate: byte register 6 and 4-byte register 6 of a bank are different cells.
class RegisterMemory {
public:
    static constexpr int kRegisters = 8192;

    // Starts with the factory parameters in bank 2 and zeros in bank 1.
    RegisterMemory();

    static bool IsCell(int bank, int memType, int reg);

    // 0 for coordinates that name no cell.
    uint32_t Get(int bank, int memType, int reg) const;
    // Byte cells keep the low 8 bits; coordinates that name no cell are ignored.
    void Set(int bank, int memType, int reg, uint32_t value);

    // Every bank 2 cell back to its factory value, calibration coefficients included.
    void LoadFactoryParameters();

private:
    static size_t Index(int bank, int memType, int reg);

    std::vector<uint32_t> cells_;
};

}  // namespace pmv::sim
