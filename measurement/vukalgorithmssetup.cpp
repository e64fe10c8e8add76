#include "measurement/vukalgorithmssetup.h"

#include "algorithms/vectorhelpers.h"
#include "device/syncedvnadevice.h"
#include "device/workerthread.h"
#include "measurement/basemeasurer.h"
#include "measurement/connections.h"
#include "measurement/dutstep.h"
#include "measurement/fixture.h"
#include "measurement/logging.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/methodrules.h"
#include "measurement/reflectionstep.h"
#include "measurement/transmissionstep.h"
#include "measurement/vnafixtureconnection.h"

#include <QDebug>
#include <QPointF>
#include <QQmlEngine>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>
#include <set>

namespace {

// Deletes the four sides with deleteLater once the step worker has finished
// every job queued before it (or dropped them), so no job of a released step
// is left with a side that is gone.
struct DeferredSides
{
    std::vector<QObject *> objects;
    ~DeferredSides()
    {
        for (QObject *object : objects)
            object->deleteLater();
    }
};

std::optional<uint> takeSmallest(std::set<uint> &pool)
{
    if (pool.empty())
        return std::nullopt;
    const uint value = *pool.begin();
    pool.erase(pool.begin());
    return value;
}

} // namespace

void VukAlgorithmsSetup::registerTypes()
{
    static std::once_flag qmlOnce;
    std::call_once(qmlOnce, [] {
        qmlRegisterUncreatableType<VukAlgorithmsSetup>("VukAlgorithmsSetup", 1, 0, "VukAlgorithmsSetup", QString());
    });
    qRegisterMetaType<VukAlgorithmsSetup *>("vukalgorithmssetup");
    const int pointsType = qRegisterMetaType<QVector<QPointF>>("qvectorpointf");
    const int iterable = qMetaTypeId<QtMetaTypePrivate::QSequentialIterableImpl>();
    if (!QMetaType::hasRegisteredConverterFunction(pointsType, iterable))
        QMetaType::registerConverter<QVector<QPointF>, QtMetaTypePrivate::QSequentialIterableImpl>(
            QtMetaTypePrivate::QSequentialIterableConvertFunctor<QVector<QPointF>>());
    MeasureEnums::registerTypes();
    qRegisterMetaType<Step *>("StepP");
    qRegisterMetaType<ConnectionBase *>("ConnectionBP");
    // The four sides are properties of this type: QML reads them as
    // undefined unless the pointer type is known.
    qRegisterMetaType<VNAFixtureConnection *>();
    qRegisterMetaType<uint>("Uint");
    registerMeasurerStatusType();
}

VukAlgorithmsSetup::VukAlgorithmsSetup(SyncedVnaDevice *device, WorkerThread *worker, ProgressManager *progressManager,
                                       Algorithms::ProcessInputParameters *parameters, QObject *parent)
    : QObject(parent),
      m_device(device),
      m_worker(worker),
      m_progressManager(progressManager),
      m_parameters(parameters)
{
    // The ports are assigned again only when the analyser's port count really
    // changes (not when it is unknown for a while). Connected before the
    // sides are made, so that on a change the ports are assigned anew before
    // the sides clamp them to the new count.
    if (m_device) {
        m_assignedPortsCount = m_device->portsCount();
        connect(m_device, &SyncedVnaDevice::portsCountChanged, this, &VukAlgorithmsSetup::followAnalyserPortsCount);
    }
    m_a = makeSide(QStringLiteral("A"));
    m_aAux = makeSide(QStringLiteral("A Aux"));
    m_b = makeSide(QStringLiteral("B"));
    m_bAux = makeSide(QStringLiteral("B Aux"));
    registerTypes();
    for (VNAFixtureConnection *side : {m_a, m_aAux, m_b, m_bAux}) {
        connectPortErrors(side);
        connect(side, &VNAFixtureConnection::noticesChanged, this, &VukAlgorithmsSetup::portNoticesChanged);
    }

    makeRules();
    // A rebuild resets the model: the statuses are those of the new steps.
    connect(&m_stepModel, &QAbstractItemModel::modelReset, this, &VukAlgorithmsSetup::stepsStatusChanged);
    checkThru();
    rebuildSteps();

    connect(m_a->fixture(), &Fixture::portsCountChanged, this, &VukAlgorithmsSetup::assignPorts);
    connect(m_b->fixture(), &Fixture::portsCountChanged, this, &VukAlgorithmsSetup::assignPorts);
    // The selected-port list follows the connection switches and the ports
    // attached on every side.
    for (auto signal : {&VukAlgorithmsSetup::abThruConnectionChanged, &VukAlgorithmsSetup::aaConnectionChanged,
                        &VukAlgorithmsSetup::bbConnectionChanged, &VukAlgorithmsSetup::abDutConnectionChanged})
        connect(this, signal, this, &VukAlgorithmsSetup::rebuildSelectedPorts);
    for (VNAFixtureConnection *side : {m_a, m_aAux, m_b, m_bAux}) {
        connect(side->attachedPortsModel(), &QAbstractItemModel::dataChanged, this,
                &VukAlgorithmsSetup::rebuildSelectedPorts);
        connect(side->attachedPortsModel(), &QAbstractItemModel::dataChanged, this,
                &VukAlgorithmsSetup::notePortsChosen);
    }
    rebuildSelectedPorts();
    assignPorts();
}

