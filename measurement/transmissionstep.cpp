#include "measurement/transmissionstep.h"

#include "algorithms/dutcorrection.h"
#include "algorithms/messages.h"
#include "algorithms/vectorhelpers.h"
#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/logging.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/methodrules.h"
#include "measurement/qmlfixtureport.h"
#include "measurement/reflectionmeasurer.h"
#include "measurement/sparametersource.h"
#include "measurement/stepoffsets.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/vnafixtureconnection.h"

#include <QDebug>

#include <exception>

namespace {

// Two measurers' statuses as one: both done, both idle, otherwise failed
// (one done and one idle included).
MeasureEnums::MeasureStatus combined(Status left, Status right)
{
    if (left == Status::Done && right == Status::Done)
        return MeasureEnums::MeasureStatus::MEASURED;
    if (left == Status::NotMeasured && right == Status::NotMeasured)
        return MeasureEnums::MeasureStatus::NONE;
    return MeasureEnums::MeasureStatus::Error;
}

} // namespace

TransmissionStep::TransmissionStep(ConnectionTransmisson *connection, SyncedVnaDevice *device, WorkerThread *worker,
                                   ProgressManager *progressManager, QObject *parent)
    : OpenShortStep(device, worker, progressManager, parent),
      m_connection(connection),
      m_thruMeasurer(new TransmissionMeasurer(connection, device, this)),
      m_leftReflectMeasurer(new ReflectionMeasurer(nullptr, device, this)),
      m_rightReflectMeasurer(new ReflectionMeasurer(nullptr, device, this))
{
    qRegisterMetaType<MeasureEnums::FixturePossibleState>("MeasureEnums::FixturePossibleState");
    if (m_connection) {
        m_connection->setParent(this);
        if (m_connection->left())
            m_leftCopy = m_connection->left()->create();
        if (m_connection->right())
            m_rightCopy = m_connection->right()->create();
    }
    Algorithms::ProcessInputParameters *parameters = m_connection ? m_connection->parameters() : nullptr;
    m_leftReflectMeasurer->setConnection(new ConnectionReflect(m_leftCopy, parameters, m_leftReflectMeasurer));
    m_rightReflectMeasurer->setConnection(new ConnectionReflect(m_rightCopy, parameters, m_rightReflectMeasurer));
    m_leftReflectMeasurer->setState(m_reflectState);
    m_rightReflectMeasurer->setState(m_reflectState);

    for (BaseMeasurer *measurer :
         {static_cast<BaseMeasurer *>(m_thruMeasurer), static_cast<BaseMeasurer *>(m_leftReflectMeasurer),
          static_cast<BaseMeasurer *>(m_rightReflectMeasurer)}) {
        connect(measurer, &BaseMeasurer::error, this, &Step::error);
        connect(this, &Step::calcMethodChanged, measurer, &BaseMeasurer::setCalcMethod);
        connect(this, &Step::conversionTChanged, measurer, &BaseMeasurer::setConversionT);
        connect(this, &Step::userDefZ0Changed, measurer, &BaseMeasurer::setUserDefZ0);
        // At once on the interrupting thread, while the job runs on the worker.
        connect(this, &Step::interrupted, measurer, &BaseMeasurer::interrupt, Qt::DirectConnection);
    }
    // The reflect measurers calculate models of the side copies only, to
    // take their delays: the thru's models are the step's.
    tellNoticesOf(m_thruMeasurer);
    connect(m_thruMeasurer, &TransmissionMeasurer::statusChanged, this, &TransmissionStep::thruMeasuredChanged);
    for (ReflectionMeasurer *measurer : {m_leftReflectMeasurer, m_rightReflectMeasurer}) {
        connect(measurer, &ReflectionMeasurer::openStatusChanged, this, &TransmissionStep::openMeasuredChanged);
        connect(measurer, &ReflectionMeasurer::shortStatusChanged, this, &TransmissionStep::shortMeasuredChanged);
        connect(measurer, &ReflectionMeasurer::calculatingStatusChanged, this,
                &TransmissionStep::reflectCalculatedChanged);
    }
    connect(this, &TransmissionStep::thruMeasuredChanged, this, &Step::isMeasuredChanged);
    connect(this, &TransmissionStep::openMeasuredChanged, this, &Step::isMeasuredChanged);
    connect(this, &TransmissionStep::shortMeasuredChanged, this, &Step::isMeasuredChanged);
    connect(this, &TransmissionStep::reflectCalculatedChanged, this, &Step::isMeasuredChanged);
}

