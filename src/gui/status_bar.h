#pragma once

#include "messages/error_codes.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>

#include <cstdint>
#include <functional>
#include <optional>

namespace pmv::link {
class Exchange;
class LinkPort;
class SerialLine;
}  // namespace pmv::link

namespace pmv::gui {

// The window's status bar: the device, speed and address in use, whether the port is open
// (and if not, why), and the outcome and duration of the last operation.
class LinkStatusBar : public QObject {
public:
    // `boxMs` counts the milliseconds message boxes have stood open: an operation's time leaves
    // out the time the user took to answer.
    LinkStatusBar(QStatusBar& bar, const link::LinkPort& port, const link::SerialLine& line,
                  const link::Exchange& exchange, std::function<int64_t()> boxMs);

    // Called after every operation and by the window whenever adapters or the port change.
    void ShowLink();
    // The instrument chosen on a line of several, named after the address.
    void SetInstrument(const QString& instrument) { instrument_ = instrument; }
    // The word for the outcome of the operation that starts next ("Прочитано"); "Выполнено"
    // when none is given.
    void NameOperation(const QString& done) { done_ = done; }
    void OperationStarted();
    void OperationFinished();
    // A command's result as it is reported to the user (ShowErrorMessage). The first non-zero
    // one of an operation is its outcome; one reported just after the operation ended (before
    // the window goes back to waiting) still belongs to it.
    void ResultReported(ErrorCode code);
    // What the outcome leaves unsaid, shown after it; like a result, one noted just after the
    // operation ended still belongs to it.
    void NoteOutcome(const QString& note);

    static QString DurationText(qint64 ms);
    // "Прочитано за 2,5 с", "Отменено (ERR 17) за 0,3 с", "Остановлено (ERR 20) за 7,9 с",
    // "Ошибка (ERR 2) за 3,0 с".
    static QString OutcomeText(ErrorCode code, const QString& done, qint64 ms);

private:
    const link::LinkPort& port_;
    const link::SerialLine& line_;
    const link::Exchange& exchange_;
    QLabel* link_;
    QLabel* problem_;
    QLabel* outcome_;
    void ShowOutcome();

    std::function<int64_t()> boxMs_;
    QElapsedTimer operation_;
    int64_t boxMsAtStart_ = 0;
    qint64 durationMs_ = 0;
    std::optional<ErrorCode> result_;
    bool running_ = false;
    bool justEnded_ = false;  // the operation ended in this turn of the event loop
    QString done_;
    QString finishedDone_;
    QString note_;
    QString instrument_;
};

}  // namespace pmv::gui
