#pragma once
// One measurement the user performs on the fixtures of a set-up: the
// calculation settings pushed down by the set-up, the services a measurement
// needs, the status properties QML binds to, and the two ways a measurement
// job runs on the step worker: against the live analyser with its state saved
// before and restored after while the caller waits, or queued without
// waiting (a Touchstone file, an offset).
//
// Steps live on the GUI thread. A set-up holds them in shared pointers whose
// deleter calls deleteLater; a queued or running job holds the step too, so a
// step released by its set-up stays alive until its jobs have finished.

#include "algorithms/fixtureport.h"
#include "algorithms/modelnotice.h"
#include "algorithms/processmethod.h"
#include "measurement/measureenums.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class BaseMeasurer;
class JobGate;
class ConnectionBase;
class MeasuredFixturePort;
class ProgressManager;
class SyncedVnaDevice;
class TaskProgress;
class VNAFixtureConnection;
class WorkerThread;

class Step : public QObject, public std::enable_shared_from_this<Step>
{
    Q_OBJECT
    Q_PROPERTY(MeasureEnums::MeasureType measureType READ measureType CONSTANT)
    Q_PROPERTY(QObject *connection READ connection CONSTANT)
    Q_PROPERTY(bool appliedFixtureOffset READ appliedFixtureOffset WRITE setAppliedFixtureOffset NOTIFY
                   flagAppliedFixtureOffsetChanged)
    Q_PROPERTY(MeasureEnums::MeasureStatus getMeasureStatus READ getMeasureStatus NOTIFY isMeasuredChanged)
    Q_PROPERTY(QVariantList notices READ noticesVariant NOTIFY noticesChanged)

public:
    // Releases a QObject with deleteLater, from any thread.
    struct ObjectDeleter
    {
        void operator()(QObject *object) const;
    };
    using Job = std::function<void()>;
    using Progress = std::shared_ptr<TaskProgress>;

    Step(SyncedVnaDevice *device, WorkerThread *worker, ProgressManager *progressManager, QObject *parent = nullptr);
    ~Step() override;

    Algorithms::CalcMethod calcMethod() const { return m_calcMethod; }
    Algorithms::Z0ConversionType conversionT() const { return m_conversionT; }
    double userDefZ0() const { return m_userDefZ0; }
    bool appliedFixtureOffset() const { return m_appliedFixtureOffset.load(); }

    SyncedVnaDevice *device() const { return m_device; }
    WorkerThread *worker() const { return m_worker; }
    ProgressManager *progressManager() const { return m_progressManager; }

    void setCalcMethod(Algorithms::CalcMethod method);
    void setConversionT(Algorithms::Z0ConversionType type);
    // Fuzzy comparison: a change below 1e-12 of the value is none.
    void setUserDefZ0(double z0);
    // Callable from the step worker (the offset jobs).
    void setAppliedFixtureOffset(bool applied);

    // The set-up lets go of the step: a running measurement is cancelled, a
    // queued one is dropped, and (when resetSides) the models of the step's
    // sides are emptied on the worker after whatever job of this step is
    // still queued there. The step's destructor then leaves the sides alone.
    void release(bool resetSides);
    bool isReleased() const { return m_released.load(); }

    // Where the analyser state backups of all steps go (the "tmp" folder
    // below it); empty, the default, is the application directory.
    static void setStateBackupDirectory(const QString &directory);
    static QString stateBackupDirectory();

    // The fixture sides whose models this step computes (none for a step
    // that only refines the models of other steps).
    virtual std::vector<VNAFixtureConnection *> ownedSides() const = 0;

    // QML reads the first three through the properties of the same names;
    // they are not slots, so that QML sees the properties and their change
    // signals.
    virtual QObject *connection() const = 0;
    virtual MeasureEnums::MeasureStatus getMeasureStatus() const;
    virtual MeasureEnums::MeasureType measureType() const = 0;
    virtual void clearData() = 0;

    // The doubts about the models this step computed: what its last
    // calculation told, one per port and calculation, then the notices of
    // the offset models of its sides while its offsets are applied. GUI
    // thread; they change only in the step's jobs and when its data is
    // deleted, and noticesChanged follows on the step's thread (before
    // finished() of the job that changed them).
    QList<Algorithms::ModelNotice> notices() const;
    bool hasNotices() const { return !notices().isEmpty(); }
    // The same for QML: a list of {port, summary, detail}.
    QVariantList noticesVariant() const;

