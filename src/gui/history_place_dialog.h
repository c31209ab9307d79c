#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;
class QTextBrowser;

namespace pmv::history {
class SelectedHistory;
}  // namespace pmv::history

namespace pmv::gui {

// "Связь → Журнал приборов: где вести…": the file of the work folder, or a PostgreSQL server
// several stations share (its address, never a password). "Проверить" shows the history's check
// for what is typed; OK puts the choice into dev.dat ([HISTORY] Server) and the window's history
// follows it at once.
class HistoryPlaceDialog : public QDialog {
public:
    HistoryPlaceDialog(QWidget* parent, history::SelectedHistory& history);

    void accept() override;

private:
    // The address typed, or empty for the file; false with the reason shown when it is no address.
    bool Chosen(std::string& address);
    void CheckChosen();

    history::SelectedHistory& history_;
    QRadioButton* file_;
    QRadioButton* server_;
    QLineEdit* address_;
    QTextBrowser* findings_;
};

}  // namespace pmv::gui
