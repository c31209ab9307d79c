#pragma once

#include "binding/bus.h"
#include "device/live_values.h"
#include "messages/progress.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace pmv {
class Messages;
}  // namespace pmv
namespace pmv::binding {
class Session;
}  // namespace pmv::binding

namespace pmv::gui {

class Ticker;
class WindowClock;

// "Связь → Приборы на линии…": every instrument on the line in a table, filled as the scan finds
// them (Esc stops the scan), their current values polled in turn, one made the window's
// instrument by a double-click or Enter, and a read into a folder or a write of one profile on
// the rows selected, with a result in each row.
class BusViewDialog : public QDialog {
public:
    // `choose` makes an instrument the window's, `keep` when dev.dat is to keep it too.
    BusViewDialog(QWidget* parent, binding::Session& session, Messages& messages, WindowClock& clock,
                  std::function<void(const binding::BusInstrument&, bool keep)> choose);
    ~BusViewDialog() override;

    // Where a read goes and which profile a write sends; a file dialog unless replaced (tests).
    std::function<QString()> askFolder;
    std::function<QString()> askProfile;

    const std::vector<binding::BusInstrument>& Instruments() const { return instruments_; }

    void Scan();
    void ReadSelected();
    void WriteSelected();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    class Panel;
    enum Column { Address, Speed, Model, TypeCode, Serial, Firmware, Channel1, Channel2, Result, Columns };

    void Show(const binding::BusInstrument& instrument);
    int RowOf(uint32_t address) const;
    void SetCell(int row, Column column, const QString& text);
    std::vector<binding::BusInstrument> Selected() const;
    void ShowOutcomes(const std::vector<binding::BusOutcome>& outcomes);
    void Choose(int row);
    void PollNext();
    void SetRunning(bool running);

    binding::Session& session_;
    Messages& messages_;
    std::function<void(const binding::BusInstrument&, bool)> choose_;
    std::unique_ptr<Panel> panel_;
    std::unique_ptr<Ticker> poll_;
    QTableWidget* table_;
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* scan_;
    QPushButton* read_;
    QPushButton* write_;
    QPushButton* chooseButton_;
    QCheckBox* keep_;
    std::vector<binding::BusInstrument> instruments_;
    std::vector<device::LivePoll> polls_;
    size_t nextPoll_ = 0;
    bool running_ = false;
    bool stop_ = false;
    bool closeRequested_ = false;
};

}  // namespace pmv::gui
