#include "window_clock.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

namespace pmv::gui {
namespace {

class QtTicker final : public Ticker {
public:
    QtTicker(std::function<void()> tick, bool singleShot)
    {
        timer_.setSingleShot(singleShot);
        QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
    }
    void Start(uint32_t ms) override { timer_.start(static_cast<int>(ms)); }
    void Stop() override { timer_.stop(); }

private:
    QTimer timer_;
};

}  // namespace

void EventLoopClock::Wait(uint32_t ms)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
    loop.exec();
}

std::unique_ptr<Ticker> EventLoopClock::NewTicker(std::function<void()> tick, bool singleShot)
{
    return std::make_unique<QtTicker>(std::move(tick), singleShot);
}

int64_t EventLoopClock::EpochMs() const { return QDateTime::currentMSecsSinceEpoch(); }

}  // namespace pmv::gui