VukAlgorithmsSetup::~VukAlgorithmsSetup()
{
    for (const auto &step : m_stepModel.items())
        step->release(false);
    m_stepModel.reset();

    // The sides outlive the released steps and their jobs; each fixture goes
    // with its side instead of leaving the side with a dangling fixture.
    auto sides = std::make_shared<DeferredSides>();
    for (VNAFixtureConnection *side : {m_a, m_aAux, m_b, m_bAux}) {
        if (side->fixture())
            side->fixture()->setParent(side);
        sides->objects.push_back(side);
    }
    if (m_worker)
        m_worker->push([sides] {});
}

VNAFixtureConnection *VukAlgorithmsSetup::makeSide(const QString &name)
{
    auto *fixture = new Fixture(this);
    auto *side = new VNAFixtureConnection(fixture, m_device, nullptr);
    fixture->setName(name);
    return side;
}

void VukAlgorithmsSetup::connectPortErrors(VNAFixtureConnection *side)
{
    for (const auto &port : side->measureData().items())
        connect(port.get(), &MeasuredFixturePort::error, this, &VukAlgorithmsSetup::error);
    // Ports added later report their texts as well.
    connect(side->measureDataModel(), &QAbstractItemModel::rowsInserted, this,
            [this, side](const QModelIndex &, int first, int last) {
                for (int i = first; i <= last; ++i)
                    if (MeasuredFixturePort *port = side->getFixturePort(i))
                        connect(port, &MeasuredFixturePort::error, this, &VukAlgorithmsSetup::error);
            });
}

void VukAlgorithmsSetup::makeRules()
{
    // The A-B thru switched on switches both auxiliary thrus off.
    connect(this, &VukAlgorithmsSetup::abThruConnectionChanged, this, [this] {
        if (!m_abThru)
            return;
        m_aa = false;
        m_bb = false;
        emit aaConnectionChanged();
        emit bbConnectionChanged();
    });
    // An auxiliary thru switched on switches the A-B thru off.
    for (auto signal : {&VukAlgorithmsSetup::aaConnectionChanged, &VukAlgorithmsSetup::bbConnectionChanged}) {
        connect(this, signal, this, [this] {
            if ((m_aa || m_bb) && m_abThru) {
                m_abThru = false;
                emit abThruConnectionChanged();
            }
            rebuildSteps();
        });
    }
    // The steps follow the A-B thru and the DUT switches.
    connect(this, &VukAlgorithmsSetup::abThruConnectionChanged, this, &VukAlgorithmsSetup::rebuildSteps);
    connect(this, &VukAlgorithmsSetup::abDutConnectionChanged, this, &VukAlgorithmsSetup::rebuildSteps);
    // Enabling or disabling a side re-checks the thru and the selected ports;
    // with neither side enabled the DUT step goes off.
    for (auto signal :
         {&VukAlgorithmsSetup::leftFixtureEnabledChanged, &VukAlgorithmsSetup::rightFixtureEnabledChanged}) {
        connect(this, signal, this, [this] {
            checkThru();
            rebuildSelectedPorts();
            if (!m_leftFixtureEnabled && !m_rightFixtureEnabled && m_abDut)
                switchDutOff();
            rebuildSteps();
        });
    }
    // An auxiliary side has as many ports as its main side.
    connect(m_a->fixture(), &Fixture::portsCountChanged, this, [this] {
        m_aAux->fixture()->setPortsCount(m_a->fixture()->portsCount());
        checkThru();
    });
    connect(m_b->fixture(), &Fixture::portsCountChanged, this, [this] {
        m_bAux->fixture()->setPortsCount(m_b->fixture()->portsCount());
        checkThru();
    });
    // Only time gating has a DUT step; every step gets the new method.
    connect(this, &VukAlgorithmsSetup::correctionMethodChanged, this, [this] {
        if (!MethodRules::correctsDut(m_correctionMethod) && m_abDut)
            switchDutOff();
        pushCorrectionMethod();
    });
    // What the method rules allow follows the method and the arrangement.
    for (auto signal : {&VukAlgorithmsSetup::correctionMethodChanged, &VukAlgorithmsSetup::leftFixtureEnabledChanged,
                        &VukAlgorithmsSetup::rightFixtureEnabledChanged, &VukAlgorithmsSetup::abThruConnectionChanged,
                        &VukAlgorithmsSetup::aaConnectionChanged, &VukAlgorithmsSetup::bbConnectionChanged})
        connect(this, signal, this, &VukAlgorithmsSetup::methodRulesChanged);
    // Every step gets the new reference impedance settings.
    connect(this, &VukAlgorithmsSetup::z0ConversionTypeChanged, this, [this] {
        const auto type = MeasureEnums::toZ0ConversionType(m_z0ConversionType);
        for (const auto &step : m_stepModel.items())
            step->setConversionT(type);
    });
    connect(this, &VukAlgorithmsSetup::userZ0Changed, this, [this] {
        for (const auto &step : m_stepModel.items())
            step->setUserDefZ0(m_userZ0);
    });
    // The low-pass mode depends on the analyser's start and step frequencies.
    if (m_device) {
        connect(m_device, &SyncedVnaDevice::startFreqChanged, this, &VukAlgorithmsSetup::lowPassModeChanged);
        connect(m_device, &SyncedVnaDevice::stepFreqChanged, this, &VukAlgorithmsSetup::lowPassModeChanged);
    }
}

