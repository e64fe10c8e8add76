#pragma once

// The one face of the analyser that the rest of the program sees. It lives on
// the GUI thread and never talks to the analyser itself: every operation is
// a task on its own worker thread, where the analyser command set runs. What
// the program knows about the analyser is a cache of optional values, each
// under its own reader-writer lock, filled by a one-second poll and by the
// setters' own tasks. Reads never wait for the analyser.

#include "device/checker.h"
#include "device/vnadevice.h"
#include "device/vnainfo.h"
#include "device/workerthread.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <atomic>
#include <complex>
#include <functional>
#include <optional>
#include <shared_mutex>
#include <utility>
#include <vector>

// The time constants of the analyser link; tests shorten them.
struct VnaTiming
{
    qint64 queryTimeoutMs = VNADevice::defaultQueryTimeoutMs;
    int connectTimeoutMs = ScpiDevice::defaultConnectTimeoutMs;
    int pollIntervalMs = 1000;
    // The wait for a sweep to complete: sweepMargin times the analyser's
    // sweep time, never less than sweepWaitFloorMs. A lost reply then ends
    // the measurement instead of holding the link for ever.
    qint64 sweepWaitFloorMs = 30000;
    double sweepMargin = 4.0;
    // How long a state reload keeps trying to reach an analyser whose link
    // dropped.
    qint64 restoreRetryMs = 20000;
};

// What a state reload is to bring back, and how it went.
struct StateRestore
{
    QString stateFile; // empty: nothing is reloaded
    std::optional<VNADevice::SaveType> saveType; // put back when present
    VNADevice::Settings expected; // read back and compared
};

struct StateRestoreResult
{
    bool reached = false; // the commands went out and the settings were read back
    QStringList differing; // "name: now (before)" for every setting that differs
};

// One de-embedding file to hand to an analyser port (0-based), with the
// reference impedance to set on that port first when present.
struct DeembeddingRequest
{
    quint32 port = 0;
    QString file;
    std::optional<double> impedance;
};

// What the analyser holds for de-embedding on some ports of a channel
// (0-based), as read from it.
struct DeembeddingState
{
    struct Port
    {
        quint32 port = 0;
        bool enabled = false;
        QString file; // empty: none
        std::optional<double> impedance; // read only where a request sets one
    };
    uint channel = 0;
    std::vector<Port> ports;
    bool deembedding = false;
    bool fixtureSimulator = false;
};

// What the analyser reports after the de-embedding requests: per port its
// de-embedding state, file and impedance as read back (empty: no reply),
// the channel's switches, and the errors it queued meanwhile.
struct DeembeddingCheck
{
    struct Port
    {
        quint32 port = 0;
        std::optional<bool> enabled;
        std::optional<QString> file;
        std::optional<double> impedance;
    };
    bool reached = false; // the channel was known and the commands went out
    bool notReady = false; // the analyser said it is not ready; nothing was sent
    // What the analyser held before anything was sent; empty: nothing was.
    std::optional<DeembeddingState> before;
    // Per request: a command for its port went out while the link was up
    // (the analyser may have run it).
    std::vector<bool> touched;
    bool switchesSent = false; // the channel's switches went out likewise
    std::vector<Port> ports; // in request order
    std::optional<bool> deembedding;
    std::optional<bool> fixtureSimulator;
    QStringList analyserErrors; // "code, text" of each error queued meanwhile
};

class SyncedVnaDevice : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(QString address READ address WRITE setAddress NOTIFY addressChanged)
    Q_PROPERTY(ushort port READ port WRITE setPort NOTIFY portChanged)
    Q_PROPERTY(QVariant portsCount READ portsCountVariant NOTIFY portsCountChanged)
    Q_PROPERTY(QVariant vnaInfo READ vnaInfoVariant NOTIFY vnaInfoChanged)
    Q_PROPERTY(QVariant isReady READ isReadyVariant NOTIFY isReadyChanged)
    Q_PROPERTY(QVariant calibratedPorts READ calibratedPortsVariant NOTIFY calibratedPortsChanged)

