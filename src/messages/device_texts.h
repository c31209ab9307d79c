#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace pmv {

// The texts of the progress panel that device operations show: titles, sub-titles and steps.
// %1.. in a text are the values the operation gives.
enum class ProgressStep {
    ProcessTitle,
    StopHint,
    ReadingChannel,  // channel number
    WritingChannel,  // channel number
    // A channel's read, register by register.
    ReadSensorType,
    ReadRangeMax,
    ReadRangeMin,
    ReadRootExtraction,
    RangeAdjustment,  // read and write alike
    ReadShift,
    ReadSetpoint1,
    ReadHysteresis1,
    ReadSetpointType1,
    ReadSetpoint2,
    ReadHysteresis2,
    ReadSetpointType2,
    ReadAveraging,
    ReadObservations,
    ReadChannelExclusion,
    ReadDecimals,
    ReadSetpointStep,
    ReadHysteresisStep,
    ReadPolynomial,
    // A channel's write.
    WriteSensorType,
    WriteRangeMax,
    WriteRangeMin,
    WriteRootExtraction,
    WriteShift,
    PrepareSetpoint1,
    WriteSetpoint1,
    WriteHysteresis1,
    WriteSetpointType1,
    PrepareSetpointType2,
    WriteSetpoint2,
    WriteHysteresis2,
    WriteSetpointType2,
    WriteAveraging,
    WriteObservations,
    WriteChannelUse,
    WriteDecimals,
    WriteSetpointStep,
    WriteHysteresisStep,
    WritePolynomial,
    // The general group, serial number and date, the closing marker and restart.
    ReadFirmwareVersion,
    ReadDeviceType,
    ReadErrorDisplay,
    WriteDeviceType,
    WriteErrorDisplay,
    WriteDeviceMarker,
    SendRestart,
    AwaitRestart,  // seconds waited, seconds at most
    ReadSerialNumber,
    ReadProductionDate,
    WriteSerialNumber,
    WriteProductionDate,
    // Relay logic and regulator sub-titles.
    ReadRelayLogic,
    WriteRelayLogic,
    ReadRegulator,
    WriteRegulator,
    // Calibration coefficients; title with the channel number.
    ReadCoefficients,
    WriteCoefficients,
    // Calibration procedures.
    Ku10Title,
    Ku100Title,
    Ki20DwellTitle,
    Ki20SeriesTitle,
    Ki5DwellTitle,
    Ki5SeriesTitle,
    ReferenceTitle,
    Dwell,
    Series,
    FirstResistorDwell,
    FirstResistorSeries,
    SecondResistorDwell,
    SecondResistorSeries,
    FirstMeasurement,
    Measurement,  // number, count
    TimeLeft,     // seconds
    Count,
};

// The texts of the boxes device operations show and the questions they ask.
enum class Prompt {
    CalibrationBoundsCaption,
    CalibrationResultCaption,
    Ku10Caption,
    Ku100Caption,
    Ki20Caption,
    Ki5Caption,
    ReferenceCaption,
    ConnectVolts,       // reference value
    ConnectMillivolts,  // reference value
    ConnectMilliamps,   // reference value
    ConnectResistor,    // resistance
    Ku10OutOfBounds,    // result
    Ku100OutOfBounds,
    Ki20OutOfBounds,
    Ki5OutOfBounds,
    RrefOutOfBounds,
    UrefOutOfBounds,
    Ku10Result,  // result
    Ku100Result,
    Ki20Result,
    Ki5Result,
    ReferenceResult,          // Uref, Rref
    PreviousResult,           // the coefficient the result replaces
    PreviousReferenceResult,  // the Uref and Rref the results replace
    FactoryResetQuestion,
    WarningCaption,
    Count,
};

std::string Text(ProgressStep step, std::initializer_list<std::string_view> values = {});
std::string Text(Prompt prompt, std::initializer_list<std::string_view> values = {});

}  // namespace pmv
