#include "live_values_page.h"

#include "link/exchange.h"
#include "link/link_settings.h"
#include "messages/error_codes.h"
#include "widgets.h"

#include <QGroupBox>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace pmv::gui {

using namespace widgets;

namespace {

void Light(QLabel* lamp, bool on, const binding::LiveView& view)
{
    Paint(*lamp, on ? view.litColour : binding::PanelColour::ButtonFace);
    lamp->setEnabled(!view.stale);
}

void Show(QLabel* panel, const std::string& text, binding::PanelColour colour, bool stale)
{
    Paint(*panel, colour);
    panel->setText(QString::fromStdString(text));
    panel->setEnabled(!stale);
}

}  // namespace

LiveValuesPage::LiveValuesPage(QWidget* parent, link::Exchange& exchange, const link::LinkSettings& link,
                               WindowClock& clock)
    : QWidget(parent), exchange_(exchange), link_(link), clock_(clock), timer_(clock.NewTicker([this] { Poll(); }))
{
    for (int ch = 0; ch < 2; ++ch) {
        const QString n = QString::number(ch + 1);
        QGroupBox* frame = Frame(ch == 0 ? "Канал 1" : "Канал 2", this, {4 + ch * 342, 4, 338, 150});
        Label("Измеренное значение", frame, 10, 22);
        ChannelLamps& c = channels_[ch];
        c.value = TextPanel(frame, 10, 38, 170, 30);
        c.value->setObjectName("ValuePanel" + n);
        QFont big = c.value->font();
        big.setPixelSize(19);
        big.setBold(true);
        c.value->setFont(big);
        c.status = TextPanel(frame, 10, 74, 318);
        c.status->setObjectName("StatusPanel" + n);
        const char* names[] = {"Setpoint1Lamp", "Setpoint2Lamp", "BreakLamp"};
        const char* texts[] = {"Уставка 1", "Уставка 2", "Обрыв"};
        for (int i = 0; i < 3; ++i) {
            c.lamps[i] = Lamp(Text(texts[i]), frame, 10 + 102 * i, 108, 96);
            c.lamps[i]->setObjectName(Text(names[i]) + n);
        }
    }

    QGroupBox* relays = Frame("Реле", this, {4, 160, 186, 56});
    for (int i = 0; i < 2; ++i) {
        relays_[i] = Lamp(Text(i == 0 ? "Реле 1" : "Реле 2"), relays, 10 + 86 * i, 24, 80);
        relays_[i]->setObjectName(QStringLiteral("RelayLamp%1").arg(i + 1));
    }

    QGroupBox* keys = Frame("Кнопки", this, {196, 160, 330, 56});
    struct KeyLamp {
        const char* name;
        const char* text;
        int x, w;
    };
    const KeyLamp keyLamps[] = {{"KeyLamp1", "1", 10, 40},
                                {"KeyLampHysteresis", "Гистерезис", 54, 84},
                                {"KeyLamp2", "2", 142, 40},
                                {"KeyLamp0", "0", 186, 40},
                                {"KeyLampRange", "Диапазон", 230, 90}};
    for (size_t i = 0; i < keys_.size(); ++i) {
        keys_[i] = Lamp(Text(keyLamps[i].text), keys, keyLamps[i].x, 24, keyLamps[i].w);
        keys_[i]->setObjectName(keyLamps[i].name);
    }

    QGroupBox* encoder = Frame("Угловой кодировщик", this, {532, 160, 154, 56});
    for (int i = 0; i < 2; ++i) {
        encoder_[i] = Lamp({}, encoder, 20 + 64 * i, 24, 50);
        encoder_[i]->setObjectName(QStringLiteral("EncoderLamp%1").arg(i + 1));
    }

    outcome_ = TextPanel(this, 4, 226, 338);
    outcome_->setObjectName("PollPanel");
    Paint(*outcome_, binding::PanelColour::ButtonFace);

    QGroupBox* leds = Frame("Единичные светодиоды", this, {346, 222, 340, 56});
    for (int i = 0; i < 4; ++i)
        Lamp(QString::number(i + 1), leds, 10 + 46 * i, 24, 40)->setObjectName(QStringLiteral("LedLamp%1").arg(i + 1));
    leds->hide();
    QPushButton* start = Button("Начать чтение", this, 4, 256, 120);
    start->setObjectName("Button5");
    start->hide();
}

// The poll follows the page's selection, not the window's: a minimised window (a spontaneous
// hide and show from the window system) keeps polling and logging.
void LiveValuesPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        timer_->Start(device::LivePoll::kIntervalMs);
}

void LiveValuesPage::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        timer_->Stop();
    QWidget::hideEvent(event);
}

void LiveValuesPage::Poll()
{
    if (held_ || exchange_.InExchange())
        return;
    const device::LivePoll::Outcome outcome =
        poll_.Tick(exchange_, values_, link_.UseIzmFile == 1 ? link_.IzmFileName : std::string());
    const int64_t now = clock_.EpochMs();
    if (outcome.code == kOk)
        receivedMs_ = now;
    ShowView(binding::ShowReceivedValues(values_, receivedMs_, now));
    ShowOutcome(binding::ShowPollOutcome(outcome.code));
    if (outcome.code == kOk && onGoodPoll)
        onGoodPoll(values_);
    timer_->Start(outcome.nextIntervalMs);
}

void LiveValuesPage::ShowView(const binding::LiveView& view)
{
    for (size_t ch = 0; ch < view.channel.size(); ++ch) {
        const binding::LiveChannelView& c = view.channel[ch];
        Show(channels_[ch].value, c.valueText, c.valueColour, view.stale);
        Show(channels_[ch].status, c.statusText, c.statusColour, view.stale);
        for (size_t i = 0; i < c.lamps.size(); ++i)
            Light(channels_[ch].lamps[i], c.lamps[i], view);
    }
    for (size_t i = 0; i < view.relays.size(); ++i)
        Light(relays_[i], view.relays[i], view);
    for (size_t i = 0; i < view.keys.size(); ++i)
        Light(keys_[i], view.keys[i], view);
    for (size_t i = 0; i < view.encoder.size(); ++i)
        Light(encoder_[i], view.encoder[i], view);
}

void LiveValuesPage::ShowOutcome(const binding::PollOutcomeView& outcome)
{
    outcome_->setText(QString::fromUtf8(outcome.text));
    Paint(*outcome_, outcome.colour);
}

}  // namespace pmv::gui
