#include "binding/binding.h"

#include "binding/number_text.h"
#include "device/device_settings.h"
#include "messages/error_codes.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace pmv {
namespace {

using CV = ControlValues;
using CS = ChannelSettings;

constexpr std::array<const char*, 12> kGenitiveMonths = {
    "Января ", "Февраля ", "Марта ",    "Апреля ",  "Мая ",    "Июня ",
    "Июля ",   "Августа ", "Сентября ", "Октября ", "Ноября ", "Декабря ",
};

// Nominal top of each unified input's signal range; nothing for the sensors with a range of
// their own (thermometers, thermocouples, resistance), which take it from datBound.
constexpr std::array<std::optional<float>, kSensorCount> kUnifiedTop = {
    std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,  // 0..4
    std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,  // 5..9
    std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,  // 10..14
    std::nullopt, std::nullopt, 5.0f,         20.0f,        20.0f,         // 15..19
    100.0f,       75.0f,        std::nullopt, 10.0f,        std::nullopt,  // 20..24
};

// How a list position stands for a model value.
enum class ListMapping {
    Offset,        // position = value - offset
    SetpointType,  // position = SetpointTypeIndex(value)
    LowByte,       // position = low byte of the value
};

struct ListRule {
    ListMapping mapping;
    int32_t offset;
    int size;
};

int ListPosition(int32_t value, ListRule rule)
{
    int64_t position = -1;
    switch (rule.mapping) {
    case ListMapping::Offset:
        position = int64_t{value} - rule.offset;
        break;
    case ListMapping::SetpointType:
        position = value >= 0 && value < rule.size ? SetpointTypeIndex(value) : -1;
        break;
    case ListMapping::LowByte:
        position = value & 0xFF;
        break;
    }
    return position >= 0 && position < rule.size ? static_cast<int>(position) : -1;
}

// The value a list position gives; `current` is the model's value, kept when it names no item
// and the list shows none, so that an unlisted value is never turned into a listed one.
int32_t ListValue(int position, int32_t current, ListRule rule)
{
    if (position == -1 && ListPosition(current, rule) == -1)
        return current;
    switch (rule.mapping) {
    case ListMapping::Offset:
        return position + rule.offset;
    case ListMapping::SetpointType:
        return SetpointTypeIndex(position);
    case ListMapping::LowByte:
        return position;
    }
    return current;
}

// The channel panels: controls of channel 1 and channel 2 and the field they carry.
struct NumberControl {
    std::array<std::string CV::*, 2> control;
    float CS::*field;
    bool magnitude;  // taken as its absolute value
};

constexpr std::array<NumberControl, 14> kChannelNumbers = {{
    {{&CV::Edit1, &CV::Edit13}, &CS::diap_max, false},
    {{&CV::Edit2, &CV::Edit14}, &CS::diap_min, false},
    {{&CV::Edit3, &CV::Edit15}, &CS::shift, false},
    {{&CV::Edit4, &CV::Edit16}, &CS::adj, false},
    {{&CV::Edit5, &CV::Edit17}, &CS::th1, false},
    {{&CV::Edit6, &CV::Edit18}, &CS::his1, false},
    {{&CV::Edit7, &CV::Edit19}, &CS::th2, false},
    {{&CV::Edit8, &CV::Edit20}, &CS::his2, false},
    {{&CV::ComboBox21, &CV::ComboBox23}, &CS::spd_th, true},
    {{&CV::ComboBox22, &CV::ComboBox24}, &CS::spd_his, true},
    {{&CV::Edit9, &CV::Edit21}, &CS::koef0, false},
    {{&CV::Edit10, &CV::Edit22}, &CS::koef1, false},
    {{&CV::Edit11, &CV::Edit23}, &CS::koef2, false},
    {{&CV::Edit12, &CV::Edit24}, &CS::koef3, false},
}};

struct ChannelList {
    std::array<int CV::*, 2> control;
    int32_t CS::*field;
    std::array<ListRule, 2> rule;
};

constexpr ListRule Offset(int32_t offset, int size)
{
    return {ListMapping::Offset, offset, size};
}
constexpr ListRule kSetpointType = {ListMapping::SetpointType, 0, kSetpointTypeListSize};

constexpr std::array<ChannelList, 7> kChannelLists = {{
    {{&CV::ComboBox1, &CV::ComboBox7}, &CS::dat, {Offset(0, kSensorListSize), Offset(0, kSensorListSize)}},
    {{&CV::ComboBox2, &CV::ComboBox8}, &CS::th_type1, {kSetpointType, kSetpointType}},
    {{&CV::ComboBox3, &CV::ComboBox9}, &CS::th_type2, {kSetpointType, kSetpointType}},
    {{&CV::ComboBox4, &CV::ComboBox10}, &CS::ns, {Offset(1, kAveragingListSize), Offset(1, kAveragingListSize)}},
    {{&CV::ComboBox5, &CV::ComboBox11}, &CS::point, {Offset(0, kDecimalsListSize), Offset(0, kDecimalsListSize)}},
    {{&CV::ComboBox6, &CV::ComboBox12},
     &CS::search,
     {Offset(1, kObservationsListSize), Offset(1, kObservationsListSize)}},
    {{&CV::ComboBox13, &CV::ComboBox14},
     &CS::ver_rel_proc,
     {Offset(0, kRelayLogic1ListSize), Offset(0, kRelayLogic2ListSize)}},
}};

struct ChannelTick {
    std::array<bool CV::*, 2> control;
    int32_t CS::*field;
};

constexpr std::array<ChannelTick, 2> kChannelTicks = {{
    {{&CV::CheckBox4, &CV::CheckBox6}, &CS::flag},
    {{&CV::CheckBox5, &CV::CheckBox7}, &CS::use},
}};

// Setpoint s of channel ch heads the grids: its value, and its type list for the type heading.
constexpr std::array<float CS::*, 2> kSetpointValues = {&CS::th1, &CS::th2};
constexpr std::array<std::array<int CV::*, 2>, 2> kSetpointTypeLists = {{
    {&CV::ComboBox2, &CV::ComboBox3},
    {&CV::ComboBox8, &CV::ComboBox9},
}};
constexpr size_t kSetpointHeadingChars = 7;

// Lists of the whole instrument.
struct GeneralList {
    int CV::*control;
    int32_t& (*field)(SettingsModel&);
    ListRule rule;
};

constexpr std::array<GeneralList, 5> kGeneralLists = {{
    {&CV::ComboBox15, [](SettingsModel& m) -> int32_t& { return m.channel[0].reg_int; },
     Offset(10, kDecisionIntervalListSize)},
    {&CV::ComboBox16, [](SettingsModel& m) -> int32_t& { return m.channel[0].pulse_int; },
     Offset(5, kPulseLengthListSize)},
    {&CV::ComboBox19, [](SettingsModel& m) -> int32_t& { return m.general.proc_ver; },
     Offset(0, kDeviceTypeListSize)},
    {&CV::ComboBox20, [](SettingsModel& m) -> int32_t& { return m.general.err_ver; },
     Offset(0, kErrorDisplayListSize)},
    {&CV::ComboBox27, [](SettingsModel& m) -> int32_t& { return m.general.otk_type; },
     {ListMapping::LowByte, 0, kTypeCodeListSize}},
}};

// The relay grid: columns 1 to 10 and the bit of the mask word each sets.
struct RelayColumn {
    int word;  // 0: relN_msk0 (channel 1 and regulator), 1: relN_msk1 (channel 2)
    int bit;
};

constexpr std::array<RelayColumn, 10> kRelayColumns = {{
    {0, 0}, {0, 1}, {0, 2},          // channel 1: " 1", " 2", "Обр."
    {1, 0}, {1, 1}, {1, 2},          // channel 2: " 1", " 2", "Обр."
    {0, 3}, {0, 4}, {0, 5}, {0, 6},  // regulator: "Закр.", "Откр.", "Напр.", "Импульс"
}};

constexpr std::array<std::array<int32_t RelaySettings::*, 2>, 2> kMaskWords = {{
    {&RelaySettings::rel0_msk0, &RelaySettings::rel0_msk1},
    {&RelaySettings::rel1_msk0, &RelaySettings::rel1_msk1},
}};

constexpr const char* kShownMark = " *";
constexpr const char* kClickedMark = " +";

// The first n characters of a UTF-8 text.
std::string Utf8Prefix(const std::string& text, size_t n)
{
    size_t end = 0;
    for (size_t chars = 0; end < text.size(); ++end) {
        const bool startsCharacter = (static_cast<unsigned char>(text[end]) & 0xC0) != 0x80;
        if (startsCharacter && chars++ == n)
            break;
    }
    return text.substr(0, end);
}

std::string SetpointTypeHeading(int position)
{
    if (position < 0 || position >= kSetpointTypeListSize)
        return {};
    return Utf8Prefix(kSetpointTypeItems[static_cast<size_t>(position)], kSetpointHeadingChars);
}

void ApplyRangeRule(const SettingsModel& model, ChannelSettings& channel)
{
    if (channel.dat < 0 || channel.dat >= kSensorCount)
        return;
    const size_t dat = static_cast<size_t>(channel.dat);
    if (const std::optional<float> top = kUnifiedTop[dat]) {
        if (model.general.use_max == 1) {
            channel.diap_min = 0;
            channel.diap_max = *top;
        }
    } else {
        channel.diap_max = model.datBound[dat].max;
        channel.diap_min = model.datBound[dat].min;
    }
}

void ShowChannel(const ChannelSettings& channel, size_t ch, ControlValues& values)
{
    for (const NumberControl& c : kChannelNumbers)
        values.*c.control[ch] = FormatNumber(channel.*c.field);
    for (const ChannelList& c : kChannelLists)
        values.*c.control[ch] = ListPosition(channel.*c.field, c.rule[ch]);
    for (const ChannelTick& c : kChannelTicks)
        values.*c.control[ch] = channel.*c.field != 0;
    for (size_t s = 0; s < 2; ++s) {
        values.SetpointValueCells[ch][s] = FormatNumber(channel.*kSetpointValues[s]);
        values.SetpointTypeCells[ch][s] = SetpointTypeHeading(values.*kSetpointTypeLists[ch][s]);
    }
}

void GatherChannel(const ControlValues& values, size_t ch, ChannelSettings& channel)
{
    for (const ChannelList& c : kChannelLists)
        channel.*c.field = ListValue(values.*c.control[ch], channel.*c.field, c.rule[ch]);
    // The window offers no choice of relay logic: the masks of the relay grid always apply.
    channel.ver_rel_proc = 1;
    for (const ChannelTick& c : kChannelTicks)
        channel.*c.field = values.*c.control[ch] ? 1 : 0;
    for (const NumberControl& c : kChannelNumbers) {
        const float value = ParseNumberText(values.*c.control[ch]);
        channel.*c.field = c.magnitude ? std::fabs(value) : value;
    }
}

}  // namespace

