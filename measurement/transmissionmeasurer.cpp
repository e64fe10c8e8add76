#include "measurement/transmissionmeasurer.h"

#include "algorithms/messages.h"
#include "algorithms/processfactory.h"
#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/logging.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/vnafixtureconnection.h"

#include <QDebug>

namespace {

void stepProgress(TaskProgress *progress, const QString &text)
{
    if (progress)
        progress->step(text);
}

uint portsOf(const VNAFixtureConnection *side)
{
    return side && side->fixture() ? side->fixture()->portsCount() : 0;
}

} // namespace

TransmissionMeasurer::TransmissionMeasurer(ConnectionTransmisson *connection, SyncedVnaDevice *device, QObject *parent)
    : BaseMeasurer(device, parent),
      m_connection(connection)
{}

int TransmissionMeasurer::stepCount() const
{
    const uint n = m_connection ? portsOf(m_connection->left()) : 0;
    return 3 * static_cast<int>(n) + 3;
}

void TransmissionMeasurer::setStatus(Status status)
{
    updateStatus(m_status, status, [this](Status s) { emit statusChanged(s); });
}

bool TransmissionMeasurer::fail(TaskProgress *progress)
{
    setStatus(Status::Failed);
    if (progress)
        progress->cancel();
    return false;
}

void TransmissionMeasurer::clearResults()
{
    if (m_connection) {
        if (m_connection->left())
            m_connection->left()->resetPorts();
        if (m_connection->right())
            m_connection->right()->resetPorts();
    }
    m_rawData.clear();
    setStatus(Status::NotMeasured);
    clearRunNotices();
}

bool TransmissionMeasurer::execute(const SParameterSource &source, TaskProgress *progress)
{
    stepProgress(progress, tr("Check data"));
    if (!m_connection || !m_connection->left() || !m_connection->right()) {
        emit error(tr("No fixtures are connected to the analyser for this measurement"));
        return fail(progress);
    }
    VNAFixtureConnection *leftSide = m_connection->left();
    VNAFixtureConnection *rightSide = m_connection->right();

    reset(source.kind() == SParameterSource::Kind::Device);

    stepProgress(progress, tr("Read freqs"));
    const auto grid = source.readFrequencies();
    if (!grid) {
        reportReadFailure(Algorithms::Messages::cannotReadFrequencyGrid + source.failureDetail());
        return fail(progress);
    }

    const uint nL = portsOf(leftSide);
    const uint nR = portsOf(rightSide);
    stepProgress(progress, tr("Check configuration"));
    if (nL != nR || nL == 0) {
        emit error(nL == 0 ? tr("No fixture port is connected to an analyser port")
                           : tr("The two fixtures are connected to different numbers of analyser ports "
                                "(%1 and %2)")
                                 .arg(nL)
                                 .arg(nR));
        return fail(progress);
    }

    m_connection->clearProcesses();
    m_rawData.clear();

    for (uint i = 0; i < nL; ++i) {
        // A cancel that arrived before this pair stops the run here.
        if (takeInterrupt())
            return fail(progress);
        if (!measurePair(source, *grid, {leftSide, rightSide, i}, progress))
            return false;
    }

    setStatus(Status::Done);
    return true;
}

// One port pair: sets up its process, reads its four S-parameters and runs
// the calculation; the process is kept by the connection once it has run.
// Every failure has failed the run (status and progress) before it returns.
bool TransmissionMeasurer::measurePair(const SParameterSource &source, const std::vector<double> &grid,
                                       const PortPair &pair, TaskProgress *progress)
{
    const uint a = pair.left->getAttachedVnaPort(pair.index);
    const uint b = pair.right->getAttachedVnaPort(pair.index);
    MeasuredFixturePort *left = pair.left->getFixturePort(static_cast<int>(pair.index));
    MeasuredFixturePort *right = pair.right->getFixturePort(static_cast<int>(pair.index));

    stepProgress(progress, tr("Setup measure data"));
    std::unique_ptr<Algorithms::TransmissionProcess> process = setupMeasureData(a, b, left, right, source);
    if (!process)
        return fail(progress);
    ProcessLink linked = link(process.get());

    qCDebug(lcMeasurement) << "Increment progressValue with text";
    stepProgress(progress, tr("Read SParameters"));
    const auto twoPort = readSParameters(source, grid, a, b);
    if (!twoPort) {
        // The status fails first, as the text's listeners expect.
        fail(progress);
        reportReadFailure(Algorithms::Messages::cannotReadSParameters + source.failureDetail());
        return false;
    }

    Algorithms::SParametersTwoPortVNA raw;
    static_cast<Algorithms::SParametersTwoPort &>(raw) = *twoPort;
    raw.setVnaPort1(a);
    raw.setVnaPort2(b);
    m_rawData.append(raw);

    process->setInputData(*twoPort);
    process->setParameters(m_connection->parameters());

    stepProgress(progress, tr("Execute algorithm"));
    const bool ok = BaseMeasurer::execute(process.get());
    linked.release();

    m_connection->addProcess(ConnectionBase::ProcessPointer(process.release()));

    const bool cancelled = takeInterrupt();
    if (!ok || cancelled)
        return fail(progress);
    return true;
}

std::unique_ptr<Algorithms::TransmissionProcess> TransmissionMeasurer::setupMeasureData(uint a, uint b,
                                                                                        MeasuredFixturePort *left,
                                                                                        MeasuredFixturePort *right,
                                                                                        const SParameterSource &source)
{
    const auto za = source.readPortZ0(a);
    const auto zb = source.readPortZ0(b);
    if (!za || !zb) {
        reportReadFailure(Algorithms::Messages::cannotReadZ0 + source.failureDetail());
        return nullptr;
    }
    if (!left || !right)
        return nullptr;

    std::unique_ptr<Algorithms::IProcessMethod> created;
    try {
        created = Algorithms::ProcessFactory::createByMethod(false, m_calcMethod);
    } catch (const std::exception &e) {
        emit error(tr("Error ") + QString::fromUtf8(e.what()));
        return nullptr;
    }
    std::unique_ptr<Algorithms::TransmissionProcess> process(
        qobject_cast<Algorithms::TransmissionProcess *>(created.get()));
    if (!process)
        return nullptr;
    static_cast<void>(created.release()); // owned by process from here on

    left->setMeasuredPort(a);
    left->setZ0Port(*za);
    left->setInLowPasMode(false);
    setupFixture(left->measureData(), *za);

    right->setMeasuredPort(b);
    right->setZ0Port(*zb);
    right->setInLowPasMode(false);
    setupFixture(right->measureData(), *zb);

    process->setFixturesForCalculate(left->measureData(), right->measureData());
    process->setPortNames(MeasuredFixturePort::noticeName(a), MeasuredFixturePort::noticeName(b));
    qCDebug(lcMeasurement) << "Z0 For attached ports" << a << b << *za << *zb;
    // The caller ties the process to this measurer for its run.
    return process;
}

std::optional<Algorithms::SParametersTwoPort>
TransmissionMeasurer::readSParameters(const SParameterSource &source, const std::vector<double> &grid, uint a, uint b)
{
    const auto traces = source.readSParameters({{a, a}, {a, b}, {b, a}, {b, b}});
    if (!traces || traces->size() != 4)
        return std::nullopt;
    Algorithms::SParametersTwoPort twoPort;
    twoPort.setFrequency(grid);
    twoPort.setS11((*traces)[0]);
    twoPort.setS12((*traces)[1]);
    twoPort.setS21((*traces)[2]);
    twoPort.setS22((*traces)[3]);
    return twoPort;
}
