// Correction files: one two-port Touchstone file per fixture port, named
// after the analyser port it is connected to, either handed to the
// analyser's de-embedding or saved under a base path of the user's.
//
// Every file of an action is written and checked before any is put in place
// or sent: a file that cannot be written leaves the files of that name as
// they were and the analyser untouched. "Applied" is said only once the
// analyser has reported every port de-embedding with its new file; an Apply
// cut short puts back what the analyser held before, or says what is left.

#include "app/mainqmlbackend.h"
#include "app/rawdatafiles.h"

#include "algorithms/messages.h"
#include "device/checker.h"
#include "device/touchstoneio.h"
#include "measurement/fixturesetups.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/sparametersource.h"
#include "measurement/vnafixtureconnection.h"
#include "measurement/vukalgorithmssetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <memory>

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

bool isConverted(Algorithms::FixturePort::DataState state)
{
    using DataState = Algorithms::FixturePort::DataState;
    return state == DataState::Converted || state == DataState::OffsetConverted
           || state == DataState::DutCorrectedConverted || state == DataState::DutCorrectedOffsetConverted;
}

// The impedance the current model's analyser side is referred to: the
// conversion target once the model was converted, the analyser port's
// impedance it was measured in otherwise (a target left from an earlier
// conversion does not describe an unconverted model).
std::optional<double> modelImpedance(const Algorithms::FixturePort &port)
{
    const auto state = port.dataState();
    const std::optional<double> impedance = state && isConverted(*state) ? port.z0Transform() : port.portZ0();
    if (impedance && std::isfinite(*impedance) && *impedance > 0.0)
        return impedance;
    return std::nullopt;
}

bool sameFile(const QString &a, const QString &b)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(a)) == QDir::cleanPath(QDir::fromNativeSeparators(b));
}

} // namespace

std::vector<PreparedCorrection> MainQmlBackend::prepareCorrectionFiles(const QString &base,
                                                                       VNAFixtureConnection *connection,
                                                                       const std::vector<double> &grid)
{
    std::vector<PreparedCorrection> prepared;
    const auto &ports = connection->measureData();
    for (int i = 0; i < ports.size(); ++i) {
        const MeasuredFixturePort *port = ports.at(i).get();
        const QmlFixturePort *fixturePort = port ? port->measureData() : nullptr;
        if (!fixturePort || !fixturePort->uncorrectedSParameters()) {
            emit error(Algorithms::Messages::noCalculatedData);
            return {};
        }
        // Touchstone names one positive reference impedance; a file with
        // none is refused by the analyser, which would then de-embed nothing.
        const std::optional<double> impedance = modelImpedance(*fixturePort);
        if (!impedance) {
            emit error(tr("The fixture model for VNA port %1 has no reference impedance: its correction file "
                          "cannot be written")
                           .arg(port->measuredPort() + 1));
            return {};
        }
        Algorithms::SParametersTwoPort model = *fixturePort->uncorrectedSParameters();
        // Port 1 of every correction file faces the analyser.
        if (fixturePort->side())
            model.swapPorts();
        Algorithms::SParametersTwoPort resampled = model;
        if (resampled.interpolate(grid))
            model = std::move(resampled);

        const QString file = base + QString::number(port->measuredPort() + 1) + QStringLiteral(".s2p");
        prepared.push_back({{port->measuredPort(), file, *impedance}, twoPortData(model, *impedance)});
    }
    return prepared;
}

