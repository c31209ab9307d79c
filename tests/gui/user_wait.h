#pragma once

#include <QDeadlineTimer>
#include <QTest>

#include <functional>

namespace pmv::test {

// Lets the window work until `done` holds; false when `ms` passed first. Assert the result:
// a QtTest macro inside a GoogleTest body would only return from it.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 5000)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

}  // namespace pmv::test
