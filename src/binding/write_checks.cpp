#include "binding/write_checks.h"

#include "messages/error_codes.h"
#include "messages/messages.h"

#include <array>
#include <optional>
#include <string>

namespace pmv::binding {
namespace {

using CS = model::ChannelSettings;
using RS = model::RelaySettings;

// --- Relay assignment by device type.

enum class RelayTest {
    AnyOf,                 // the mask has any of `bits`
    NotOneRegulatorColumn  // the mask is not exactly one of the regulator columns
};

struct RelayCheck {
    int32_t procVer;
    int32_t RS::*mask;
    RelayTest test;
    uint32_t bits;
    const char* text;
};

constexpr uint32_t kAnyBit = 0xFFFFFFFF;
constexpr uint32_t kSetpoint1 = 0x01;
constexpr uint32_t kSetpoint2 = 0x02;
constexpr uint32_t kChannelEvents = 0x07;     // setpoints 1 and 2, sensor break
constexpr uint32_t kRegulatorColumns = 0x78;  // "Закр.", "Откр.", "Напр.", "Импульс"

constexpr const char* kRelayCaption = "Ошибка в настройках реле ";
constexpr const char* kValveRelay1 =
    "В приборе управляющем задвижками реле 1 назначено еще и на уставки или обрыв. Записать так как есть?";
constexpr const char* kValveRelay2 =
    "В приборе управляющем задвижками реле 2 назначено еще и на уставки или обрыв. Записать так как есть?";
constexpr const char* kPidRelay1 =
    "В приборе управляющем нагревателоем реле 1 назначено на неиспользуемые флаги. Записать так как есть?";
constexpr const char* kPidRelay2 =
    "В приборе управляющем нагревателоем реле 2 назначено на неиспользуемые флаги. Записать так как есть?";

// In the order they are put to the user. A PID regulator tests both relays alike: the
// channel-1 events and channel 2's setpoint 1.
// clang-format off
constexpr std::array<RelayCheck, 20> kRelayChecks = {{
    {0, &RS::rel0_msk1, RelayTest::AnyOf, kAnyBit,
     "В одноканальном приборе реле 1 назначено на второй канал. Записать так как есть?"},
    {0, &RS::rel1_msk1, RelayTest::AnyOf, kAnyBit,
     "В одноканальном приборе реле 2 назначено на второй канал. Записать так как есть?"},
    {0, &RS::rel0_msk0, RelayTest::AnyOf, kRegulatorColumns,
     "В одноканальном приборе реле 1 назначено на управление задвижкой. Записать так как есть?"},
    {0, &RS::rel1_msk0, RelayTest::AnyOf, kRegulatorColumns,
     "В одноканальном приборе реле 2 назначено на управление задвижкой. Записать так как есть?"},
    {1, &RS::rel0_msk0, RelayTest::AnyOf, kSetpoint2,
     "В двухканальном приборе реле 1 назначено на вторую уставку первого канала. Записать так как есть?"},
    {1, &RS::rel1_msk0, RelayTest::AnyOf, kSetpoint2,
     "В двухканальном приборе реле 2 назначено на вторую уставку первого канала. Записать так как есть?"},
    {1, &RS::rel0_msk1, RelayTest::AnyOf, kSetpoint2,
     "В двухканальном приборе реле 1 назначено на вторую уставку второго канала. Записать так как есть?"},
    {1, &RS::rel1_msk1, RelayTest::AnyOf, kSetpoint2,
     "В двухканальном приборе реле 2 назначено на вторую уставку второго канала. Записать так как есть?"},
    {1, &RS::rel0_msk0, RelayTest::AnyOf, kRegulatorColumns,
     "В двухканальном  приборе реле 1 назначено на управление задвижкой. Записать так как есть?"},
    {1, &RS::rel1_msk0, RelayTest::AnyOf, kRegulatorColumns,
     "В двухканальном  приборе реле 2 назначено на управление задвижкой. Записать так как есть?"},
    {2, &RS::rel0_msk0, RelayTest::AnyOf, kChannelEvents, kValveRelay1},
    {2, &RS::rel0_msk1, RelayTest::AnyOf, kAnyBit, kValveRelay1},
    {2, &RS::rel1_msk0, RelayTest::AnyOf, kChannelEvents, kValveRelay2},
    {2, &RS::rel1_msk1, RelayTest::AnyOf, kAnyBit, kValveRelay2},
    {2, &RS::rel0_msk0, RelayTest::NotOneRegulatorColumn, 0,
     "Для реле 1 неправильно выбран источник срабатывания. Записать так как есть?"},
    {2, &RS::rel1_msk0, RelayTest::NotOneRegulatorColumn, 0,
     "Для реле 2 неправильно выбран источник срабатывания. Записать так как есть?"},
    {3, &RS::rel0_msk0, RelayTest::AnyOf, kChannelEvents, kPidRelay1},
    {3, &RS::rel0_msk1, RelayTest::AnyOf, kSetpoint1, kPidRelay1},
    {3, &RS::rel1_msk0, RelayTest::AnyOf, kChannelEvents, kPidRelay2},
    {3, &RS::rel1_msk1, RelayTest::AnyOf, kSetpoint1, kPidRelay2},
}};
// clang-format on

bool Finds(const RelayCheck& check, int32_t maskWord)
{
    const uint32_t mask = static_cast<uint32_t>(maskWord);
    switch (check.test) {
    case RelayTest::AnyOf: return (mask & check.bits) != 0;
    case RelayTest::NotOneRegulatorColumn: return mask != 0x08 && mask != 0x10 && mask != 0x20 && mask != 0x40;
    }
    return false;
}

// --- Channel values.

enum class Finding {

