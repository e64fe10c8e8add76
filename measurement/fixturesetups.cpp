#include "measurement/fixturesetups.h"

#include "device/workerthread.h"
#include "measurement/jobgate.h"
#include "measurement/logging.h"

#include <QQmlEngine>

#include <algorithm>
#include <memory>
#include <mutex>

FixtureSetups::FixtureSetups(Algorithms::ProcessInputParameters *parameters, SyncedVnaDevice *device,
                             WorkerThread *worker, ProgressManager *progressManager, QObject *parent)
    : QObject(parent),
      m_device(device),
      m_worker(worker),
      m_progressManager(progressManager),
      m_parameters(parameters)
{
    static std::once_flag qmlOnce;
    std::call_once(
        qmlOnce, [] { qmlRegisterUncreatableType<FixtureSetups>("FixtureSetups", 1, 0, "FixtureSetups", QString()); });
    qRegisterMetaType<FixtureSetups *>("FixtureSetups");

    applyDefaults();
    addSetup();
    m_selected = 0;
    emit selectedChanged();

    connect(&m_setups, &QAbstractItemModel::rowsInserted, this, &FixtureSetups::countChanged);
    connect(&m_setups, &QAbstractItemModel::rowsRemoved, this, &FixtureSetups::countChanged);
    connect(&m_setups, &QAbstractItemModel::rowsInserted, this, &FixtureSetups::stepsStatusChanged);
    connect(&m_setups, &QAbstractItemModel::rowsRemoved, this, &FixtureSetups::stepsStatusChanged);
    connect(&m_setups, &QAbstractItemModel::modelReset, this, &FixtureSetups::stepsStatusChanged);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_setups, signal, this, &FixtureSetups::portNoticesChanged);
    connect(&m_setups, &QAbstractItemModel::modelReset, this, &FixtureSetups::portNoticesChanged);
}

FixtureSetups::~FixtureSetups() = default;

VukAlgorithmsSetup *FixtureSetups::setup(int i) const
{
    if (i < 0 || i >= m_setups.size())
        return nullptr;
    return m_setups.at(i).get();
}

void FixtureSetups::setProcessInputParameters(Algorithms::ProcessInputParameters *parameters)
{
    m_parameters = parameters;
}

int FixtureSetups::getCount() const
{
    return m_setups.size();
}

void FixtureSetups::setSelected(int i)
{
    m_selected = i;
    emit selectedChanged();
}

void FixtureSetups::addSetup()
{
    auto setup = std::make_shared<VukAlgorithmsSetup>(m_device, m_worker, m_progressManager, m_parameters);
    VukAlgorithmsSetup *raw = setup.get();
    QQmlEngine::setObjectOwnership(raw, QQmlEngine::CppOwnership);
    raw->setZ0ConversionType(m_z0ConversionType);
    raw->setUserZ0(m_userZ0);
    raw->setCorrectionMethod(m_method);

    const auto sendConversion = [this, raw] {
        raw->setZ0ConversionType(m_z0ConversionType);
        raw->setUserZ0(m_userZ0);
    };
    connect(this, &FixtureSetups::z0ConversionTypeChanged, raw, sendConversion);
    connect(this, &FixtureSetups::userZ0Changed, raw, sendConversion);
    connect(this, &FixtureSetups::correctionMethodChanged, raw, [this, raw] { raw->setCorrectionMethod(m_method); });
    connect(raw, &VukAlgorithmsSetup::error, this, &FixtureSetups::error);
    connect(raw, &VukAlgorithmsSetup::selectedPortsCountChanged, this, &FixtureSetups::selectedPortsCountChanged);
    connect(raw->selectedPortsModel(), &details::Base::changed, this, &FixtureSetups::usedVnaPortsChanged);
    connect(this, &FixtureSetups::interrupted, raw, &VukAlgorithmsSetup::interrupt);
    connect(raw, &VukAlgorithmsSetup::stepsStatusChanged, this, &FixtureSetups::stepsStatusChanged);
    connect(raw, &VukAlgorithmsSetup::modelNotice, this, &FixtureSetups::modelNotice);
    connect(raw, &VukAlgorithmsSetup::portNoticesChanged, this, &FixtureSetups::portNoticesChanged);

    m_setups.appendItem(std::move(setup));
}

bool FixtureSetups::allStepsMeasured() const
{
    const auto &setups = m_setups.items();
    return std::all_of(setups.begin(), setups.end(), [](const auto &setup) { return setup->allStepsMeasured(); });
}

bool FixtureSetups::anyStepFailed() const
{
    const auto &setups = m_setups.items();
    return std::any_of(setups.begin(), setups.end(), [](const auto &setup) { return setup->anyStepFailed(); });
}

bool FixtureSetups::anyStepHasNotices() const
{
    const auto &setups = m_setups.items();
    return std::any_of(setups.begin(), setups.end(), [](const auto &setup) { return setup->anyStepHasNotices(); });
}

void FixtureSetups::removeSetup(int i)
{
    // A set-up whose job runs is not taken away under it.
    JobGate *gate = JobGate::of(m_worker);
    const JobGate::Ticket ticket = gate ? gate->admitExclusive() : nullptr;
    if (gate && !ticket) {
        emit error(JobGate::busyText());
        return;
    }
    if (i >= 0 && i < m_setups.size())
        m_setups.removeAt(i);
    if (m_selected >= i) {
        m_selected = i - 1;
        emit selectedChanged();
    }
}

void FixtureSetups::setZ0ConversionType(MeasureEnums::Z0Conversion type)
{
    if (type == m_z0ConversionType)
        return;
    m_z0ConversionType = type;
    emit z0ConversionTypeChanged();
}

void FixtureSetups::setUserZ0(double value)
{
    // Exact comparison; a NaN on either side counts as a change.
    if (value == m_userZ0)
        return;
    m_userZ0 = value;
    emit userZ0Changed();
}

void FixtureSetups::setCorrectionMethod(MeasureEnums::CorrectionMethod correctionMethod)
{
    const std::optional<Algorithms::CalcMethod> method = MeasureEnums::toCalcMethod(correctionMethod);
    if (!method) {
        qCWarning(lcMeasurement) << "FixtureSetups: refused the unknown correction method" << int(correctionMethod);
        return;
    }
    if (*method == m_method)
        return;
    m_method = *method;
    emit correctionMethodChanged(correctionMethod);
}

void FixtureSetups::interrupt()
{
    emit interrupted();
}

uint FixtureSetups::selectedPortsCount() const
{
    uint count = 0;
    for (const auto &setup : m_setups.items())
        count += setup->selectedPortsCount();
    return count;
}

QSet<uint32_t> FixtureSetups::getUsedVnaPorts() const
{
    QSet<uint32_t> ports;
    for (const auto &setup : m_setups.items())
        for (uint port : setup->selectedPorts().items())
            ports.insert(port);
    return ports;
}

void FixtureSetups::applyDefaults()
{
    setCorrectionMethod(MeasureEnums::CorrectionMethod::TIME_GATING);
    setZ0ConversionType(MeasureEnums::Z0Conversion::System);
    setUserZ0(50.0);
}

void FixtureSetups::preset()
{
    // The step jobs that have not started are dropped first: the set-ups
    // going next queue the tasks that delete their sides behind every job
    // that may still use them, and those must stay queued.
    if (m_worker)
        m_worker->clear();
    m_setups.reset();
    applyDefaults();
    addSetup();
    m_selected = 0;
    emit selectedChanged();
}
