#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pmv::model {

// The settings of one measuring channel (profile sections CH1, CH2).
struct ChannelSettings {
    int32_t dat = 0;     // sensor type 0..24: index into kSensorTypes and datBound
    float diap_max = 0;  // upper end of the measuring range, display units
    float diap_min = 0;  // lower end of the measuring range
    float lin = 0;       // line resistance of a two-wire resistance sensor; profiles only
    int32_t wire = 0;    // wires of the sensor connection; profiles only
    int32_t flag = 0;    // square-root extraction of a unified signal: 0 off, 1 on
    int32_t ns = 0;      // number of averages of the measured value
    float shift = 0;     // offset of the measured value
    float adj = 0;       // adjustment factor of the range span
    float koef0 = 0;     // K0..K3 of the correction polynomial
    float koef1 = 0;
    float koef2 = 0;
    float koef3 = 0;
    int32_t th_type1 = 0;  // setpoint type: 0 none, 1 falling, 2 rising
    int32_t th_type2 = 0;
    float th1 = 0;  // setpoint values, display units
    float th2 = 0;
    float his1 = 0;  // setpoint hystereses
    float his2 = 0;
    int32_t search = 0;        // equal successive observations before a relay changes state
    int32_t use = 0;           // 0: the channel works
    int32_t point = 0;         // digits after the decimal point on the instrument's display
    int32_t ver_rel_proc = 0;  // relay logic: 0 simplified, 1 extended (masks), 2 valve control
    int32_t reg_int = 0;       // decision interval of the regulator, s
    int32_t pulse_int = 0;     // longest control pulse of the regulator, s
    std::string text;          // name of the channel; profiles only
    std::string unit;          // unit of the channel's value; profiles only
    int32_t select = 0;        // 1: taken by the commands on selected groups
    float uref = 0;            // calibration coefficients
    float rref = 0;
    float ku = 0;
    float ku10 = 0;
    float ki05 = 0;
    float ki020 = 0;
    float set_ra = 0;  // reference values applied in the calibration procedures
    float set_rb = 0;
    float set_ku = 0;
    float set_ku10 = 0;
    float set_ki05 = 0;
    float set_ki020 = 0;
    float spd_th = 0;   // step of setpoint change
    float spd_his = 0;  // step of hysteresis change

    bool operator==(const ChannelSettings&) const = default;
};

// Relay logic (section RELE). Mask bits: 0x01 setpoint 1, 0x02 setpoint 2, 0x04 sensor break;
// in the _msk0 words also 0x08 close, 0x10 open, 0x20 direction, 0x40 pulse.
struct RelaySettings {
    int32_t select = 0;     // 1: taken by the commands on selected groups
    int32_t test = 0;       // profiles only
    int32_t use = 0;        // profiles only
    int32_t rel0_msk0 = 0;  // events of channel 1 that switch relay 1
    int32_t rel0_msk1 = 0;  // events of channel 2 that switch relay 1
    int32_t rel1_msk0 = 0;  // events of channel 1 that switch relay 2
    int32_t rel1_msk1 = 0;  // events of channel 2 that switch relay 2

    bool operator==(const RelaySettings&) const = default;
};

// General settings (sections GEN and ERR).
struct GeneralSettings {
    int32_t proc_ver = 0;    // 0 one-channel, 1 two-channel, 2 valve control, 3 PID regulator
    int32_t otk_type = 0;    // type code 0..255, printed in front of the serial number
    int32_t gen_select = 0;  // 1: taken by the commands on selected groups
    int32_t use_max = 0;     // 1: a unified input's range is the signal's own range
    int32_t err_ver = 0;     // error indication: 0 simplified, 1 extended

    bool operator==(const GeneralSettings&) const = default;
};

// Parameters of the calibration procedures (section Grad).
struct CalibrationSettings {
    int32_t wr_grad_immid = 0;  // 1: a calibration result is offered for writing at once
    int32_t kalib_usr = 0;      // profiles only
    int32_t kalib_del = 0;      // profiles only
    float rref_max = 0;         // accepted ranges of computed coefficients
    float rref_min = 0;
    float uref_max = 0;
    float uref_min = 0;
    float ki05_max = 0;
    float ki05_min = 0;
    float ki020_max = 0;
    float ki020_min = 0;
    float ku_max = 0;
    float ku_min = 0;
    float ku10_max = 0;
    float ku10_min = 0;
    int32_t del_ref = 0;  // hold times before the measurements, s
    int32_t del_ku = 0;
    int32_t del_ki = 0;
    int32_t usr_ref = 0;  // measurements accumulated by the calibrations
    int32_t usr_ki = 0;
    int32_t usr_ku = 0;

    bool operator==(const CalibrationSettings&) const = default;
};

// Range of one sensor type (sections Dat_bound0 ... Dat_bound24).
struct SensorBounds {
    float max = 0;
    float min = 0;
    float pogr = 0;  // permissible error figure printed on the passport page

    bool operator==(const SensorBounds&) const = default;
};

constexpr int kSensorCount = 25;

// The one record of every setting of the instrument.
struct SettingsModel {
    std::array<ChannelSettings, 2> channel{};  // index 0 is channel 1
    RelaySettings rele{};
    GeneralSettings general{};
    CalibrationSettings grad{};
    std::array<SensorBounds, kSensorCount> datBound{};
    std::array<std::string, 4> definition{};  // description of the profile, txt0 ... txt3

    // Identity of the instrument: read from it, never kept in a profile.
    int32_t fw_version = 0;  // bits 7-6 major, 5-4 minor, 3-0 build
    int32_t serial_lo = 0;   // serial number = 256 * serial_hi + serial_lo
    int32_t serial_hi = 0;
    int32_t SerialNumber() const { return serial_hi * 256 + serial_lo; }
    void SetSerialNumber(int32_t serial)
    {
        serial_hi = serial / 256;
        serial_lo = serial % 256;
    }
    int32_t made_day = 0;
    int32_t made_month = 0;
    int32_t made_year = 0;  // full year

    bool operator==(const SettingsModel&) const = default;
};

// A sensor type: its name in the window's lists and reports, and its range as the profile
// literals of its Dat_bound section (both its missing-key and its new-file values).
struct SensorType {
    const char* name;  // UTF-8
    const char* max;
    const char* min;
    const char* pogr;
};

extern const std::array<SensorType, kSensorCount> kSensorTypes;

// The items of the window's lists that name a setting's values, indexed by the value.
inline constexpr std::array<const char*, 3> kSetpointTypeNames = {"Нет", "Понижение", "Повышение"};
inline constexpr std::array<const char*, 4> kDeviceTypeNames = {"7700/01 Н Одноканальный", "7703 Н Двухканальный",
                                                                "7706 Н Одноканальн. проп.регул.",
                                                                "7706 Н Одноканальн. ПИД регул."};
inline constexpr std::array<const char*, 2> kErrorDisplayNames = {"Упрощенное", "Расширенное"};
inline constexpr std::array<const char*, 2> kTickNames = {"нет", "да"};

// The sensor's name of the list for dat; a type the list does not hold gives its number, so
// that nothing names a sensor the instrument does not have.
std::string SensorName(int32_t dat);
// "Нет", "Понижение", "Повышение"; any other value gives its number.
std::string SetpointTypeName(int32_t type);

}  // namespace pmv::model
