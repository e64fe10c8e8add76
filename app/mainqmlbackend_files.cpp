// Raw-data and test-mode exports: the analyser records every step kept, as
// multi-port Touchstone files, and the test-mode parameters with the first
// set-up's intermediate results.

#include "app/mainqmlbackend.h"

#include "algorithms/messages.h"
#include "app/rawdatafiles.h"
#include "app/testmodetable.h"
#include "measurement/connections.h"
#include "measurement/dutmeasurer.h"
#include "measurement/dutstep.h"
#include "measurement/fixturesetups.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/reflectionmeasurer.h"
#include "measurement/reflectionstep.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/transmissionstep.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"

#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QStringList>

#include <map>

namespace {

// The reference impedance of a side's raw data: its first measured port's,
// as the analyser reported it (a file recalled later must refer its data to
// the same impedance); nothing without measured ports.
std::optional<double> sideImpedance(const VNAFixtureConnection *side)
{
    if (!side || side->measureData().size() == 0 || !side->measureData().at(0))
        return std::nullopt;
    return side->measureData().at(0)->z0Port();
}

// The reference impedance of every analyser port a record was measured on,
// ohm, as its fixture port took it from the analyser or the file.
using PortImpedances = std::map<uint64_t, double>;

// The ports of a side at the analyser ports their models were measured on.
void addMeasuredPorts(PortImpedances &ports, const VNAFixtureConnection *side)
{
    if (!side)
        return;
    for (int i = 0; i < side->measureData().size(); ++i) {
        const auto &port = side->measureData().at(i);
        if (port && port->z0Port() > 0.0)
            ports.emplace(port->measuredPort(), port->z0Port());
    }
}

// An empty text on success. Ports whose impedance differs from impedance
// (the file's own) are named per port; ports without a record keep it.
QString writeTouchstoneFile(const QString &path, const TouchstonePoints &points, double impedance,
                            const PortImpedances &ports, TaskProgress &progress, StagingArea *area)
{
    TouchstoneData data;
    data.points = points;
    data.portCount = points.empty() ? 0 : static_cast<uint32_t>(points.front().size);
    data.impedance = impedance;
    data.portImpedances.assign(data.portCount, impedance);
    for (const auto &[port, z] : ports) {
        if (port < data.portImpedances.size())
            data.portImpedances[static_cast<size_t>(port)] = z;
    }
    TouchstoneIO writer;
    writer.setOverwrite(false);
    writer.setStagingArea(area);
    if (writer.write(path, data))
        return {};
    progress.cancel();
    return touchstoneFailureCause(writer.filePath(path, data).value_or(path), writer);
}

struct TestModeWriters
{
    ColumnFileWriter impulse;
    ColumnFileWriter step;
    ColumnFileWriter gating;
};

// Adds one side's impulse response, step response and gating to the column
// files and writes its model; a refused model file cancels the progress and
// adds its cause to failures.
void appendTestModeColumns(TestModeWriters &writers, const QString &base, TaskProgress &progress,
                           const VNAFixtureConnection *connection, QStringList &failures, StagingArea *area)
{
    if (!connection || connection->measureData().size() == 0 || !connection->measureData().at(0))
        return;
    const QString name = connection->fixture()->name();
    const QmlFixturePort *port = connection->measureData().at(0)->measureData();

    if (const auto &impulse = port->impulseResponse()) {
        if (writers.impulse.addRealColumn(impulse->time) && writers.impulse.addComplexColumn(impulse->values)) {
            writers.impulse.appendTitle(QStringLiteral(" t") + name);
            writers.impulse.appendTitle(QStringLiteral(" L") + name);
            writers.impulse.appendHeader(QStringLiteral(" s RI"));
        }
    }
    if (const auto &step = port->stepResponse()) {
        if (writers.step.addRealColumn(step->time) && writers.step.addRealColumn(step->impedanceProfile)) {
            writers.step.appendTitle(QStringLiteral(" t") + name);
            writers.step.appendTitle(QStringLiteral(" Z") + name);
            writers.step.appendHeader(QStringLiteral(" s Ohm"));
        }
    }
    if (const auto &gating = port->gating()) {
        if (writers.gating.addRealColumn(gating->time) && writers.gating.addComplexColumn(gating->values)) {
            writers.gating.appendTitle(QStringLiteral(" t") + name);
            writers.gating.appendTitle(QStringLiteral(" L") + name);
            writers.gating.appendHeader(QStringLiteral(" s RI"));
        }
    }
    if (const auto &model = port->uncorrectedSParameters()) {
        TouchstoneData data;
        data.portCount = 2;
        data.impedance = port->z0Transform().value_or(0.0);
        for (size_t i = 0; i < model->frequency().size(); ++i) {
            TouchstonePoint point;
            point.frequency = model->frequency()[i];
            point.size = 2;
            point.matrix = {model->s11()[i], model->s12()[i], model->s21()[i], model->s22()[i]};
            data.points.push_back(std::move(point));
        }
        TouchstoneIO writer;
        writer.setOverwrite(true);
        writer.setStagingArea(area);
        const QString path = base + QStringLiteral("_SParameters") + name;
        if (!writer.write(path, data)) {
            progress.cancel();
            failures << touchstoneFailureCause(writer.filePath(path, data).value_or(path), writer);
        }
    }
}

// One raw-data file of a step: the ending of its name, its points and the
// impedances it refers them to.
struct RawDataFile
{
    QString ending;
    TouchstonePoints points;
    double impedance = 0.0;
    PortImpedances ports;
};
using RawDataFiles = std::vector<RawDataFile>;

// A 2x-thru step: one two-port file of at least three points; nothing when
// the step lacks them.
std::optional<RawDataFiles> transmissionRawData(TransmissionStep *transmission, const QString &k)
{
    const ConnectionTransmisson *connection = transmission->transmissionConnection();
    const std::optional<double> impedance = sideImpedance(connection ? connection->left() : nullptr);
    const TransmissionMeasurer *measurer = transmission->thruMeasurer();
    auto points = measurer ? mergeTwoPortRecords(measurer->rawData()) : std::optional<TouchstonePoints>();
    if (!impedance || !points || points->size() < 3)
        return std::nullopt;
    PortImpedances ports;
    addMeasuredPorts(ports, connection->left());
    addMeasuredPorts(ports, connection->right());
    RawDataFiles files;
    files.push_back({QStringLiteral("_Transmission_Step") + k, std::move(*points), *impedance, ports});
    return files;
}

// A reflect step: the open and the short records measured, each a file.
std::optional<RawDataFiles> reflectionRawData(ReflectionStep *reflection, const QString &k)
{
    const ConnectionReflect *connection = reflection->reflectConnection();
    const std::optional<double> impedance = sideImpedance(connection ? connection->fixt() : nullptr);
    const ReflectionMeasurer *measurer = reflection->measurer();
    if (!measurer || !impedance)
        return std::nullopt;
    PortImpedances ports;
    addMeasuredPorts(ports, connection->fixt());
    RawDataFiles files;
    if (auto open = mergeOnePortRecords(measurer->openRawData()))
        files.push_back({QStringLiteral("_OpenRawData_Step") + k, std::move(*open), *impedance, ports});
    if (auto shortData = mergeOnePortRecords(measurer->shortRawData()))
        files.push_back({QStringLiteral("_ShortRawData_Step") + k, std::move(*shortData), *impedance, ports});
    return files;
}

// A DUT step: the records of all its measurers in one file.
std::optional<RawDataFiles> dutRawData(DutStep *dut, const QString &k)
{
    if (dut->measurers().empty())
        return std::nullopt;
    std::optional<double> impedance;
    if (auto *both = qobject_cast<ConnectionTransmisson *>(dut->connection()))
        impedance = sideImpedance(both->left());
    else if (auto *single = qobject_cast<ConnectionReflect *>(dut->connection()))
        impedance = sideImpedance(single->fixt());
    if (!impedance)
        return std::nullopt;
    // Record i of a DUT measurer is fixture port i of its side, whose
    // model's impedance the DUT data were checked against.
    QList<Algorithms::SParametersOnePortVNA> records;
    PortImpedances ports;
    for (const DutMeasurer *measurer : dut->measurers()) {
        if (!measurer)
            continue;
        const auto &raw = measurer->rawData();
        records += raw;
        const VNAFixtureConnection *side = measurer->side();
        for (int i = 0; side && i < raw.size() && i < side->measureData().size(); ++i) {
            const auto &port = side->measureData().at(i);
            if (raw[i].vnaPort() && port && port->z0Port() > 0.0)
                ports.emplace(*raw[i].vnaPort(), port->z0Port());
        }
    }
    RawDataFiles files;
    if (records.isEmpty())
        return files;
    if (auto points = mergeOnePortRecords(records))
        files.push_back({QStringLiteral("_DutRawData_Step") + k, std::move(*points), *impedance, ports});
    return files;
}

// The files of step k (from 1) of a set-up; nothing when the step lacks its
// measured data.
std::optional<RawDataFiles> stepRawData(Step *step, const QString &k)
{
    if (auto *transmission = qobject_cast<TransmissionStep *>(step))
        return transmissionRawData(transmission, k);
    if (auto *reflection = qobject_cast<ReflectionStep *>(step))
        return reflectionRawData(reflection, k);
    if (auto *dut = qobject_cast<DutStep *>(step))
        return dutRawData(dut, k);
    return RawDataFiles();
}

// The test-mode table as "PARAMETERS" keys: a blank in a name becomes "_".
QList<QPair<QString, QVariant>> testModeValues(const QVector<TableParameter> &rows, TaskProgress &progress)
{
    QList<QPair<QString, QVariant>> values;
    for (const TableParameter &row : rows) {
        QString key = row.name();
        key.replace(QLatin1Char(' '), QLatin1Char('_'));
        values.append({key, row.value()});
        progress.step(row.name() + QStringLiteral(" saved"));
    }
    return values;
}

// The three test-mode text files, each with its name and first lines; kind
// names the set-up's connection.
void prepareTestModeWriters(TestModeWriters &writers, const QString &kind, StagingArea *area)
{
    const std::pair<ColumnFileWriter *, std::pair<QString, QString>> layout[] = {
        {&writers.impulse, {QStringLiteral("ImpulseResponse"), QStringLiteral(" Length")}},
        {&writers.step, {QStringLiteral("StepResponse"), QStringLiteral(" Impedance")}},
        {&writers.gating, {QStringLiteral("Gating"), QStringLiteral(" Gating")}},
    };
    for (const auto &[writer, names] : layout) {
        writer->setExtension(QStringLiteral("txt"));
        writer->setOverwrite(true);
        writer->setStagingArea(area);
        writer->appendTitle(QStringLiteral("!"));
        writer->setSuffix(names.first);
        writer->appendHeader(QStringLiteral("# ") + kind + names.second);
    }
}

} // namespace

