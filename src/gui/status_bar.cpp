#include "status_bar.h"

#include "messages/error_codes.h"
#include "link/exchange.h"
#include "link/link_port.h"
#include "link/serial_line.h"

namespace pmv {

LinkStatusBar::LinkStatusBar(QStatusBar& bar, const LinkPort& port, const SerialLine& line, const Exchange& exchange)
    : QObject(&bar), port_(port), line_(line), exchange_(exchange), link_(new QLabel), problem_(new QLabel),
      outcome_(new QLabel)
{
    link_->setObjectName("StatusLink");
    problem_->setObjectName("StatusProblem");
    outcome_->setObjectName("StatusOutcome");
    problem_->setStyleSheet("color: #b00000");
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
    const LinkSettings& s = port_.settings();
    link_->setText(QString::fromUtf8("%1 · %2 бод · адрес %3 · %4")
                       .arg(device.empty() ? QString::fromUtf8("нет устройства") : QString::fromStdString(device))
                       .arg(s.BaudRate)
                       .arg(exchange_.values().DeviceAddress)
                       .arg(line_.IsOpen() ? QString::fromUtf8("порт открыт") : QString::fromUtf8("порт не открыт")));
    const QString problem = QString::fromStdString(line_.IsOpen() ? port_.LatencyNote() : port_.OpenProblem());
    problem_->setText(problem);
    problem_->setToolTip(problem);
}

void LinkStatusBar::OperationStarted()
{
    operation_.start();
    outcome_->setText(QString::fromUtf8("Идёт обмен…"));
}

void LinkStatusBar::OperationFinished()
{
    if (!operation_.isValid())
        return;
    const QString duration = DurationText(operation_.elapsed());
    const uint32_t code = exchange_.state().lastError;
    if (code == kOk)
        outcome_->setText(QString::fromUtf8("%1 за %2").arg(done_.isEmpty() ? QString::fromUtf8("Выполнено") : done_, duration));
    else if (!line_.IsOpen())
        outcome_->setText(QString::fromUtf8("Порт не открыт: обмен невозможен (ERR %1)").arg(code));
    else
        outcome_->setText(QString::fromUtf8("Ошибка (ERR %1) за %2").arg(code).arg(duration));
    operation_.invalidate();
    done_.clear();
    ShowLink();
}

QString LinkStatusBar::DurationText(qint64 ms)
{
    // Russian decimal comma: "2,5 с".
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 1).replace('.', ',') + QString::fromUtf8(" с");
}

}  // namespace pmv