    // The gating chart's movable marker: sets the calibration plane offset
    // (ps) of the step's fixture on the given side and applies it. A
    // transmission step takes it only once its thru is calculated, a
    // reflection step always (its side is the one side); a step without a
    // plane of its own (the DUT step) ignores it, and so does every step an
    // offset that is not a finite number.
    Q_INVOKABLE void applyPlaneOffset(MeasureEnums::FixtureSide side, double offset);
    // The same with the offset given as the marker's time and the time of
    // the plane without offset (s); nothing when either is not a number
    // (no reference to measure from).
    Q_INVOKABLE void applyPlaneOffsetAt(MeasureEnums::FixtureSide side, double markerTime, double referenceTime);

public slots:
    void deleteData();
    void interrupt();

signals:
    void interrupted();
    void error(QString error);
    void started();
    void finished();
    void isMeasuredChanged();
    void flagAppliedFixtureOffsetChanged();
    void calcMethodChanged(Algorithms::CalcMethod method);
    void conversionTChanged(Algorithms::Z0ConversionType conversionT);
    void userDefZ0Changed(double z0);
    // A calculation of this step found a model doubtful: told once, when
    // it was found.
    void modelNotice(Algorithms::ModelNotice notice);
    void noticesChanged();

protected:
    // What the last calculation of the step's measurers told.
    virtual QList<Algorithms::ModelNotice> calculationNotices() const { return {}; }
    // Relays the notices of a measurer the step calculates its models with.
    void tellNoticesOf(BaseMeasurer *measurer);
    // After an offset moved the model of a port of this step: tells the
    // notice of the moved model, if any (on the job's thread).
    void tellOffsetNotice(const MeasuredFixturePort *port);
    // noticesChanged on the step's thread, from any thread.
    void announceNotices();

    // Sets and applies the plane offset (ps) of the given side, as
    // applyPlaneOffset describes; the base has no plane and does nothing.
    virtual void movePlane(MeasureEnums::FixtureSide side, double offset);

    // A progress record under name with range 0 .. maximum, listed by the
    // progress manager and released with deleteLater.
    Progress createProgress(const QString &name, int maximum);

    // Saves the analyser state, runs prepare here (GUI thread) once it is
    // saved, runs job on the step worker, restores the state there and waits
    // (local event loop) until all of it has run. False when the state could
    // not be saved (nothing was measured). The job holds the step worker's
    // gate until this returns.
    bool runWithSavedDeviceState(const Job &job, Progress progress, const Job &prepare = {});
    // Queues job on the step worker and returns at once; the job holds the
    // gate until it has run (or was dropped), released before finished().
    void runStepTask(const Job &job, Progress progress);

    // How a request meets a job that runs already (JobGate). A job that
    // only runs on the step worker goes behind it there. A request that
    // waits for the live analyser, or changes objects of this thread that a
    // job may use, is refused while any job runs.
    enum class Admission { QueueBehind, RefuseWhileBusy };

    // The start of a request from the user, under the program's busy rule:
    // false, with the refusal reported on error(), when it is refused;
    // otherwise a cancel from now on applies to it. Call before anything of
    // the request is changed.
    bool admitRequest(Admission admission);
    bool cancelRequested() const { return m_cancelRequested.load(); }

    // Shares the step with the jobs; empty when the step is not held by a
    // shared pointer (then its owner keeps it alive).
    std::shared_ptr<Step> keepAlive();

    void resetSides() const;

    // The gate of the step worker; null without a worker.
    JobGate *gate() const;

private:
    // Runs job unless the request was cancelled (or the step released)
    // before the job could start.
    void runGuarded(const Job &job, TaskProgress *progress);

    Algorithms::CalcMethod m_calcMethod = Algorithms::CalcMethod::TimeGate;
    Algorithms::Z0ConversionType m_conversionT = Algorithms::Z0ConversionType::System;
    double m_userDefZ0 = 50.0;
    std::atomic<bool> m_appliedFixtureOffset{false};
    SyncedVnaDevice *m_device;
    WorkerThread *m_worker;
    ProgressManager *m_progressManager;
    std::atomic<bool> m_cancelRequested{false};
    std::atomic<bool> m_released{false};
    // The exclusive hold of an admitted request until its job takes it over
    // (GUI thread).
    std::shared_ptr<void> m_requestTicket;
};

// A measurer status as the step properties show it.
inline MeasureEnums::MeasureStatus measureStatusOf(Status status)
{
    return MeasureEnums::fromMeasurerStatus(status);
}
