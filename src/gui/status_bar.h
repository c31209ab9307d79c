#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>

namespace pmv {

class Exchange;
class LinkPort;
class SerialLine;

// The window's status bar: the device, speed and address in use, whether the port is open
// (and if not, why), and the outcome and duration of the last operation.
class LinkStatusBar : public QObject {
public:
    LinkStatusBar(QStatusBar& bar, const LinkPort& port, const SerialLine& line, const Exchange& exchange);

    // Called after every operation and by the window whenever adapters or the port change.
    void ShowLink();
    // The word for the outcome of the operation that starts next ("Прочитано"); "Выполнено"
    // when none is given.
    void NameOperation(const QString& done) { done_ = done; }
    void OperationStarted();
    void OperationFinished();

    static QString DurationText(qint64 ms);

private:
    const LinkPort& port_;
    const SerialLine& line_;
    const Exchange& exchange_;
    QLabel* link_;
    QLabel* problem_;
    QLabel* outcome_;
    QElapsedTimer operation_;
    QString done_;
};

}  // namespace pmv