TransmissionStep::~TransmissionStep()
{
    if (!isReleased())
        resetSides();
    delete m_leftCopy;
    delete m_rightCopy;
}

std::vector<VNAFixtureConnection *> TransmissionStep::ownedSides() const
{
    if (!m_connection)
        return {};
    return {m_connection->left(), m_connection->right()};
}

QObject *TransmissionStep::connection() const
{
    return m_connection;
}

MeasureEnums::MeasureStatus TransmissionStep::getMeasureStatus() const
{
    return thruMeasured();
}

MeasureEnums::MeasureType TransmissionStep::measureType() const
{
    return MeasureEnums::MeasureType::TRANSMISSION;
}

void TransmissionStep::movePlane(MeasureEnums::FixtureSide side, double offset)
{
    // The planes of a thru exist once it is calculated.
    if (thruMeasured() != MeasureEnums::MeasureStatus::MEASURED)
        return;
    if (side == MeasureEnums::FixtureSide::Right)
        setRightOffset(offset);
    else if (side == MeasureEnums::FixtureSide::Left)
        setLeftOffset(offset);
    applyThruOffset(true);
}

QList<Algorithms::ModelNotice> TransmissionStep::calculationNotices() const
{
    return m_thruMeasurer->runNotices();
}

MeasureEnums::MeasureStatus TransmissionStep::thruMeasured() const
{
    return measureStatusOf(m_thruMeasurer->status());
}

MeasureEnums::MeasureStatus TransmissionStep::openMeasured() const
{
    return combined(m_leftReflectMeasurer->openStatus(), m_rightReflectMeasurer->openStatus());
}

MeasureEnums::MeasureStatus TransmissionStep::shortMeasured() const
{
    return combined(m_leftReflectMeasurer->shortStatus(), m_rightReflectMeasurer->shortStatus());
}

MeasureEnums::MeasureStatus TransmissionStep::reflectCalculated() const
{
    return combined(m_leftReflectMeasurer->calculatingStatus(), m_rightReflectMeasurer->calculatingStatus());
}

void TransmissionStep::setLeftOffset(double offset)
{
    if (Algorithms::fuzzyEqual(offset, m_leftOffset))
        return;
    m_leftOffset = offset;
    emit leftOffsetChanged();
}

void TransmissionStep::setRightOffset(double offset)
{
    if (Algorithms::fuzzyEqual(offset, m_rightOffset))
        return;
    m_rightOffset = offset;
    emit rightOffsetChanged();
}

void TransmissionStep::setAppliedReflectsOffset(bool applied)
{
    if (m_appliedReflectsOffset.exchange(applied) != applied)
        emit appliedReflectsOffsetChanged();
}

void TransmissionStep::selectedStandardsChanged()
{
    const auto state = selectedStandards();
    if (state == m_reflectState)
        return;
    m_reflectState = state;
    emit reflectStateChanged(state);
    m_leftReflectMeasurer->setState(state);
    m_rightReflectMeasurer->setState(state);
}

void TransmissionStep::setReflectState(MeasureEnums::FixturePossibleState state)
{
    if (state == m_reflectState)
        return;
    m_reflectState = state;
    emit reflectStateChanged(state);
    m_leftReflectMeasurer->setState(state);
    m_rightReflectMeasurer->setState(state);
}

void TransmissionStep::clearData()
{
    m_thruMeasurer->clearResults();
    m_leftReflectMeasurer->reset();
    m_rightReflectMeasurer->reset();
    m_leftReflectOffset.store(0.0);
    m_rightReflectOffset.store(0.0);
    resetSides();
    emit leftReflectOffsetChanged();
    emit rightReflectOffsetChanged();
}

void TransmissionStep::measureFromVna()
{
    if (!admitRequest(Admission::RefuseWhileBusy))
        return;
    const Progress progress = createProgress(tr("Transmission"), m_thruMeasurer->stepCount() + 2);
    SyncedVnaDevice *analyser = device();
    runWithSavedDeviceState(
        [this, progress, analyser] { measureThru(SParameterSource::fromDevice(analyser), progress); }, progress);
}

void TransmissionStep::measureFromTouchstoneFile(const QString &filePath)
{
    if (!admitRequest(Admission::QueueBehind))
        return;
    const Progress progress = createProgress(tr("Transmission"), m_thruMeasurer->stepCount());
    runStepTask([this, progress, filePath] { measureThru(SParameterSource::fromFile(filePath), progress); }, progress);
}

