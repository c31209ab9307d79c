#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pmv {

// What every bound control of the main window shows, without the widgets. Fields bear the
// names of the window's controls; the window copies them into its widgets and back, and the
// binding (binding.h) moves them to and from the settings model.
//
// A list position is the index of the selected item, -1 when nothing is selected: the binding
// shows -1 for a model value that names no item of the list.
struct ControlValues {
    // Page "Настройки каналов", channel 1 | channel 2.
    std::string Edit1, Edit13;    // diap_max
    std::string Edit2, Edit14;    // diap_min
    std::string Edit3, Edit15;    // shift
    std::string Edit4, Edit16;    // adj
    std::string Edit5, Edit17;    // th1
    std::string Edit6, Edit18;    // his1
    std::string Edit7, Edit19;    // th2
    std::string Edit8, Edit20;    // his2
    std::string Edit9, Edit21;    // koef0 (hidden, like the three below)
    std::string Edit10, Edit22;   // koef1
    std::string Edit11, Edit23;   // koef2
    std::string Edit12, Edit24;   // koef3
    std::string ComboBox21, ComboBox23;  // spd_th: the text of the editable step list
    std::string ComboBox22, ComboBox24;  // spd_his: likewise
    int ComboBox1 = -1, ComboBox7 = -1;    // dat: 25 sensor types
    int ComboBox2 = -1, ComboBox8 = -1;    // th_type1: "Нет", "Понижение", "Повышение"
    int ComboBox3 = -1, ComboBox9 = -1;    // th_type2: the same
    int ComboBox4 = -1, ComboBox10 = -1;   // ns: "1" to "10"
    int ComboBox5 = -1, ComboBox11 = -1;   // point: "0" to "3"
    int ComboBox6 = -1, ComboBox12 = -1;   // search: "1" to "10"
    int ComboBox13 = -1, ComboBox14 = -1;  // ver_rel_proc (hidden): 3 items | 2 items
    bool CheckBox4 = false, CheckBox6 = false;  // flag (square root)
    bool CheckBox5 = false, CheckBox7 = false;  // use (hidden)

    // Group selection above the pages and the colour of the group panels (true: white).
    bool CheckBox1 = false;   // select of CH1
    bool CheckBox2 = false;   // select of CH2
    bool CheckBox3 = false;   // select of RELE
    bool CheckBox10 = false;  // gen_select
    bool Panel1White = false, Panel2White = false, Panel71White = false, Panel77White = false;

    // Port selector: Label2 shows the number, ComboBox17 ("1" to "8") selects it.
    std::string Label2;
    int ComboBox17 = -1;

    // Page "Настройки реле".
    int ComboBox15 = -1;  // reg_int of CH1: "10" to "240"
    int ComboBox16 = -1;  // pulse_int of CH1: "5" to "60"
    // StringGrid1, rows 1 and 2 (relay 1, relay 2), columns 1 to 10: StringGrid1[row - 1][column - 1].
    std::array<std::array<std::string, 10>, 2> StringGrid1;
    // Setpoint headings, [channel][setpoint] in column SetpointGridColumn(channel, setpoint):
    // row 0 of StringGrid1 shows the setpoint type, row 1 of StringGrid2 its value.
    std::array<std::array<std::string, 2>, 2> SetpointTypeCells;
    std::array<std::array<std::string, 2>, 2> SetpointValueCells;

    // Page "Общие".
    std::string Panel78;  // firmware version
    int ComboBox19 = -1;  // proc_ver: 4 device types
    int ComboBox20 = -1;  // err_ver: "Упрощенное", "Расширенное"
    int ComboBox27 = -1;  // otk_type: "000" to "255"
    std::string Edit53;   // serial number
    std::string Panel79;  // production date
    int ComboBox25 = -1;  // production month (hidden): "Январь" to "Декабрь"
    int ComboBox26 = -1;  // production year (hidden): "2007" to "2017"
    struct CalendarDate {
        int32_t day = 0, month = 0, year = 0;
        bool operator==(const CalendarDate&) const = default;
    };
    CalendarDate bcCalendar1;  // hidden calendar; set as given, month and year before the day

    bool operator==(const ControlValues&) const = default;
};

// Column of both grids that heads setpoint s (0, 1) of channel ch (0, 1): 1, 2, 4, 5.
constexpr int SetpointGridColumn(int ch, int s)
{
    return 1 + 3 * ch + s;
}

// Number of items of the lists the binding positions.
inline constexpr int kSensorListSize = 25;
inline constexpr int kSetpointTypeListSize = 3;
inline constexpr int kAveragingListSize = 10;    // ns
inline constexpr int kDecimalsListSize = 4;      // point
inline constexpr int kObservationsListSize = 10; // search
inline constexpr int kRelayLogic1ListSize = 3;   // ComboBox13
inline constexpr int kRelayLogic2ListSize = 2;   // ComboBox14
inline constexpr int kDecisionIntervalListSize = 231;
inline constexpr int kPulseLengthListSize = 56;
inline constexpr int kDeviceTypeListSize = 4;
inline constexpr int kErrorDisplayListSize = 2;
inline constexpr int kTypeCodeListSize = 256;
inline constexpr int kPortListSize = 8;
inline constexpr int kMonthListSize = 12;
inline constexpr int kFirstListedYear = 2007;
inline constexpr int kLastListedYear = 2017;

// Items of the setpoint type lists ComboBox2, ComboBox3, ComboBox8, ComboBox9.
inline constexpr std::array<const char*, kSetpointTypeListSize> kSetpointTypeItems = {"Нет", "Понижение",
                                                                                    "Повышение"};

}  // namespace pmv