void MainQmlBackend::saveRawDataFiles(const QString &filename)
{
    const auto ticket = admitAction();
    if (!ticket)
        return;
    writeRawDataFiles(filename);
}

void MainQmlBackend::writeRawDataFiles(const QString &filename)
{
    TaskProgress progress;
    progressManager.add(&progress, tr("Save the raw data"));
    progress.start();
    if (!fixtureSetups || fixtureSetups->getCount() <= 0) {
        progress.cancel();
        emit error(Algorithms::Messages::noCalculatedData);
        return;
    }

    // A step without its measured data ends the action: one error, the
    // files already written stay.
    auto stopWithoutData = [&] {
        progress.cancel();
        emit error(Algorithms::Messages::noCalculatedData);
    };
    // "Performed" only when every file went out and there was one at all.
    int written = 0;
    bool failed = false;
    auto write = [&](const QString &ending, const TouchstonePoints &points, double impedance,
                     const PortImpedances &ports) {
        const QString failure =
            writeTouchstoneFile(filename + ending, points, impedance, ports, progress, &stagingArea);
        if (failure.isEmpty()) {
            ++written;
            return;
        }
        failed = true;
        emit error(failure);
    };

    for (int n = 0; n < fixtureSetups->getCount(); ++n) {
        const auto &steps = fixtureSetups->setup(n)->steps();
        for (int i = 0; i < steps.size(); ++i) {
            const auto files = stepRawData(steps.at(i).get(), QString::number(i + 1));
            if (!files) {
                stopWithoutData();
                return;
            }
            for (const RawDataFile &file : *files)
                write(file.ending, file.points, file.impedance, file.ports);
        }
    }

    if (failed)
        return;
    if (written == 0) {
        stopWithoutData();
        return;
    }
    progress.finish();
    emit message(tr("Save the raw data files was performed:") + QStringLiteral(" ") + filename);
}

