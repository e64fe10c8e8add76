#include "device/syncedvnadevice.h"

#include "algorithms/vectorhelpers.h"
#include "device/logging.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>

namespace {

// Wraps a callback so that it is called exactly once: by the task with its
// result, or, when the last copy is destroyed uncalled (the task was dropped
// from the queue or ended by an exception), with an empty result by the
// thread that destroys it.
template<typename T>
std::function<void(T)> callOnce(std::function<void(T)> callback)
{
    struct State
    {
        explicit State(std::function<void(T)> cb) : callback(std::move(cb)) {}
        ~State()
        {
            if (!called.exchange(true) && callback)
                callback(T{});
        }
        std::function<void(T)> callback;
        std::atomic<bool> called{false};
    };
    auto state = std::make_shared<State>(std::move(callback));
    return [state](T value) {
        if (!state->called.exchange(true) && state->callback)
            state->callback(std::move(value));
    };
}

template<typename T>
bool exactlyEqual(const T &a, const T &b)
{
    return a == b;
}

bool doublesEqual(const double &a, const double &b)
{
    return Algorithms::fuzzyEqual(a, b);
}

// Rule A (change): emit when exactly one of old and new is present, or both
// are and differ. Rule B (confirmation): emit unless both are present and
// equal, so an absent reply emits on every poll. The new value is always
// stored. Returns whether to emit.
enum class Rule { Change, Confirmation };

template<typename Field, typename T, typename Equal>
bool apply(Field &field, std::optional<T> value, Rule rule, Equal equal)
{
    const std::optional<T> old = field.get();
    const bool bothEqual = old && value && equal(*old, *value);
    const bool emitSignal = rule == Rule::Confirmation ? !bothEqual : !(bothEqual || (!old && !value));
    field.set(std::move(value));
    return emitSignal;
}

} // namespace

SyncedVnaDevice::SyncedVnaDevice(QObject *parent, const VnaTiming &timing)
    : QObject(parent),
      worker(new WorkerThread(this)),
      device(new VNADevice(timing.queryTimeoutMs, timing.connectTimeoutMs)),
      timing(timing)
{
    qRegisterMetaType<std::optional<int>>("optint");
    m_address.set(QStringLiteral("127.0.0.1"));
    m_port.set(5025);

    device->moveToThread(worker->thread());

    // The connection flag is kept on the worker, where the sockets live, so
    // that isConnected() never touches them from another thread.
    connect(
        device, &VNADevice::stateChanged, device, [this] { updateConnectedState(); }, Qt::DirectConnection);
    connect(device, &VNADevice::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        emit isConnectedChanged();
        emit stateChanged(state);
    });
    connect(device, &VNADevice::error, this, &SyncedVnaDevice::error);
}

SyncedVnaDevice::~SyncedVnaDevice()
{
    // No poll may reconnect from here on; queued tasks are dropped (their
    // waiters get empty results).
    closing = true;
    polling = false;
    worker->clear();
    VNADevice *d = device;
    QMetaObject::invokeMethod(
        device, [d] { d->disconnect(); }, Qt::BlockingQueuedConnection);
    worker->stop();
    delete device;
}

// ---------------------------------------------------------------- cache reads