public:
    // (receiving "to" port, source "from" port), both 0-based: S(to, from).
    using PortPair = std::pair<quint32, quint32>;
    using Trace = std::vector<std::complex<double>>;
    // One trace per requested pair, in request order; empty on failure.
    using MeasureResult = std::optional<std::vector<Trace>>;

    using BoolCallback = std::function<void(bool)>;
    using MeasureCallback = std::function<void(MeasureResult)>;
    using TraceCallback = std::function<void(std::optional<Trace>)>;
    using FrequenciesCallback = std::function<void(std::optional<std::vector<double>>)>;
    using SaveTypeCallback = std::function<void(std::optional<VNADevice::SaveType>)>;
    using SettingsCallback = std::function<void(std::optional<VNADevice::Settings>)>;
    using RestoreCallback = std::function<void(std::optional<StateRestoreResult>)>;
    using DeembeddingCallback = std::function<void(std::optional<DeembeddingCheck>)>;
    using PutBackCallback = std::function<void(std::optional<DeembeddingState>)>;
    using ErrorsCallback = std::function<void(std::optional<QStringList>)>;
    // Why a measurement failed, for the user; called on the worker just
    // before the empty result (not for a cancel).
    using FailureCallback = std::function<void(QString)>;

    explicit SyncedVnaDevice(QObject *parent = nullptr, const VnaTiming &timing = VnaTiming{});
    ~SyncedVnaDevice() override;

    // Cache reads, from any thread.
    QString address() const;
    quint16 port() const;
    std::optional<uint> portsCount() const;
    std::optional<SweepType> sweepType() const;
    std::optional<double> startFreq() const;
    std::optional<double> stopFreq() const;
    std::optional<double> maxFreq() const;
    std::optional<uint> pointsCount() const;
    std::optional<double> stepFreq() const;
    std::optional<double> ifBandwidth() const;
    std::optional<double> outputPower() const;
    std::optional<VNADevice::CalibrationType> calibrationType() const;
    std::optional<bool> isInterpolated() const;
    std::optional<bool> isExtrapolated() const;
    std::optional<bool> isReady() const;
    std::optional<bool> enablePowerSourceState() const;
    std::optional<VnaInfo> vnaInfo() const;
    std::optional<double> impedance(uint i) const;
    std::vector<std::optional<double>> impedances() const;
    std::vector<double> calibratedPorts() const;
    // The command connection is up; kept by the worker, so reading it never
    // touches a socket of the worker's thread.
    bool isConnected() const;

    // Property writes (GUI thread): the next poll connects to the new peer.
    void setAddress(const QString &address);
    void setPort(quint16 port);

    // Task operations. The callback of each is called exactly once: on the
    // worker with the result, or with an empty result when the task was
    // dropped unrun or ended by an exception.
    void pushSync(BoolCallback callback);
    // Waits at a Checker (local event loop) for a push operation that takes
    // a bool callback, e.g. callAndWait(&SyncedVnaDevice::pushSync).
    bool callAndWait(void (SyncedVnaDevice::*pushOperation)(BoolCallback));
    void pushReadFrequencies(FrequenciesCallback callback);
    void pushReadStateFileSaveType(SaveTypeCallback callback);
    // Reads the settings a measurement changes (connecting first when the
    // link is down).
    void pushReadSettings(SettingsCallback callback);
    // Reloads a saved state and puts back the save type in one task, then
    // reads the settings back and compares them with the expected ones; a
    // dropped link is reconnected and the whole reload retried until
    // restoreRetryMs has passed.
    void pushRestoreState(StateRestore request, RestoreCallback callback);
    // In one task: (connecting first when the link is down) the analyser's
    // readiness and what it holds for the requested ports, then per request
    // the port impedance, the port's de-embedding off and its file (loading
    // it switches the port on again), then the channel's de-embedding and
    // fixture simulator on; then everything read back, with the errors the
    // analyser queued meanwhile. Nothing is sent when the analyser is not
    // ready or what it holds cannot be read.
    void pushApplyDeembedding(std::vector<DeembeddingRequest> requests, DeembeddingCallback callback);
    // Puts back what an Apply found (reconnecting when the link dropped, for
    // up to restoreRetryMs): per port the impedance, the earlier file where
    // it is not the one the Apply sent (appliedFiles, in port order) and the
    // de-embedding state, then the channel's switches; then reads it all
    // back (empty: the analyser could not be reached).
    void pushPutBackDeembedding(DeembeddingState before, std::vector<QString> appliedFiles, PutBackCallback callback);
    // The errors the analyser has queued ("code, text"), read until it
    // reports none; empty when it cannot be asked.
    void pushReadErrors(ErrorsCallback callback);
    // The bound of the wait for one sweep, from the sweep time in seconds
    // (the timing's floor when it is unknown).
    qint64 sweepWaitMs(std::optional<double> sweepSeconds) const;
    // Defines one trace per pair, sweeps once and reads every trace.
    void pushMeasure(std::vector<PortPair> pairs, MeasureCallback callback, FailureCallback failed = {});
    void pushSParameter(uint toPort, uint fromPort, TraceCallback callback, FailureCallback failed = {});

    // Starts the poll chain: one poll now, each next one a poll interval
    // after the previous one ended.
    void startPolling();

    // The worker; for tests and for code that must order its own tasks with
    // the analyser's.
    WorkerThread *workerThread() const { return worker; }

signals:
    void error(QString text);
    void stateChanged(QAbstractSocket::SocketState state);
    void addressChanged();
    void portChanged();
    void isConnectedChanged();
    void sweepTypeChanged();
    void startFreqChanged();
    void stopFreqChanged();
    void maxFreqChanged();
    void pointsCountChanged();
    void stepFreqChanged();
    void ifBandwidthChanged();
    void outputPowerChanged();
    void calibrationTypeChanged();
    void isInterpolatedChanged();
    void isExtrapolatedChanged();
    void calibratedPortsChanged();
    void impedancesChanged();
    void vnaInfoChanged();
    void enablePowerSourceStateChanged();
    void isReadyChanged();
    void portsCountChanged();