// The A-B thru is on whenever it is possible: both sides enabled with equal
// port counts.
void VukAlgorithmsSetup::checkThru()
{
    const bool possible =
        m_leftFixtureEnabled && m_rightFixtureEnabled && m_a->fixture()->portsCount() == m_b->fixture()->portsCount();
    if (possible != m_abThru) {
        m_abThru = possible;
        emit abThruConnectionChanged();
    }
    emit selectedPortsCountChanged();
}

void VukAlgorithmsSetup::switchDutOff()
{
    m_abDut = false;
    emit abDutConnectionChanged();
}

void VukAlgorithmsSetup::rebuildSteps()
{
    // The old steps stop, and their sides' models go once their jobs are
    // done; the steps themselves go with deleteLater when released here.
    for (const auto &step : m_stepModel.items())
        step->release(true);
    m_stepModel.reset();
    if (!m_leftFixtureEnabled && !m_rightFixtureEnabled)
        return;

    std::vector<StepPointer> steps;
    QList<ConnectionBase *> made;
    const auto transmission = [&](VNAFixtureConnection *left, VNAFixtureConnection *right) {
        auto *connection = new ConnectionTransmisson(left, right, m_parameters);
        made.append(connection);
        addStep(steps, new TransmissionStep(connection, m_device, m_worker, m_progressManager));
    };
    const auto reflection = [&](VNAFixtureConnection *side) {
        auto *connection = new ConnectionReflect(side, m_parameters);
        made.append(connection);
        addStep(steps, new ReflectionStep(connection, m_device, m_worker, m_progressManager));
    };
    if (m_abThru) {
        transmission(m_a, m_b);
    } else {
        if (m_leftFixtureEnabled) {
            if (m_aa)
                transmission(m_a, m_aAux);
            else
                reflection(m_a);
        }
        if (m_rightFixtureEnabled) {
            if (m_bb)
                transmission(m_b, m_bAux);
            else
                reflection(m_b);
        }
    }
    if (m_abDut) {
        ConnectionBase *connection = nullptr;
        if (m_leftFixtureEnabled && m_rightFixtureEnabled)
            connection = new ConnectionTransmisson(m_a, m_b, m_parameters);
        else
            connection = new ConnectionReflect(m_leftFixtureEnabled ? m_a : m_b, m_parameters);
        addStep(steps, new DutStep(connection, made, m_device, m_worker, m_progressManager));
    }

    m_stepModel.reset(std::move(steps));
    emit stepsChanged();

    pushConversion();
    if (!MethodRules::correctsDut(m_correctionMethod) && m_abDut)
        switchDutOff();
    pushCorrectionMethod();
}