// The files of every enabled fixture of the first count set-ups, resampled
// to grid; none when a set-up has nothing to give (reported). Two set-ups
// may name one analyser port: the later file is the one kept, and the one
// the analyser is given last.
std::optional<std::vector<PreparedCorrection>> MainQmlBackend::collectCorrectionFiles(const QString &base,
                                                                                      const std::vector<double> &grid,
                                                                                      int count, TaskProgress &progress)
{
    std::vector<PreparedCorrection> files;
    const auto add = [&files](PreparedCorrection &&item) {
        const auto same = std::find_if(files.begin(), files.end(),
                                       [&](const PreparedCorrection &f) { return f.entry.file == item.entry.file; });
        if (same != files.end())
            files.erase(same);
        files.push_back(std::move(item));
    };
    progress.setRange(0, count);
    for (int n = 0; n < count; ++n) {
        VukAlgorithmsSetup *setup = fixtureSetups->setup(n);
        if (!setup->leftFixtureEnabled() && !setup->rightFixtureEnabled()) {
            emit error(Algorithms::Messages::noCalculatedData);
            return std::nullopt;
        }
        const std::pair<bool, VNAFixtureConnection *> sides[] = {
            {setup->leftFixtureEnabled(), setup->leftFixtureConn()},
            {setup->rightFixtureEnabled(), setup->rightFixtureConn()},
        };
        for (const auto &[enabled, connection] : sides) {
            if (!enabled)
                continue;
            std::vector<PreparedCorrection> prepared = prepareCorrectionFiles(base, connection, grid);
            if (prepared.empty())
                return std::nullopt;
            for (PreparedCorrection &item : prepared)
                add(std::move(item));
        }
        progress.step();
    }
    return files;
}

// Every file written and checked under its staging name; none when one
// cannot be (reported). A staged file that is not put in place is removed
// with its object.
std::optional<std::vector<std::unique_ptr<StagedFile>>>
MainQmlBackend::stageCorrectionFiles(const std::vector<PreparedCorrection> &files)
{
    std::vector<std::unique_ptr<StagedFile>> staged;
    for (const PreparedCorrection &item : files) {
        TouchstoneIO writer;
        writer.setOverwrite(true);
        writer.setStagingArea(&stagingArea);
        std::unique_ptr<StagedFile> file = writer.stage(item.entry.file, item.data);
        if (!file) {
            emit error(touchstoneFailureCause(item.entry.file, writer));
            return std::nullopt;
        }
        staged.push_back(std::move(file));
    }
    return staged;
}

// Puts the staged files in place, in order; false when one cannot be
// (reported, naming the files of this action already replaced).
bool MainQmlBackend::commitCorrectionFiles(const std::vector<std::unique_ptr<StagedFile>> &staged)
{
    QStringList replaced;
    for (const std::unique_ptr<StagedFile> &file : staged) {
        if (!file->commit()) {
            QString text = writeFailureCause(file->failure());
            if (!replaced.isEmpty())
                text += tr("; these files of this action were already replaced: %1")
                            .arg(replaced.join(QStringLiteral(", ")));
            emit error(text);
            return false;
        }
        replaced << file->committedPath();
    }
    return true;
}

std::optional<std::vector<CorrectionFileEntry>> MainQmlBackend::writeAllCorrections(const QString &base,
                                                                                    TaskProgress &progress)
{
    const auto fail = [&progress] {
        progress.cancel();
        return std::nullopt;
    };
    // The set-ups are counted again after the wait below: they may have
    // changed meanwhile.
    const auto setupCount = [this] {
        const int count = fixtureSetups ? fixtureSetups->getCount() : 0;
        if (count <= 0)
            emit error(Algorithms::Messages::noCalculatedData);
        return count;
    };
    if (setupCount() <= 0)
        return fail();
    // A connected analyser that is not ready has no grid to resample to.
    if (vnaDevice->isConnected() && vnaDevice->isReady() == false) {
        emit error(tr("Cannot read the frequency grid from VNA: VNA is not ready"));
        return fail();
    }
    // The one wait of this part comes before any set-up is looked at: the
    // GUI goes on with other events while it waits, and no pointer into the
    // set-ups is held across it.
    const std::optional<std::vector<double>> grid = SParameterSource::fromDevice(vnaDevice).readFrequencies();
    if (!grid) {
        emit error(tr("Cannot read the frequency grid from VNA"));
        return fail();
    }
    const int count = setupCount();
    if (count <= 0)
        return fail();
    std::optional<std::vector<PreparedCorrection>> files = collectCorrectionFiles(base, *grid, count, progress);
    if (!files)
        return fail();

    // Every file is written and checked under its staging name first; only
    // when all of them are are they put in place. The staged files live
    // until the action has ended, cancelled or not.
    const std::optional<std::vector<std::unique_ptr<StagedFile>>> staged = stageCorrectionFiles(*files);
    if (!staged || !commitCorrectionFiles(*staged))
        return fail();

    std::vector<CorrectionFileEntry> entries;
    entries.reserve(files->size());
    for (PreparedCorrection &item : *files)
        entries.push_back(std::move(item.entry));
    return entries;
}