QString SyncedVnaDevice::address() const
{
    return m_address.get();
}
quint16 SyncedVnaDevice::port() const
{
    return m_port.get();
}
std::optional<uint> SyncedVnaDevice::portsCount() const
{
    return m_portsCount.get();
}
std::optional<SweepType> SyncedVnaDevice::sweepType() const
{
    return m_sweepType.get();
}
std::optional<double> SyncedVnaDevice::startFreq() const
{
    return m_startFreq.get();
}
std::optional<double> SyncedVnaDevice::stopFreq() const
{
    return m_stopFreq.get();
}
std::optional<double> SyncedVnaDevice::maxFreq() const
{
    return m_maxFreq.get();
}
std::optional<uint> SyncedVnaDevice::pointsCount() const
{
    return m_pointsCount.get();
}
std::optional<double> SyncedVnaDevice::stepFreq() const
{
    return m_stepFreq.get();
}
std::optional<double> SyncedVnaDevice::ifBandwidth() const
{
    return m_ifBandwidth.get();
}
std::optional<double> SyncedVnaDevice::outputPower() const
{
    return m_outputPower.get();
}
std::optional<VNADevice::CalibrationType> SyncedVnaDevice::calibrationType() const
{
    return m_calibrationType.get();
}
std::optional<bool> SyncedVnaDevice::isInterpolated() const
{
    return m_isInterpolated.get();
}
std::optional<bool> SyncedVnaDevice::isExtrapolated() const
{
    return m_isExtrapolated.get();
}
std::optional<bool> SyncedVnaDevice::isReady() const
{
    return m_isReady.get();
}
std::optional<bool> SyncedVnaDevice::enablePowerSourceState() const
{
    return m_enablePowerSourceState.get();
}
std::optional<VnaInfo> SyncedVnaDevice::vnaInfo() const
{
    return m_vnaInfo.get();
}
std::vector<std::optional<double>> SyncedVnaDevice::impedances() const
{
    return m_impedances.get();
}
std::vector<double> SyncedVnaDevice::calibratedPorts() const
{
    return m_calibratedPorts.get();
}

std::optional<double> SyncedVnaDevice::impedance(uint i) const
{
    const auto values = m_impedances.get();
    if (i >= values.size())
        return std::nullopt;
    return values[i];
}

bool SyncedVnaDevice::isConnected() const
{
    return connected.load();
}

QVariant SyncedVnaDevice::portsCountVariant() const
{
    const auto value = portsCount();
    return value ? QVariant::fromValue(*value) : QVariant();
}

QVariant SyncedVnaDevice::vnaInfoVariant() const
{
    const auto value = vnaInfo();
    return value ? QVariant::fromValue(*value) : QVariant();
}

QVariant SyncedVnaDevice::isReadyVariant() const
{
    const auto value = isReady();
    return value ? QVariant::fromValue(*value) : QVariant();
}

QVariant SyncedVnaDevice::calibratedPortsVariant() const
{
    const auto ports = calibratedPorts();
    return QVariant::fromValue(QVector<double>(ports.begin(), ports.end()));
}

void SyncedVnaDevice::updateConnectedState()
{
    connected = device->isConnected();
}

// ------------------------------------------------------------ property writes

void SyncedVnaDevice::setAddress(const QString &address)
{
    if (m_address.get() == address)
        return;
    m_address.set(address);
    emit addressChanged();
}

void SyncedVnaDevice::setPort(quint16 port)
{
    if (m_port.get() == port)
        return;
    m_port.set(port);
    emit portChanged();
}

// ------------------------------------------------------------ task operations

void SyncedVnaDevice::pushSync(BoolCallback callback)
{
    worker->push([this, done = callOnce<bool>(std::move(callback))] { done(sync()); });
}

bool SyncedVnaDevice::callAndWait(void (SyncedVnaDevice::*pushOperation)(BoolCallback))
{
    bool result = false;
    Checker checker;
    (this->*pushOperation)(WaitCompletion<bool>(checker, result));
    checker.wait();
    return result;
}

void SyncedVnaDevice::pushReadFrequencies(FrequenciesCallback callback)
{
    using Result = std::optional<std::vector<double>>;
    worker->push([this, done = callOnce<Result>(std::move(callback))] {
        done(activeChannel ? device->frequencies(*activeChannel) : Result{});
    });
}

void SyncedVnaDevice::pushReadStateFileSaveType(SaveTypeCallback callback)
{
    using Result = std::optional<VNADevice::SaveType>;
    worker->push([this, done = callOnce<Result>(std::move(callback))] { done(device->stateFileSaveType()); });
}

void SyncedVnaDevice::pushReadSettings(SettingsCallback callback)
{
    using Result = std::optional<VNADevice::Settings>;
    worker->push([this, done = callOnce<Result>(std::move(callback))] {
        done(connectNow() ? device->readSettings() : Result{});
    });
}

void SyncedVnaDevice::pushRestoreState(StateRestore request, RestoreCallback callback)
{
    using Result = std::optional<StateRestoreResult>;
    worker->push([this, request = std::move(request), done = callOnce<Result>(std::move(callback))] {
        done(restoreTask(request));
    });
}

