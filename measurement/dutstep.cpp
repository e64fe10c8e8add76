#include "measurement/dutstep.h"

#include "algorithms/messages.h"
#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/dutmeasurer.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/qmlfixtureport.h"
#include "measurement/sparametersource.h"
#include "measurement/vnafixtureconnection.h"

DutStep::DutStep(ConnectionBase *connection, const QList<ConnectionBase *> &otherConnections, SyncedVnaDevice *device,
                 WorkerThread *worker, ProgressManager *progressManager, QObject *parent)
    : Step(device, worker, progressManager, parent),
      m_connection(connection)
{
    if (m_connection)
        m_connection->setParent(this);
    ConnectionBase *first = otherConnections.isEmpty() ? nullptr : otherConnections.first();
    ConnectionBase *last = otherConnections.isEmpty() ? nullptr : otherConnections.last();
    if (auto *transmission = qobject_cast<ConnectionTransmisson *>(connection)) {
        m_measurers.push_back(new DutMeasurer(transmission->left(), first, device, this));
        m_measurers.push_back(new DutMeasurer(transmission->right(), last, device, this));
    } else if (auto *reflection = qobject_cast<ConnectionReflect *>(connection)) {
        m_measurers.push_back(new DutMeasurer(reflection->fixt(), first, device, this));
    }

    for (DutMeasurer *measurer : m_measurers) {
        connect(measurer, &DutMeasurer::statusChanged, this, &DutStep::dutMeasuredChanged);
        connect(measurer, &BaseMeasurer::error, this, &Step::error);
        tellNoticesOf(measurer);
        connect(this, &Step::calcMethodChanged, measurer, &BaseMeasurer::setCalcMethod);
        connect(this, &Step::conversionTChanged, measurer, &BaseMeasurer::setConversionT);
        connect(this, &Step::userDefZ0Changed, measurer, &BaseMeasurer::setUserDefZ0);
        connect(this, &Step::interrupted, measurer, &BaseMeasurer::interrupt, Qt::DirectConnection);
    }
    for (VNAFixtureConnection *side : dutSides()) {
        for (const auto &port : side->measureData().items())
            connect(port->measureData(), &QmlFixturePort::calibrationStateChanged, this, &DutStep::dutMeasuredChanged);
    }
    connect(this, &DutStep::dutMeasuredChanged, this, &Step::isMeasuredChanged);
    // A thru measured again takes the corrections, and their notices, away.
    connect(this, &DutStep::dutMeasuredChanged, this, &Step::noticesChanged);
}

QList<Algorithms::ModelNotice> DutStep::calculationNotices() const
{
    if (dutMeasured() != MeasureEnums::MeasureStatus::MEASURED)
        return {};
    QList<Algorithms::ModelNotice> list;
    for (DutMeasurer *measurer : m_measurers)
        list.append(measurer->runNotices());
    return list;
}

DutStep::~DutStep() = default;

std::vector<VNAFixtureConnection *> DutStep::dutSides() const
{
    std::vector<VNAFixtureConnection *> sides;
    for (DutMeasurer *measurer : m_measurers)
        if (measurer->side())
            sides.push_back(measurer->side());
    return sides;
}

QObject *DutStep::connection() const
{
    return m_connection;
}

MeasureEnums::MeasureStatus DutStep::getMeasureStatus() const
{
    return dutMeasured();
}

MeasureEnums::MeasureType DutStep::measureType() const
{
    return qobject_cast<ConnectionTransmisson *>(m_connection) ? MeasureEnums::MeasureType::TRANSMISSION
                                                               : MeasureEnums::MeasureType::REFLECT;
}

void DutStep::clearData() {}

MeasureEnums::MeasureStatus DutStep::dutMeasured() const
{
    if (m_measurers.empty()) {
        emit const_cast<DutStep *>(this)->error(Algorithms::Messages::criticalError);
        return MeasureEnums::MeasureStatus::Error;
    }
    for (DutMeasurer *measurer : m_measurers) {
        if (measurer->status() == Status::Failed)
            return MeasureEnums::MeasureStatus::Error;
        if (measurer->status() == Status::NotMeasured)
            return MeasureEnums::MeasureStatus::NONE;
    }
    for (VNAFixtureConnection *side : dutSides()) {
        for (const auto &port : side->measureData().items())
            if (!port->measureData()->calibrationState().testFlag(QmlFixturePort::CalibrationState::DutCorrected))
                return MeasureEnums::MeasureStatus::NONE;
    }
    return MeasureEnums::MeasureStatus::MEASURED;
}

void DutStep::measureFromVna()
{
    if (!admitRequest(Admission::RefuseWhileBusy))
        return;
    const int n = static_cast<int>(m_measurers.size());
    const Progress progress = createProgress(tr("DUT"), 3 * n + 2);
    SyncedVnaDevice *analyser = device();
    runWithSavedDeviceState(
        [this, progress, analyser] { runMeasure(SParameterSource::fromDevice(analyser), progress); }, progress);
}

void DutStep::measureFromTouchstoneFile(const QString &filePath)
{
    if (!admitRequest(Admission::QueueBehind))
        return;
    const int n = static_cast<int>(m_measurers.size());
    const Progress progress = createProgress(tr("DUT"), 3 * n);
    runStepTask([this, progress, filePath] { runMeasure(SParameterSource::fromFile(filePath), progress); }, progress);
}

void DutStep::runMeasure(const SParameterSource &source, const Progress &progress)
{
    for (DutMeasurer *measurer : m_measurers) {
        // Each measurer starts its run with its cancel flag cleared: a cancel
        // that came after the previous side's run stops before the next one.
        if (cancelRequested()) {
            progress->cancel();
            emit error(tr("The measurement was canceled"));
            return;
        }
        // A cancel during a side's run stops it; the measurer has said so.
        if (!measurer->execute(source, progress.get()) && cancelRequested())
            return;
    }
}
