#pragma once

#include <cstdint>

namespace pmv::device::regs {

// One register of the instrument: bank (1 commands and measurements, 2 stored parameters),
// memory type (1 byte, 3 four bytes, 4 block) and number. The memory types are separate
// address spaces: byte register 6 and four-byte register 6 of bank 2 are different cells.
struct Register {
    uint32_t bank;
    uint32_t memoryType;
    uint32_t number;

    friend bool operator==(const Register&, const Register&) = default;
};

constexpr Register Byte2(uint32_t n) { return {2, 1, n}; }
constexpr Register Float2(uint32_t n) { return {2, 3, n}; }
constexpr Register Byte1(uint32_t n) { return {1, 1, n}; }

// Channel index ch: 0 for CH1, 1 for CH2. Pairs lie at n + ch, quadruples at n + 4ch.
constexpr uint32_t Pair(uint32_t ch, uint32_t n) { return n + ch; }
constexpr uint32_t Quad(uint32_t ch, uint32_t n) { return n + 4 * ch; }

// Bank 2, byte registers: general.
inline constexpr Register kDeviceMarker = Byte2(0);  // 47 after a full write; never read
inline constexpr Register kProcVer = Byte2(3);
inline constexpr Register kErrVer = Byte2(4);
inline constexpr Register kRel0Msk0 = Byte2(6);
inline constexpr Register kRel0Msk1 = Byte2(7);
inline constexpr Register kRel1Msk0 = Byte2(8);
inline constexpr Register kRel1Msk1 = Byte2(9);
inline constexpr Register kSerialLo = Byte2(11);
inline constexpr Register kSerialHi = Byte2(12);
inline constexpr Register kOtkType = Byte2(14);
inline constexpr Register kMadeDay = Byte2(17);
inline constexpr Register kMadeMonth = Byte2(18);
inline constexpr Register kMadeYear = Byte2(19);  // year - 2000
inline constexpr uint32_t kDeviceMarkerValue = 47;

// Bank 2, byte registers: per channel.
constexpr Register Dat(uint32_t ch) { return Byte2(Pair(ch, 315)); }
constexpr Register Ns(uint32_t ch) { return Byte2(Pair(ch, 317)); }
constexpr Register Search(uint32_t ch) { return Byte2(Pair(ch, 319)); }
constexpr Register Point(uint32_t ch) { return Byte2(Pair(ch, 321)); }
constexpr Register Flag(uint32_t ch) { return Byte2(Pair(ch, 323)); }
constexpr Register VerRelProc(uint32_t ch) { return Byte2(Pair(ch, 325)); }
constexpr Register ThType1(uint32_t ch) { return Byte2(Quad(ch, 327)); }
constexpr Register ThType2(uint32_t ch) { return Byte2(Quad(ch, 328)); }
constexpr Register RegInt(uint32_t ch) { return Byte2(Pair(ch, 337)); }
constexpr Register PulseInt(uint32_t ch) { return Byte2(Pair(ch, 339)); }
constexpr Register Use(uint32_t ch) { return Byte2(Pair(ch, 341)); }

// Bank 2, four-byte registers (floats): per channel.
constexpr Register Shift(uint32_t ch) { return Float2(Pair(ch, 1)); }
constexpr Register Adj(uint32_t ch) { return Float2(Pair(ch, 3)); }
constexpr Register Koef(uint32_t ch, uint32_t k) { return Float2(Quad(ch, 5) + k); }  // k 0..3
constexpr Register DiapMin(uint32_t ch) { return Float2(Pair(ch, 13)); }
constexpr Register DiapMax(uint32_t ch) { return Float2(Pair(ch, 15)); }
constexpr Register Uref(uint32_t ch) { return Float2(Pair(ch, 17)); }
constexpr Register Rref(uint32_t ch) { return Float2(Pair(ch, 19)); }
constexpr Register Ku(uint32_t ch) { return Float2(Pair(ch, 21)); }
constexpr Register Ku10(uint32_t ch) { return Float2(Pair(ch, 23)); }
constexpr Register Ki05(uint32_t ch) { return Float2(Pair(ch, 25)); }
constexpr Register Ki020(uint32_t ch) { return Float2(Pair(ch, 27)); }
constexpr Register Th1(uint32_t ch) { return Float2(Quad(ch, 29)); }
constexpr Register Th2(uint32_t ch) { return Float2(Quad(ch, 30)); }
constexpr Register SpdTh(uint32_t ch) { return Float2(Quad(ch, 31)); }
constexpr Register SpdHis(uint32_t ch) { return Float2(Quad(ch, 32)); }
constexpr Register His1(uint32_t ch) { return Float2(Quad(ch, 37)); }
constexpr Register His2(uint32_t ch) { return Float2(Quad(ch, 38)); }

// Bank 1, byte registers: commands, output test, firmware version.
inline constexpr Register kRestart = Byte1(0);       // write 1
inline constexpr Register kFactoryReset = Byte1(1);  // write 1: erases everything, calibrations included
inline constexpr Register kControl = Byte1(2);
inline constexpr Register kTestMode = Byte1(4);
constexpr Register TestOutputs(uint32_t r) { return Byte1(5 + r); }  // r 0..4
inline constexpr Register kFirmwareVersion = Byte1(6);               // read only

// Bank 1, blocks (memory type 4).
inline constexpr uint32_t kLiveBlock = 2;
inline constexpr uint32_t kLiveBlockSize = 16;
constexpr uint32_t MeasurementBlock(uint32_t ch) { return ch; }
inline constexpr uint32_t kMeasurementBlockSize = 13;

}  // namespace pmv::device::regs
