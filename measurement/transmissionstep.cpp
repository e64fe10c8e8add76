#include "measurement/transmissionstep.h"

#include "algorithms/vectorhelpers.h"
#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/reflectionmeasurer.h"
#include "measurement/sparametersource.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/vnafixtureconnection.h"

namespace {

// Two measurers' statuses as one: both done, both idle, otherwise failed
// (one done and one idle included).
MeasureEnums::MeasureStatus combined(Status left, Status right)
{
    if (left == StatusDone && right == StatusDone)
        return MeasureEnums::MeasureStatus::MEASURED;
    if (left == StatusNotMeasured && right == StatusNotMeasured)
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
