#pragma once
// What the command functions share: the common checks made on the parser
// thread, the blocking hop to the thread of the program's objects (the GUI
// thread), the wait after an analyser setter, and the formats of answers.

#include "automation/server/automationexception.h"

#include <QPointF>
#include <QString>
#include <QVector>

#include <functional>

class QObject;
class SyncedVnaDevice;

namespace Korvel {
namespace Automation {

// Code of a command run without a root object, and of an action whose
// object went away before the action could run.
constexpr int kRootApplicationError = 288;
// Code of a command that needs the analyser while it is not ready.
constexpr int kAnalyzerNotReady = 240;
// Code of an action that failed by an exception other than
// AutomationException.
constexpr int kExecutionError = 200;

// 288 unless root is set.
template<typename Root>
void checkRoot(const Root *root)
{
    if (!root)
        throw AutomationException(kRootApplicationError);
}

// 240 unless the analyser's readiness is known and true.
void checkReady(const SyncedVnaDevice *device);

// The common checks of a command that needs the analyser: 288, then 240.
// Root is the backend object; its getVnaDevice() hands out the analyser
// proxy.
template<typename Root>
void checkRootAndReady(Root *root)
{
    checkRoot(root);
    checkReady(root->getVnaDevice());
}

// Runs the action on the thread of root and returns when it has run; the
// calling thread blocks meanwhile (a call from root's own thread runs the
// action directly). An AutomationException thrown by the action is thrown
// again here, on the calling thread; any other exception becomes 200. Throws
// 288 when root is null or is destroyed before the action could run.
void runOnObjectThread(QObject *root, const std::function<void()> &action);
QString runQueryOnObjectThread(QObject *root, const std::function<QString()> &action);

// On the GUI thread, inside an action: queues a poll of the analyser behind
// every analyser call queued before it (the setter just made) and waits in a
// local event loop until it has run, so the proxy's cached values are fresh.
// The poll's result is not looked at. Nothing to wait for without a device.
void waitForDeviceQueue(SyncedVnaDevice *device);

// The same for the analyser proxy of the root object (its getVnaDevice()).
template<typename Root>
void waitForDeviceQueue(Root *root)
{
    waitForDeviceQueue(root ? root->getVnaDevice() : nullptr);
}

// Answer formats.
// Six significant digits, "." as the decimal separator.
QString formatDouble(double value);
QString formatInt(qint64 value);
// "1" or "0".
QString formatFlag(bool value);
// The y values of the curve's points in order, each as a text stream writes
// a real number by default, joined by "," without blanks; an empty curve
// answers an empty text.
QString formatTrace(const QVector<QPointF> &curve);

} // namespace Automation
} // namespace Korvel