// What differs between the de-embedding asked for and what the analyser
// reports; empty when every port took its file.
QStringList MainQmlBackend::deembeddingFailures(const std::vector<CorrectionFileEntry> &entries,
                                                const std::optional<DeembeddingCheck> &check) const
{
    const auto answered = [](const DeembeddingCheck &c) {
        return c.deembedding || c.fixtureSimulator
               || std::any_of(c.ports.begin(), c.ports.end(),
                              [](const DeembeddingCheck::Port &p) { return p.enabled || p.file || p.impedance; });
    };
    if (check && check->notReady)
        return {tr("VNA is not ready")};
    if (!check || !check->reached || check->ports.size() != entries.size() || !answered(*check))
        return {tr("the link to VNA was lost")};
    QStringList failures;
    for (size_t i = 0; i < entries.size(); ++i) {
        const CorrectionFileEntry &entry = entries[i];
        const DeembeddingCheck::Port &port = check->ports[i];
        const QString name = QString::number(entry.port + 1);
        if (!port.enabled || !port.file) {
            failures << tr("port %1: no answer from VNA").arg(name);
            continue;
        }
        if (!sameFile(*port.file, entry.file))
            failures << tr("port %1: VNA holds the file \"%2\" instead of %3").arg(name, *port.file, entry.file);
        else if (!*port.enabled)
            failures << tr("port %1: VNA did not load %2").arg(name, entry.file);
        if (!port.impedance)
            failures << tr("port %1: no answer from VNA about the port impedance").arg(name);
        else if (std::abs(*port.impedance - entry.impedance) > 1e-6 * entry.impedance)
            failures << tr("port %1: the port impedance is %2 Ohm instead of %3 Ohm")
                            .arg(name)
                            .arg(*port.impedance)
                            .arg(entry.impedance);
    }
    if (!check->deembedding)
        failures << tr("no answer from VNA about de-embedding");
    else if (!*check->deembedding)
        failures << tr("de-embedding stayed off");
    if (!check->fixtureSimulator)
        failures << tr("no answer from VNA about the fixture simulator");
    else if (!*check->fixtureSimulator)
        failures << tr("the fixture simulator stayed off");
    if (!failures.isEmpty() && !check->analyserErrors.isEmpty())
        failures << tr("VNA reports: %1").arg(check->analyserErrors.join(QStringLiteral("; ")));
    return failures;
}