int32_t SetpointTypeIndex(int32_t v)
{
    return v == 1 || v == 2 || v == 3 ? v : 0;
}

std::string ProductionDateText(int32_t day, int32_t month, int32_t year)
{
    const char* name = month >= 1 && month <= 12 ? kGenitiveMonths[static_cast<size_t>(month - 1)] : "";
    return std::to_string(day) + " " + name + std::to_string(year);
}

void ShowRelayGrid(const RelaySettings& relays, ControlValues& values)
{
    for (size_t relay = 0; relay < 2; ++relay)
        for (size_t col = 0; col < kRelayColumns.size(); ++col) {
            const RelayColumn c = kRelayColumns[col];
            const bool set = (relays.*kMaskWords[relay][static_cast<size_t>(c.word)] >> c.bit) & 1;
            values.StringGrid1[relay][col] = set ? kShownMark : "";
        }
}

void ReadRelayGrid(const ControlValues& values, RelaySettings& relays)
{
    for (size_t relay = 0; relay < 2; ++relay) {
        for (int32_t RelaySettings::*word : kMaskWords[relay])
            relays.*word = 0;
        for (size_t col = 0; col < kRelayColumns.size(); ++col)
            if (!values.StringGrid1[relay][col].empty()) {
                const RelayColumn c = kRelayColumns[col];
                relays.*kMaskWords[relay][static_cast<size_t>(c.word)] |= int32_t{1} << c.bit;
            }
    }
}