void SyncedVnaDevice::pushPutBackDeembedding(DeembeddingState before, std::vector<QString> appliedFiles,
                                             PutBackCallback callback)
{
    using Result = std::optional<DeembeddingState>;
    worker->push(
        [this, before = std::move(before), appliedFiles = std::move(appliedFiles),
         done = callOnce<Result>(std::move(callback))] { done(putBackDeembeddingTask(before, appliedFiles)); });
}

void SyncedVnaDevice::pushReadErrors(ErrorsCallback callback)
{
    using Result = std::optional<QStringList>;
    worker->push([this, done = callOnce<Result>(std::move(callback))] {
        QStringList texts;
        done(device->isConnected() && drainErrors(&texts) ? Result(texts) : Result{});
    });
}

void SyncedVnaDevice::pushApplyDeembedding(std::vector<DeembeddingRequest> requests, DeembeddingCallback callback)
{
    using Result = std::optional<DeembeddingCheck>;
    worker->push([this, requests = std::move(requests), done = callOnce<Result>(std::move(callback))] {
        done(applyDeembeddingTask(requests));
    });
}

bool SyncedVnaDevice::drainErrors(QStringList *texts)
{
    constexpr int maxErrors = 64;
    for (int i = 0; i < maxErrors; ++i) {
        const auto entry = device->nextError();
        if (!entry)
            return false;
        if (entry->first == 0)
            return true;
        if (texts)
            texts->append(QStringLiteral("%1, %2").arg(entry->first).arg(entry->second));
    }
    return true;
}

std::optional<DeembeddingState> SyncedVnaDevice::readDeembedding(uint channel,
                                                                 const std::vector<DeembeddingRequest> &requests)
{
    DeembeddingState state;
    state.channel = channel;
    for (const DeembeddingRequest &request : requests) {
        DeembeddingState::Port port;
        port.port = request.port;
        const auto enabled = device->deembeddingState(channel, request.port);
        const auto file = enabled ? device->deembeddingFile(channel, request.port) : std::nullopt;
        if (!enabled || !file)
            return std::nullopt;
        port.enabled = *enabled;
        port.file = *file;
        if (request.impedance) {
            port.impedance = device->impedance(request.port);
            if (!port.impedance)
                return std::nullopt;
        }
        state.ports.push_back(std::move(port));
    }
    const auto deembedding = device->deembeddingState(channel);
    const auto fixtureSimulator = deembedding ? device->fixtureSimulationState(channel) : std::nullopt;
    if (!deembedding || !fixtureSimulator)
        return std::nullopt;
    state.deembedding = *deembedding;
    state.fixtureSimulator = *fixtureSimulator;
    return state;
}

DeembeddingCheck SyncedVnaDevice::applyDeembeddingTask(const std::vector<DeembeddingRequest> &requests)
{
    DeembeddingCheck check;
    if (!connectNow() || !activeChannel)
        return check;
    const uint channel = *activeChannel;
    if (device->isReady() == false) {
        check.notReady = true;
        return check;
    }
    // Errors queued before belong to earlier commands. What the analyser
    // holds is read before anything is sent, so that an Apply cut short can
    // be undone; without it nothing is sent.
    if (!drainErrors(nullptr) || !(check.before = readDeembedding(channel, requests))) {
        check.before.reset();
        updateConnectedState();
        return check;
    }
    for (const DeembeddingRequest &request : requests) {
        check.touched.push_back(device->isConnected());
        if (request.impedance)
            device->setImpedance(request.port, *request.impedance);
        device->setDeembeddingState(channel, request.port, false);
        device->setDeembeddingFile(channel, request.port, request.file);
    }
    check.switchesSent = device->isConnected();
    device->setDeembeddingState(channel, true);
    device->setFixtureSimulationState(channel, true);
    check.reached = device->isConnected();
    for (const DeembeddingRequest &request : requests) {
        DeembeddingCheck::Port port;
        port.port = request.port;
        port.enabled = device->deembeddingState(channel, request.port);
        port.file = device->deembeddingFile(channel, request.port);
        if (request.impedance)
            port.impedance = device->impedance(request.port);
        check.ports.push_back(std::move(port));
    }
    check.deembedding = device->deembeddingState(channel);
    check.fixtureSimulator = device->fixtureSimulationState(channel);
    drainErrors(&check.analyserErrors);
    updateConnectedState();
    return check;
}

