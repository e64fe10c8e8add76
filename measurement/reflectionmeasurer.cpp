#include "measurement/reflectionmeasurer.h"

#include "algorithms/messages.h"
#include "algorithms/processfactory.h"
#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/vnafixtureconnection.h"

namespace {

void stepProgress(TaskProgress *progress, const QString &text)
{
    if (progress)
        progress->step(text);
}

void cancelProgress(TaskProgress *progress)
{
    if (progress)
        progress->cancel();
}

Algorithms::SParametersOnePortVNA onePort(const std::vector<double> &grid, const SParameterSource::Trace &trace,
                                          uint vnaPort)
{
    Algorithms::SParametersOnePortVNA data;
    data.setFrequency(grid);
    data.setS11(trace);
    data.setVnaPort(vnaPort);
    return data;
}

} // namespace

ReflectionMeasurer::ReflectionMeasurer(ConnectionReflect *connection, SyncedVnaDevice *device, QObject *parent)
    : BaseMeasurer(device, parent),
      m_connection(connection),
      m_openReader(new SDataMeasurer(connection ? connection->fixt() : nullptr, this)),
      m_shortReader(new SDataMeasurer(connection ? connection->fixt() : nullptr, this))
{
    qRegisterMetaType<MeasureEnums::FixturePossibleState>("MeasureEnums::FixturePossibleState");
    qRegisterMetaType<Algorithms::MaxSignalEliminationType>("Algorithms::MaxSignalEliminationType");
    connect(m_openReader, &SDataMeasurer::statusChanged, this, &ReflectionMeasurer::openStatusChanged,
            Qt::DirectConnection);
    connect(m_shortReader, &SDataMeasurer::statusChanged, this, &ReflectionMeasurer::shortStatusChanged,
            Qt::DirectConnection);
    connect(m_openReader, &SDataMeasurer::error, this, &ReflectionMeasurer::reportReadFailure, Qt::DirectConnection);
    connect(m_shortReader, &SDataMeasurer::error, this, &ReflectionMeasurer::reportReadFailure, Qt::DirectConnection);
}

