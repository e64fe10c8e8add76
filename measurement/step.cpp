#include "measurement/step.h"

#include "algorithms/vectorhelpers.h"
#include "device/checker.h"
#include "device/devicestatebackup.h"
#include "device/taskprogress.h"
#include "device/workerthread.h"
#include "measurement/basemeasurer.h"
#include "measurement/connections.h"
#include "measurement/jobgate.h"
#include "measurement/logging.h"
#include "measurement/stepoffsets.h"
#include "measurement/vnafixtureconnection.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMetaObject>
#include <QThread>

#include <cmath>
#include <mutex>

namespace {

// Finishes a queued job's bookkeeping when the worker drops the job unrun
// (the queue was cleared or the worker stopped), so no page waits for a
// finished() that never comes.
struct DropGuard
{
    DropGuard(Step *step, std::shared_ptr<Step> self, Step::Progress progress, JobGate::Ticket ticket)
        : step(step),
          self(std::move(self)),
          progress(std::move(progress)),
          ticket(std::move(ticket))
    {}
    DropGuard(const DropGuard &) = delete;
    DropGuard &operator=(const DropGuard &) = delete;

    Step *step;
    std::shared_ptr<Step> self;
    Step::Progress progress;
    // The job's hold of the gate; let go before finished() is announced, so
    // whoever acts on finished() finds the gate open.
    JobGate::Ticket ticket;
    bool ran = false;

    ~DropGuard()
    {
        if (ran)
            return;
        ticket.reset();
        if (progress)
            progress->cancel();
        emit step->finished();
    }
};

std::mutex backupDirectoryMutex;
QString backupDirectory;

} // namespace

void Step::setStateBackupDirectory(const QString &directory)
{
    std::lock_guard<std::mutex> lock(backupDirectoryMutex);
    backupDirectory = directory;
}

QString Step::stateBackupDirectory()
{
    std::lock_guard<std::mutex> lock(backupDirectoryMutex);
    return backupDirectory;
}

void Step::ObjectDeleter::operator()(QObject *object) const
{
    if (object)
        object->deleteLater();
}

Step::Step(SyncedVnaDevice *device, WorkerThread *worker, ProgressManager *progressManager, QObject *parent)
    : QObject(parent),
      m_device(device),
      m_worker(worker),
      m_progressManager(progressManager)
{
    qRegisterMetaType<Algorithms::CalcMethod>("Algorithms::CalcMethod");
    qRegisterMetaType<Algorithms::Z0ConversionType>("Algorithms::Z0ConversionType");
    registerMeasurerStatusType();
}

Step::~Step() = default;

MeasureEnums::MeasureStatus Step::getMeasureStatus() const
{
    return MeasureEnums::MeasureStatus::Error;
}

QList<Algorithms::ModelNotice> Step::notices() const
{
    QList<Algorithms::ModelNotice> list = calculationNotices();
    for (VNAFixtureConnection *side : ownedSides()) {
        if (!side)
            continue;
        for (const auto &port : side->measureData().items())
            if (port)
                if (const auto notice = port->offsetNotice())
                    list.append(*notice);
    }
    return list;
}

QVariantList Step::noticesVariant() const
{
    QVariantList list;
    for (const Algorithms::ModelNotice &notice : notices())
        list.append(MeasuredFixturePort::toVariant(notice));
    return list;
}

void Step::tellNoticesOf(BaseMeasurer *measurer)
{
    connect(measurer, &BaseMeasurer::modelNotice, this, &Step::modelNotice, Qt::DirectConnection);
}

void Step::tellOffsetNotice(const MeasuredFixturePort *port)
{
    if (!port)
        return;
    if (const auto notice = port->offsetNotice())
        emit modelNotice(*notice);
}

void Step::announceNotices()
{
    if (QThread::currentThread() == thread())
        emit noticesChanged();
    else
        QMetaObject::invokeMethod(
            this, [this] { emit noticesChanged(); }, Qt::QueuedConnection);
}

void Step::applyPlaneOffset(MeasureEnums::FixtureSide side, double offset)
{
    // A marker without a reference (no calculated model yet) gives no
    // number; a model moved by it would be lost.
    if (std::isfinite(offset))
        movePlane(side, offset);
}

void Step::applyPlaneOffsetAt(MeasureEnums::FixtureSide side, double markerTime, double referenceTime)
{
    applyPlaneOffset(side, (markerTime - referenceTime) * StepOffsets::picosecondsPerSecond);
}

void Step::movePlane(MeasureEnums::FixtureSide, double) {}

void Step::setCalcMethod(Algorithms::CalcMethod method)
{
    if (method == m_calcMethod)
        return;
    m_calcMethod = method;
    emit calcMethodChanged(method);
}

void Step::setConversionT(Algorithms::Z0ConversionType type)
{
    if (type == m_conversionT)
        return;
    m_conversionT = type;
    emit conversionTChanged(type);
}

void Step::setUserDefZ0(double z0)
{
    if (Algorithms::fuzzyEqual(z0, m_userDefZ0))
        return;
    m_userDefZ0 = z0;
    emit userDefZ0Changed(z0);
}

void Step::setAppliedFixtureOffset(bool applied)
{
    if (m_appliedFixtureOffset.exchange(applied) != applied)
        emit flagAppliedFixtureOffsetChanged();
}

void Step::deleteData()
{
    // The models a job fills are not cleared under it.
    JobGate *jobs = gate();
    const std::shared_ptr<Step> self = keepAlive();
    const JobGate::Ticket ticket = jobs ? jobs->admitExclusive() : nullptr;
    if (jobs && !ticket) {
        emit error(JobGate::busyText());
        return;
    }
    clearData();
    announceNotices();
}

