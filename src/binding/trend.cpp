#include "binding/trend.h"

#include "binding/live_view.h"
#include "messages/error_codes.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>

namespace pmv::binding {
namespace {

constexpr const char* kCsvHeading[] = {"Время",        "Канал 1",      "Состояние 1",  "Канал 2",      "Состояние 2",
                                       "Реле 1",       "Реле 2",       "К1 уставка 1", "К1 уставка 2", "К1 обрыв",
                                       "К2 уставка 1", "К2 уставка 2", "К2 обрыв"};
// As the page of current values shows them.
constexpr int kValueDecimals = 4;

char Bit(uint8_t byte, unsigned bit) { return ((byte >> bit) & 1u) ? '1' : '0'; }

}  // namespace

void TrendBuffer::Add(const TrendSample& sample)
{
    if (count_ && sample.timeMs < newestMs())
        Clear();
    if (count_ == ring_.size()) {
        ring_[first_] = sample;
        first_ = (first_ + 1) % ring_.size();
        return;
    }
    ring_[(first_ + count_) % ring_.size()] = sample;
    ++count_;
}

void TrendBuffer::Clear() { first_ = count_ = 0; }

std::vector<TrendSample> TrendBuffer::Window(int64_t nowMs, int64_t lengthMs) const
{
    const int64_t from = nowMs - std::min(lengthMs, kSpanMs);
    std::vector<TrendSample> out;
    for (size_t i = 0; i < count_; ++i)
        if (at(i).timeMs >= from && at(i).timeMs <= nowMs)
            out.push_back(at(i));
    return out;
}

std::optional<TimeSpan> TrendAxis(const TrendBuffer& buffer, int64_t nowMs, int64_t lengthMs)
{
    const std::optional<int64_t> oldest = buffer.OldestMs();
    if (!oldest)
        return std::nullopt;
    const int64_t start = std::max(nowMs - lengthMs, *oldest);
    return TimeSpan{start, start + lengthMs};
}

std::string IsoLocalTime(int64_t timeMs)
{
    const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(timeMs % 1000));
    return text;
}

std::string TrendCsvHeading(const CsvFormat& format)
{
    std::string heading = CsvStart(format);
    for (size_t i = 0; i < std::size(kCsvHeading); ++i)
        heading += (i ? std::string(1, format.separator) : std::string()) + kCsvHeading[i];
    return heading + "\r\n";
}

std::string TrendCsvLine(const TrendSample& sample, const CsvFormat& format)
{
    const device::LiveValues& v = sample.values;
    const char sep = format.separator;
    std::string line = IsoLocalTime(sample.timeMs);
    for (size_t ch = 0; ch < 2; ++ch)
        line += sep + CsvDecimal(v.value[ch], kValueDecimals, format) + sep +
                CsvText(ChannelStatusText(v.status[ch]), format);
    for (unsigned r = 0; r < 2; ++r)
        (line += sep) += Bit(v.relays, r);
    for (size_t ch = 0; ch < 2; ++ch)
        for (unsigned bit = 0; bit < 3; ++bit)
            (line += sep) += Bit(v.signalBits[ch], bit);
    return line + "\r\n";
}

std::string TrendCsv(const std::vector<TrendSample>& samples, const CsvFormat& format)
{
    std::string csv = TrendCsvHeading(format);
    for (const TrendSample& s : samples)
        csv += TrendCsvLine(s, format);
    return csv;
}

}  // namespace pmv::binding
