#pragma once
// One action at a time: the program's single busy rule.
//
// Every job that uses the set-ups, their steps or their fixture models holds
// a ticket of the gate of the step worker while it runs. There are two
// kinds of job:
// - exclusive requests act on the GUI thread and may wait there in a local
//   event loop while they run: a measurement on the live analyser (it saves
//   and restores the analyser state around itself), every backend action
//   (preset, recall, apply, the saves), delete data, removing a set-up and
//   a reflect measurement of a thru step (it replaces GUI-thread objects
//   first);
// - queued jobs only run on the step worker: a Touchstone-file
//   measurement, an offset. The worker runs its tasks one after another, so
//   a queued job simply goes behind whatever runs there.
//
// While an exclusive request runs, the window and the remote-control port can
// still act (its wait processes their events), so every other exclusive
// request is refused then: the window's with one error text for the
// notification list, the remote commands with an error code; a refused
// request changes nothing (no started()/finished() pair, no progress row).
// Queued requests are admitted and go behind it. An exclusive request made
// while only queued jobs are pending first lets them run to their end, so
// nothing a job uses is changed or deleted under it.
//
// The gate belongs to the step worker (one per worker, made on first use)
// and is asked on the GUI thread, where all requests start; tickets may be
// released from any thread.

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class WorkerThread;

class JobGate : public QObject
{
    Q_OBJECT
public:
    // Shared by every copy of one job's hold; the job counts until the last
    // copy is gone.
    using Ticket = std::shared_ptr<void>;
    enum class Kind { Exclusive, Queued };

    // The gate of the jobs of worker (GUI thread); null without a worker.
    static JobGate *of(WorkerThread *worker);

    // Whether an exclusive job runs: exclusive requests are refused now.
    bool isBusy() const;
    // Whether queued jobs are pending or running on the worker.
    bool hasQueuedJobs() const;

    // A ticket for a job that starts now, whatever runs.
    Ticket enter(Kind kind);

    // The ticket of an exclusive request: null while an exclusive job runs;
    // otherwise taken at once, and returned once every queued job has run
    // (waiting at a local event loop meanwhile).
    Ticket admitExclusive();

    // The text of a refused request.
    static QString busyText();

private:
    explicit JobGate(WorkerThread *worker);

    struct Counts
    {
        std::atomic<int> exclusive{0};
        std::atomic<int> queued{0};
    };
    WorkerThread *m_worker;
    std::shared_ptr<Counts> m_counts;
};
