#include "binding/binding.h"

#include "binding/number_text.h"
#include "device/device_settings.h"
#include "history/history.h"
#include "messages/error_codes.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace pmv::binding {
namespace {

using CS = model::ChannelSettings;

// clang-format off
constexpr std::array<const char*, 12> kGenitiveMonths = {
    "Января ", "Февраля ", "Марта ",    "Апреля ",  "Мая ",    "Июня ",
    "Июля ",   "Августа ", "Сентября ", "Октября ", "Ноября ", "Декабря ",
};
// clang-format on

// Nominal top of each unified input's signal range; nothing for the sensors with a range of
// their own (thermometers, thermocouples, resistance), which take it from datBound.
constexpr std::array<std::optional<float>, model::kSensorCount> kUnifiedTop = {
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
    case ListMapping::Offset: position = int64_t{value} - rule.offset; break;
    case ListMapping::SetpointType: position = value >= 0 && value < rule.size ? SetpointTypeIndex(value) : -1; break;
    case ListMapping::LowByte: position = value & 0xFF; break;
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
    case ListMapping::Offset: return position + rule.offset;
    case ListMapping::SetpointType: return SetpointTypeIndex(position);
    case ListMapping::LowByte: return position;
    }
    return current;
}

constexpr ListRule Offset(int32_t offset, int size) { return {ListMapping::Offset, offset, size}; }
constexpr ListRule kSetpointType = {ListMapping::SetpointType, 0, kSetpointTypeListSize};

using CC = ChannelControls;

// A number field of a channel panel and the model field it carries.
struct NumberControl {
    std::string CC::*control;
    float CS::*field;
    bool magnitude;  // taken as its absolute value
};

// In the order GatherSettings takes them.
constexpr std::array<NumberControl, 10> kChannelNumbers = {{
    {&CC::rangeMax, &CS::diap_max, false},
    {&CC::rangeMin, &CS::diap_min, false},
    {&CC::shift, &CS::shift, false},
    {&CC::rangeAdjust, &CS::adj, false},
    {&CC::setpoint1, &CS::th1, false},
    {&CC::hysteresis1, &CS::his1, false},
    {&CC::setpoint2, &CS::th2, false},
    {&CC::hysteresis2, &CS::his2, false},
    {&CC::setpointStep, &CS::spd_th, true},
    {&CC::hysteresisStep, &CS::spd_his, true},
}};
constexpr std::array<float CS::*, 4> kPolynomial = {&CS::koef0, &CS::koef1, &CS::koef2, &CS::koef3};

struct ChannelList {
    int CC::*control;
    int32_t CS::*field;
    ListRule rule;
};

// The relay logic list has a length of its own per channel; it is positioned apart.
constexpr std::array<ChannelList, 6> kChannelLists = {{
    {&CC::sensorType, &CS::dat, Offset(0, kSensorListSize)},
    {&CC::setpoint1Type, &CS::th_type1, kSetpointType},
    {&CC::setpoint2Type, &CS::th_type2, kSetpointType},
    {&CC::averaging, &CS::ns, Offset(1, kAveragingListSize)},
    {&CC::decimals, &CS::point, Offset(0, kDecimalsListSize)},
    {&CC::observations, &CS::search, Offset(1, kObservationsListSize)},
}};

ListRule RelayLogicRule(size_t ch) { return Offset(0, kRelayLogicListSize[ch]); }

struct ChannelTick {
    bool CC::*control;
    int32_t CS::*field;
};

constexpr std::array<ChannelTick, 2> kChannelTicks = {{
    {&CC::squareRoot, &CS::flag},
    {&CC::exclude, &CS::use},
}};

// Setpoint s heads the grids with its value and, from its type list, its type.
constexpr std::array<float CS::*, 2> kSetpointValues = {&CS::th1, &CS::th2};
constexpr std::array<int CC::*, 2> kSetpointTypeLists = {&CC::setpoint1Type, &CC::setpoint2Type};
constexpr size_t kSetpointHeadingChars = 7;

// Lists of the whole instrument: a list of the relay page or of the general page.
struct GeneralList {
    int RelayControls::*relayControl;
    int GeneralControls::*generalControl;
    int32_t& (*field)(model::SettingsModel&);
    ListRule rule;
};

constexpr std::array<GeneralList, 5> kGeneralLists = {{
    {&RelayControls::decisionInterval, nullptr,
     [](model::SettingsModel& m) -> int32_t& { return m.channel[0].reg_int; }, Offset(10, kDecisionIntervalListSize)},
    {&RelayControls::pulseLength, nullptr, [](model::SettingsModel& m) -> int32_t& { return m.channel[0].pulse_int; },
     Offset(5, kPulseLengthListSize)},
    {nullptr, &GeneralControls::deviceType, [](model::SettingsModel& m) -> int32_t& { return m.general.proc_ver; },
     Offset(0, kDeviceTypeListSize)},
    {nullptr, &GeneralControls::errorDisplay, [](model::SettingsModel& m) -> int32_t& { return m.general.err_ver; },
     Offset(0, kErrorDisplayListSize)},
    {nullptr,
     &GeneralControls::typeCode,
     [](model::SettingsModel& m) -> int32_t& { return m.general.otk_type; },
     {ListMapping::LowByte, 0, kTypeCodeListSize}},
}};