    Question,

    Error,

    Remark,

};
enum class Compare {
    Greater,
    Less,
    Equal,
    NotLess,
};

// A field of the channel, a count field read as an unsigned number, or a constant.
struct Operand {
    float CS::*real = nullptr;
    int32_t CS::*count = nullptr;
    float limit = 0;
};

constexpr Operand Field(float CS::*real) { return {real, nullptr, 0}; }
constexpr Operand Count(int32_t CS::*count) { return {nullptr, count, 0}; }
constexpr Operand Limit(float limit) { return {nullptr, nullptr, limit}; }

// Floats compare as 32-bit floats: widening both sides to double keeps every comparison as is.
double ValueOf(const CS& channel, const Operand& operand)
{
    if (operand.real)
        return channel.*operand.real;
    if (operand.count)
        return static_cast<uint32_t>(channel.*operand.count);
    return operand.limit;
}

struct ChannelCheck {
    Finding kind;
    Operand lhs;
    Compare compare;
    Operand rhs;
    const char* text;
    std::optional<float> fix;  // on Yes the field of lhs takes this value
};

bool Finds(const ChannelCheck& check, const CS& channel)
{
    const double a = ValueOf(channel, check.lhs);
    const double b = ValueOf(channel, check.rhs);
    switch (check.compare) {
    case Compare::Greater: return a > b;
    case Compare::Less: return a < b;
    case Compare::Equal: return a == b;
    case Compare::NotLess: return a >= b;
    }
    return false;
}

constexpr Finding Q = Finding::Question;
constexpr Finding E = Finding::Error;
constexpr Finding R = Finding::Remark;
constexpr Compare GT = Compare::Greater;
constexpr Compare LT = Compare::Less;

// Each test sees the values as the earlier ones left them.
// clang-format off
const std::array<ChannelCheck, 16> kErrorChecks = {{
    {Q, Field(&CS::th1), GT, Limit(9999.0f),
     "Слишком большая величина уставки 1 она будет ограничена величиной 9999. Записать так ?", 9999.0f},
    {Q, Field(&CS::th2), GT, Limit(9999.0f),
     "Слишком большая величина уставки 2 она будет ограничена величиной 9999. Записать так ?", 9999.0f},
    {Q, Field(&CS::th1), LT, Limit(-999.0f),
     "Слишком маленькая величина уставки 1 она будет ограничена величиной -999. Записать так ?", -999.0f},
    {Q, Field(&CS::th2), LT, Limit(-999.0f),
     "Слишком маленькая величина уставки 2 она будет ограничена величиной -999. Записать так ?", -999.0f},
    {Q, Field(&CS::diap_max), GT, Limit(9999.0f),
     "Слишком большой максимальный диапазон. Он будет ограничен величиной 9999.999. Записать так как есть?",
     9999.999f},
    {E, Field(&CS::diap_max), LT, Limit(-999.0f),
     "Слишком маленький максимум диапазона. Прибор, скорее всего, не будет работать правильно.", {}},
    {E, Field(&CS::diap_min), GT, Limit(9999.0f),
     "Слишком большой минимальный диапазон. Прибор, скорее всего, не будет работать правильно.", {}},
    {Q, Field(&CS::diap_min), LT, Limit(-999.0f),
     "Слишком маленький минимальный диапазон. Он будет ограничен величиной -999.0. Записать так как есть?",
     -999.0f},
    {E, Field(&CS::diap_min), Compare::NotLess, Field(&CS::diap_max),
     "Неправильное соотношение между диапазонами. Прибор не будет работать правильно.", {}},
    {E, Field(&CS::his1), LT, Limit(0), "Задан отрицательный гистерезис 1. Прибор не будет работать правильно.", {}},
    {E, Field(&CS::his2), LT, Limit(0), "Задан отрицательный гистерезис 2. Прибор не будет работать правильно.", {}},
    {E, Field(&CS::his1), Compare::Equal, Limit(0), "Задан нулевой гистерезис 1. Прибор не будет работать правильно.",
     {}},
    {E, Field(&CS::his2), Compare::Equal, Limit(0), "Задан нулевой гистерезис 2. Прибор не будет работать правильно.",
     {}},
    {E, Field(&CS::his1), GT, Field(&CS::diap_max),
     "Задан гистерезис 1 превышающий максимум диапазона. Прибор не будет работать правильно.", {}},
    {E, Field(&CS::his2), GT, Field(&CS::diap_max),
     "Задан гистерезис 2 превышающий максимум диапазона. Прибор не будет работать правильно.", {}},
    {E, Field(&CS::lin), LT, Limit(0),
     "Задано отрицательное сопротивление линии для двухпроводного включения. Прибор не будет работать правильно.",
     {}},
}};
// clang-format on

// The steps are tested against 20 but set to 10.
// clang-format off
const std::array<ChannelCheck, 5> kRemarkChecks = {{
    {R, Count(&CS::ns), GT, Limit(10),
     "При таком усреднении в канале теряется динамика отображения.Записать так как есть?", {}},
    {R, Field(&CS::spd_th), GT, Limit(20),
     "Слишком большой шаг изменения уставки. Он будет ограничен 10. Записать так?", 10.0f},
    {R, Field(&CS::spd_his), GT, Limit(20),
     "Слишком большой шаг изменения гистерезиса уставки. Он будет ограничен 10. Записать так?", 10.0f},
    {R, Field(&CS::spd_th), LT, Limit(0.001f),
     "Слишком маленький шаг изменения уставки. Он будет сделан равным 0.001. Записать так?", 0.001f},
    {R, Field(&CS::spd_his), LT, Limit(0.001f),
     "Слишком маленький шаг изменения гистерезиса уставки. Он будет сделан равным 0.001. Записать так?", 0.001f},
}};
// clang-format on

// Puts every finding of `checks` to the user; 0, or the code that stops the write.
template <size_t N>
ErrorCode RunChecks(const std::array<ChannelCheck, N>& checks, CS& channel, const std::string& caption,
                    Messages& messages)
{
    for (const ChannelCheck& check : checks) {
        if (!Finds(check, channel))
            continue;
        switch (check.kind) {
        case Finding::Error: messages.ShowMessage(check.text, caption, MessageIcon::Error); return kStoppedToCorrect;
        case Finding::Question:
            if (!messages.AskYesNo(Question::Other, check.text, caption, MessageIcon::Error))
                return kStoppedToCorrect;
            break;
        case Finding::Remark:
            if (!messages.AskYesNo(Question::Other, check.text, caption, MessageIcon::Warning))
                return kStoppedToRevise;
            break;
        }
        if (check.fix)
            channel.*check.lhs.real = *check.fix;
    }
    return kOk;
}

}  // namespace

ErrorCode CheckRelaySettings(const model::SettingsModel& model, Messages& messages)
{
    for (const RelayCheck& check : kRelayChecks)
        if (check.procVer == model.general.proc_ver && Finds(check, model.rele.*check.mask) &&
            !messages.AskYesNo(Question::Other, check.text, kRelayCaption, MessageIcon::Error))
            return kStoppedToCorrect;
    return kOk;
}

ErrorCode CheckChannelSettings(model::SettingsModel& model, Messages& messages, int channel,
                               ChannelCheckSwitches switches)
{
    if (channel < 0 || channel > 1)
        return kOk;
    CS& settings = model.channel[static_cast<size_t>(channel)];
    const std::string number = std::to_string(channel + 1);
    if (switches.errors)
        if (const ErrorCode code = RunChecks(kErrorChecks, settings, "Ошибка в настройках канала " + number, messages);
            code != kOk)
            return code;
    if (switches.remarks)
        return RunChecks(kRemarkChecks, settings, "Замечание по настройкам канала " + number, messages);
    return kOk;
}

ErrorCode CheckSelectedChannels(model::SettingsModel& model, Messages& messages, ChannelCheckSwitches switches)
{
    // Every channel that a write sends is checked: the write skips only a select of 0.
    for (int ch = 0; ch < 2; ++ch)
        if (model.channel[static_cast<size_t>(ch)].select != 0)
            if (const ErrorCode code = CheckChannelSettings(model, messages, ch, switches); code != kOk)
                return code;
    return kOk;
}

}  // namespace pmv::binding
