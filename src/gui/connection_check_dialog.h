#pragma once

#include <QDialog>

namespace pmv {
class Progress;
}  // namespace pmv
namespace pmv::link {
class Exchange;
class LinkPort;
class SerialLine;
}  // namespace pmv::link

namespace pmv::gui {

// "Связь → Проверка связи…": the findings of the connection check, each with its fix; when
// the instrument does not answer, a button leads to the search. The instrument is asked one try
// at a time on the window's progress panel, so Esc stops the check between two tries.
class ConnectionCheckDialog : public QDialog {
public:
    ConnectionCheckDialog(QWidget* parent, link::LinkPort& port, link::Exchange& exchange, const link::SerialLine& line,
                          Progress& progress);

    // True when the user asked for the search from here.
    bool SearchWanted() const { return searchWanted_; }

private:
    bool searchWanted_ = false;
};

}  // namespace pmv::gui