std::optional<DeembeddingState> SyncedVnaDevice::putBackDeembeddingTask(const DeembeddingState &before,
                                                                        const std::vector<QString> &appliedFiles)
{
    std::vector<DeembeddingRequest> ports;
    for (const DeembeddingState::Port &port : before.ports)
        ports.push_back({port.port, port.file, port.impedance});
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (connectNow()) {
            const uint channel = before.channel;
            for (size_t i = 0; i < before.ports.size(); ++i) {
                const DeembeddingState::Port &port = before.ports[i];
                if (port.impedance)
                    device->setImpedance(port.port, *port.impedance);
                // The same path holds the new model now: loading it again
                // would not bring the earlier one back.
                if (!port.file.isEmpty() && (i >= appliedFiles.size() || port.file != appliedFiles[i]))
                    device->setDeembeddingFile(channel, port.port, port.file);
                device->setDeembeddingState(channel, port.port, port.enabled);
            }
            device->setDeembeddingState(channel, before.deembedding);
            device->setFixtureSimulationState(channel, before.fixtureSimulator);
            if (auto now = readDeembedding(channel, ports)) {
                updateConnectedState();
                return now;
            }
        }
        updateConnectedState();
        if (closing || clock.elapsed() >= timing.restoreRetryMs)
            return std::nullopt;
        qCDebug(lcDevice) << "The de-embedding could not be put back; retrying after reconnection";
        QThread::msleep(static_cast<unsigned long>(std::clamp(timing.pollIntervalMs, 10, 1000)));
    }
}

bool SyncedVnaDevice::connectNow()
{
    if (closing)
        return false;
    const bool linked = device->connectToHost(m_address.get(), m_port.get());
    updateConnectedState();
    return linked;
}

StateRestoreResult SyncedVnaDevice::restoreTask(const StateRestore &request)
{
    restoring = true;
    const auto restored = qScopeGuard([this] { restoring = false; });
    StateRestoreResult result;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (connectNow()) {
            bool sent = request.stateFile.isEmpty() || device->loadStateFile(request.stateFile);
            if (sent && request.saveType)
                sent = device->setStateFileSaveType(*request.saveType);
            // The analyser runs its commands in order: once this is answered
            // the reload has run (a large state may take a while to load).
            if (sent && device->waitOperationComplete(std::max(timing.queryTimeoutMs, timing.sweepWaitFloorMs))) {
                if (const auto now = device->readSettings()) {
                    result.reached = true;
                    std::map<QString, QString> before(request.expected.begin(), request.expected.end());
                    for (const auto &[name, value] : *now) {
                        const auto it = before.find(name);
                        const QString old = it == before.end() ? QStringLiteral("-") : it->second;
                        if (old != value)
                            result.differing << QStringLiteral("%1: %2 (%3 before)").arg(name, value, old);
                        if (it != before.end())
                            before.erase(it);
                    }
                    // Settings held before and gone now (e.g. a trace fewer).
                    for (const auto &[name, value] : before)
                        result.differing << QStringLiteral("%1: - (%2 before)").arg(name, value);
                    return result;
                }
            }
        }
        const qint64 left = timing.restoreRetryMs - clock.elapsed();
        if (closing || left <= 0)
            return result;
        qCDebug(lcDevice) << "The analyser state reload did not get through; retrying after reconnection";
        // A poll apart, but never past the time the retries are given.
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(std::max(10, timing.pollIntervalMs), left)));
    }
}

qint64 SyncedVnaDevice::sweepWaitMs(std::optional<double> sweepSeconds) const
{
    if (!sweepSeconds)
        return timing.sweepWaitFloorMs;
    const double ms = *sweepSeconds * 1000.0 * timing.sweepMargin;
    if (!(ms < 1e15)) // also NaN
        return std::numeric_limits<qint64>::max();
    return std::max(timing.sweepWaitFloorMs, static_cast<qint64>(std::ceil(ms)));
}

void SyncedVnaDevice::pushMeasure(std::vector<PortPair> pairs, MeasureCallback callback, FailureCallback failed)
{
    worker->push([this, pairs = std::move(pairs), done = callOnce<MeasureResult>(std::move(callback)),
                  failed = std::move(failed)] { measureTask(pairs, done, failed); });
}

