#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QThread>

#include <functional>

namespace pmv::test {

// Lets the Qt events run until `condition` holds or `ms` have passed, and tells which: a test
// asserts the result (EXPECT_TRUE(WaitFor(...))), so a wait that gives up fails the test
// instead of leaving it early as passed.
inline bool WaitFor(const std::function<bool()>& condition, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace pmv::test
