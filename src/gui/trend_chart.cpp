#include "trend_chart.h"

#include "binding/file_errors.h"
#include "ini/ini_file.h"
#include "save_dialog.h"
#include "trend_thinning.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QEvent>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>

namespace pmv::gui {
namespace {

constexpr const char* kCsvFilter = "Измерения (*.csv);;Все файлы (*.*)";
const std::array<QColor, 2> kChannelColours{QColor(0x1f, 0x5f, 0xbf), QColor(0xc0, 0x39, 0x2b)};
const std::array<QColor, 2> kRelayColours{QColor(0x2e, 0x8b, 0x57), QColor(0x8e, 0x44, 0xad)};
// Heights of the marks on the hidden event axis (0 at the bottom of the plot, 1 at the top):
// relays along the top edge, breaks along the bottom, so that they never hide a curve's value.
constexpr std::array<double, 2> kRelayMarkHeight{0.95, 0.88};
constexpr std::array<double, 2> kBreakMarkHeight{0.05, 0.12};
constexpr uint8_t kNormalMeasurement = 0;
constexpr uint8_t kChannelOff = 12;
constexpr uint8_t kBreakBit = 4;

// The page's controls keep to the left of it; the chart fills the page below.
constexpr int kControlsTop = 225;
constexpr int kChartTop = 252;

bool EndsWithCsv(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".csv";
}

template <class Series>
Series* AddSeries(QChart& chart, const QString& name, QAbstractAxis& x, QAbstractAxis& y)
{
    auto* series = new Series;
    series->setName(name);
    chart.addSeries(series);
    series->attachAxis(&x);
    series->attachAxis(&y);
    return series;
}

void ShowSeries(QChart& chart, QAbstractSeries& series, bool visible, bool inLegend)
{
    series.setVisible(visible);
    for (QLegendMarker* marker : chart.legend()->markers(&series))
        marker->setVisible(visible && inLegend);
}

}  // namespace

std::optional<ini::FileError> SaveTrendCsv(const std::string& path, const std::vector<binding::TrendSample>& samples)
{
    return ini::ReplaceFile(EndsWithCsv(path) ? path : path + ".csv", binding::TrendCsv(samples));
}

TrendChart::TrendChart(QWidget& page, const model::SettingsModel& model, Messages& messages)
    : QObject(&page), model_(model), messages_(messages), page_(page)
{
    setObjectName("TrendChart");

    window_ = new QComboBox(&page);
    window_->setObjectName("TrendWindow");
    for (int minutes : kWindowMinutes)
        window_->addItem(QStringLiteral("%1 мин").arg(minutes), minutes);
    window_->setCurrentIndex(1);
    window_->setToolTip(QString::fromUtf8("Сколько последних минут показывает график"));
    window_->setGeometry(346, kControlsTop, 70, 23);
    connect(window_, &QComboBox::activated, this, [this] { Redraw(); });

    pause_ = new QPushButton(QString::fromUtf8("Па&уза"), &page);
    pause_->setObjectName("TrendPause");
    pause_->setGeometry(420, kControlsTop, 90, 23);
    connect(pause_, &QPushButton::clicked, this, [this] { PauseClick(); });

    auto* save = new QPushButton(QString::fromUtf8("Сохранить &измерения…"), &page);
    save->setObjectName("TrendSave");
    save->setToolTip(QString::fromUtf8("Измерения последнего часа в файл CSV"));
    save->setGeometry(514, kControlsTop, 172, 23);
    connect(save, &QPushButton::clicked, this, [this] { SaveClick(); });
    page.installEventFilter(this);
}

void TrendChart::BuildChart()
{
    chart_ = new QChart;
    chart_->setMargins(QMargins(2, 2, 2, 2));
    chart_->setBackgroundRoundness(0);
    chart_->layout()->setContentsMargins(0, 0, 0, 0);
    QFont small = page_.font();
    small.setPixelSize(10);
    chart_->legend()->setFont(small);
    chart_->legend()->setAlignment(Qt::AlignRight);
    chart_->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);

    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setLabelsFont(small);
    timeAxis_->setTickCount(6);
    valueAxis_ = new QValueAxis;
    valueAxis_->setLabelsFont(small);
    valueAxis_->setTickCount(5);
    valueAxis_->setLabelFormat("%.1f");
    eventAxis_ = new QValueAxis;
    eventAxis_->setRange(0, 1);
    eventAxis_->setVisible(false);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    chart_->addAxis(eventAxis_, Qt::AlignRight);

