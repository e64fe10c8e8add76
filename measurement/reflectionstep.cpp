#include "measurement/reflectionstep.h"

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
#include "measurement/vnafixtureconnection.h"

#include <QDebug>

ReflectionStep::ReflectionStep(ConnectionReflect *connection, SyncedVnaDevice *device, WorkerThread *worker,
                               ProgressManager *progressManager, QObject *parent)
    : OpenShortStep(device, worker, progressManager, parent),
      m_connection(connection),
      m_measurer(new ReflectionMeasurer(connection, device, this))
{
    qRegisterMetaType<MeasureEnums::FixturePossibleState>("MeasureEnums::FixturePossibleState");
    if (m_connection)
        m_connection->setParent(this);

    connect(m_measurer, &BaseMeasurer::error, this, &Step::error);
    tellNoticesOf(m_measurer);
    connect(this, &Step::calcMethodChanged, m_measurer, &BaseMeasurer::setCalcMethod);
    connect(this, &Step::conversionTChanged, m_measurer, &BaseMeasurer::setConversionT);
    connect(this, &Step::userDefZ0Changed, m_measurer, &BaseMeasurer::setUserDefZ0);
    // A cancel reaches the measurer at once, as for the thru.
    connect(this, &Step::interrupted, m_measurer, &BaseMeasurer::interrupt, Qt::DirectConnection);
    connect(m_measurer, &ReflectionMeasurer::stateChanged, this, &ReflectionStep::stateChanged);
    connect(m_measurer, &ReflectionMeasurer::openStatusChanged, this, [this](Status st) {
        qCDebug(lcMeasurement) << "OPEN STATUS" << int(st);
        emit openMeasuredChanged();
    });
    connect(m_measurer, &ReflectionMeasurer::shortStatusChanged, this, [this](Status st) {
        qCDebug(lcMeasurement) << "SHORT STATUS" << int(st);
        emit shortMeasuredChanged();
    });
    connect(m_measurer, &ReflectionMeasurer::calculatingStatusChanged, this, [this](Status st) {
        qCDebug(lcMeasurement) << "TUPA STATUS" << int(st);
        emit calculatedChanged();
    });
    connect(this, &ReflectionStep::openMeasuredChanged, this, &Step::isMeasuredChanged);
    connect(this, &ReflectionStep::shortMeasuredChanged, this, &Step::isMeasuredChanged);
    connect(this, &ReflectionStep::calculatedChanged, this, &Step::isMeasuredChanged);
    connect(this, &ReflectionStep::useCompensationChanged, m_measurer, [this](bool on) {
        m_measurer->setSignalType(on ? Algorithms::MaxSignalEliminationType::Model
                                     : Algorithms::MaxSignalEliminationType::TimeGate);
    });
}

ReflectionStep::~ReflectionStep()
{
    if (!isReleased())
        resetSides();
}

std::vector<VNAFixtureConnection *> ReflectionStep::ownedSides() const
{
    if (!m_connection)
        return {};
    return {m_connection->fixt()};
}

QObject *ReflectionStep::connection() const
{
    return m_connection;
}

MeasureEnums::MeasureStatus ReflectionStep::getMeasureStatus() const
{
    return calculated();
}

MeasureEnums::MeasureType ReflectionStep::measureType() const
{
    return MeasureEnums::MeasureType::REFLECT;
}

void ReflectionStep::movePlane(MeasureEnums::FixtureSide, double offset)
{
    // One side: the offset is stored even before the calculation, which
    // applyOffset waits for.
    setOffset(offset);
    applyOffset(true);
}

QList<Algorithms::ModelNotice> ReflectionStep::calculationNotices() const
{
    return m_measurer->runNotices();
}

MeasureEnums::FixturePossibleState ReflectionStep::state() const
{
    return m_measurer->state();
}

void ReflectionStep::setState(MeasureEnums::FixturePossibleState state)
{
    m_measurer->setState(state);
}

void ReflectionStep::selectedStandardsChanged()
{
    m_measurer->setState(selectedStandards());
}