void MainQmlBackend::saveTestModeFiles(const QString &fileName)
{
    const auto ticket = admitAction();
    if (!ticket)
        return;
    TaskProgress progress;
    progressManager.add(&progress, tr("Save test mode parameters"));
    progress.start();
    const QVector<TableParameter> rows = testModeTable->rows();
    progress.setRange(0, rows.size());
    // Written as QSettings reads it, and staged like every other file: a
    // full disk leaves an earlier file of that name whole.
    StagedFile ini(fileName + QStringLiteral("_ParametersTestMode.ini"), &stagingArea);
    if (!ini.append(iniFileText(QStringLiteral("PARAMETERS"), testModeValues(rows, progress))) || !ini.commit()) {
        progress.cancel();
        emit error(writeFailureCause(ini.failure()));
        return;
    }

    if (!fixtureSetups || fixtureSetups->getCount() <= 0) {
        progress.finish();
        return;
    }
    const VukAlgorithmsSetup *setup = fixtureSetups->setup(0);
    if (!setup->leftFixtureEnabled() && !setup->rightFixtureEnabled()) {
        progress.cancel();
        emit error(Algorithms::Messages::noCalculatedData);
        return;
    }

    // The raw data go first; a failure there is reported there and ends the
    // action.
    bool rawDataFailed = false;
    const QMetaObject::Connection watch =
        connect(this, &MainQmlBackend::error, this, [&rawDataFailed] { rawDataFailed = true; });
    writeRawDataFiles(fileName);
    disconnect(watch);
    if (rawDataFailed) {
        progress.cancel();
        return;
    }

    const QString kind = setup->abThruConnectionEnabled() ? QStringLiteral("Transmission") : QStringLiteral("Reflect");
    TestModeWriters writers;
    prepareTestModeWriters(writers, kind, &stagingArea);

    QStringList failures;
    if (setup->leftFixtureEnabled())
        appendTestModeColumns(writers, fileName, progress, setup->leftFixtureConn(), failures, &stagingArea);
    if (setup->rightFixtureEnabled())
        appendTestModeColumns(writers, fileName, progress, setup->rightFixtureConn(), failures, &stagingArea);

    for (const ColumnFileWriter *writer : {&writers.impulse, &writers.step, &writers.gating}) {
        // A file without columns (nothing calculated for it) is not written;
        // one whose columns do not fit together is left out silently.
        if (writer->columnCount() > 0 && !writer->write(fileName) && writer->fileFailure().failed())
            failures << writeFailureCause(writer->fileFailure());
    }
    if (!failures.isEmpty()) {
        progress.cancel();
        emit error(failures.first());
        return;
    }

    progress.finish();
    emit message(tr("Save test mode parameters was performed:") + QStringLiteral(" ") + fileName);
}