void SyncedVnaDevice::pushSParameter(uint toPort, uint fromPort, TraceCallback callback, FailureCallback failed)
{
    qCDebug(lcDevice) << "Push s param func";
    auto done = callOnce<std::optional<Trace>>(std::move(callback));
    pushMeasure(
        {PortPair{toPort, fromPort}},
        [done](MeasureResult result) {
            if (result && result->size() == 1)
                done(std::move(result->front()));
            else
                done(std::nullopt);
        },
        std::move(failed));
}

void SyncedVnaDevice::measureTask(const std::vector<PortPair> &pairs, const MeasureCallback &callback,
                                  const FailureCallback &failed)
{
    if (!activeChannel) {
        callback(std::nullopt);
        return;
    }
    const uint channel = *activeChannel;
    const uint count = static_cast<uint>(pairs.size());
    // The cause the user is told beside the caller's own text. A cancel
    // (the link still up, the wait ended early) is reported by the caller.
    const auto fail = [&](const QString &text) {
        if (!text.isEmpty()) {
            qCDebug(lcDevice).noquote() << text;
            if (failed)
                failed(text);
        }
        callback(std::nullopt);
    };
    const auto linkLost = [&] {
        return device->isConnected() ? QString() : tr("The link to the analyser was lost during the measurement");
    };

    device->setNumberOfTraces(count, channel);
    for (uint i = 0; i < count; ++i)
        device->setMeasuredParametr(i, pairs[i].first, pairs[i].second, channel);

    // A lost reply must not hold the link (and every caller behind it) for
    // ever, and a slow sweep must not pass for a lost reply: the bound
    // follows the sweep time the analyser reports. Asked before the trigger,
    // so that a cancel during the sweep always lands in the wait below.
    const qint64 waitMs = sweepWaitMs(device->sweepTime(channel));
    if (!device->singleSweep(channel)) {
        qCDebug(lcDevice) << "Start measure failed";
        fail(linkLost());
        return;
    }
    QElapsedTimer waited;
    waited.start();
    if (!device->waitOperationComplete(waitMs)) {
        qCDebug(lcDevice) << "Wait measure failed";
        if (waited.elapsed() >= waitMs) {
            // The sweep may still run: stop it before the state is reloaded.
            device->interrupt();
            const QString text = tr("The analyser did not complete the sweep within %1 s").arg(double(waitMs) / 1000.0);
            emit error(text);
            fail(text);
            return;
        }
        fail(linkLost());
        return;
    }

    std::vector<Trace> traces;
    traces.reserve(count);
    for (uint j = 0; j < count; ++j) {
        auto data = device->sData(j, channel);
        if (!data) {
            qCDebug(lcDevice).noquote() << QStringLiteral("Measure %0 failed").arg(j + 1);
            fail(linkLost());
            return;
        }
        traces.push_back(std::move(*data));
    }
    callback(std::move(traces));
}

// ------------------------------------------------------------------- polling

void SyncedVnaDevice::startPolling()
{
    polling = true;
    worker->push([this] { pollTask(); });
}

void SyncedVnaDevice::pollTask()
{
    sync();
    if (polling && !closing)
        scheduleNextPoll();
}

void SyncedVnaDevice::scheduleNextPoll()
{
    // The timer belongs to the proxy's (GUI) thread; it only pushes the next
    // poll, so at most one poll of the chain is queued or running.
    QMetaObject::invokeMethod(
        this,
        [this] {
            QTimer::singleShot(timing.pollIntervalMs, this, [this] {
                if (!closing)
                    worker->push([this] { pollTask(); });
            });
        },
        Qt::QueuedConnection);
}