template <class Values>
auto& Position(Values& values, const GeneralList& c)
{
    return c.relayControl ? values.relays.*c.relayControl : values.general.*c.generalControl;
}

// The relay grid: columns 1 to 10 and the bit of the mask word each sets.
struct RelayColumn {
    int word;  // 0: relN_msk0 (channel 1 and regulator), 1: relN_msk1 (channel 2)
    int bit;
};

// clang-format off
constexpr std::array<RelayColumn, 10> kRelayColumns = {{
    {0, 0}, {0, 1}, {0, 2},          // channel 1: " 1", " 2", "Обр."
    {1, 0}, {1, 1}, {1, 2},          // channel 2: " 1", " 2", "Обр."
    {0, 3}, {0, 4}, {0, 5}, {0, 6},  // regulator: "Закр.", "Откр.", "Напр.", "Импульс"
}};
// clang-format on

constexpr std::array<std::array<int32_t model::RelaySettings::*, 2>, 2> kMaskWords = {{
    {&model::RelaySettings::rel0_msk0, &model::RelaySettings::rel0_msk1},
    {&model::RelaySettings::rel1_msk0, &model::RelaySettings::rel1_msk1},
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

void ApplyRangeRule(const model::SettingsModel& model, model::ChannelSettings& channel)
{
    if (channel.dat < 0 || channel.dat >= model::kSensorCount)
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

void ShowChannel(const model::ChannelSettings& channel, size_t ch, ChannelControls& controls)
{
    for (const NumberControl& c : kChannelNumbers)
        controls.*c.control = model::FormatNumber(channel.*c.field);
    for (size_t i = 0; i < kPolynomial.size(); ++i)
        controls.polynomial[i] = model::FormatNumber(channel.*kPolynomial[i]);
    for (const ChannelList& c : kChannelLists)
        controls.*c.control = ListPosition(channel.*c.field, c.rule);
    controls.relayLogic = ListPosition(channel.ver_rel_proc, RelayLogicRule(ch));
    for (const ChannelTick& c : kChannelTicks)
        controls.*c.control = channel.*c.field != 0;
    for (size_t s = 0; s < 2; ++s) {
        controls.setpointValueHeading[s] = model::FormatNumber(channel.*kSetpointValues[s]);
        controls.setpointTypeHeading[s] = SetpointTypeHeading(controls.*kSetpointTypeLists[s]);
    }
}

void GatherChannel(const ChannelControls& controls, model::ChannelSettings& channel)
{
    for (const ChannelList& c : kChannelLists)
        channel.*c.field = ListValue(controls.*c.control, channel.*c.field, c.rule);
    // The window offers no choice of relay logic: the masks of the relay grid always apply.
    channel.ver_rel_proc = 1;
    for (const ChannelTick& c : kChannelTicks)
        channel.*c.field = controls.*c.control ? 1 : 0;
    // A text with no number in it keeps the model's value: the entry checks refuse it before a
    // write, and a profile saved meanwhile must not get 0 in its place.
    for (const NumberControl& c : kChannelNumbers)
        if (const std::optional<float> value = ScanNumberText(controls.*c.control))
            channel.*c.field = c.magnitude ? std::fabs(*value) : *value;
    for (size_t i = 0; i < kPolynomial.size(); ++i)
        if (const std::optional<float> value = ScanNumberText(controls.polynomial[i]))
            channel.*kPolynomial[i] = *value;
}

}  // namespace

int32_t SetpointTypeIndex(int32_t v) { return v == 1 || v == 2 || v == 3 ? v : 0; }

std::string ProductionDateText(int32_t day, int32_t month, int32_t year)
{
    const char* name = month >= 1 && month <= 12 ? kGenitiveMonths[static_cast<size_t>(month - 1)] : "";
    return std::to_string(day) + " " + name + std::to_string(year);
}

void ShowRelayGrid(const model::RelaySettings& relays, ControlValues& values)
{
    for (size_t relay = 0; relay < 2; ++relay)
        for (size_t col = 0; col < kRelayColumns.size(); ++col) {
            const RelayColumn c = kRelayColumns[col];
            const bool set = (relays.*kMaskWords[relay][static_cast<size_t>(c.word)] >> c.bit) & 1;
            values.relays.grid[relay][col] = set ? kShownMark : "";
        }
}

void ReadRelayGrid(const ControlValues& values, model::RelaySettings& relays)
{
    for (size_t relay = 0; relay < 2; ++relay) {
        for (int32_t model::RelaySettings::*word : kMaskWords[relay])
            relays.*word = 0;
        for (size_t col = 0; col < kRelayColumns.size(); ++col)
            if (!values.relays.grid[relay][col].empty()) {
                const RelayColumn c = kRelayColumns[col];
                relays.*kMaskWords[relay][static_cast<size_t>(c.word)] |= int32_t{1} << c.bit;
            }
    }
}

std::string ToggledRelayCell(const std::string& cell) { return cell.empty() ? kClickedMark : ""; }

void KeepUnscannedTexts(const ControlValues& typed, ControlValues& shown)
{
    for (size_t ch = 0; ch < 2; ++ch) {
        const ChannelControls& from = typed.channels[ch];
        ChannelControls& to = shown.channels[ch];
        for (const NumberControl& c : kChannelNumbers)
            if (!IsNumberText(from.*c.control))
                to.*c.control = from.*c.control;
        for (size_t i = 0; i < kPolynomial.size(); ++i)
            if (!IsNumberText(from.polynomial[i]))
                to.polynomial[i] = from.polynomial[i];
    }
    if (!IsSerialNumberText(typed.general.serialNumber))
        shown.general.serialNumber = typed.general.serialNumber;
}

void ShowGroupSelection(const model::SettingsModel& model, ControlValues& values)
{
    values.top.groupPanels = {.channel1 = model.channel[0].select == 1,
                              .channel2 = model.channel[1].select == 1,
                              .relays = model.rele.select == 1,
                              .general = model.general.gen_select == 1};
}

void SetGroupBoxes(model::SettingsModel& model, ControlValues& values, const GroupTicks& ticks)
{
    values.top.groupBoxes = {
        .channel1 = ticks.ch1, .channel2 = ticks.ch2, .relays = ticks.relay, .general = ticks.general};
    model.channel[0].select = ticks.ch1 ? 1 : 0;
    model.channel[1].select = ticks.ch2 ? 1 : 0;
    model.rele.select = ticks.relay ? 1 : 0;
    model.general.gen_select = ticks.general ? 1 : 0;
    ShowGroupSelection(model, values);
}

void SelectAllGroups(model::SettingsModel& model, ControlValues& values)
{
    SetGroupBoxes(model, values, {true, true, true, true});
}

void ShowSettings(model::SettingsModel& model, int32_t portNumber, ControlValues& values)
{
    GeneralControls& general = values.general;
    general.productionDate = ProductionDateText(model.made_day, model.made_month, model.made_year);
    general.productionMonth = model.made_month >= 1 && model.made_month <= kMonthListSize ? model.made_month - 1 : 0;
    general.productionYear = std::clamp(model.made_year, kFirstListedYear, kLastListedYear) - kFirstListedYear;
    general.calendar = {model.made_day, model.made_month, model.made_year};

    general.firmwareVersion = device::FirmwareVersionText(model.fw_version);
    values.top.portNumber = std::to_string(portNumber);
    values.top.port = ListPosition(portNumber, Offset(1, kPortListSize));
    general.serialNumber = std::to_string(model.SerialNumber());

    // A box takes its flag back as 1 or 0, as its click does: a flag of 2 from a profile must
    // not select a group whose box shows unticked.
    SetGroupBoxes(model, values,
                  {.ch1 = model.channel[0].select == 1,
                   .ch2 = model.channel[1].select == 1,
                   .relay = model.rele.select == 1,
                   .general = model.general.gen_select == 1});

    for (model::ChannelSettings& channel : model.channel)
        ApplyRangeRule(model, channel);
    for (size_t ch = 0; ch < 2; ++ch)
        ShowChannel(model.channel[ch], ch, values.channels[ch]);

    for (const GeneralList& c : kGeneralLists)
        Position(values, c) = ListPosition(c.field(model), c.rule);
    ShowRelayGrid(model.rele, values);
}

void GatherSettings(const ControlValues& values, model::SettingsModel& model, Messages& messages)
{
    for (size_t ch = 0; ch < 2; ++ch)
        GatherChannel(values.channels[ch], model.channel[ch]);
    model.general.gen_select = values.top.groupBoxes.general ? 1 : 0;
    for (const GeneralList& c : kGeneralLists) {
        int32_t& field = c.field(model);
        field = ListValue(Position(values, c), field, c.rule);
    }
    ReadRelayGrid(values, model.rele);

    const uint32_t serial = ScanSerialNumber(values.general.serialNumber);
    const bool tooLarge = serial > history::kLastSerial;
    if (tooLarge)
        ShowErrorMessage(messages, kBadNumber);
    model.SetSerialNumber(tooLarge ? 0 : static_cast<int32_t>(serial));
}

}  // namespace pmv::binding
