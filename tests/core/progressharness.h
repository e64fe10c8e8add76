#pragma once
// Drives real progress records from QML tests: the view under test shows a
// ProgressManager's model while the test starts, advances, ends and releases
// jobs by number.

#include "device/taskprogress.h"

#include <QAbstractListModel>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class ProgressHarness : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QAbstractListModel *model READ model CONSTANT)
    Q_PROPERTY(int removalDelayMs READ removalDelayMs CONSTANT)

public:
    explicit ProgressHarness(int removalDelayMs, QObject *parent = nullptr);

    QAbstractListModel *model() { return m_manager.model(); }
    int removalDelayMs() const { return m_manager.removalDelayMs(); }

    // Adds a job under name and returns its number.
    Q_INVOKABLE int add(const QString &name);
    Q_INVOKABLE void start(int job);
    Q_INVOKABLE void step(int job, const QString &text);
    Q_INVOKABLE void setRange(int job, int minimum, int maximum);
    Q_INVOKABLE void setValue(int job, int value, const QString &text);
    Q_INVOKABLE void finish(int job);
    Q_INVOKABLE void cancel(int job);
    // Drops the job's record, as a job does when it ends.
    Q_INVOKABLE void release(int job);

private:
    TaskProgress *job(int number) const;

    ProgressManager m_manager;
    std::vector<std::shared_ptr<TaskProgress>> m_jobs;
};
