#include "live_values_page.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>

#include <array>

namespace pmv::live {
namespace {

QColor Colour(PanelColour colour)
{
    switch (colour) {
    case PanelColour::White:
        return Qt::white;
    case PanelColour::Yellow:
        return Qt::yellow;
    case PanelColour::ButtonFace:
        break;
    }
    return QApplication::palette().color(QPalette::Button);
}

void Paint(QWidget& root, const QString& name, PanelColour colour, const QString* text = nullptr)
{
    auto* label = root.findChild<QLabel*>(name);
    if (!label)
        return;
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Colour(colour));
    label->setPalette(palette);
    if (text)
        label->setText(*text);
}

void Lamp(QWidget& root, const QString& name, bool on)
{
    Paint(root, name, on ? PanelColour::Yellow : PanelColour::ButtonFace);
}

}  // namespace

void ShowView(QWidget& root, const LiveView& view)
{
    static const std::array<const char*, 3> kSignalLamps{"Setpoint1Lamp", "Setpoint2Lamp", "BreakLamp"};
    static const std::array<const char*, 5> kKeyLamps{"KeyLamp1", "KeyLampHysteresis", "KeyLamp2", "KeyLamp0",
                                                      "KeyLampRange"};
    for (size_t ch = 0; ch < view.channel.size(); ++ch) {
        const LiveChannelView& c = view.channel[ch];
        const QString n = QString::number(ch + 1);
        const QString value = QString::fromStdString(c.valueText);
        const QString status = QString::fromStdString(c.statusText);
        Paint(root, "ValuePanel" + n, c.valueColour, &value);
        Paint(root, "StatusPanel" + n, c.statusColour, &status);
        for (size_t i = 0; i < kSignalLamps.size(); ++i)
            Lamp(root, QString::fromUtf8(kSignalLamps[i]) + n, c.lamps[i]);
    }
    for (size_t i = 0; i < view.relays.size(); ++i)
        Lamp(root, "RelayLamp" + QString::number(i + 1), view.relays[i]);
    for (size_t i = 0; i < kKeyLamps.size(); ++i)
        Lamp(root, QString::fromUtf8(kKeyLamps[i]), view.keys[i]);
    for (size_t i = 0; i < view.encoder.size(); ++i)
        Lamp(root, "EncoderLamp" + QString::number(i + 1), view.encoder[i]);
}

void ShowOutcome(QWidget& root, const PollOutcomeView& outcome)
{
    const QString text = QString::fromUtf8(outcome.text);
    Paint(root, "PollPanel", outcome.colour, &text);
}

}  // namespace pmv::live