JobGate *Step::gate() const
{
    return JobGate::of(m_worker);
}

bool Step::admitRequest(Admission admission)
{
    JobGate *jobs = gate();
    if (admission == Admission::RefuseWhileBusy && jobs) {
        // Admission may wait for queued jobs; the step stays alive meanwhile
        // even if its set-up lets go of it.
        const std::shared_ptr<Step> self = keepAlive();
        m_requestTicket = jobs->admitExclusive();
        if (!m_requestTicket) {
            emit error(JobGate::busyText());
            return false;
        }
    }
    m_cancelRequested.store(false);
    return true;
}

void Step::interrupt()
{
    qCDebug(lcMeasurement) << "Step interrupted";
    m_cancelRequested.store(true);
    emit interrupted();
}

void Step::release(bool resetSidesToo)
{
    if (m_released.exchange(true))
        return;
    interrupt();
    if (!resetSidesToo)
        return;
    const std::vector<VNAFixtureConnection *> sides = ownedSides();
    if (!m_worker) {
        resetSides();
        return;
    }
    // After every job of this step already queued, before any job of the
    // steps that replace it. The ports lists belong to this thread and may
    // change while the task waits (a port count set meanwhile), so the task
    // gets the ports as they are now; a port added later is empty anyway.
    // Its hold of them is let go here again, where the ports live.
    std::vector<std::shared_ptr<MeasuredFixturePort>> ports;
    for (VNAFixtureConnection *side : sides)
        if (side)
            ports.insert(ports.end(), side->measureData().items().begin(), side->measureData().items().end());
    const std::shared_ptr<Step> self = keepAlive();
    m_worker->push([self, ports]() mutable {
        for (const auto &port : ports)
            if (port)
                port->reset();
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [held = std::move(ports)] {}, Qt::QueuedConnection);
    });
}

void Step::resetSides() const
{
    for (VNAFixtureConnection *side : ownedSides())
        if (side)
            side->resetPorts();
}

std::shared_ptr<Step> Step::keepAlive()
{
    return weak_from_this().lock();
}

Step::Progress Step::createProgress(const QString &name, int maximum)
{
    Progress progress(new TaskProgress(), ObjectDeleter());
    if (m_progressManager)
        m_progressManager->add(progress.get(), name);
    progress->setRange(0, maximum);
    return progress;
}

void Step::runGuarded(const Job &job, TaskProgress *progress)
{
    if (m_cancelRequested.load() || m_released.load()) {
        // Cancelled while the analyser state was being saved or while the
        // job was queued.
        if (progress)
            progress->cancel();
        emit error(tr("The measurement was canceled"));
        return;
    }
    if (job)
        job();
}

bool Step::runWithSavedDeviceState(const Job &job, Progress progress, const Job &prepare)
{
    const std::shared_ptr<Step> self = keepAlive();
    JobGate *jobs = gate();
    JobGate::Ticket ticket = std::move(m_requestTicket);
    if (!ticket && jobs)
        ticket = jobs->enter(JobGate::Kind::Exclusive);
    if (progress)
        progress->step(tr("Save device state"));
    auto backup = std::make_shared<DeviceStateBackup>(m_device, stateBackupDirectory());
    if (progress)
        progress->start();
    emit started();

    if (!m_device || !m_worker || !backup->save()) {
        // Nothing was measured; the user learns why.
        const QString reason = backup->errorString();
        if (!reason.isEmpty())
            emit error(reason);
        if (progress)
            progress->cancel();
        emit finished();
        return false;
    }

    if (prepare)
        prepare();

    Checker checker;
    auto ran = std::make_shared<std::atomic<bool>>(false);
    m_worker->push([this, self, job, progress, backup, ran, done = WaitCompletion<void>(checker)] {
        ran->store(true);
        const auto after = [&] {
            if (progress)
                progress->step(tr("Restore device state"));
            if (!backup->restore())
                emit error(backup->errorString());
            // Before finished(): whoever acts on it reads the new notices.
            announceNotices();
            emit finished();
            if (progress)
                progress->finish();
            done();
        };
        try {
            runGuarded(job, progress.get());
        } catch (...) {
            after();
            throw;
        }
        after();
    });
    checker.wait();

    if (!ran->load()) {
        // The worker dropped the job unrun: the analyser is still preset, so
        // its state is put back from here.
        if (!backup->restore())
            emit error(backup->errorString());
        if (progress)
            progress->cancel();
        emit finished();
    }
    return true;
}

void Step::runStepTask(const Job &job, Progress progress)
{
    if (progress)
        progress->start();
    emit started();
    if (!m_worker) {
        if (progress)
            progress->cancel();
        emit finished();
        return;
    }
    JobGate *jobs = gate();
    auto guard =
        std::make_shared<DropGuard>(this, keepAlive(), progress, jobs ? jobs->enter(JobGate::Kind::Queued) : nullptr);
    // An exclusive request ends here: what it prepared is done, its job
    // goes behind whatever runs.
    m_requestTicket.reset();
    m_worker->push([this, job, progress, guard] {
        guard->ran = true;
        const auto after = [&] {
            guard->ticket.reset();
            announceNotices();
            emit finished();
            if (progress)
                progress->finish();
        };
        try {
            runGuarded(job, progress.get());
        } catch (...) {
            after();
            throw;
        }
        after();
    });
}
