#pragma once
// Waiting at a Checker in a test without the risk of hanging the suite.

#include "device/checker.h"

#include <QObject>
#include <QTimer>

namespace DeviceTest {

// Waits at the checker, but completes it from a timer after `ms` so that a
// broken completion fails the test instead of hanging it. False when the
// timer had to complete it.
inline bool waitAtMost(Checker &checker, int ms = 5000)
{
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = !checker.isDone();
        checker.complete();
    });
    guard.start(ms);
    checker.wait();
    return !timedOut;
}

} // namespace DeviceTest