void VukAlgorithmsSetup::addStep(std::vector<StepPointer> &steps, Step *step)
{
    QQmlEngine::setObjectOwnership(step, QQmlEngine::CppOwnership);
    connect(step, &Step::error, this, &VukAlgorithmsSetup::error);
    connect(this, &VukAlgorithmsSetup::interrupted, step, &Step::interrupt);
    // Statuses change on the step worker; the marks follow on this thread.
    connect(step, &Step::isMeasuredChanged, this, &VukAlgorithmsSetup::stepsStatusChanged);
    connect(step, &Step::noticesChanged, this, &VukAlgorithmsSetup::stepsStatusChanged);
    // Told on the step worker; the notification list is on this thread.
    connect(step, &Step::modelNotice, this, &VukAlgorithmsSetup::modelNotice, Qt::QueuedConnection);
    steps.push_back(StepPointer(step, Step::ObjectDeleter()));
}

bool VukAlgorithmsSetup::allStepsMeasured() const
{
    const auto &steps = m_stepModel.items();
    return std::all_of(steps.begin(), steps.end(), [](const StepPointer &step) {
        return step->getMeasureStatus() == MeasureEnums::MeasureStatus::MEASURED;
    });
}

bool VukAlgorithmsSetup::anyStepFailed() const
{
    const auto &steps = m_stepModel.items();
    return std::any_of(steps.begin(), steps.end(), [](const StepPointer &step) {
        return step->getMeasureStatus() == MeasureEnums::MeasureStatus::Error;
    });
}

bool VukAlgorithmsSetup::anyStepHasNotices() const
{
    const auto &steps = m_stepModel.items();
    return std::any_of(steps.begin(), steps.end(), [](const StepPointer &step) { return step->hasNotices(); });
}

bool VukAlgorithmsSetup::leftReflectUnsupported() const
{
    return m_leftFixtureEnabled && !m_abThru && !m_aa && !MethodRules::calculatesReflect(m_correctionMethod);
}

bool VukAlgorithmsSetup::rightReflectUnsupported() const
{
    return m_rightFixtureEnabled && !m_abThru && !m_bb && !MethodRules::calculatesReflect(m_correctionMethod);
}

bool VukAlgorithmsSetup::dutStepAvailable() const
{
    return (m_leftFixtureEnabled || m_rightFixtureEnabled) && MethodRules::correctsDut(m_correctionMethod);
}

void VukAlgorithmsSetup::pushConversion()
{
    const auto type = MeasureEnums::toZ0ConversionType(m_z0ConversionType);
    for (const auto &step : m_stepModel.items()) {
        step->setConversionT(type);
        step->setUserDefZ0(m_userZ0);
    }
}

void VukAlgorithmsSetup::pushCorrectionMethod()
{
    for (const auto &step : m_stepModel.items())
        step->setCalcMethod(m_correctionMethod);
}

void VukAlgorithmsSetup::setLeftFixtureEnabled(bool enabled)
{
    if (enabled == m_leftFixtureEnabled)
        return;
    m_leftFixtureEnabled = enabled;
    emit leftFixtureEnabledChanged();
}

void VukAlgorithmsSetup::setRightFixtureEnabled(bool enabled)
{
    if (enabled == m_rightFixtureEnabled)
        return;
    m_rightFixtureEnabled = enabled;
    emit rightFixtureEnabledChanged();
}

void VukAlgorithmsSetup::setAbThruConnectionEnabled(bool enabled)
{
    if (enabled == m_abThru)
        return;
    m_abThru = enabled;
    emit abThruConnectionChanged();
}

void VukAlgorithmsSetup::setAaConnectionEnabled(bool enabled)
{
    if (enabled == m_aa)
        return;
    m_aa = enabled;
    emit aaConnectionChanged();
}

void VukAlgorithmsSetup::setBbConnectionEnabled(bool enabled)
{
    if (enabled == m_bb)
        return;
    m_bb = enabled;
    emit bbConnectionChanged();
}

void VukAlgorithmsSetup::setAbDutConnectionEnabled(bool enabled)
{
    if (enabled == m_abDut)
        return;
    m_abDut = enabled;
    emit abDutConnectionChanged();
}

void VukAlgorithmsSetup::setCorrectionMethod(Algorithms::CalcMethod method)
{
    if (method == m_correctionMethod)
        return;
    m_correctionMethod = method;
    emit correctionMethodChanged();
}

void VukAlgorithmsSetup::setZ0ConversionType(MeasureEnums::Z0Conversion type)
{
    if (type == m_z0ConversionType)
        return;
    m_z0ConversionType = type;
    emit z0ConversionTypeChanged();
}

