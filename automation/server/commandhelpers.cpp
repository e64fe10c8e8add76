#include "automation/server/commandhelpers.h"

#include "automation/server/logging.h"
#include "automation/server/remoteclient.h"
#include "device/syncedvnadevice.h"

#include <QDebug>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTextStream>
#include <QThread>

namespace Korvel {
namespace Automation {

namespace {

// Runs action on root's thread; returns the code it ended with (0 on
// success).
int runBlocking(QObject *root, const std::function<void()> &action)
{
    if (!root)
        return kRootApplicationError;
    int code = 0;
    bool ran = false;
    auto wrapped = [&] {
        ran = true;
        try {
            action();
        } catch (const AutomationException &e) {
            code = e.code;
        } catch (const std::exception &e) {
            qCWarning(lcAutomation) << "Remote command action failed:" << e.what();
            code = kExecutionError;
        } catch (...) {
            qCWarning(lcAutomation) << "Remote command action failed by an unknown exception";
            code = kExecutionError;
        }
    };
    if (QThread::currentThread() == root->thread())
        wrapped();
    else if (!runOnServerThread(root, wrapped))
        QMetaObject::invokeMethod(root, wrapped, Qt::BlockingQueuedConnection);
    // A root destroyed with the call still queued never ran it.
    if (!ran)
        return kRootApplicationError;
    return code;
}

} // namespace

void checkReady(const SyncedVnaDevice *device)
{
    const std::optional<bool> ready = device ? device->isReady() : std::nullopt;
    if (!ready.value_or(false))
        throw AutomationException(kAnalyzerNotReady);
}

void runOnObjectThread(QObject *root, const std::function<void()> &action)
{
    if (const int code = runBlocking(root, action))
        throw AutomationException(code);
}

QString runQueryOnObjectThread(QObject *root, const std::function<QString()> &action)
{
    QString answer;
    if (const int code = runBlocking(root, [&] { answer = action(); }))
        throw AutomationException(code);
    return answer;
}

void waitForDeviceQueue(SyncedVnaDevice *device)
{
    if (device)
        device->callAndWait(&SyncedVnaDevice::pushSync);
}

QString formatDouble(double value)
{
    return QString::number(value, 'g', 6);
}

QString formatInt(qint64 value)
{
    return QString::number(value);
}

QString formatFlag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

QString formatTrace(const QVector<QPointF> &curve)
{
    QString text;
    QTextStream stream(&text);
    for (int i = 0; i < curve.size(); ++i) {
        if (i)
            stream << ',';
        stream << curve.at(i).y();
    }
    stream.flush();
    return text;
}

} // namespace Automation
} // namespace Korvel
