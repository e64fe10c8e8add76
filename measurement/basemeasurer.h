#pragma once
// The worker-side engine of a measurement step: reads measured data from an
// SParameterSource, prepares the fixture ports, runs the correction process
// and keeps a status. Measurers live on the GUI thread; their runs execute
// on the step worker thread, while interrupt() and the setters are called on
// the GUI thread.

#include "algorithms/fixtureport.h"
#include "algorithms/processmethod.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>

// The outcome of a measurer's run, as its status signals carry it.
enum Status : int {
    StatusDone = 0,
    StatusNotMeasured = 1,
    StatusFailed = 2,
};
Q_DECLARE_METATYPE(Status)

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
    // de-embedding and fixture simulation off, layout 1, then clearResults.
    void reset();

    virtual void clearResults() = 0;

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

protected:
    // Forwards the process's texts and passes interrupts on to it at once.
    void attachProcess(Algorithms::IProcessMethod *process);
    void clearInterrupt() { m_interrupted.store(false); }

    // Set by the GUI thread, read by the worker between ports.
    std::atomic<bool> m_interrupted{false};
    Algorithms::CalcMethod m_calcMethod = Algorithms::CalcMethodTimeGate;
    Algorithms::Z0ConversionType m_conversionT = Algorithms::Z0ConversionSystem;
    double m_userDefZ0 = 50.0;
    SyncedVnaDevice *m_device;
};

// Stores a status and emits its signal when it changed.
template <typename Emitter>
void updateStatus(Status &held, Status value, Emitter emitSignal)
{
    if (held == value)
        return;
    held = value;
    emitSignal(value);
}
