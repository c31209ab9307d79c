#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace pmv::link {
class Clock;
class Exchange;
class LinkPort;
class SerialLine;
}  // namespace pmv::link

namespace pmv::gui {

// "Связь → Поиск прибора…": tries the addresses at each speed (the configured one first),
// shows the progress with addresses per second, stops on Esc, and offers to keep the address
// and speed found in dev.dat and in force.
class InstrumentSearchDialog : public QDialog {
public:
    InstrumentSearchDialog(QWidget* parent, link::LinkPort& port, link::Exchange& exchange, link::SerialLine& line,
                           const link::Clock& clock);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void Search();

    link::LinkPort& port_;
    link::Exchange& exchange_;
    link::SerialLine& line_;
    const link::Clock& clock_;
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* start_;
    bool running_ = false;
    bool stop_ = false;
    bool closeRequested_ = false;
};

}  // namespace pmv::gui
