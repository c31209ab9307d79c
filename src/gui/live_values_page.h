#pragma once

#include "binding/live_view.h"
#include "device/live_values.h"
#include "window_clock.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLabel;

namespace pmv::link {
class Exchange;
struct LinkSettings;
}  // namespace pmv::link

namespace pmv::gui {

// Page "Текущие значения": the instrument's current values, polled twice a second while the
// page is the selected one, also while the window is minimised. A poll may come between two exchanges
// of an operation, never inside one.
class LiveValuesPage final : public QWidget {
    Q_OBJECT

public:
    LiveValuesPage(QWidget* parent, link::Exchange& exchange, const link::LinkSettings& link, WindowClock& clock);

    void ShowView(const binding::LiveView& view);
    void ShowOutcome(const binding::PollOutcomeView& outcome);

    // A held page skips its polls: the instrument search owns the line meanwhile, at speeds and
    // addresses that are not in force, and a poll would cost it a whole answer time-out.
    void HoldPolls(bool held) { held_ = held; }

    // Called with the clamped values of every good poll (the trend takes them from here).
    std::function<void(const device::LiveValues&)> onGoodPoll;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Poll();

    struct ChannelLamps {
        QLabel* value;
        QLabel* status;
        std::array<QLabel*, 3> lamps;  // "Уставка 1", "Уставка 2", "Обрыв"
    };

    link::Exchange& exchange_;
    const link::LinkSettings& link_;
    WindowClock& clock_;
    std::unique_ptr<Ticker> timer_;  // the form's Timer3
    device::LivePoll poll_;
    device::LiveValues values_;
    std::optional<int64_t> receivedMs_;  // the last good poll, since the epoch
    std::array<ChannelLamps, 2> channels_{};
    std::array<QLabel*, 2> relays_{};
    std::array<QLabel*, 5> keys_{};
    std::array<QLabel*, 2> encoder_{};
    QLabel* outcome_ = nullptr;
    bool held_ = false;
};

}  // namespace pmv::gui
