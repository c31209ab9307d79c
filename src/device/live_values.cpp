#include "live_values.h"

#include "link/log_file.h"
#include "link/register_commands.h"
#include "messages/error_codes.h"
#include "model/number_format.h"
#include "register_map.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace pmv::device {
namespace {

constexpr float kHighest = 10000.0f;
constexpr float kLowest = -1000.0f;

float ChannelValue(const std::vector<uint8_t>& b, size_t at, uint8_t& status)
{
    const uint32_t bits =
        (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
    const bool nan = (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x007FFFFFu) != 0;
    // A signalling NaN (quiet bit clear) would fault in arithmetic; quiet NaNs pass to the clamp.
    if (nan && (bits & 0x00400000u) == 0) {
        status = kFloatErrorStatus;
        return kFloatErrorValue;
    }
    return link::BitsToFloat(bits);
}

}  // namespace

ErrorCode ReadCurrentValues(link::Exchange& exchange, LiveValues& values)
{
    std::vector<uint8_t> b;
    if (const ErrorCode code = link::ReadValueBlock(exchange, regs::kLiveBlock, regs::kLiveBlockSize, b, true);
        code != kOk)
        return code;
    LiveValues read;
    read.relays = b[2];
    read.panel = b[3];
    for (size_t ch = 0; ch < 2; ++ch) {
        const size_t at = 4 + 6 * ch;
        read.status[ch] = b[at + 4];
        read.signalBits[ch] = b[at + 5];
        read.value[ch] = ChannelValue(b, at, read.status[ch]);
    }
    values = read;
    return kOk;
}

void ClampCurrentValues(LiveValues& values)
{
    for (float& v : values.value) {
        if (v > kHighest)
            v = kHighest;
        else if (!(v >= kLowest))
            v = kLowest;
    }
}

ErrorCode LogMeasurement(const std::string& fileName, const link::TimeStamp& t, const LiveValues& v)
{
    std::FILE* log = link::OpenLogForAppend(fileName);
    if (!log)
        return kFileNotOpened;
    std::fprintf(log, "%02u:%02u:%02u \t %02x \t %s \t %02x \t %s \t %02x\n", t.hour, t.minute, t.second, v.relays,
                 model::FormatNumber(v.value[0]).c_str(), v.status[0], model::FormatNumber(v.value[1]).c_str(),
                 v.status[1]);
    std::fclose(log);
    return kOk;
}

LivePoll::Outcome LivePoll::OutcomeOf(ErrorCode code, uint32_t answerTimeoutMs)
{
    return {code, code == kOk ? kIntervalMs : answerTimeoutMs + kIntervalMs};
}

LivePoll::Outcome LivePoll::Tick(link::Exchange& exchange, LiveValues& values, const std::string& logFileName)
{
    const ErrorCode code = ReadCurrentValues(exchange, values);
    ClampCurrentValues(values);
    if (++ticks_ % 2 == 0 && !logFileName.empty())
        LogMeasurement(logFileName, exchange.state().sendTime, values);
    return OutcomeOf(code, exchange.values().AnswerTimeout);
}

}  // namespace pmv::device
