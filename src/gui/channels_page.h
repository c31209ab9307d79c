#pragma once

#include <QFrame>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace pmv::gui {

// The settings of one measuring channel, framed; white while its group is selected.
class ChannelPanel final : public QFrame {
public:
    ChannelPanel(QWidget* parent, int channel);

    QComboBox* sensorType;
    QCheckBox* squareRoot;
    QLineEdit* rangeMin;
    QLineEdit* rangeMax;
    QLineEdit* shift;
    QLineEdit* rangeAdjust;
    QComboBox* setpoint1Type;
    QLineEdit* setpoint1;
    QLineEdit* hysteresis1;
    QComboBox* setpoint2Type;
    QLineEdit* setpoint2;
    QLineEdit* hysteresis2;
    QComboBox* setpointStep;
    QComboBox* hysteresisStep;
    QComboBox* averaging;
    QComboBox* decimals;
    QComboBox* observations;
    // Kept for the binding, never shown: exclusion of the channel and the correction polynomial.
    QCheckBox* exclude;
    std::array<QLineEdit*, 4> polynomial;
};

// Page "Настройки каналов": the two channel panels side by side.
class ChannelsPage final : public QWidget {
public:
    explicit ChannelsPage(QWidget* parent);

    std::array<ChannelPanel*, 2> channels;
};

}  // namespace pmv::gui