void ReflectionMeasurer::setState(MeasureEnums::FixturePossibleState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void ReflectionMeasurer::setSignalType(Algorithms::MaxSignalEliminationType type)
{
    if (type == m_signalType)
        return;
    m_signalType = type;
    emit signalTypeChanged(type);
}

void ReflectionMeasurer::setConnection(ConnectionReflect *connection)
{
    m_connection = connection;
    VNAFixtureConnection *side = connection ? connection->fixt() : nullptr;
    m_openReader->setConnection(side);
    m_shortReader->setConnection(side);
}

void ReflectionMeasurer::setCalculatingStatus(Status status)
{
    updateStatus(m_calculatingStatus, status, [this](Status s) { emit calculatingStatusChanged(s); });
}

void ReflectionMeasurer::resetSidePorts()
{
    if (m_connection && m_connection->fixt())
        m_connection->fixt()->resetPorts();
}

void ReflectionMeasurer::clearResults()
{
    setCalculatingStatus(Status::NotMeasured);
    resetSidePorts();
    clearRunNotices();
}

void ReflectionMeasurer::reset()
{
    m_openReader->clear();
    m_shortReader->clear();
    m_openRawData.clear();
    m_shortRawData.clear();
    resetSidePorts();
    clearRunNotices();
    setCalculatingStatus(Status::NotMeasured);
}

bool ReflectionMeasurer::measureOpen(const SParameterSource &source, TaskProgress *progress)
{
    return measure(source, progress, false);
}

bool ReflectionMeasurer::measureShort(const SParameterSource &source, TaskProgress *progress)
{
    return measure(source, progress, true);
}

bool ReflectionMeasurer::measure(const SParameterSource &source, TaskProgress *progress, bool isShort)
{
    using State = MeasureEnums::FixturePossibleState;
    BaseMeasurer::reset(source.kind() == SParameterSource::Kind::Device);
    SDataMeasurer *reader = isShort ? m_shortReader : m_openReader;
    reader->clear();

    stepProgress(progress, tr("Read s-data"));
    if (!reader->read(source)) {
        cancelProgress(progress);
        return false;
    }

    const State own = isShort ? State::SHORT : State::OPEN;
    const bool pairComplete = m_state == State::OPEN_AND_SHORT && m_openReader->status() == Status::Done
                              && m_shortReader->status() == Status::Done;
    if (m_state != own && !pairComplete)
        return true;

    stepProgress(progress, tr("Read frequencies"));
    const auto grid = source.readFrequencies();
    if (!grid) {
        reportReadFailure(Algorithms::Messages::cannotReadFrequencyGrid + source.failureDetail());
        setCalculatingStatus(Status::Failed);
        cancelProgress(progress);
        return false;
    }

    stepProgress(progress, tr("Calculate"));
    const bool result = calculate(*grid, source);
    if (!result)
        cancelProgress(progress);
    return result;
}

bool ReflectionMeasurer::calculate(const std::vector<double> &grid, const SParameterSource &source)
{
    auto failure = [this] {
        resetSidePorts();
        setCalculatingStatus(Status::Failed);
        return false;
    };
    VNAFixtureConnection *side = m_connection ? m_connection->fixt() : nullptr;
    const uint n = side && side->fixture() ? side->fixture()->portsCount() : 0;
    if (n == 0) {
        emit error(tr("No fixture port is connected to an analyser port"));
        return failure();
    }
    m_connection->clearProcesses();
    m_openRawData.clear();
    m_shortRawData.clear();

    for (uint i = 0; i < n; ++i) {
        if (takeInterrupt())
            return failure();
        const uint v = side->getAttachedVnaPort(i);
        std::unique_ptr<Algorithms::ReflectProcess> process =
            setupProcess(v, side->getFixturePort(static_cast<int>(i)), source);
        if (!process)
            return failure();
        process->setParameters(m_connection->parameters());
        ProcessLink linked = link(process.get());
        const bool ok = calculateOnePort(i, grid, process.get(), v);
        linked.release();
        m_connection->addProcess(ConnectionBase::ProcessPointer(process.release()));
        const bool cancelled = takeInterrupt();
        if (!ok || cancelled)
            return failure();
    }
    setCalculatingStatus(Status::Done);
    return true;
}

std::unique_ptr<Algorithms::ReflectProcess> ReflectionMeasurer::setupProcess(uint v, MeasuredFixturePort *port,
                                                                             const SParameterSource &source)
{
    const auto z = source.readPortZ0(v);
    if (!z) {
        reportReadFailure(Algorithms::Messages::cannotReadZ0 + source.failureDetail());
        return nullptr;
    }
    if (!port)
        return nullptr;
    port->setMeasuredPort(v);
    port->setZ0Port(*z);
    port->setInLowPasMode(false);

    const bool single = m_state != MeasureEnums::FixturePossibleState::OPEN_AND_SHORT;
    std::unique_ptr<Algorithms::IProcessMethod> created = Algorithms::ProcessFactory::createReflectByMethod(
        Algorithms::ProcessFactory::MeasureKind::Reflection, m_calcMethod, single);
    std::unique_ptr<Algorithms::ReflectProcess> process(qobject_cast<Algorithms::ReflectProcess *>(created.get()));
    if (!process)
        return nullptr; // bisection has no reflection process
    static_cast<void>(created.release()); // owned by process from here on

    setupFixture(port->measureData(), *z);
    process->setFixturesForCalculate(port->measureData());
    process->setPortNames(MeasuredFixturePort::noticeName(v), QString());
    // The caller ties the process to this measurer for its run.
    return process;
}

bool ReflectionMeasurer::calculateOnePort(size_t i, const std::vector<double> &grid,
                                          Algorithms::ReflectProcess *process, uint v)
{
    using State = MeasureEnums::FixturePossibleState;
    const auto &openTraces = m_openReader->data();
    const auto &shortTraces = m_shortReader->data();
    switch (m_state) {
    case State::OPEN:
    case State::SHORT: {
        const bool isShort = m_state == State::SHORT;
        const auto &traces = isShort ? shortTraces : openTraces;
        auto *single = qobject_cast<Algorithms::ReflectProcessOpenOrShort *>(process);
        if (i >= traces.size() || !single)
            return false;
        const Algorithms::SParametersOnePortVNA data = onePort(grid, traces[i], v);
        (isShort ? m_shortRawData : m_openRawData).append(data);
        single->setInputData(data);
        single->setSignalType(m_signalType);
        single->setIsShort(isShort);
        return BaseMeasurer::execute(process);
    }
    case State::OPEN_AND_SHORT: {
        auto *pair = qobject_cast<Algorithms::ReflectProcessOpenAndShort *>(process);
        if (i >= openTraces.size() || i >= shortTraces.size() || !pair)
            return false;
        const Algorithms::SParametersOnePortVNA open = onePort(grid, openTraces[i], v);
        const Algorithms::SParametersOnePortVNA shortStandard = onePort(grid, shortTraces[i], v);
        m_openRawData.append(open);
        m_shortRawData.append(shortStandard);
        pair->setOpenAndShort(open, shortStandard);
        return BaseMeasurer::execute(process);
    }
    case State::NONE:
    default:
        return false;
    }
}
