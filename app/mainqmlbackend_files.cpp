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
        const VukAlgorithmsSetup *setup = fixtureSetups->setup(n);
        const auto &steps = setup->steps();
        for (int i = 0; i < steps.size(); ++i) {
            const QString k = QString::number(i + 1);
            Step *step = steps.at(i).get();
            if (auto *transmission = qobject_cast<TransmissionStep *>(step)) {
                const ConnectionTransmisson *connection = transmission->transmissionConnection();
                const std::optional<double> impedance = sideImpedance(connection ? connection->left() : nullptr);
                const TransmissionMeasurer *measurer = transmission->thruMeasurer();
                const auto points =
                    measurer ? mergeTwoPortRecords(measurer->rawData()) : std::optional<TouchstonePoints>();
                if (!impedance || !points || points->size() < 3) {
                    stopWithoutData();
                    return;
                }
                PortImpedances ports;
                addMeasuredPorts(ports, connection->left());
                addMeasuredPorts(ports, connection->right());
                write(QStringLiteral("_Transmission_Step") + k, *points, *impedance, ports);
            } else if (auto *reflection = qobject_cast<ReflectionStep *>(step)) {
                const ConnectionReflect *connection = reflection->reflectConnection();
                const std::optional<double> impedance = sideImpedance(connection ? connection->fixt() : nullptr);
                const ReflectionMeasurer *measurer = reflection->measurer();
                if (!measurer || !impedance) {
                    stopWithoutData();
                    return;
                }
                PortImpedances ports;
                addMeasuredPorts(ports, connection->fixt());
                if (const auto open = mergeOnePortRecords(measurer->openRawData()))
                    write(QStringLiteral("_OpenRawData_Step") + k, *open, *impedance, ports);
                if (const auto shortData = mergeOnePortRecords(measurer->shortRawData()))
                    write(QStringLiteral("_ShortRawData_Step") + k, *shortData, *impedance, ports);
            } else if (auto *dut = qobject_cast<DutStep *>(step)) {
                if (dut->measurers().empty()) {
                    stopWithoutData();
                    return;
                }
                std::optional<double> impedance;
                if (auto *both = qobject_cast<ConnectionTransmisson *>(dut->connection()))
                    impedance = sideImpedance(both->left());
                else if (auto *single = qobject_cast<ConnectionReflect *>(dut->connection()))
                    impedance = sideImpedance(single->fixt());
                if (!impedance) {
                    stopWithoutData();
                    return;
                }
                // Record i of a DUT measurer is fixture port i of its side,
                // whose model's impedance the DUT data were checked against.
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
                if (records.isEmpty())
                    continue;
                if (const auto points = mergeOnePortRecords(records))
                    write(QStringLiteral("_DutRawData_Step") + k, *points, *impedance, ports);
            }
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
    {
        // Written as QSettings reads it, and staged like every other file:
        // a full disk leaves an earlier file of that name whole.
        QList<QPair<QString, QVariant>> values;
        for (const TableParameter &row : rows) {
            QString key = row.name();
            key.replace(QLatin1Char(' '), QLatin1Char('_'));
            values.append({key, row.value()});
            progress.step(row.name() + QStringLiteral(" saved"));
        }
        StagedFile ini(fileName + QStringLiteral("_ParametersTestMode.ini"), &stagingArea);
        if (!ini.append(iniFileText(QStringLiteral("PARAMETERS"), values)) || !ini.commit()) {
            progress.cancel();
            emit error(writeFailureCause(ini.failure()));
            return;
        }
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
    const std::pair<ColumnFileWriter *, std::pair<QString, QString>> layout[] = {
        {&writers.impulse, {QStringLiteral("ImpulseResponse"), QStringLiteral(" Length")}},
        {&writers.step, {QStringLiteral("StepResponse"), QStringLiteral(" Impedance")}},
        {&writers.gating, {QStringLiteral("Gating"), QStringLiteral(" Gating")}},
    };
    for (const auto &[writer, names] : layout) {
        writer->setExtension(QStringLiteral("txt"));
        writer->setOverwrite(true);
        writer->setStagingArea(&stagingArea);
        writer->appendTitle(QStringLiteral("!"));
        writer->setSuffix(names.first);
        writer->appendHeader(QStringLiteral("# ") + kind + names.second);
    }

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