public slots:
    void interrupt();
    void setEnablePowerSource(bool enable);
    void setYTraceAutoslace(uint graphIndex);
    void setSweepType(SweepType type);
    void setStartFreq(double freq);
    void setStopFreq(double tmpFreq);
    void setPointsCount(uint count);
    void setIfBandwidth(double value);
    void setOutputPower(double value);
    void setImpedance(double port, double value);
    void memoryDeleteState(const QString &stateFileName);
    void setStateFileSaveType(VNADevice::SaveType type);
    void loadStateFile(const QString &filePath);
    void saveStateFile(const QString &filePath);
    void saveCalibrationFile(const QString &filePath);
    void loadCalibrationFile(const QString &filePath);
    void setGraphicsLayout(uint type);
    void setNumberOfTraces(uint count);
    void setGraphicFormat(uint graphIndex, VNADevice::GraphicFormat format);
    void setGraphicDefine(uint graphIndex, VNADevice::TypeOfParameter type, uint receiver, uint source);
    void setGraphicSport(uint graphIndex, uint source);
    void setMeasuredParametr(uint parametrIndex, uint toPort, uint fromPort);
    void setFixtureSimulationState(bool state);
    void setDeembeddingState(bool state);
    void setDeembeddingState(uint port, bool state);
    void setDeembeddingFile(uint port, const QString &fileName);
    void preset();
    void showWindow(bool show);

private:
    // One cached value under its own reader-writer lock.
    template<typename T>
    class Locked
    {
    public:
        T get() const
        {
            std::shared_lock<std::shared_mutex> lock(mutex);
            return value;
        }
        void set(T v)
        {
            std::unique_lock<std::shared_mutex> lock(mutex);
            value = std::move(v);
        }

    private:
        mutable std::shared_mutex mutex;
        T value{};
    };

    QVariant portsCountVariant() const;
    QVariant vnaInfoVariant() const;
    QVariant isReadyVariant() const;
    QVariant calibratedPortsVariant() const;

    // Runs on the worker: one poll; true when the analyser was connected and
    // ready and the settings were read.
    bool sync();
    // The parts of one poll, in the order of their queries.
    void pollSweep();
    void pollChannel();
    void pollImpedances();
    // Runs on the worker: clears the cache after a failed connection.
    void resetState();
    void pollTask();
    void scheduleNextPoll();
    // Pushes a task that runs only when the active channel is known.
    void pushChannelTask(std::function<void(uint channel)> task);
    void measureTask(const std::vector<PortPair> &pairs, const MeasureCallback &callback,
                     const FailureCallback &failed);
    StateRestoreResult restoreTask(const StateRestore &request);
    DeembeddingCheck applyDeembeddingTask(const std::vector<DeembeddingRequest> &requests);
    std::optional<DeembeddingState> putBackDeembeddingTask(const DeembeddingState &before,
                                                           const std::vector<QString> &appliedFiles);
    // What the analyser holds for the ports of the requests (impedances
    // where a request sets one); empty when a reply is missing.
    std::optional<DeembeddingState> readDeembedding(uint channel, const std::vector<DeembeddingRequest> &requests);
    // Reads the analyser's error queue empty (a bounded number of times);
    // false when a reply is missing.
    bool drainErrors(QStringList *texts);
    bool connectNow();
    void updateConnectedState();

    WorkerThread *worker;
    VNADevice *device;
    VnaTiming timing;

    std::optional<uint> activeChannel; // worker thread only
    // A state reload runs; a cancel then leaves the link alone (worker
    // thread only).
    bool restoring = false;
    std::atomic<bool> polling{false};
    std::atomic<bool> closing{false};
    std::atomic<bool> connected{false};

    Locked<QString> m_address;
    Locked<quint16> m_port;
    Locked<std::optional<uint>> m_portsCount;
    Locked<std::optional<SweepType>> m_sweepType;
    Locked<std::optional<double>> m_startFreq;
    Locked<std::optional<double>> m_stopFreq;
    Locked<std::optional<double>> m_maxFreq;
    Locked<std::optional<uint>> m_pointsCount;
    Locked<std::optional<double>> m_stepFreq;
    Locked<std::optional<double>> m_ifBandwidth;
    Locked<std::optional<double>> m_outputPower;
    Locked<std::optional<VNADevice::CalibrationType>> m_calibrationType;
    Locked<std::optional<bool>> m_isInterpolated;
    Locked<std::optional<bool>> m_enablePowerSourceState;
    Locked<std::optional<bool>> m_isExtrapolated;
    Locked<std::optional<bool>> m_isReady;
    Locked<std::vector<std::optional<double>>> m_impedances;
    Locked<std::vector<double>> m_calibratedPorts;
    Locked<std::optional<VnaInfo>> m_vnaInfo;
};