// The sweep of the active channel, the analyser's frequency limit and the
// step that follows from the sweep.
void SyncedVnaDevice::pollSweep()
{
    if (activeChannel && apply(m_sweepType, device->sweepType(*activeChannel), Rule::Change, exactlyEqual<SweepType>))
        emit sweepTypeChanged();
    if (activeChannel && apply(m_startFreq, device->startFreq(*activeChannel), Rule::Confirmation, doublesEqual))
        emit startFreqChanged();
    if (activeChannel && apply(m_stopFreq, device->stopFreq(*activeChannel), Rule::Confirmation, doublesEqual))
        emit stopFreqChanged();
    if (apply(m_maxFreq, device->maxFrequency(), Rule::Confirmation, doublesEqual))
        emit maxFreqChanged();
    if (activeChannel && apply(m_pointsCount, device->pointsCount(*activeChannel), Rule::Change, exactlyEqual<uint>))
        emit pointsCountChanged();

    {
        const auto start = m_startFreq.get();
        const auto stop = m_stopFreq.get();
        const auto points = m_pointsCount.get();
        std::optional<double> step;
        if (start && stop && points)
            step = (*stop - *start) / static_cast<double>(static_cast<std::uint32_t>(*points - 1u));
        if (apply(m_stepFreq, step, Rule::Confirmation, doublesEqual))
            emit stepFreqChanged();
    }
}

// The receiver, source, identity and calibration of the active channel.
void SyncedVnaDevice::pollChannel()
{
    if (activeChannel && apply(m_ifBandwidth, device->ifBandwidth(*activeChannel), Rule::Confirmation, doublesEqual))
        emit ifBandwidthChanged();
    if (activeChannel && apply(m_outputPower, device->outputPower(*activeChannel), Rule::Confirmation, doublesEqual))
        emit outputPowerChanged();
    if (apply(m_vnaInfo, device->identify(), Rule::Confirmation, exactlyEqual<VnaInfo>))
        emit vnaInfoChanged();
    if (activeChannel
        && apply(m_calibrationType, device->calibrationType(*activeChannel), Rule::Change,
                 exactlyEqual<VNADevice::CalibrationType>))
        emit calibrationTypeChanged();
    if (activeChannel
        && apply(m_isExtrapolated, device->isExtrapolated(*activeChannel), Rule::Change, exactlyEqual<bool>))
        emit isExtrapolatedChanged();
    if (activeChannel
        && apply(m_isInterpolated, device->isInterpolated(*activeChannel), Rule::Change, exactlyEqual<bool>))
        emit isInterpolatedChanged();

    if (activeChannel) {
        // An absent reply keeps the known ports.
        if (auto ports = device->calibratedPorts(*activeChannel)) {
            const auto old = m_calibratedPorts.get();
            bool differ = old.size() != ports->size();
            for (size_t i = 0; !differ && i < old.size(); ++i)
                differ = !(old[i] == (*ports)[i]); // a NaN always differs
            if (differ) {
                m_calibratedPorts.set(std::move(*ports));
                emit calibratedPortsChanged();
            }
        }
    }
}

// The reference impedance of every port: one query per port of the previous
// poll's count.
void SyncedVnaDevice::pollImpedances()
{
    const uint count = m_portsCount.get().value_or(0);
    std::vector<std::optional<double>> values(count);
    for (uint i = 0; i < count; ++i)
        values[i] = device->impedance(i);
    const auto old = m_impedances.get();
    bool differ = old.size() != values.size();
    for (size_t i = 0; !differ && i < old.size(); ++i)
        differ = old[i].has_value() != values[i].has_value() || (old[i] && !(*old[i] == *values[i]));
    if (differ) {
        m_impedances.set(std::move(values));
        emit impedancesChanged();
    }
}

bool SyncedVnaDevice::sync()
{
    if (closing)
        return false;

    const QString host = m_address.get();
    const quint16 peerPort = m_port.get();
    const bool linked = device->connectToHost(host, peerPort);
    updateConnectedState();
    if (!linked) {
        resetState();
        return false;
    }

    if (apply(m_isReady, device->isReady(), Rule::Confirmation, exactlyEqual<bool>))
        emit isReadyChanged();
    const auto ready = m_isReady.get();
    if (!ready || !*ready)
        return false;

    const auto channel = device->activeChannel();
    if (channel != activeChannel)
        activeChannel = channel;

    pollSweep();
    pollChannel();
    pollImpedances();

    // The port count signals only a real change: a failing query does not
    // fire a change on every poll.
    if (apply(m_portsCount, device->portsCount(), Rule::Change, exactlyEqual<uint>))
        emit portsCountChanged();

    return true;
}