    for (size_t ch = 0; ch < 2; ++ch) {
        const QString n = QString::number(ch + 1);
        values_[ch] = AddSeries<QLineSeries>(*chart_, QString::fromUtf8("Канал ") + n, *timeAxis_, *valueAxis_);
        values_[ch]->setPen(QPen(kChannelColours[ch], 1));
        for (size_t sp = 0; sp < 2; ++sp) {
            QLineSeries* line = AddSeries<QLineSeries>(*chart_, QStringLiteral("К%1 уставка %2").arg(n).arg(sp + 1),
                                                       *timeAxis_, *valueAxis_);
            line->setPen(QPen(kChannelColours[ch], 1, sp == 0 ? Qt::DashLine : Qt::DashDotLine));
            setpoints_[ch][sp] = line;
        }
    }
    for (size_t r = 0; r < 2; ++r) {
        QScatterSeries* marks = AddSeries<QScatterSeries>(*chart_, QString::fromUtf8("Реле ") + QString::number(r + 1),
                                                          *timeAxis_, *eventAxis_);
        marks->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
        marks->setMarkerSize(9);
        marks->setColor(kRelayColours[r]);
        marks->setBorderColor(kRelayColours[r]);
        relayMarks_[r] = marks;
    }
    for (size_t ch = 0; ch < 2; ++ch) {
        QScatterSeries* marks = AddSeries<QScatterSeries>(
            *chart_, QString::fromUtf8("Обрыв ") + QString::number(ch + 1), *timeAxis_, *eventAxis_);
        marks->setMarkerShape(QScatterSeries::MarkerShapeStar);
        marks->setMarkerSize(11);
        marks->setColor(kChannelColours[ch]);
        marks->setBorderColor(kChannelColours[ch]);
        breakMarks_[ch] = marks;
    }

    view_ = new QChartView(chart_, &page_);
    view_->setObjectName("TrendView");
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    PlaceView();
    view_->show();
    Redraw();
}

void TrendChart::PlaceView()
{
    view_->setGeometry(4, kChartTop, page_.width() - 8, std::max(page_.height() - kChartTop - 4, 0));
}

bool TrendChart::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &page_ && event->type() == QEvent::Show && !view_)
        BuildChart();
    else if (watched == &page_ && event->type() == QEvent::Resize && view_)
        PlaceView();
    return QObject::eventFilter(watched, event);
}

void TrendChart::Add(const device::LiveValues& values, int64_t timeMs)
{
    buffer_.Add({timeMs, values});
    newestMs_ = timeMs;
    if (!chart_)
        return;
    // A long window is drawn again only once its curve has moved by a pixel: the same picture
    // for a fraction of the processor time.
    const qreal width = chart_->plotArea().width();
    if (!paused() && (width <= 0 || timeMs < drawnAtMs_ || timeMs - drawnAtMs_ >= WindowMs() / width))
        Redraw();
}

int64_t TrendChart::WindowMs() const { return int64_t{window_->currentData().toInt()} * 60 * 1000; }

void TrendChart::PauseClick()
{
    if (paused() || buffer_.size() == 0)
        pausedAt_.reset();
    else
        pausedAt_ = newestMs_;
    pause_->setText(QString::fromUtf8(paused() ? "Продол&жить" : "Па&уза"));
    Redraw();
}

