#pragma once

#include "gui/window_clock.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace pmv::test {

// The window's time, moved on by the test: Advance runs every timer that falls due, in the order
// they fall due and each at its time, so a test waits no real time for a poll or a tick.
class DrivenClock final : public gui::WindowClock {
public:
    link::TimeStamp LocalTime() const override { return real_.LocalTime(); }
    int64_t MonotonicMs() const override { return nowMs_; }
    void Wait(uint32_t ms) override { Advance(ms); }
    int64_t EpochMs() const override { return epochStartMs_ + nowMs_; }
    std::unique_ptr<gui::Ticker> NewTicker(std::function<void()> tick, bool singleShot = false) override
    {
        return std::make_unique<DrivenTicker>(*this, std::move(tick), singleShot);
    }

    void Advance(int64_t ms)
    {
        const int64_t until = nowMs_ + ms;
        for (;;) {
            DrivenTicker* next = nullptr;
            for (DrivenTicker* t : tickers_)
                if (t->active_ && t->dueMs_ <= until && (!next || t->dueMs_ < next->dueMs_))
                    next = t;
            if (!next)
                break;
            nowMs_ = next->dueMs_;
            next->active_ = !next->singleShot_;
            next->dueMs_ += next->intervalMs_;
            next->tick_();
        }
        nowMs_ = until;
    }

    // Moves the time on in steps, letting the Qt events run between them, until `condition`
    // holds; false when `limitMs` of the window's time passed first.
    [[nodiscard]] bool AdvanceUntil(const std::function<bool()>& condition, int64_t limitMs)
    {
        constexpr int64_t kStepMs = 10;
        for (int64_t passed = 0; !condition(); passed += kStepMs) {
            if (passed >= limitMs)
                return false;
            QCoreApplication::processEvents();
            Advance(kStepMs);
        }
        return true;
    }

private:
    class DrivenTicker final : public gui::Ticker {
    public:
        DrivenTicker(DrivenClock& clock, std::function<void()> tick, bool singleShot)
            : clock_(clock), tick_(std::move(tick)), singleShot_(singleShot)
        {
            clock_.tickers_.push_back(this);
        }
        ~DrivenTicker() override { std::erase(clock_.tickers_, this); }
        void Start(uint32_t ms) override
        {
            intervalMs_ = std::max<int64_t>(ms, 1);
            dueMs_ = clock_.nowMs_ + intervalMs_;
            active_ = true;
        }
        void Stop() override { active_ = false; }

        DrivenClock& clock_;
        std::function<void()> tick_;
        bool singleShot_;
        bool active_ = false;
        int64_t intervalMs_ = 1;
        int64_t dueMs_ = 0;
    };

    link::SystemClock real_;
    std::vector<DrivenTicker*> tickers_;
    int64_t nowMs_ = 0;
    const int64_t epochStartMs_ = QDateTime::currentMSecsSinceEpoch();
};

}  // namespace pmv::test
