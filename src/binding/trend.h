#pragma once

#include "binding/csv_format.h"
#include "device/live_values.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pmv::binding {

// One good poll of the current values, stamped with the wall clock (ms since the epoch).
struct TrendSample {
    int64_t timeMs = 0;
    device::LiveValues values;
};

// The polls of the last hour, oldest first, in a ring of fixed size: at the page's two polls a
// second an hour fits, and a longer run overwrites its oldest samples instead of growing.
class TrendBuffer {
public:
    static constexpr int64_t kSpanMs = 60 * 60 * 1000;
    static constexpr size_t kCapacity = 2 * 60 * 60 + 60;

    // Samples must come in time order; one older than the newest clears the buffer (the clock
    // was set back), so that a window never mixes two time lines.
    void Add(const TrendSample& sample);
    void Clear();

    size_t size() const { return count_; }
    // The samples of the last `lengthMs` before `nowMs` that are also within the hour.
    std::vector<TrendSample> Window(int64_t nowMs, int64_t lengthMs) const;
    std::vector<TrendSample> All() const { return Window(newestMs(), kSpanMs); }
    std::optional<int64_t> OldestMs() const { return count_ ? std::optional(at(0).timeMs) : std::nullopt; }

private:
    const TrendSample& at(size_t i) const { return ring_[(first_ + i) % ring_.size()]; }
    int64_t newestMs() const { return count_ ? at(count_ - 1).timeMs : 0; }

    std::vector<TrendSample> ring_ = std::vector<TrendSample>(kCapacity);
    size_t first_ = 0;
    size_t count_ = 0;
};

// The time axis of a picture `lengthMs` long that ends at `nowMs`. Until the samples fill it, it
// starts at the oldest of them and the curve grows from the left edge: an axis reaching back
// before the first poll would suggest times nobody measured. None before the first sample.
struct TimeSpan {
    int64_t startMs = 0;
    int64_t endMs = 0;
};
std::optional<TimeSpan> TrendAxis(const TrendBuffer& buffer, int64_t nowMs, int64_t lengthMs);

// The samples as a table: a heading line (after the byte order mark of the format), local ISO
// time with milliseconds, values with four decimals as the page shows them, signals and relays as
// 0 or 1. By default as Russian spreadsheets read it.
std::string TrendCsv(const std::vector<TrendSample>& samples, const CsvFormat& format = kSpreadsheetCsv);
// Its heading and one sample's line, each with its CRLF.
std::string TrendCsvHeading(const CsvFormat& format = kSpreadsheetCsv);
std::string TrendCsvLine(const TrendSample& sample, const CsvFormat& format = kSpreadsheetCsv);

// Local ISO time with milliseconds: "2026-12-07T22:15:03.500".
std::string IsoLocalTime(int64_t timeMs);

}  // namespace pmv::binding