QString MainQmlBackend::putBackDeembedding(const std::vector<CorrectionFileEntry> &entries,
                                           const DeembeddingCheck &check)
{
    const auto portNames = [](const std::vector<quint32> &ports) {
        QStringList names;
        for (quint32 port : ports)
            names << QString::number(port + 1);
        return names.join(QStringLiteral(", "));
    };
    if (!check.before)
        return tr("Nothing was sent to VNA");
    const DeembeddingState &before = *check.before;
    std::vector<QString> applied;
    applied.reserve(entries.size());
    for (const CorrectionFileEntry &entry : entries)
        applied.push_back(entry.file);

    std::optional<DeembeddingState> now;
    Checker checker;
    vnaDevice->pushPutBackDeembedding(before, applied, WaitCompletion<std::optional<DeembeddingState>>(checker, now));
    checker.wait();

    if (!now || now->ports.size() != before.ports.size()) {
        // Only what may have reached the analyser can be named.
        std::vector<quint32> touched;
        for (size_t i = 0; i < entries.size() && i < check.touched.size(); ++i)
            if (check.touched[i])
                touched.push_back(entries[i].port);
        if (touched.empty() && !check.switchesSent)
            return tr("VNA cannot be reached again, but no command reached it");
        if (touched.empty())
            return tr("VNA cannot be reached to put it back: its de-embedding and fixture simulator may be left "
                      "switched on");
        return tr("VNA cannot be reached to put it back: VNA port(s) %1 may be left de-embedding the new files")
            .arg(portNames(touched));
    }

    QStringList left;
    std::vector<quint32> sameFile;
    for (size_t i = 0; i < before.ports.size(); ++i) {
        const DeembeddingState::Port &was = before.ports[i];
        const DeembeddingState::Port &is = now->ports[i];
        const QString name = QString::number(was.port + 1);
        if (is.enabled != was.enabled || (is.enabled && is.file != was.file)) {
            if (is.enabled)
                left << tr("port %1 is left de-embedding %2").arg(name, is.file);
            else
                left << tr("port %1 is left with its de-embedding off").arg(name);
        } else if (was.enabled && i < applied.size() && was.file == applied[i]) {
            sameFile.push_back(was.port);
        }
        if (was.impedance && is.impedance && std::abs(*is.impedance - *was.impedance) > 1e-6 * *was.impedance)
            left << tr("port %1 is left at %2 Ohm (%3 Ohm before)").arg(name).arg(*is.impedance).arg(*was.impedance);
    }
    if (now->deembedding != before.deembedding)
        left << (now->deembedding ? tr("de-embedding is left on") : tr("de-embedding is left off"));
    if (now->fixtureSimulator != before.fixtureSimulator)
        left << (now->fixtureSimulator ? tr("the fixture simulator is left on")
                                       : tr("the fixture simulator is left off"));
    if (!left.isEmpty())
        return tr("VNA could not be put back as it was: %1").arg(left.join(QStringLiteral("; ")));
    QString text = tr("VNA was put back as it was before");
    // The earlier model of such a port was in the file the new one replaced.
    if (!sameFile.empty())
        text += tr("; VNA port(s) %1 de-embed their files as before, which now hold the new models")
                    .arg(portNames(sameFile));
    return text;
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
    if (const auto entries = writeAllCorrections(base, progress)) {
        std::vector<DeembeddingRequest> requests;
        requests.reserve(entries->size());
        for (const CorrectionFileEntry &entry : *entries)
            requests.push_back({entry.port, entry.file, entry.impedance});
        // The analyser takes the files and reports back in one task: a wait
        // bounded by its queries' time-outs, with the GUI served meanwhile.
        std::optional<DeembeddingCheck> check;
        Checker checker;
        vnaDevice->pushApplyDeembedding(std::move(requests),
                                        WaitCompletion<std::optional<DeembeddingCheck>>(checker, check));
        checker.wait();
        const QStringList failures = deembeddingFailures(*entries, check);
        if (failures.isEmpty()) {
            progress.finish();
            emit message(tr("Correction was applied"));
        } else {
            // An Apply cut short is undone, or the user learns what is left.
            const QString outcome = putBackDeembedding(*entries, check.value_or(DeembeddingCheck{}));
            progress.cancel();
            emit error(tr("Correction was not applied: %1").arg(failures.join(QStringLiteral("; ")))
                       + QStringLiteral(". ") + outcome);
        }
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
    if (writeAllCorrections(filename, progress)) {
        progress.finish();
        emit message(tr("Save correction files was performed: ") + filename);
    }
}
