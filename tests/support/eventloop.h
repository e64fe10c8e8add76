#pragma once
// Driving this thread's events from a test: delivering what is pending, and
// waiting, for a bounded time, until a condition holds.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace TestSupport {

// Delivers what is pending for this thread: posted events, queued signals
// and slot calls, and the deleteLater requests that are due. A few rounds,
// since a delivery often posts the next one (a queued signal whose slot
// emits another queued signal, a deletion that posts a notification).
inline void flush()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Processes this thread's events until condition() holds, for at most
// timeoutMs. A failure names what was awaited and how long, e.g.
//   ASSERT_TRUE(waitUntil("the analyser to answer", [&] { return ...; }));
inline ::testing::AssertionResult waitUntil(const std::string &what, const std::function<bool()> &condition,
                                            int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return ::testing::AssertionFailure() << "waited " << timeoutMs << " ms for " << what << " in vain";
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return ::testing::AssertionSuccess();
}

} // namespace TestSupport
