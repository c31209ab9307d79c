#include "status_bar.h"

#include "link/exchange.h"
#include "link/link_port.h"
#include "link/serial_line.h"
#include "messages/error_codes.h"

#include <QColor>
#include <QPalette>
#include <QTimer>

#include <algorithm>

namespace pmv::gui {

LinkStatusBar::LinkStatusBar(QStatusBar& bar, const link::LinkPort& port, const link::SerialLine& line,
                             const link::Exchange& exchange, std::function<int64_t()> boxMs)
    : QObject(&bar), port_(port), line_(line), exchange_(exchange), link_(new QLabel), problem_(new QLabel),
      outcome_(new QLabel), boxMs_(std::move(boxMs))
{
    link_->setObjectName("StatusLink");
    problem_->setObjectName("StatusProblem");
    outcome_->setObjectName("StatusOutcome");
    // A palette, not a style sheet: the first style sheet costs the window's start tens of
    // milliseconds to set up the style sheet machinery.
    QPalette red = problem_->palette();
    red.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
    problem_->setPalette(red);
    // A long reason is cut at the window's edge rather than widening the window; its hint has it all.
    problem_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar.addWidget(link_);
    bar.addWidget(problem_, 1);
    bar.addPermanentWidget(outcome_);
    ShowLink();
}

void LinkStatusBar::ShowLink()
{
    const std::string device = port_.DeviceName();
    const link::LinkSettings& s = port_.settings();
    link_->setText(QString::fromUtf8("%1 · %2 бод · адрес %3 · %4")
                       .arg(device.empty() ? QString::fromUtf8("нет устройства") : QString::fromStdString(device))
                       .arg(s.BaudRate)
                       .arg(exchange_.values().DeviceAddress)
                       .arg(line_.IsOpen() ? QString::fromUtf8("порт открыт") : QString::fromUtf8("порт не открыт")) +
                   (instrument_.isEmpty() ? QString() : QString::fromUtf8(" · ") + instrument_));
    const QString problem = QString::fromStdString(line_.IsOpen() ? port_.LatencyNote() : port_.OpenProblem());
    problem_->setText(problem);
    problem_->setToolTip(problem);
}

void LinkStatusBar::OperationStarted()
{
    operation_.start();
    boxMsAtStart_ = boxMs_();
    result_.reset();
    note_.clear();
    running_ = true;
    justEnded_ = false;
    outcome_->setText(QString::fromUtf8("Идёт обмен…"));
    outcome_->setToolTip({});
}

void LinkStatusBar::ResultReported(ErrorCode code)
{
    if (code == kOk || result_)
        return;
    if (running_) {
        result_ = code;
    } else if (justEnded_) {
        result_ = code;
        ShowOutcome();
    }
}

void LinkStatusBar::NoteOutcome(const QString& note)
{
    if (running_) {
        note_ = note;
    } else if (justEnded_) {
        note_ = note;
        ShowOutcome();
    }
}

void LinkStatusBar::OperationFinished()
{
    if (!running_)
        return;
    running_ = false;
    durationMs_ = std::max<qint64>(0, operation_.elapsed() - (boxMs_() - boxMsAtStart_));
    finishedDone_ = done_.isEmpty() ? QString::fromUtf8("Выполнено") : done_;
    done_.clear();
    ShowOutcome();
    justEnded_ = true;
    QTimer::singleShot(0, this, [this] { justEnded_ = false; });
    ShowLink();
}

void LinkStatusBar::ShowOutcome()
{
    const ErrorCode code = result_.value_or(kOk);
    const QString text = code != kOk && code != kStoppedToRevise && code != kStoppedToCorrect &&
                                 code != kStoppedByUser && !line_.IsOpen()
                             ? QString::fromUtf8("Порт не открыт: обмен невозможен (ERR %1)").arg(CodeNumber(code))
                             : OutcomeText(code, finishedDone_, durationMs_);
    outcome_->setText(note_.isEmpty() ? text : text + QString::fromUtf8(" · ") + note_);
    const ErrorMessage* message = FindErrorMessage(code);
    outcome_->setToolTip(message ? QString::fromUtf8(message->text) : QString());
}

QString LinkStatusBar::OutcomeText(ErrorCode code, const QString& done, qint64 ms)
{
    const QString duration = DurationText(ms);
    switch (code) {
    case kOk: return QString::fromUtf8("%1 за %2").arg(done, duration);
    case kStoppedToRevise:
    case kStoppedToCorrect: return QString::fromUtf8("Отменено (ERR %1) за %2").arg(CodeNumber(code)).arg(duration);
    case kStoppedByUser: return QString::fromUtf8("Остановлено (ERR %1) за %2").arg(CodeNumber(code)).arg(duration);
    default: return QString::fromUtf8("Ошибка (ERR %1) за %2").arg(CodeNumber(code)).arg(duration);
    }
}

QString LinkStatusBar::DurationText(qint64 ms)
{
    // Russian decimal comma: "2,5 с".
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 1).replace('.', ',') + QString::fromUtf8(" с");
}

}  // namespace pmv::gui
