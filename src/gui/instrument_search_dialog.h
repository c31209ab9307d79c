#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace pmv {

class Clock;
class Exchange;
class LinkPort;
class SerialLine;

// "Связь → Поиск прибора…": tries the addresses at each speed (the configured one first),
// shows the progress with addresses per second, stops on Esc, and offers to keep the address
// and speed found in dev.dat and in force.
class InstrumentSearchDialog : public QDialog {
public:
    InstrumentSearchDialog(QWidget* parent, LinkPort& port, Exchange& exchange, SerialLine& line, const Clock& clock);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void Search();

    LinkPort& port_;
    Exchange& exchange_;
    SerialLine& line_;
    const Clock& clock_;
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* start_;
    bool running_ = false;
    bool stop_ = false;
    bool closeRequested_ = false;
};

}  // namespace pmv
