#include "measurement/dutmeasurer.h"

#include "algorithms/messages.h"
#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/logging.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/vnafixtureconnection.h"

#include <QDir>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

void stepProgress(TaskProgress *progress, const QString &text)
{
    if (progress)
        progress->step(text);
}

// Reference impedances read from a file or the analyser: equal unless they
// differ beyond what a decimal round trip leaves.
bool sameImpedance(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
}

// The model of each process on this side; null where a process has none yet.
std::vector<Algorithms::FixturePort *> modelsOf(const std::vector<ConnectionBase::ProcessPointer> &processes, int side)
{
    std::vector<Algorithms::FixturePort *> models;
    for (const auto &process : processes) {
        Algorithms::FixturePort *model = nullptr;
        if (auto *p = qobject_cast<Algorithms::TransmissionProcess *>(process.get()))
            model = side == 1 ? p->rightPort() : p->leftPort();
        else if (auto *p = qobject_cast<Algorithms::ReflectProcess *>(process.get()))
            model = p->port();
        models.push_back(model);
    }
    return models;
}

MeasuredFixturePort *ownerOf(Algorithms::FixturePort *model)
{
    return model ? qobject_cast<MeasuredFixturePort *>(model->parent()) : nullptr;
}

// One fixture port's DUT reflection on the grid read with it.
Algorithms::SParametersOnePort dutModel(const std::vector<double> &grid, const SParameterSource::Trace &trace)
{
    Algorithms::SParametersOnePort dut;
    dut.setFrequency(grid);
    dut.setS11(trace);
    return dut;
}

} // namespace

DutMeasurer::DutMeasurer(VNAFixtureConnection *side, ConnectionBase *processConnection, SyncedVnaDevice *device,
                         QObject *parent)
    : BaseMeasurer(device, parent),
      m_side(side),
      m_processConnection(processConnection),
      m_reader(new SDataMeasurer(side, this))
{
    connect(m_reader, &SDataMeasurer::error, this, &DutMeasurer::reportReadFailure, Qt::DirectConnection);
}

void DutMeasurer::setStatus(Status status)
{
    updateStatus(m_status, status, [this](Status s) { emit statusChanged(s); });
}

bool DutMeasurer::fail(TaskProgress *progress)
{
    setStatus(Status::Failed);
    if (progress)
        progress->cancel();
    return false;
}

void DutMeasurer::clearResults()
{
    setStatus(Status::NotMeasured);
    m_reader->clear();
    clearRunNotices();
}

// The correction puts the DUT's reflection into the model as it stands:
// both must be referred to the same impedance, or the model is silently
// wrong. Checked for every port before any model is touched; false (with
// the text reported) when a port's impedance cannot be read or differs.
bool DutMeasurer::referenceImpedancesMatch(const SParameterSource &source,
                                           const std::vector<Algorithms::FixturePort *> &models)
{
    for (uint k = 0; k < models.size(); ++k) {
        if (!models[k] || !models[k]->portZ0())
            continue; // no model yet: the correction says so
        const uint v = m_side->getAttachedVnaPort(k);
        const auto z = source.readPortZ0(v);
        if (!z) {
            reportReadFailure(Algorithms::Messages::cannotReadZ0 + source.failureDetail());
            return false;
        }
        const double zModel = *models[k]->portZ0();
        qCDebug(lcMeasurement) << "DUT Z0 at port" << v << *z << "model Z0" << zModel;
        if (sameImpedance(*z, zModel))
            continue;
        const QString where = source.kind() == SParameterSource::Kind::File
                                  ? QDir::toNativeSeparators(source.filePath()) + QStringLiteral(": ")
                                  : QString();
        reportReadFailure(tr("The DUT data and the fixture model have different reference impedances") + ": " + where
                          + tr("the DUT at analyser port %1 is referred to %2 Ohm, the fixture model to %3 Ohm")
                                .arg(v + 1)
                                .arg(QString::number(*z, 'g', 12), QString::number(zModel, 'g', 12)));
        return false;
    }
    return true;
}

// The reflections at the analyser ports again, for the raw-data files;
// false (with the text reported) when one cannot be read.
bool DutMeasurer::readRawData(const SParameterSource &source, const std::vector<double> &grid, uint n)
{
    m_rawData.clear();
    for (uint i = 0; i < n; ++i) {
        const uint v = m_side->getAttachedVnaPort(i);
        const auto trace = source.readSParameter(v, v);
        if (!trace) {
            reportReadFailure(Algorithms::Messages::cannotReadSParameters + source.failureDetail());
            return false;
        }
        Algorithms::SParametersOnePortVNA raw;
        raw.setFrequency(grid);
        raw.setS11(*trace);
        raw.setVnaPort(v);
        m_rawData.append(raw);
    }
    return true;
}