void ReflectionStep::setUseCompensation(bool useCompensation)
{
    if (useCompensation == m_useCompensation)
        return;
    m_useCompensation = useCompensation;
    emit useCompensationChanged(useCompensation);
}

MeasureEnums::MeasureStatus ReflectionStep::openMeasured() const
{
    return measureStatusOf(m_measurer->openStatus());
}

MeasureEnums::MeasureStatus ReflectionStep::shortMeasured() const
{
    return measureStatusOf(m_measurer->shortStatus());
}

MeasureEnums::MeasureStatus ReflectionStep::calculated() const
{
    return measureStatusOf(m_measurer->calculatingStatus());
}

void ReflectionStep::clearData()
{
    m_measurer->reset();
    resetSides();
}

void ReflectionStep::measureOpenFromVna()
{
    measure(false, nullptr);
}

void ReflectionStep::measureShortFromVna()
{
    measure(true, nullptr);
}

void ReflectionStep::measureOpenFromTouchstone(const QString &file)
{
    measure(false, &file);
}

void ReflectionStep::measureShortFromTouchstone(const QString &file)
{
    measure(true, &file);
}

void ReflectionStep::measure(bool isShort, const QString *filePath)
{
    if (!MethodRules::calculatesReflect(calcMethod())) {
        emit error(MethodRules::reflectRefusal());
        return;
    }
    if (!admitRequest(filePath ? Admission::QueueBehind : Admission::RefuseWhileBusy))
        return;
    const QString name = isShort ? tr("Reflection Short") : tr("Reflection Open");
    if (!filePath) {
        const Progress progress = createProgress(name, 6);
        SyncedVnaDevice *analyser = device();
        runWithSavedDeviceState([this, progress, analyser,
                                 isShort] { runMeasure(SParameterSource::fromDevice(analyser), isShort, progress); },
                                progress);
        return;
    }
    const Progress progress = createProgress(name, 4);
    const QString path = *filePath;
    runStepTask([this, progress, path, isShort] { runMeasure(SParameterSource::fromFile(path), isShort, progress); },
                progress);
}

void ReflectionStep::runMeasure(const SParameterSource &source, bool isShort, const Progress &progress)
{
    if (isShort)
        m_measurer->measureShort(source, progress.get());
    else
        m_measurer->measureOpen(source, progress.get());
    // The run replaced the models with ones that carry no offset.
    setAppliedFixtureOffset(false);
}

using StepOffsets::toSeconds;

void ReflectionStep::setOffset(double offset)
{
    qCWarning(lcMeasurement) << "Floating point comparison needs context sanity check";
    if (Algorithms::fuzzyEqual(offset, m_offset))
        return;
    m_offset = offset;
    emit offsetChanged(offset);
}

void ReflectionStep::applyOffset(bool val)
{
    if (m_measurer->calculatingStatus() != Status::Done)
        return;
    if (!admitRequest(Admission::QueueBehind))
        return;
    const Progress progress = createProgress(tr("Reflection offset"), 1);
    const double picoseconds = val ? m_offset : 0.0;
    runStepTask(
        [this, progress, val, picoseconds] {
            progress->step(tr("Applying offset"));
            // The flag tells what the models carry: it changes only with them.
            if (applySideOffset(picoseconds)) {
                setAppliedFixtureOffset(val);
            } else {
                progress->cancel();
                emit flagAppliedFixtureOffsetChanged();
            }
        },
        progress);
}

bool ReflectionStep::applySideOffset(double picoseconds)
{
    const double seconds = toSeconds(picoseconds);
    VNAFixtureConnection *side = m_connection ? m_connection->fixt() : nullptr;
    if (!side)
        return false;
    try {
        for (const auto &port : side->measureData().items()) {
            if (!port->measureData()->applyOffset(seconds)) {
                emit error(tr("Cannot apply the offset") + StepOffsets::secondsText(seconds));
                return false;
            }
            tellOffsetNotice(port.get());
        }
    } catch (const std::exception &e) {
        emit error(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}
