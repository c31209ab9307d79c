#pragma once

#include "binding/live_view.h"
#include "device/live_values.h"
#include "window_clock.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;

namespace pmv {

class Exchange;
struct LinkSettings;

// Page "Текущие значения": the instrument's current values, polled twice a second while the
// page is the selected one, also while the window is minimised. A poll may come between two exchanges of an operation, never inside one.
class LiveValuesPage final : public QWidget {
    Q_OBJECT

public:
    LiveValuesPage(QWidget* parent, Exchange& exchange, const LinkSettings& link, WindowClock& clock);

    void ShowView(const LiveView& view);
    void ShowOutcome(const PollOutcomeView& outcome);

    // A held page skips its polls: the instrument search owns the line meanwhile, at speeds and
    // addresses that are not in force, and a poll would cost it a whole answer time-out.
    void HoldPolls(bool held) { held_ = held; }

    // Called with the clamped values of every good poll (the trend takes them from here).
    std::function<void(const LiveValues&)> onGoodPoll;

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

    Exchange& exchange_;
    const LinkSettings& link_;
    std::unique_ptr<Ticker> timer_;  // the form's Timer3
    LivePoll poll_;
    LiveValues values_;
    std::array<ChannelLamps, 2> channels_{};
    std::array<QLabel*, 2> relays_{};
    std::array<QLabel*, 5> keys_{};
    std::array<QLabel*, 2> encoder_{};
    QLabel* outcome_ = nullptr;
    bool held_ = false;
};

}  // namespace pmv