// Runs the kept thru processes, one per port. A failure fails the run while
// its process is still tied, so its notices follow the failed status.
bool DutMeasurer::correctThruModels(const std::vector<std::shared_ptr<Algorithms::IProcessMethod>> &processes,
                                    const std::vector<double> &grid, int side, TaskProgress *progress)
{
    const auto &traces = m_reader->data();
    for (size_t k = 0; k < processes.size(); ++k) {
        auto *process = qobject_cast<Algorithms::TransmissionProcess *>(processes[k].get());
        if (!process || takeInterrupt())
            return fail(progress);
        const Algorithms::SParametersOnePort dut = dutModel(grid, traces[k]);
        const Algorithms::SParametersOnePort none;
        // The correction changes this side's model of the thru only.
        const ProcessLink linked = link(process, MeasuredFixturePort::NoticeOrigin::DutCorrection,
                                        {ownerOf(side == 0 ? process->leftPort() : process->rightPort())});
        const bool ok = side == 0 ? process->calculateDUT(dut, none) : process->calculateDUT(none, dut);
        if (!ok)
            return fail(progress);
    }
    return true;
}

// Runs the kept reflect processes, one per port, as above.
bool DutMeasurer::correctReflectModels(const std::vector<std::shared_ptr<Algorithms::IProcessMethod>> &processes,
                                       const std::vector<double> &grid, TaskProgress *progress)
{
    const auto &traces = m_reader->data();
    for (size_t k = 0; k < processes.size(); ++k) {
        auto *process = qobject_cast<Algorithms::ReflectProcess *>(processes[k].get());
        if (!process || takeInterrupt())
            return fail(progress);
        const ProcessLink linked =
            link(process, MeasuredFixturePort::NoticeOrigin::DutCorrection, {ownerOf(process->port())});
        if (!process->calculateDUT(dutModel(grid, traces[k])))
            return fail(progress);
    }
    return true;
}

// Corrects the models the connection's processes keep with the DUT traces
// read; every failure has failed the run (status, progress) on return.
bool DutMeasurer::correctModels(const SParameterSource &source, const std::vector<double> &grid, uint n,
                                TaskProgress *progress)
{
    const std::vector<ConnectionBase::ProcessPointer> processes =
        m_processConnection ? m_processConnection->processes() : std::vector<ConnectionBase::ProcessPointer>();
    const auto &traces = m_reader->data();
    if (processes.size() != n || traces.size() != n) {
        emit error(tr("The DUT correction needs the fixture models of this set-up: measure the fixtures first"));
        return fail(progress);
    }

    // 0 left, 1 right of a transmission connection.
    int side = 0;
    const auto *transmission = qobject_cast<ConnectionTransmisson *>(m_processConnection.data());
    if (transmission) {
        const auto found = transmission->sideOf(m_side);
        if (!found)
            return fail(progress);
        side = *found;
    }
    if (!referenceImpedancesMatch(source, modelsOf(processes, side)))
        return fail(progress);

    if (transmission)
        return correctThruModels(processes, grid, side, progress);
    if (qobject_cast<ConnectionReflect *>(m_processConnection.data()))
        return correctReflectModels(processes, grid, progress);
    return fail(progress);
}

bool DutMeasurer::execute(const SParameterSource &source, TaskProgress *progress)
{
    reset(source.kind() == SParameterSource::Kind::Device);

    stepProgress(progress, tr("Read s-data"));
    // The reader reports its own text when a trace is missing.
    if (!m_reader->read(source))
        return fail(progress);

    stepProgress(progress, tr("Read freqs"));
    const auto grid = source.readFrequencies();
    if (!grid) {
        reportReadFailure(Algorithms::Messages::cannotReadFrequencyGrid + source.failureDetail());
        return fail(progress);
    }

    const uint n = m_side && m_side->fixture() ? m_side->fixture()->portsCount() : 0;
    if (n == 0) {
        emit error(tr("No fixture port is connected to an analyser port"));
        return fail(progress);
    }
    if (!readRawData(source, *grid, n))
        return fail(progress);

    // The reads take the longest: a cancel during them stops before any
    // model is touched.
    if (takeInterrupt())
        return fail(progress);

    stepProgress(progress, tr("Calculating"));
    if (!correctModels(source, *grid, n, progress))
        return false;
    // A cancel during the last correction fails the run as well.
    if (takeInterrupt())
        return fail(progress);

    setStatus(Status::Done);
    return true;
}
