#pragma once

#include "history/history.h"
#include "messages/error_codes.h"
#include "system/system_check.h"

#include <QDialog>

#include <vector>

namespace pmv {
class Progress;
}  // namespace pmv
namespace pmv::link {
class Exchange;
class LinkPort;
class PortLine;
}  // namespace pmv::link

namespace pmv::gui {

// The findings of a check, each with its fix, as the window shows them.
QString FindingsHtml(const std::vector<system::Finding>& findings);

// The history's findings as findings of the connection check.
std::vector<system::Finding> HistoryFindings(history::History& history);

// "Связь → Проверка связи…": the findings of the connection check, each with its fix, the
// history's last; when the instrument does not answer, a button leads to the search. The instrument is asked one try
// at a time on the window's progress panel, so Esc stops the check between two tries.
class ConnectionCheckDialog : public QDialog {
public:
    ConnectionCheckDialog(QWidget* parent, link::LinkPort& port, link::Exchange& exchange, const link::PortLine& line,
                          Progress& progress, history::History& history);

    // True when the user asked for the search from here.
    bool SearchWanted() const { return searchWanted_; }
    // The instrument's answer for the status bar: 0, no answer (2, also with the port not open) or
    // stopped by Esc (20); the findings of the machine are told in the dialog alone.
    ErrorCode Outcome() const { return outcome_; }

private:
    bool searchWanted_ = false;
    ErrorCode outcome_ = kOk;
};

}  // namespace pmv::gui
