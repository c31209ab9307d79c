#pragma once

#include "binding/trend.h"
#include "device/live_values.h"
#include "ini/file_error.h"
#include "messages/messages.h"
#include "model/settings_model.h"

#include <QObject>

#include <array>
#include <optional>
#include <string>

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QEvent;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QValueAxis;
class QWidget;

namespace pmv::gui {

// The samples as CSV in the file `path` (".csv" appended when it is missing), replaced
// atomically; what the system refused when it cannot be.
std::optional<ini::FileError> SaveTrendCsv(const std::string& path, const std::vector<binding::TrendSample>& samples);

// The trend of both channels on the page of current values: the good polls of the last hour
// in a TrendBuffer, drawn over the last 1, 5 or 15 minutes with each channel's setpoints, relay
// switching and sensor breaks as marks. It makes no exchange of its own: the page's poll hands
// it every good answer. While paused the buffer still fills; only the picture stands still.
// The trend needs this much more height on the page of current values.
inline constexpr int kTrendHeight = 130;

class TrendChart final : public QObject {
    Q_OBJECT

public:
    static constexpr std::array<int, 3> kWindowMinutes{1, 5, 15};

    // Puts the chart and its controls on `page` below the poll outcome panel; the setpoint
    // lines follow `model`, a failed save is reported through `messages`.
    TrendChart(QWidget& page, const model::SettingsModel& model, Messages& messages);

    // One good poll, its values clamped as the page shows them; `timeMs` since the epoch.
    void Add(const device::LiveValues& values, int64_t timeMs);

    const binding::TrendBuffer& buffer() const { return buffer_; }
    bool paused() const { return pausedAt_.has_value(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The chart is built when the page is first shown: Qt Charts costs the window's start more
    // than the page that is shown first.
    void BuildChart();
    void PlaceView();
    int64_t WindowMs() const;
    void Redraw();
    void PauseClick();
    void SaveClick();

    const model::SettingsModel& model_;
    Messages& messages_;
    QWidget& page_;
    binding::TrendBuffer buffer_;
    int64_t newestMs_ = 0;
    int64_t drawnAtMs_ = 0;  // the right edge of the picture shown
    std::optional<int64_t> pausedAt_;

    QComboBox* window_ = nullptr;
    QPushButton* pause_ = nullptr;
    QChartView* view_ = nullptr;
    QChart* chart_ = nullptr;
    QDateTimeAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    QValueAxis* eventAxis_ = nullptr;
    std::array<QLineSeries*, 2> values_{};
    std::array<std::array<QLineSeries*, 2>, 2> setpoints_{};  // [channel][setpoint]
    std::array<QScatterSeries*, 2> relayMarks_{};
    std::array<QScatterSeries*, 2> breakMarks_{};
};

}  // namespace pmv::gui
