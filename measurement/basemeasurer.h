#pragma once
// The worker-side engine of a measurement step: reads measured data from an
// SParameterSource, prepares the fixture ports, runs the correction process
// and keeps a status. Measurers live on the GUI thread; their runs execute
// on the step worker thread, while interrupt() and the setters are called on
// the GUI thread.

#include "algorithms/fixtureport.h"
#include "algorithms/modelnotice.h"
#include "algorithms/processmethod.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/measurerstatus.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// Registers the status type for queued signals (idempotent).
void registerMeasurerStatusType();

class SyncedVnaDevice;

class BaseMeasurer : public QObject
{
    Q_OBJECT
public:
    BaseMeasurer(SyncedVnaDevice *device, QObject *parent = nullptr);

    Algorithms::CalcMethod calcMethod() const { return m_calcMethod; }
    Algorithms::Z0ConversionType conversionT() const { return m_conversionT; }
    double userDefZ0() const { return m_userDefZ0; }
    SyncedVnaDevice *device() const { return m_device; }
    bool isInterrupted() const { return m_interrupted.load(); }

    // Runs the process on the calling thread; an exception escaping it is
    // reported as "Error " and its text, and answers false.
    bool execute(Algorithms::IProcessMethod *process);
    // Configures the port for a calculation on an analyser port of impedance
    // z0; answers whether the port took the impedance.
    bool setupFixture(Algorithms::FixturePort *port, double z0);
    // The start of every run: clears the interrupt, turns the analyser's
    // de-embedding and fixture simulation off, layout 1 (only for a run that
    // measures on the analyser: a run from a file leaves it alone), then
    // clearResults.
    void reset(bool onAnalyser = true);

    virtual void clearResults() = 0;

    // The notices the calculations of the last run told, one per port and
    // calculation, in the order told; emptied when a run starts. Any thread.
    QList<Algorithms::ModelNotice> runNotices() const;

public slots:
    void setCalcMethod(Algorithms::CalcMethod method);
    void setConversionT(Algorithms::Z0ConversionType conversionT);
    void setUserDefZ0(double z0);
    void interrupt();

signals:
    void interrupted();
    void error(QString err);
    void calcMethodChanged(Algorithms::CalcMethod method);
    void conversionTChanged(Algorithms::Z0ConversionType conversionT);
    void userDefZ0Changed(double z0);
    // A calculation of this measurer found a model doubtful (emitted on the
    // thread of the run, once per calculation and port).
    void modelNotice(Algorithms::ModelNotice notice);

protected:
    // Ties a process to the measurer for one calculation, from its set-up
    // until it has run: the process's texts become the measurer's, a cancel
    // reaches it at once, and the texts of its fixture ports take only this
    // way to the user (their own forwarding through the MeasuredFixturePort
    // ends at the same set-up, so it is suspended meanwhile). A process kept
    // after its run is no longer tied: it answers no later cancel and repeats
    // none of its ports' texts.
    //
    // The link also carries the process's model notices to the ports: when
    // it is released, each port whose model the process made (or, for a DUT
    // correction, changed) holds what the process told about it under the
    // link's origin, or nothing, and the measurer tells the run's notices.
    class ProcessLink
    {
    public:
        ProcessLink() = default;
        // targets: the ports whose models the process changes; empty: every
        // port it calculates.
        ProcessLink(BaseMeasurer *measurer, Algorithms::IProcessMethod *process,
                    MeasuredFixturePort::NoticeOrigin origin, std::vector<MeasuredFixturePort *> targets);
        ~ProcessLink();
        ProcessLink(ProcessLink &&other) noexcept;
        ProcessLink &operator=(ProcessLink &&other) noexcept;
        ProcessLink(const ProcessLink &) = delete;
        ProcessLink &operator=(const ProcessLink &) = delete;

        void release();

    private:
        struct Detail;
        std::unique_ptr<Detail> m_detail;
    };

    ProcessLink link(Algorithms::IProcessMethod *process,
                     MeasuredFixturePort::NoticeOrigin origin = MeasuredFixturePort::NoticeOrigin::Calculation,
                     std::vector<MeasuredFixturePort *> targets = {})
    {
        return ProcessLink(this, process, origin, std::move(targets));
    }

    // Forgets the notices of the last run (the models they were about are
    // cleared with them): every clearResults does it.
    void clearRunNotices();

    // At a stage boundary of a run, on the worker: true when a cancel has
    // arrived. The flag is then cleared and the cancel reported, unless a
    // tied process received it and reported it already.
    bool takeInterrupt();

    // A read of measured data failed. After a cancel that is the cancel (the
    // analyser's abort ends the reads), reported as such; otherwise text.
    void reportReadFailure(const QString &text);

    // Set by the GUI thread, read by the worker between ports.
    std::atomic<bool> m_interrupted{false};
    Algorithms::CalcMethod m_calcMethod = Algorithms::CalcMethod::TimeGate;
    Algorithms::Z0ConversionType m_conversionT = Algorithms::Z0ConversionType::System;
    double m_userDefZ0 = 50.0;
    SyncedVnaDevice *m_device;

private:
    void addRunNotice(const Algorithms::ModelNotice &notice);

    mutable std::mutex m_runNoticesMutex;
    QList<Algorithms::ModelNotice> m_runNotices;

    // Orders a cancel against the tying and untying of processes, so that a
    // cancel is reported exactly once: by the tied process or by the run.
    std::recursive_mutex m_cancelMutex;
    int m_tiedProcesses = 0;
    bool m_cancelReported = false;
};

// Stores a status and emits its signal when it changed.
template<typename Emitter>
void updateStatus(Status &held, Status value, Emitter emitSignal)
{
    if (held == value)
        return;
    held = value;
    emitSignal(value);
}