void SyncedVnaDevice::resetState()
{
    activeChannel.reset();

    m_isReady.set(std::nullopt);
    emit isReadyChanged();
    m_startFreq.set(std::nullopt);
    emit startFreqChanged();
    m_sweepType.set(std::nullopt);
    emit sweepTypeChanged();
    m_stopFreq.set(std::nullopt);
    emit stopFreqChanged();
    m_maxFreq.set(std::nullopt);
    emit maxFreqChanged();
    m_pointsCount.set(std::nullopt);
    emit pointsCountChanged();
    m_stepFreq.set(std::nullopt);
    emit stepFreqChanged();
    m_ifBandwidth.set(std::nullopt);
    emit ifBandwidthChanged();
    m_outputPower.set(std::nullopt);
    emit outputPowerChanged();
    m_vnaInfo.set(std::nullopt);
    emit vnaInfoChanged();
    m_calibrationType.set(std::nullopt);
    emit calibrationTypeChanged();
    m_isExtrapolated.set(std::nullopt);
    emit isExtrapolatedChanged();
    m_isInterpolated.set(std::nullopt);
    emit isInterpolatedChanged();
    m_calibratedPorts.set({});
    emit calibratedPortsChanged();
    m_impedances.set({});
    emit impedancesChanged();

    if (m_portsCount.get()) {
        m_portsCount.set(std::nullopt);
        emit portsCountChanged();
    }
}

// ------------------------------------------------------------------- setters

void SyncedVnaDevice::pushChannelTask(std::function<void(uint channel)> task)
{
    worker->push([this, task = std::move(task)] {
        if (activeChannel)
            task(*activeChannel);
    });
}

void SyncedVnaDevice::interrupt()
{
    // Not queued behind the tasks: delivered while the worker processes its
    // events, also inside the local loop of a waiting query. A cancel stops
    // measurements only: a reload of the user's state in progress (the
    // cancelled job's own restore) runs to its end.
    VNADevice *d = device;
    QMetaObject::invokeMethod(
        device,
        [this, d] {
            if (!restoring)
                d->interrupt();
        },
        Qt::QueuedConnection);
}

void SyncedVnaDevice::setEnablePowerSource(bool enable)
{
    worker->push([this, enable] {
        m_enablePowerSourceState.set(enable);
        emit enablePowerSourceStateChanged();
        device->setEnablePowerSource(enable);
    });
}

void SyncedVnaDevice::setYTraceAutoslace(uint graphIndex)
{
    worker->push([this, graphIndex] { device->setYTraceAutoscale(graphIndex); });
}

// The equality tests of the setters run in their tasks, against the cache as
// the earlier queued setters left it: setStartFreq(2e9) followed by
// setStartFreq(1e9) with 1 GHz cached then still ends at 1 GHz.

void SyncedVnaDevice::setSweepType(SweepType type)
{
    pushChannelTask([this, type](uint channel) {
        const auto cached = m_sweepType.get();
        if (cached && *cached == type)
            return;
        m_sweepType.set(type);
        emit sweepTypeChanged();
        device->setSweepType(type, channel);
    });
}

void SyncedVnaDevice::setStartFreq(double freq)
{
    pushChannelTask([this, freq](uint channel) {
        const auto cached = m_startFreq.get();
        if (cached && Algorithms::fuzzyEqual(*cached, freq))
            return;
        m_startFreq.set(freq);
        emit startFreqChanged();
        device->setStartFreq(freq, channel);
    });
}

void SyncedVnaDevice::setStopFreq(double tmpFreq)
{
    pushChannelTask([this, tmpFreq](uint channel) {
        const auto start = m_startFreq.get();
        if (start && *start > tmpFreq)
            return;
        m_stopFreq.set(tmpFreq);
        emit stopFreqChanged();
        device->setStopFreq(tmpFreq, channel);
    });
}

void SyncedVnaDevice::setPointsCount(uint count)
{
    pushChannelTask([this, count](uint channel) {
        const auto cached = m_pointsCount.get();
        if (cached && *cached == count)
            return;
        m_pointsCount.set(count);
        emit pointsCountChanged();
        device->setPointsCount(count, channel);
    });
}

