#pragma once
// Progress records of long tasks and the list of them that QML shows.
//
// A job advances its TaskProgress from whatever thread it runs on (Qt's
// future interface is thread-safe); the ProgressManager keeps one
// ProgressWatcher row per reported job on the GUI thread, and drops the row
// a fixed delay after the job's TaskProgress has been destroyed.

#include "device/listmodels.h"

#include <QFuture>
#include <QFutureInterface>
#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstddef>
#include <memory>

// The future interface of a job that reports progress but returns no result.
// A progress record has exactly one owner: either a local object or the
// shared pointer made by create(). It never takes a Qt parent, so a parent's
// destruction can never delete it under a shared pointer that still holds it.
class TaskProgress : public QObject, public QFutureInterface<void>
{
    Q_OBJECT

public:
    // Progress range 0 to 2 at value 1 with an empty text, neither started
    // nor finished.
    explicit TaskProgress(std::nullptr_t = nullptr);
    ~TaskProgress() override;

    // A record held by a shared pointer whose deleter calls deleteLater, so
    // the last holder may release it from any thread.
    static std::shared_ptr<TaskProgress> create();

    QFuture<void> future();

    void start();
    // Value + 1 with an empty text, or with text.
    void step();
    void step(const QString &text);
    void setRange(int minimum, int maximum);
    // A value not greater than the current one is ignored, and nothing
    // changes once the record is cancelled or finished.
    void setValue(int value);
    void setValue(int value, const QString &text);
    // Fills the bar (keeping the current text) and cancels; does nothing
    // after finish.
    void cancel();
    // Fills the bar with the text "Finished" and reports finished; does
    // nothing after cancel.
    void finish();
};

// One row of the progress list: a job's progress as QML sees it.
class ProgressWatcher : public QFutureWatcher<void>
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(int progressMinimum READ progressMinimum NOTIFY progressRangeChanged)
    Q_PROPERTY(int progressMaximum READ progressMaximum NOTIFY progressRangeChanged)
    Q_PROPERTY(int progressValue READ progressValue NOTIFY progressValueChanged)
    Q_PROPERTY(QString progressText READ progressText NOTIFY progressTextChanged)
    Q_PROPERTY(bool isStarted READ isStarted NOTIFY statusChanged)
    Q_PROPERTY(bool isFinished READ isFinished NOTIFY statusChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY statusChanged)
    Q_PROPERTY(bool isCanceled READ isCanceled NOTIFY statusChanged)
    Q_PROPERTY(bool isPaused READ isPaused NOTIFY statusChanged)
    Q_PROPERTY(bool indeterminate READ indeterminate WRITE setIndeterminate NOTIFY isIndeterminateChanged)

public:
    explicit ProgressWatcher(QObject *parent = nullptr);

    // A finished or cancelled job shows a full bar, and a finished one the
    // text "Finished", even when its steps had already reached the maximum
    // (the future then ignores the final value and text).
    int progressValue() const;
    QString progressText() const;

    QString name() const { return m_name; }
    void setName(const QString &name);
    bool indeterminate() const { return m_indeterminate; }
    void setIndeterminate(bool indeterminate);

signals:
    void progressRangeChanged();
    void progressValueChanged();
    void progressTextChanged();
    void statusChanged();
    void nameChanged();
    void isIndeterminateChanged();

private:
    QString m_name;
    bool m_indeterminate = false;
};

class ProgressManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QAbstractListModel *model READ model CONSTANT)

public:
    // How long a row stays after its job's TaskProgress is destroyed.
    static constexpr int DefaultRemovalDelayMs = 3000;

    explicit ProgressManager(int removalDelayMs = DefaultRemovalDelayMs);
    ~ProgressManager() override;

    // Adds a row watching progress under name; a null progress adds nothing.
    // Call on the manager's (the GUI) thread.
    QPointer<ProgressWatcher> add(TaskProgress *progress, const QString &name);

    QAbstractListModel *model() { return &m_model; }
    int removalDelayMs() const { return m_removalDelayMs; }

private:
    void removeWatcher(const ProgressWatcher *watcher);

    UniquePtr_Model<ProgressWatcher> m_model;
    int m_removalDelayMs;
};
