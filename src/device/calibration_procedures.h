#pragma once

#include "device.h"
#include "link/clock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::device {

// What the instrument measured on a channel's input: the raw readings the coefficients turn
// into values, and the channel status.
struct MeasurementRecord {
    float u1 = 0, u2 = 0, u3 = 0;
    uint8_t status = 0;
};

// Reads the channel's measurement block (bank 1 block ch, 13 bytes). A signalling NaN becomes
// 0; then values above 65536 become 65536 and values not at or above -65536 (quiet NaN too)
// -65536. A failed read leaves the record as it was.
ErrorCode ReadMeasurementBlock(link::Exchange& exchange, uint32_t ch, MeasurementRecord& record);

// "U1=  1.0600000   U2=...   U3=...   ERR=0000"; the form of the Ku 0-10 V series drops "U1="
// and reads "   ERR " for "   ERR=".
std::string MeasurementLine(const MeasurementRecord& record, bool ku10Series = false);

// The four single-coefficient calibrations.
enum class CalibrationVariant {
    Ku10,
    Ku100,
    Ki20,
    Ki5,
};

// The reference the operator has just confirmed connecting to a channel's input.
enum class Reference {
    Volts,
    Millivolts,
    Milliamps20,
    Milliamps5,
    Ohms,
};

// What a calibration procedure works with besides the device: the operator's questions and
// the seconds it waits between measurements.
struct Calibration {
    Device& device;
    Messages& messages;
    link::Clock& clock;
    // Takes the window's controls into the model; a non-zero code ends the procedure after its
    // message.
    std::function<ErrorCode()> gather = [] { return kOk; };
    // Told after each Yes to the question for the reference, with the value asked for.
    std::function<void(uint32_t ch, Reference reference, float value)> referenceConnected = {};
    std::array<MeasurementRecord, 2> records{};
    // Set when the operator had the result written into the instrument (the write may have failed).
    bool written = false;
    // Runs when the operator had the result written, before it is sent: what must be read from
    // the instrument before its restart.
    std::function<void()> beforeWrite = [] {};
};

// The dwell before a measurement series: one block read per second for `seconds` seconds
// (at least one) with the seconds left and the latest measurement on the panel.
ErrorCode Dwell(Calibration& c, const std::string& title, const std::string& text, int32_t seconds, uint32_t ch);

// One coefficient from the average of the variant's measurements under its reference: 0 also
// when the operator declines or the result is refused; 20 on Esc; a failed block read's code.
ErrorCode CalibrateCoefficient(Calibration& c, CalibrationVariant variant, uint32_t ch);

// UREF and RREF from two series, one with each reference resistor.
ErrorCode CalibrateReference(Calibration& c, uint32_t ch);

}  // namespace pmv::device
