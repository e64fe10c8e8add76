// Correction files: one two-port Touchstone file per fixture port, named
// after the analyser port it is connected to, either handed to the
// analyser's de-embedding or saved under a base path of the user's.
//
// Every file of an action is written before any is put in place or sent:
// a file that cannot be written leaves the files of that name as they were
// and the analyser untouched. "Applied" is said only once the analyser has
// reported every port de-embedding with its new file.

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
#include <filesystem>
#include <system_error>

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

// Where a file is written before it is put in place: beside it, hidden, with
// the same suffix, so that renaming it over the file replaces it at once.
QString stagingPath(const QString &file)
{
    const QFileInfo info(file);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".part.s2p"));
}

std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Replaces `to` by `from` in one rename; the system's reason on failure.
QString replaceFile(const QString &from, const QString &to)
{
    std::error_code code;
    std::filesystem::rename(nativePath(from), nativePath(to), code);
    return code ? QString::fromLocal8Bit(code.message().c_str()) : QString();
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

std::optional<std::vector<CorrectionFileEntry>> MainQmlBackend::writeAllCorrections(const QString &base,
                                                                                    TaskProgress &progress)
{
    const auto fail = [&progress] {
        progress.cancel();
        return std::nullopt;
    };
    int count = fixtureSetups ? fixtureSetups->getCount() : 0;
    if (count <= 0) {
        emit error(Algorithms::Messages::noCalculatedData);
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
    count = fixtureSetups ? fixtureSetups->getCount() : 0;
    if (count <= 0) {
        emit error(Algorithms::Messages::noCalculatedData);
        return fail();
    }
    // Two set-ups may name one analyser port: the later file is the one
    // kept, and the one the analyser is given last.
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
            return fail();
        }
        const std::pair<bool, VNAFixtureConnection *> sides[] = {
            {setup->leftFixtureEnabled(), setup->leftFixtureConn()},
            {setup->rightFixtureEnabled(), setup->rightFixtureConn()},
        };
        for (const auto &[enabled, connection] : sides) {
            if (!enabled)
                continue;
            std::vector<PreparedCorrection> prepared = prepareCorrectionFiles(base, connection, *grid);
            if (prepared.empty())
                return fail();
            for (PreparedCorrection &item : prepared)
                add(std::move(item));
        }
        progress.step();
    }

    // Every file goes to its staging name first; only when all of them are
    // written are they renamed into place.
    QStringList staged;
    const auto removeStaged = [&staged] {
        for (const QString &path : staged)
            QFile::remove(path);
    };
    for (const PreparedCorrection &item : files) {
        const QString staging = stagingPath(item.entry.file);
        TouchstoneIO writer;
        writer.setOverwrite(true);
        if (!writer.write(staging, item.data)) {
            removeStaged();
            emit error(writeFailureCause(item.entry.file, writer.errorString()));
            return fail();
        }
        staged << staging;
    }
    QStringList replaced;
    for (int i = 0; i < int(files.size()); ++i) {
        const QString &file = files[size_t(i)].entry.file;
        const QString cause = replaceFile(staged[i], file);
        if (!cause.isEmpty()) {
            staged = staged.mid(i);
            removeStaged();
            QString text = writeFailureCause(file, cause);
            if (!replaced.isEmpty())
                text += tr("; these files of this action were already replaced: %1")
                            .arg(replaced.join(QStringLiteral(", ")));
            emit error(text);
            return fail();
        }
        replaced << file;
    }

    std::vector<CorrectionFileEntry> entries;
    entries.reserve(files.size());
    for (PreparedCorrection &item : files)
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
            progress.cancel();
            emit error(tr("Correction was not applied: %1").arg(failures.join(QStringLiteral("; "))));
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
