#include "device/taskprogress.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

// The text of a finished record, in the language of the progress titles.
QString finishedText()
{
    return QCoreApplication::translate("TaskProgress", "Finished");
}

} // namespace

TaskProgress::TaskProgress(std::nullptr_t) : QObject(nullptr)
{
    setProgressRange(0, 2);
    setProgressValueAndText(1, QString());
}

TaskProgress::~TaskProgress() = default;

std::shared_ptr<TaskProgress> TaskProgress::create()
{
    return std::shared_ptr<TaskProgress>(new TaskProgress(), [](TaskProgress *p) { p->deleteLater(); });
}

QFuture<void> TaskProgress::future()
{
    return QFutureInterface<void>::future();
}

void TaskProgress::start()
{
    reportStarted();
}

void TaskProgress::step()
{
    setProgressValueAndText(progressValue() + 1, QString());
}

void TaskProgress::step(const QString &text)
{
    setProgressValueAndText(progressValue() + 1, text);
}

void TaskProgress::setRange(int minimum, int maximum)
{
    setProgressRange(minimum, maximum);
}

void TaskProgress::setValue(int value)
{
    setProgressValue(value);
}

void TaskProgress::setValue(int value, const QString &text)
{
    setProgressValueAndText(value, text);
}

void TaskProgress::cancel()
{
    // A finished record stays finished (the future interface itself would
    // still flag it cancelled).
    if (isFinished())
        return;
    const QString text = progressText();
    if (text.isEmpty())
        setProgressValue(progressMaximum());
    else
        setProgressValueAndText(progressMaximum(), text);
    QFutureInterfaceBase::cancel();
}

void TaskProgress::finish()
{
    // A cancelled record keeps its cancelled state and text.
    if (isCanceled())
        return;
    setProgressValueAndText(progressMaximum(), finishedText());
    reportFinished();
}

ProgressWatcher::ProgressWatcher(QObject *parent) : QFutureWatcher<void>(parent)
{
    connect(this, &QFutureWatcherBase::progressRangeChanged, this, &ProgressWatcher::progressRangeChanged);
    connect(this, &QFutureWatcherBase::progressValueChanged, this, &ProgressWatcher::progressValueChanged);
    connect(this, &QFutureWatcherBase::progressTextChanged, this, &ProgressWatcher::progressTextChanged);
    connect(this, &QFutureWatcherBase::started, this, &ProgressWatcher::statusChanged);
    connect(this, &QFutureWatcherBase::finished, this, &ProgressWatcher::statusChanged);
    connect(this, &QFutureWatcherBase::canceled, this, &ProgressWatcher::statusChanged);
    connect(this, &QFutureWatcherBase::paused, this, &ProgressWatcher::statusChanged);
    connect(this, &QFutureWatcherBase::resumed, this, &ProgressWatcher::statusChanged);
    // The shown value and text also change with the final state.
    for (auto finalState : {&QFutureWatcherBase::finished, &QFutureWatcherBase::canceled}) {
        connect(this, finalState, this, &ProgressWatcher::progressValueChanged);
        connect(this, finalState, this, &ProgressWatcher::progressTextChanged);
    }
}

int ProgressWatcher::progressValue() const
{
    if (isFinished() || isCanceled())
        return progressMaximum();
    return QFutureWatcher<void>::progressValue();
}

QString ProgressWatcher::progressText() const
{
    if (isFinished() && !isCanceled())
        return finishedText();
    return QFutureWatcher<void>::progressText();
}

void ProgressWatcher::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    emit nameChanged();
}

void ProgressWatcher::setIndeterminate(bool indeterminate)
{
    if (m_indeterminate == indeterminate)
        return;
    m_indeterminate = indeterminate;
    emit isIndeterminateChanged();
}

ProgressManager::ProgressManager(int removalDelayMs) : QObject(nullptr), m_removalDelayMs(removalDelayMs) {}

ProgressManager::~ProgressManager() = default;

QPointer<ProgressWatcher> ProgressManager::add(TaskProgress *progress, const QString &name)
{
    if (!progress)
        return {};

    auto *watcher = new ProgressWatcher();
    watcher->setFuture(progress->future());
    watcher->setName(name);

    // The record may be destroyed on another thread; the handler runs here
    // (queued when needed) and only compares the watcher's address. Both the
    // connection and the timer die with the manager.
    connect(progress, &QObject::destroyed, this, [this, watcher]() {
        QTimer::singleShot(m_removalDelayMs, Qt::PreciseTimer, this, [this, watcher]() { removeWatcher(watcher); });
    });

    m_model.appendItem(std::shared_ptr<ProgressWatcher>(watcher));
    return QPointer<ProgressWatcher>(watcher);
}

void ProgressManager::removeWatcher(const ProgressWatcher *watcher)
{
    const auto &rows = m_model.items();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].get() == watcher) {
            m_model.removeAt(static_cast<int>(i));
            return;
        }
    }
}