std::string ToggledRelayCell(const std::string& cell)
{
    return cell.empty() ? kClickedMark : "";
}

void ShowGroupSelection(const SettingsModel& model, ControlValues& values)
{
    values.Panel1White = model.channel[0].select == 1;
    values.Panel2White = model.channel[1].select == 1;
    values.Panel71White = model.general.gen_select == 1;
    values.Panel77White = model.rele.select == 1;
}

void SetGroupBoxes(SettingsModel& model, ControlValues& values, const GroupTicks& ticks)
{
    values.CheckBox1 = ticks.ch1;
    values.CheckBox2 = ticks.ch2;
    values.CheckBox3 = ticks.relay;
    values.CheckBox10 = ticks.general;
    model.channel[0].select = ticks.ch1 ? 1 : 0;
    model.channel[1].select = ticks.ch2 ? 1 : 0;
    model.rele.select = ticks.relay ? 1 : 0;
    model.general.gen_select = ticks.general ? 1 : 0;
    ShowGroupSelection(model, values);
}

void SelectAllGroups(SettingsModel& model, ControlValues& values)
{
    SetGroupBoxes(model, values, {true, true, true, true});
}

void ShowSettings(SettingsModel& model, int32_t portNumber, ControlValues& values)
{
    values.Panel79 = ProductionDateText(model.made_day, model.made_month, model.made_year);
    values.ComboBox25 = model.made_month >= 1 && model.made_month <= kMonthListSize ? model.made_month - 1 : 0;
    values.ComboBox26 = std::clamp(model.made_year, kFirstListedYear, kLastListedYear) - kFirstListedYear;
    values.bcCalendar1 = {model.made_day, model.made_month, model.made_year};

    values.Panel78 = FirmwareVersionText(model.fw_version);
    values.Label2 = std::to_string(portNumber);
    values.ComboBox17 = ListPosition(portNumber, Offset(1, kPortListSize));
    values.Edit53 = std::to_string(int64_t{model.serial_hi} * 256 + model.serial_lo);

    // A box takes its flag back as 1 or 0, as its click does: a flag of 2 from a profile must
    // not select a group whose box shows unticked.
    SetGroupBoxes(model, values,
                  {.ch1 = model.channel[0].select == 1,
                   .ch2 = model.channel[1].select == 1,
                   .relay = model.rele.select == 1,
                   .general = model.general.gen_select == 1});

    for (ChannelSettings& channel : model.channel)
        ApplyRangeRule(model, channel);
    for (size_t ch = 0; ch < 2; ++ch)
        ShowChannel(model.channel[ch], ch, values);

    for (const GeneralList& c : kGeneralLists)
        values.*c.control = ListPosition(c.field(model), c.rule);
    ShowRelayGrid(model.rele, values);
}

void GatherSettings(const ControlValues& values, SettingsModel& model, Messages& messages)
{
    for (size_t ch = 0; ch < 2; ++ch)
        GatherChannel(values, ch, model.channel[ch]);
    model.general.gen_select = values.CheckBox10 ? 1 : 0;
    for (const GeneralList& c : kGeneralLists) {
        int32_t& field = c.field(model);
        field = ListValue(values.*c.control, field, c.rule);
    }
    ReadRelayGrid(values, model.rele);

    const uint32_t serial = ScanSerialNumber(values.Edit53);
    if (serial > kMaxSerialNumber)
        ShowErrorMessage(messages, kBadNumber);
    model.serial_hi = static_cast<int32_t>((serial >> 8) & 0xFF);
    model.serial_lo = static_cast<int32_t>(serial & 0xFF);
}

}  // namespace pmv
