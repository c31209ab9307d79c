#pragma once

#include "model/settings_model.h"

#include <array>
#include <cstdint>
#include <string>

namespace pmv::binding {

// What every bound control of the main window shows, without the widgets, one struct per part
// of the window. The window copies these values into its widgets and back; the binding
// (binding.h) moves them to and from the settings model. The comments name the model field.
//
// A list position is the index of the selected item, -1 when nothing is selected: the binding
// shows -1 for a model value that names no item of the list.

// One channel panel of the page "Настройки каналов".
struct ChannelControls {
    std::string rangeMax;                   // diap_max
    std::string rangeMin;                   // diap_min
    std::string shift;                      // shift: offset of the measured value
    std::string rangeAdjust;                // adj: fine adjustment of the range
    std::string setpoint1;                  // th1
    std::string hysteresis1;                // his1
    std::string setpoint2;                  // th2
    std::string hysteresis2;                // his2
    std::string setpointStep;               // spd_th: the text of the editable step list
    std::string hysteresisStep;             // spd_his: likewise
    std::array<std::string, 4> polynomial;  // koef0 to koef3 (hidden)
    int sensorType = -1;                    // dat: 25 sensor types
    int setpoint1Type = -1;                 // th_type1: "Нет", "Понижение", "Повышение"
    int setpoint2Type = -1;                 // th_type2: the same
    int averaging = -1;                     // ns: "1" to "10"
    int decimals = -1;                      // point: "0" to "3"
    int observations = -1;                  // search: "1" to "10"
    int relayLogic = -1;                    // ver_rel_proc (hidden): 3 items for channel 1, 2 for channel 2
    bool squareRoot = false;                // flag
    bool exclude = false;                   // use (hidden)
    // Setpoint s heads the relay grids: its type (row 0 of the assignment grid) and its value
    // (row 1 of the heading grid), in column SetpointGridColumn(channel, s).
    std::array<std::string, 2> setpointTypeHeading;
    std::array<std::string, 2> setpointValueHeading;

    bool operator==(const ChannelControls&) const = default;
};

// The four groups of settings that reading and writing the selected groups handle.
struct GroupFlags {
    bool channel1 = false;  // select of CH1
    bool channel2 = false;  // select of CH2
    bool relays = false;    // select of RELE
    bool general = false;   // gen_select

    bool operator==(const GroupFlags&) const = default;
};

// Above the pages: the port and the group selection.
struct TopBarControls {
    std::string portNumber;  // the number of the port in use
    int port = -1;           // the port selector, "1" to "8"
    GroupFlags groupBoxes;   // ticked boxes
    GroupFlags groupPanels;  // white group panels (the others have the button face)

    bool operator==(const TopBarControls&) const = default;
};

// Page "Настройки реле".
struct RelayControls {
    int decisionInterval = -1;  // reg_int of CH1: "10" to "240"
    int pulseLength = -1;       // pulse_int of CH1: "5" to "60"
    // The assignment marks: grid[relay][column - 1] for relay 1 and 2, grid columns 1 to 10.
    std::array<std::array<std::string, 10>, 2> grid;

    bool operator==(const RelayControls&) const = default;
};

struct CalendarDate {
    int32_t day = 0, month = 0, year = 0;
    bool operator==(const CalendarDate&) const = default;
};

// Page "Общие".
struct GeneralControls {
    std::string firmwareVersion;  // fw_version as major.minor.build
    int deviceType = -1;          // proc_ver: 4 device types
    int errorDisplay = -1;        // err_ver: "Упрощенное", "Расширенное"
    int typeCode = -1;            // otk_type: "000" to "255"
    std::string serialNumber;     // serial_hi * 256 + serial_lo
    std::string productionDate;   // made_day, made_month, made_year as text
    int productionMonth = -1;     // hidden list "Январь" to "Декабрь"
    int productionYear = -1;      // hidden list "2007" to "2017"
    CalendarDate calendar;        // hidden calendar; set as given, month and year before the day

    bool operator==(const GeneralControls&) const = default;
};

struct ControlValues {
    TopBarControls top;
    std::array<ChannelControls, 2> channels;
    RelayControls relays;
    GeneralControls general;

    bool operator==(const ControlValues&) const = default;
};

// Column of both relay grids that heads setpoint s (0, 1) of channel ch (0, 1): 1, 2, 4, 5.
constexpr int SetpointGridColumn(int ch, int s) { return 1 + 3 * ch + s; }

// Number of items of the lists the binding positions.
inline constexpr int kSensorListSize = 25;
inline constexpr int kSetpointTypeListSize = 3;
inline constexpr int kAveragingListSize = 10;
inline constexpr int kDecimalsListSize = 4;
inline constexpr int kObservationsListSize = 10;
inline constexpr std::array<int, 2> kRelayLogicListSize = {3, 2};
inline constexpr int kDecisionIntervalListSize = 231;
inline constexpr int kPulseLengthListSize = 56;
inline constexpr int kDeviceTypeListSize = 4;
inline constexpr int kErrorDisplayListSize = 2;
inline constexpr int kTypeCodeListSize = 256;
inline constexpr int kPortListSize = 8;
inline constexpr int kMonthListSize = 12;
inline constexpr int kFirstListedYear = 2007;
inline constexpr int kLastListedYear = 2017;

// Items of the device type, error display and setpoint type lists.
inline constexpr const auto& kDeviceTypeItems = model::kDeviceTypeNames;
inline constexpr const auto& kErrorDisplayItems = model::kErrorDisplayNames;
inline constexpr const auto& kSetpointTypeItems = model::kSetpointTypeNames;
static_assert(kDeviceTypeItems.size() == kDeviceTypeListSize && kErrorDisplayItems.size() == kErrorDisplayListSize &&
              kSetpointTypeItems.size() == kSetpointTypeListSize);

}  // namespace pmv::binding
