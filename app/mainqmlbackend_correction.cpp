// Correction files: one two-port Touchstone file per fixture port, named
// after the analyser port it is connected to, either handed to the
// analyser's de-embedding or saved under a base path of the user's.

#include "app/mainqmlbackend.h"
#include "app/rawdatafiles.h"

#include "algorithms/messages.h"
#include "device/touchstoneio.h"
#include "measurement/fixturesetups.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/sparametersource.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"

#include <QCoreApplication>
#include <QDir>

namespace {

TouchstoneData twoPortData(const Algorithms::SParametersTwoPort &model, double impedance)
{
    TouchstoneData data;
    data.portCount = 2;
    data.impedance = impedance;
    const size_t n = model.frequency().size();
    data.points.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        TouchstonePoint point;
        point.frequency = model.frequency()[i];
        point.size = 2;
        point.matrix = {model.s11()[i], model.s12()[i], model.s21()[i], model.s22()[i]};
        data.points.push_back(std::move(point));
    }
    return data;
}

} // namespace

std::vector<CorrectionFileEntry> MainQmlBackend::writeCorrectionFiles(const QString &base,
                                                                      VNAFixtureConnection *connection,
                                                                      const std::vector<double> &grid)
{
    std::vector<CorrectionFileEntry> entries;
    const auto &ports = connection->measureData();
    for (int i = 0; i < ports.size(); ++i) {
        const MeasuredFixturePort *port = ports.at(i).get();
        const QmlFixturePort *fixturePort = port ? port->measureData() : nullptr;
        if (!fixturePort || !fixturePort->uncorrectedSParameters()) {
            emit error(Algorithms::Messages::noCalculatedData);
            return {};
        }
        const double impedance = fixturePort->z0Transform().value_or(0.0);
        Algorithms::SParametersTwoPort model = *fixturePort->uncorrectedSParameters();
        // Port 1 of every correction file faces the analyser.
        if (fixturePort->side())
            model.swapPorts();
        Algorithms::SParametersTwoPort resampled = model;
        if (resampled.interpolate(grid))
            model = std::move(resampled);

        const QString file = base + QString::number(port->measuredPort() + 1) + QStringLiteral(".s2p");
        TouchstoneIO writer;
        writer.setOverwrite(true);
        if (!writer.write(file, twoPortData(model, impedance))) {
            emit error(writeFailureCause(file, writer.errorString()));
            return {};
        }
        entries.push_back({port->measuredPort(), file, impedance});
    }
    return entries;
}

bool MainQmlBackend::writeAllCorrections(const QString &base, TaskProgress &progress, bool sendToAnalyser)
{
    int count = fixtureSetups ? fixtureSetups->getCount() : 0;
    if (count <= 0) {
        progress.cancel();
        emit error(Algorithms::Messages::noCalculatedData);
        return false;
    }
    // The one wait of the action comes before any set-up is looked at: the
    // GUI goes on with other events while it waits, and no pointer into the
    // set-ups is held across it.
    const std::optional<std::vector<double>> grid = SParameterSource::fromDevice(vnaDevice).readFrequencies();
    if (!grid) {
        progress.cancel();
        emit error(tr("Cannot read the frequency grid from VNA"));
        return false;
    }
    count = fixtureSetups ? fixtureSetups->getCount() : 0;
    progress.setRange(0, count);
    for (int n = 0; n < count; ++n) {
        VukAlgorithmsSetup *setup = fixtureSetups->setup(n);
        if (!setup->leftFixtureEnabled() && !setup->rightFixtureEnabled()) {
            progress.cancel();
            emit error(Algorithms::Messages::noCalculatedData);
            return false;
        }
        const std::pair<bool, VNAFixtureConnection *> sides[] = {
            {setup->leftFixtureEnabled(), setup->leftFixtureConn()},
            {setup->rightFixtureEnabled(), setup->rightFixtureConn()},
        };
        for (const auto &[enabled, connection] : sides) {
            if (!enabled)
                continue;
            const std::vector<CorrectionFileEntry> entries = writeCorrectionFiles(base, connection, *grid);
            if (entries.empty()) {
                progress.cancel();
                return false;
            }
            if (!sendToAnalyser)
                continue;
            for (const CorrectionFileEntry &entry : entries) {
                // A model without a target impedance leaves the analyser
                // port's impedance as it is, rather than setting it to 0.
                if (entry.impedance > 0.0)
                    vnaDevice->setImpedance(entry.port, entry.impedance);
                vnaDevice->setDeembeddingState(entry.port, false);
                vnaDevice->setDeembeddingFile(entry.port, entry.file);
            }
        }
        progress.step();
    }
    return true;
}

void MainQmlBackend::applyCorrection()
{
    const auto ticket = admitAction();
    if (!ticket)
        return;
    TaskProgress progress;
    progressManager.add(&progress, tr("Correction"));
    progress.start();
    const QString base = QDir(temporaryFolder()).filePath(QStringLiteral("deembed-"));
    if (writeAllCorrections(base, progress, true)) {
        vnaDevice->setDeembeddingState(true);
        vnaDevice->setFixtureSimulationState(true);
        progress.finish();
        emit message(QStringLiteral("Correction was applied"));
    }
    QCoreApplication::processEvents();
}

void MainQmlBackend::saveCorrectionFiles(const QString &filename)
{
    const auto ticket = admitAction();
    if (!ticket)
        return;
    TaskProgress progress;
    progressManager.add(&progress, tr("Save correction"));
    progress.start();
    if (writeAllCorrections(filename, progress, false)) {
        progress.finish();
        emit message(QStringLiteral("Save correction files was performed: ") + filename);
    }
}