void SyncedVnaDevice::setIfBandwidth(double value)
{
    pushChannelTask([this, value](uint channel) {
        const auto cached = m_ifBandwidth.get();
        if (cached && Algorithms::fuzzyEqual(*cached, value))
            return;
        m_ifBandwidth.set(value);
        emit ifBandwidthChanged();
        device->setIfBandwidth(value, channel);
    });
}

void SyncedVnaDevice::setOutputPower(double value)
{
    pushChannelTask([this, value](uint channel) {
        const auto cached = m_outputPower.get();
        if (cached && Algorithms::fuzzyEqual(*cached, value))
            return;
        m_outputPower.set(value);
        emit outputPowerChanged();
        device->setOutputPower(value, channel);
    });
}

void SyncedVnaDevice::setImpedance(double port, double value)
{
    // The port index is truncated (and checked) by the command set; the next
    // poll reads the impedances back.
    worker->push([this, port, value] { device->setImpedance(port, value); });
}

void SyncedVnaDevice::memoryDeleteState(const QString &stateFileName)
{
    worker->push([this, stateFileName] { device->memoryDeleteState(stateFileName); });
}

void SyncedVnaDevice::setStateFileSaveType(VNADevice::SaveType type)
{
    worker->push([this, type] { device->setStateFileSaveType(type); });
}

void SyncedVnaDevice::loadStateFile(const QString &filePath)
{
    worker->push([this, filePath] { device->loadStateFile(filePath); });
}

void SyncedVnaDevice::saveStateFile(const QString &filePath)
{
    worker->push([this, filePath] { device->saveStateFile(filePath); });
}

void SyncedVnaDevice::saveCalibrationFile(const QString &filePath)
{
    pushChannelTask([this, filePath](uint channel) { device->saveCalibrationFile(channel, filePath); });
}

void SyncedVnaDevice::loadCalibrationFile(const QString &filePath)
{
    pushChannelTask([this, filePath](uint channel) { device->loadCalibrationFile(channel, filePath); });
}

void SyncedVnaDevice::setGraphicsLayout(uint type)
{
    pushChannelTask([this, type](uint channel) { device->setGraphicsLayout(type, channel); });
}

void SyncedVnaDevice::setNumberOfTraces(uint count)
{
    pushChannelTask([this, count](uint channel) { device->setNumberOfTraces(count, channel); });
}

void SyncedVnaDevice::setGraphicFormat(uint graphIndex, VNADevice::GraphicFormat format)
{
    pushChannelTask(
        [this, graphIndex, format](uint channel) { device->setGraphicFormat(graphIndex, format, channel); });
}

void SyncedVnaDevice::setGraphicDefine(uint graphIndex, VNADevice::TypeOfParameter type, uint receiver, uint source)
{
    pushChannelTask([this, graphIndex, type, receiver, source](uint channel) {
        device->setGraphicDefine(graphIndex, type, receiver, source, channel);
    });
}

void SyncedVnaDevice::setGraphicSport(uint graphIndex, uint source)
{
    pushChannelTask([this, graphIndex, source](uint channel) { device->setGraphicSport(graphIndex, source, channel); });
}

void SyncedVnaDevice::setMeasuredParametr(uint parametrIndex, uint toPort, uint fromPort)
{
    pushChannelTask([this, parametrIndex, toPort, fromPort](uint channel) {
        device->setMeasuredParametr(parametrIndex, toPort, fromPort, channel);
    });
}

void SyncedVnaDevice::setFixtureSimulationState(bool state)
{
    pushChannelTask([this, state](uint channel) { device->setFixtureSimulationState(channel, state); });
}

void SyncedVnaDevice::setDeembeddingState(bool state)
{
    pushChannelTask([this, state](uint channel) { device->setDeembeddingState(channel, state); });
}

void SyncedVnaDevice::setDeembeddingState(uint port, bool state)
{
    pushChannelTask([this, port, state](uint channel) { device->setDeembeddingState(channel, port, state); });
}

void SyncedVnaDevice::setDeembeddingFile(uint port, const QString &fileName)
{
    pushChannelTask([this, port, fileName](uint channel) { device->setDeembeddingFile(channel, port, fileName); });
}

void SyncedVnaDevice::preset()
{
    worker->push([this] { device->preset(); });
}

void SyncedVnaDevice::showWindow(bool show)
{
    worker->push([this, show] { device->showWindow(show); });
}