void TransmissionStep::measureThru(const SParameterSource &source, const Progress &progress)
{
    const bool ok = m_thruMeasurer->execute(source, progress.get());
    // The run replaced the models with ones that carry no offset.
    setAppliedFixtureOffset(false);
    // A cancelled run leaves no models of the pairs it had already done.
    if (!ok && cancelRequested())
        resetSides();
}

using StepOffsets::toSeconds;

bool TransmissionStep::applySidesOffsets(double leftPs, double rightPs)
{
    const double left = toSeconds(leftPs);
    const double right = toSeconds(rightPs);
    qCDebug(lcMeasurement) << "leftOffset" << left;
    qCDebug(lcMeasurement) << "Rightoffset" << right;
    VNAFixtureConnection *leftSide = m_connection ? m_connection->left() : nullptr;
    VNAFixtureConnection *rightSide = m_connection ? m_connection->right() : nullptr;
    if (!leftSide || !rightSide)
        return false;
    const auto &leftPorts = leftSide->measureData().items();
    const auto &rightPorts = rightSide->measureData().items();
    if (leftPorts.size() != rightPorts.size()) {
        emit error(tr("zip containers size are not equal"));
        return false;
    }
    try {
        // A port that refuses reports its own text.
        for (size_t i = 0; i < leftPorts.size(); ++i) {
            if (!leftPorts[i]->measureData()->applyOffset(left))
                return false;
            tellOffsetNotice(leftPorts[i].get());
            if (!rightPorts[i]->measureData()->applyOffset(right))
                return false;
            tellOffsetNotice(rightPorts[i].get());
        }
    } catch (const std::exception &e) {
        emit error(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

void TransmissionStep::applyThruOffset(bool val)
{
    if (m_thruMeasurer->status() != Status::Done)
        return;
    if (!admitRequest(Admission::QueueBehind))
        return;
    const Progress progress = createProgress(tr("Transmission offset"), 1);
    const double left = val ? m_leftOffset : 0.0;
    const double right = val ? m_rightOffset : 0.0;
    runStepTask(
        [this, progress, val, left, right] {
            progress->step(tr("Applying offset"));
            if (applySidesOffsets(left, right)) {
                setAppliedFixtureOffset(val);
            } else {
                progress->cancel();
                emit flagAppliedFixtureOffsetChanged();
            }
        },
        progress);
}

void TransmissionStep::applyReflectOffset(bool val)
{
    if (m_leftReflectMeasurer->calculatingStatus() != Status::Done
        || m_rightReflectMeasurer->calculatingStatus() != Status::Done)
        return;
    if (!admitRequest(Admission::QueueBehind))
        return;
    const Progress progress = createProgress(tr("Transmission offset"), 2);
    progress->step(tr("Check measure data"));
    if (m_thruMeasurer->status() != Status::Done) {
        emit error(tr("Fixture is not measured"));
        progress->cancel();
        return;
    }
    runStepTask(
        [this, progress, val] {
            progress->step(tr("Applying offset"));
            const double left = val ? leftReflectOffset() : 0.0;
            const double right = val ? rightReflectOffset() : 0.0;
            if (applySidesOffsets(left, right)) {
                setAppliedReflectsOffset(val);
            } else {
                progress->cancel();
                emit appliedReflectsOffsetChanged();
            }
        },
        progress);
}

void TransmissionStep::measureOpenFromVna()
{
    measureReflect(false, nullptr);
}

void TransmissionStep::measureShortFromVna()
{
    measureReflect(true, nullptr);
}

void TransmissionStep::measureOpenFromTouchstoneFile(const QString &filePath)
{
    measureReflect(false, &filePath);
}

void TransmissionStep::measureShortFromTouchstoneFile(const QString &filePath)
{
    measureReflect(true, &filePath);
}

void TransmissionStep::measureReflect(bool isShort, const QString *filePath)
{
    // The reflect offsets are taken from 1x-reflect models of the two ends.
    if (!MethodRules::calculatesReflect(calcMethod())) {
        emit error(MethodRules::reflectRefusal());
        return;
    }
    if (!admitRequest(Admission::RefuseWhileBusy))
        return;
    const QString name = isShort ? tr("Transmission Short") : tr("Transmission Open");
    // The side copies are GUI-thread objects: they are replaced here, after
    // the request was admitted (so no job of this program is using the old
    // ones) and before the job is queued, never by a call from the job into
    // this thread, which may be waiting for the job.
    if (!filePath) {
        const Progress progress = createProgress(name, 6);
        SyncedVnaDevice *analyser = device();
        runWithSavedDeviceState([this, progress, analyser,
                                 isShort] { runReflectJob(SParameterSource::fromDevice(analyser), isShort, progress); },
                                progress, [this] { replaceCopies(); });
        return;
    }
    const Progress progress = createProgress(name, 4);
    const QString path = *filePath;
    replaceCopies();
    runStepTask([this, progress, path, isShort] { runReflectJob(SParameterSource::fromFile(path), isShort, progress); },
                progress);
}

void TransmissionStep::runReflectJob(const SParameterSource &source, bool isShort, const Progress &progress)
{
    m_leftReflectOffset.store(0.0);
    m_rightReflectOffset.store(0.0);
    emit leftReflectOffsetChanged();
    emit rightReflectOffsetChanged();

    // The thru models go back without offset, so the thru offsets are no
    // longer applied. Without a calculated thru there is nothing to take
    // back. The reflect-offset choice stays: it holds for the offsets this
    // measurement computes (applied below once they are complete), and a
    // second standard measured after the first one still belongs to it.
    if (m_thruMeasurer->status() == Status::Done && applySidesOffsets(0.0, 0.0))
        setAppliedFixtureOffset(false);

    const auto measure = [&](ReflectionMeasurer *measurer) {
        if (isShort)
            measurer->measureShort(source, progress.get());
        else
            measurer->measureOpen(source, progress.get());
    };
    measure(m_leftReflectMeasurer);
    if (cancelRequested())
        return;
    measure(m_rightReflectMeasurer);

    if (m_leftReflectMeasurer->calculatingStatus() != Status::Done
        || m_rightReflectMeasurer->calculatingStatus() != Status::Done)
        return;
    progress->step(tr("Calculate reflect offset"));
    if (!computeReflectOffsets()) {
        progress->cancel();
        return;
    }
    if (appliedReflectsOffset() && !applySidesOffsets(leftReflectOffset(), rightReflectOffset()))
        progress->cancel();
}

void TransmissionStep::replaceCopies()
{
    VNAFixtureConnection *oldLeft = m_leftCopy;
    VNAFixtureConnection *oldRight = m_rightCopy;
    m_leftCopy = m_connection && m_connection->left() ? m_connection->left()->create() : nullptr;
    m_rightCopy = m_connection && m_connection->right() ? m_connection->right()->create() : nullptr;
    Algorithms::ProcessInputParameters *parameters = m_connection ? m_connection->parameters() : nullptr;
    for (auto [measurer, copy] :
         {std::pair(m_leftReflectMeasurer, m_leftCopy), std::pair(m_rightReflectMeasurer, m_rightCopy)}) {
        ConnectionReflect *old = measurer->connection();
        measurer->setConnection(new ConnectionReflect(copy, parameters, measurer));
        delete old;
        measurer->setState(m_reflectState);
    }
    delete oldLeft;
    delete oldRight;
}

bool TransmissionStep::computeReflectOffsets()
{
    using StepOffsets::DelayFailure;
    const auto mean = [this](const VNAFixtureConnection *side, const char *tag, const QString &emptyText) {
        DelayFailure failure = DelayFailure::NoPorts;
        const auto delay = StepOffsets::meanDelay(side, tag, &failure);
        if (!delay)
            emit error(failure == DelayFailure::NoPorts ? emptyText : Algorithms::Messages::noLengthData);
        return delay;
    };
    const auto leftAvg = mean(m_leftCopy, "LEFT PORT", tr("Calculation error. Left side fixture data is empty"));
    if (!leftAvg)
        return false;
    const auto rightAvg = mean(m_rightCopy, "RIGHT PORT", tr("Calculation error. Right side fixture data is empty"));
    if (!rightAvg)
        return false;
    const auto thruAvg = mean(m_connection ? m_connection->left() : nullptr, "THRU PORT",
                              tr("Calculation error. Fixture data is empty"));
    if (!thruAvg)
        return false;

    // (right - thru, left - thru) when all three are finite.
    const auto offsets = Algorithms::solveThruOffsets(*thruAvg, *leftAvg, *rightAvg);
    if (!offsets) {
        emit error(tr("Calculation error. Check fixture configuration and measured data for validity."));
        return false;
    }
    m_leftReflectOffset.store(offsets->second * StepOffsets::picosecondsPerSecond);
    m_rightReflectOffset.store(offsets->first * StepOffsets::picosecondsPerSecond);
    qCDebug(lcMeasurement) << "LEFT average" << *leftAvg;
    qCDebug(lcMeasurement) << "right average" << *rightAvg;
    qCDebug(lcMeasurement) << "thru average" << *thruAvg;
    emit leftReflectOffsetChanged();
    emit rightReflectOffsetChanged();
    return true;
}
