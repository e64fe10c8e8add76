#include "measurement/jobgate.h"

#include "device/checker.h"
#include "device/workerthread.h"

JobGate::JobGate(WorkerThread *worker) : QObject(worker), m_worker(worker), m_counts(std::make_shared<Counts>()) {}

JobGate *JobGate::of(WorkerThread *worker)
{
    if (!worker)
        return nullptr;
    auto *gate = worker->findChild<JobGate *>(QString(), Qt::FindDirectChildrenOnly);
    return gate ? gate : new JobGate(worker);
}

bool JobGate::isBusy() const
{
    return m_counts->exclusive.load() > 0;
}

bool JobGate::hasQueuedJobs() const
{
    return m_counts->queued.load() > 0;
}

JobGate::Ticket JobGate::enter(Kind kind)
{
    // The counts live as long as their tickets, which a dropped task may
    // destroy after the gate itself.
    std::shared_ptr<Counts> counts = m_counts;
    std::atomic<int> *count = kind == Kind::Exclusive ? &counts->exclusive : &counts->queued;
    count->fetch_add(1);
    return Ticket(count, [counts](void *held) { static_cast<std::atomic<int> *>(held)->fetch_sub(1); });
}

JobGate::Ticket JobGate::admitExclusive()
{
    if (isBusy())
        return nullptr;
    Ticket ticket = enter(Kind::Exclusive);
    // Taken before the wait, so a request arriving meanwhile is refused.
    if (hasQueuedJobs()) {
        Checker drained;
        m_worker->push(WaitCompletion<void>(drained));
        drained.wait();
    }
    return ticket;
}

QString JobGate::busyText()
{
    return tr("Another measurement or action is running. Wait until it has finished, or cancel it");
}