void TrendChart::SaveClick()
{
    const QString named = QDateTime::currentDateTime().toString("'izm_'yyyy-MM-dd_HH-mm'.csv'");
    const auto chosen =
        AskSavePath(*page_.window(), {"TrendSaveDialog", QString::fromUtf8(kCsvFilter), ".csv", false, named});
    if (!chosen)
        return;
    if (const std::optional<ini::FileError> error = SaveTrendCsv(chosen->path.toStdString(), buffer_.All()))
        messages_.ShowMessage(binding::FileErrorText(*error), "Ошибка", MessageIcon::Error);
}

void TrendChart::Redraw()
{
    if (!chart_)
        return;
    const int64_t now = pausedAt_.value_or(newestMs_);
    const int64_t length = WindowMs();
    drawnAtMs_ = now;
    const std::vector<binding::TrendSample> samples = buffer_.Window(now, length);
    const std::optional<binding::TimeSpan> axis = binding::TrendAxis(buffer_, now, length);
    const int64_t start = axis ? axis->startMs : now - length;
    const int64_t end = axis ? axis->endMs : now;
    timeAxis_->setFormat(length <= 60 * 1000 ? "hh:mm:ss" : "hh:mm");
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(start), QDateTime::fromMSecsSinceEpoch(end));
    // Without a sample there is no time to tell.
    timeAxis_->setLabelsVisible(axis.has_value());

    double low = 0, high = 0;
    bool any = false;
    const auto include = [&](double v) {
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    };

    for (size_t ch = 0; ch < 2; ++ch) {
        const bool off = samples.empty() || samples.back().values.status[ch] == kChannelOff;
        QList<QPointF> points;
        QList<QPointF> breaks;
        for (size_t i = 0; i < samples.size(); ++i) {
            const device::LiveValues& v = samples[i].values;
            const auto t = static_cast<qreal>(samples[i].timeMs);
            // Only a normal measurement is a value; a broken sensor or a range error would
            // stretch the axis over a number that means nothing.
            if (v.status[ch] == kNormalMeasurement) {
                points.append({t, v.value[ch]});
                include(v.value[ch]);
            }
            if (i > 0 && (v.signalBits[ch] & kBreakBit) && !(samples[i - 1].values.signalBits[ch] & kBreakBit))
                breaks.append({t, kBreakMarkHeight[ch]});
        }
        values_[ch]->replace(Thinned(points, static_cast<qreal>(start), static_cast<qreal>(length),
                                     static_cast<int>(chart_->plotArea().width())));
        breakMarks_[ch]->replace(breaks);
        ShowSeries(*chart_, *values_[ch], !off, true);
        ShowSeries(*chart_, *breakMarks_[ch], !off, true);

        const model::ChannelSettings& settings = model_.channel[ch];
        const std::array<std::pair<int32_t, float>, 2> setpoints{std::pair{settings.th_type1, settings.th1},
                                                                 std::pair{settings.th_type2, settings.th2}};
        for (size_t sp = 0; sp < 2; ++sp) {
            const bool shown = !off && setpoints[sp].first != 0;
            const double level = setpoints[sp].second;
            setpoints_[ch][sp]->replace(
                QList<QPointF>{{static_cast<qreal>(start), level}, {static_cast<qreal>(end), level}});
            ShowSeries(*chart_, *setpoints_[ch][sp], shown, false);
            if (shown)
                include(level);
        }
    }

    for (size_t r = 0; r < 2; ++r) {
        QList<QPointF> switches;
        for (size_t i = 1; i < samples.size(); ++i)
            if (((samples[i].values.relays ^ samples[i - 1].values.relays) >> r) & 1u)
                switches.append({static_cast<qreal>(samples[i].timeMs), kRelayMarkHeight[r]});
        relayMarks_[r]->replace(switches);
    }

    const double pad = std::max((high - low) * 0.1, 0.5);
    valueAxis_->setRange(any ? low - pad : 0, any ? high + pad : 1);
}

}  // namespace pmv::gui
