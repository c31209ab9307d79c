#include "connection_check_dialog.h"

#include "device/connection_check.h"
#include "link/exchange.h"
#include "link/link_port.h"
#include "link/port_line.h"
#include "link/serial_line.h"
#include "messages/progress.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace pmv::gui {
namespace {

// In the window the window's own commands mend what they can; the rest needs the system's.
QString WindowFix(const system::Finding& f)
{
    if (f.topic == "instrument")
        return QString::fromUtf8("меню «Связь» → «Поиск прибора…»");
    if (f.topic == "device")
        return QString::fromUtf8(
            "выберите порт в списке «Номер порта» (в подсказке каждого номера указано его устройство)");
    return {};
}

// The instrument check with the exchange's tries made one by one, each on the progress panel.
system::Finding AskInstrument(link::Exchange& exchange, uint32_t baud, Progress& progress, ErrorCode& outcome)
{
    const uint32_t tries = exchange.values().RetryCount;
    progress.DiscardEscape();
    progress.SetProgressLines({"Проверка связи", "Опрашиваем прибор", "", "", "", kEscapeHint});
    progress.ShowProgressPanel();
    system::Finding found;
    exchange.values().RetryCount = 1;
    for (uint32_t attempt = 1; attempt <= tries; ++attempt) {
        const std::string step = "Попытка " + std::to_string(attempt) + " из " + std::to_string(tries);
        progress.SetProgressStep(step);
        found = device::CheckInstrument(exchange, baud);
        outcome = found.state == system::FindingState::Ok ? kOk : kNoAnswer;
        if (outcome == kOk)
            break;
        // The window handles the keys pressed during the try before the next one begins.
        progress.SetProgressStep(step + ": нет ответа");
        if (attempt < tries && progress.EscapePressed()) {
            found = {"instrument", system::FindingState::Problem, "Опрос прибора остановлен пользователем (Esc).", ""};
            outcome = kStoppedByUser;
            break;
        }
    }
    exchange.values().RetryCount = tries;
    progress.HideProgressPanel();
    return found;
}

}  // namespace

std::vector<system::Finding> HistoryFindings(history::History& history)
{
    std::vector<system::Finding> findings;
    for (const history::HistoryFinding& h : history.Check())
        findings.push_back(
            {"history", h.ok ? system::FindingState::Ok : system::FindingState::Problem, h.text, h.fix, h.id});
    return findings;
}

QString FindingsHtml(const std::vector<system::Finding>& findings)
{
    QString html;
    for (const system::Finding& f : findings) {
        const bool ok = f.state == system::FindingState::Ok;
        html += QStringLiteral("<p><b style=\"color:%1\">%2</b> %3")
                    .arg(ok ? "#1a7f37" : "#c62828", ok ? QString::fromUtf8("✔") : QString::fromUtf8("✘"),
                         QString::fromStdString(f.text).toHtmlEscaped());
        if (const QString own = WindowFix(f); !ok && !own.isEmpty())
            html += QString::fromUtf8("<br>Исправить: %1").arg(own.toHtmlEscaped());
        else if (!f.fix.empty())
            html += QString::fromUtf8("<br>Исправить в терминале: <code>%1</code>")
                        .arg(QString::fromStdString(f.fix).toHtmlEscaped());
        html += "</p>";
    }
    return html;
}

ConnectionCheckDialog::ConnectionCheckDialog(QWidget* parent, link::LinkPort& port, link::Exchange& exchange,
                                             const link::PortLine& line, Progress& progress, history::History& history)
    : QDialog(parent)
{
    setObjectName("ConnectionCheckDialog");
    setWindowTitle(QString::fromUtf8("Проверка связи"));
    const std::string device = port.DeviceName();
    std::vector<system::Finding> findings = device::CheckPortSide(system::SystemView::Current(), device, line);
    outcome_ = kNoAnswer;
    findings.push_back(line.IsOpen() ? AskInstrument(exchange, port.settings().BaudRate, progress, outcome_)
                                     : device::PortNotOpen(device));
    const bool instrumentAnswered = findings.back().state == system::FindingState::Ok;
    for (system::Finding& f : HistoryFindings(history))
        findings.push_back(std::move(f));
    const QString html = FindingsHtml(findings);
    auto* text = new QTextBrowser;
    text->setObjectName("Findings");
    text->setHtml(html);
    text->setMinimumSize(560, 320);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!instrumentAnswered && line.IsOpen()) {
        QPushButton* search = buttons->addButton(QString::fromUtf8("Поиск прибора…"), QDialogButtonBox::ActionRole);
        search->setObjectName("SearchButton");
        connect(search, &QPushButton::clicked, this, [this] {
            searchWanted_ = true;
            accept();
        });
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
}

}  // namespace pmv::gui
