#pragma once

#include "messages/error_codes.h"

#include <QDialog>

namespace pmv {
class Progress;
}  // namespace pmv
namespace pmv::link {
class Exchange;
class LinkPort;
class PortLine;
}  // namespace pmv::link

namespace pmv::gui {

// "Связь → Проверка связи…": the findings of the connection check, each with its fix; when
// the instrument does not answer, a button leads to the search. The instrument is asked one try
// at a time on the window's progress panel, so Esc stops the check between two tries.
class ConnectionCheckDialog : public QDialog {
public:
    ConnectionCheckDialog(QWidget* parent, link::LinkPort& port, link::Exchange& exchange, const link::PortLine& line,
                          Progress& progress);

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