void VukAlgorithmsSetup::setUserZ0(double value)
{
    if (Algorithms::fuzzyEqual(value, m_userZ0))
        return;
    m_userZ0 = value;
    emit userZ0Changed();
}

void VukAlgorithmsSetup::interrupt()
{
    qCDebug(lcMeasurement) << "Setup interrupted";
    emit interrupted();
}

uint VukAlgorithmsSetup::selectedPortsCount()
{
    return (m_leftFixtureEnabled ? m_a->fixture()->portsCount() : 0u)
           + (m_rightFixtureEnabled ? m_b->fixture()->portsCount() : 0u);
}

bool VukAlgorithmsSetup::isLowPassMode() const
{
    if (!m_device)
        return false;
    const auto start = m_device->startFreq();
    const auto step = m_device->stepFreq();
    const auto stop = m_device->stopFreq();
    return start && step && stop && std::abs(*start - *step) < 1.0;
}

void VukAlgorithmsSetup::setLowPassMode()
{
    if (!m_device)
        return;
    const auto stop = m_device->stopFreq();
    const auto points = m_device->pointsCount();
    if (!stop || !points || *points == 0)
        return;
    m_device->setStartFreq(*stop / *points);
}

void VukAlgorithmsSetup::set10MhzLowPassMode()
{
    if (!m_device)
        return;
    const auto maximum = m_device->maxFreq();
    if (!maximum)
        return;
    constexpr double step = 10e6;
    m_device->setPointsCount(static_cast<uint>(*maximum / step));
    m_device->setStartFreq(step);
    m_device->setStopFreq(*maximum);
}

void VukAlgorithmsSetup::rebuildSelectedPorts()
{
    std::vector<uint> ports;
    const auto append = [&ports](const VNAFixtureConnection *side) {
        const auto &rows = side->attachedPorts().items();
        ports.insert(ports.end(), rows.begin(), rows.end());
    };
    if (m_leftFixtureEnabled)
        append(m_a);
    if (m_rightFixtureEnabled)
        append(m_b);
    if (m_aa)
        append(m_aAux);
    if (m_bb)
        append(m_bAux);
    m_selectedPorts.reset();
    m_selectedPorts.append(ports);
}

void VukAlgorithmsSetup::followAnalyserPortsCount()
{
    // An analyser that went away (count unknown) or came back with the same
    // count leaves the ports as the user set them; only a real change of the
    // count assigns them anew, and the user is told.
    const auto count = m_device->portsCount();
    if (!count || count == m_assignedPortsCount)
        return;
    const bool changed = m_assignedPortsCount.has_value();
    m_assignedPortsCount = count;
    assignPorts();
    if (changed)
        emit error(
            tr("The analyser now has %1 ports: the analyser ports of the fixtures were assigned anew").arg(*count));
}

void VukAlgorithmsSetup::notePortsChosen()
{
    // The count reaches this thread as a queued signal after the proxy's
    // cache holds it: ports assigned or chosen (by a recall, by the user)
    // with the count already known were chosen for it, and its late signal
    // must not assign them anew.
    if (!m_device)
        return;
    if (const auto count = m_device->portsCount())
        m_assignedPortsCount = count;
}

uint VukAlgorithmsSetup::analyserPortsCount() const
{
    const auto count = m_device ? m_device->portsCount() : std::nullopt;
    return count && *count > 0 ? *count : 1u;
}

void VukAlgorithmsSetup::assignPorts()
{
    notePortsChosen();
    const uint n = analyserPortsCount();
    std::set<uint> all;
    for (uint i = 0; i < n; ++i)
        all.insert(i);

    std::set<uint> free = all;
    bool ok = true;
    for (VNAFixtureConnection *side : {m_a, m_b}) {
        for (int i = 0; i < side->attachedPorts().size(); ++i) {
            const auto port = takeSmallest(free);
            ok = ok && port.has_value();
            side->setAttachedVnaPort(static_cast<size_t>(i), port.value_or(0u));
        }
    }
    for (auto [aux, main] : {std::pair(m_aAux, m_a), std::pair(m_bAux, m_b)}) {
        std::set<uint> pool;
        if (ok) {
            pool = all;
            for (uint held : main->attachedPorts().items())
                pool.erase(held);
        }
        for (int i = 0; i < aux->attachedPorts().size(); ++i)
            aux->setAttachedVnaPort(static_cast<size_t>(i), takeSmallest(pool).value_or(0u));
    }
}
