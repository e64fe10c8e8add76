// Every refused save says why: a table of the failures a user meets, for
// each kind of save, and the text each one gives. A refused save leaves the
// file it would have replaced as it was and no staging file; a save that
// does not need what failed goes through.

#include "tests/app/savescene.h"

#include <gtest/gtest.h>

#include <QDir>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace SaveTests;

enum class Act { Setup, Correction, Apply, RawData, TestMode };

const char *actName(Act act)
{
    static const char *const names[] = {"setup", "correction", "apply", "raw data", "test mode"};
    return names[int(act)];
}

enum class Failure {
    NoSpace,
    ReadOnlyFolder,
    MissingFolder,
    NameTakenByAFolder,
    AnalyserNotReady,
    LinkLost,
    AnalyserCannotWrite,
    LinkLostWhileStoring
};

const char *failureName(Failure failure)
{
    static const char *const names[] = {
        "no space",           "read-only folder", "missing folder",        "name taken by a folder",
        "analyser not ready", "link lost",        "analyser cannot write", "link lost while storing"};
    return names[int(failure)];
}

// A folder nobody may write to: a read-only mount as root (whom the
// permission bits do not stop), the bits otherwise. What it is to hold is
// written first.
class ReadOnlyFolder
{
public:
    ReadOnlyFolder(const QString &path, const std::function<void()> &fill) : path(path)
    {
        QDir().mkpath(path);
        const QByteArray native = QFile::encodeName(path);
        mounted = ::geteuid() == 0 && ::mount("tmpfs", native.constData(), "tmpfs", 0, "size=256k") == 0;
        fill();
        if (mounted)
            ok = ::mount(nullptr, native.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        else
            ok = ::geteuid() != 0 && ::chmod(native.constData(), 0555) == 0;
    }
    ~ReadOnlyFolder()
    {
        const QByteArray native = QFile::encodeName(path);
        if (mounted)
            ::umount2(native.constData(), MNT_DETACH);
        else
            ::chmod(native.constData(), 0755);
    }
    bool isReadOnly() const { return ok; }

private:
    QString path;
    bool mounted = false;
    bool ok = false;
};

class SaveCauses : public MeasuredThru
{};

TEST_F(SaveCauses, EachFailureOfEachSaveNamesItsCause)
{
    writeLimit = std::make_shared<WriteLimit>(qint64(1) << 40);
    MainQmlBackend *b = measuredBackend();
    ASSERT_NE(b, nullptr);
    const QString folder = workDir.filePath(QStringLiteral("out"));
    const QString readOnly = workDir.filePath(QStringLiteral("read-only"));
    const QString missing = workDir.filePath(QStringLiteral("missing"));
    const QString tmp = b->temporaryFolder();

    // The folder each save writes to and the file of it that a refused save
    // must leave as it was.
    const auto folderOf = [&](Act act, Failure failure) {
        if (act == Act::Apply)
            return tmp;
        if (failure == Failure::ReadOnlyFolder)
            return readOnly;
        return failure == Failure::MissingFolder ? missing : folder;
    };
    const auto targetName = [](Act act) {
        switch (act) {
        case Act::Setup:
            return QStringLiteral("run.sta");
        case Act::Correction:
            return QStringLiteral("run1.s2p");
        case Act::Apply:
            return QStringLiteral("deembed-1.s2p");
        case Act::RawData:
            return QStringLiteral("run_Transmission_Step1.s2p");
        case Act::TestMode:
            return QStringLiteral("run_ParametersTestMode.ini");
        }
        return QString();
    };
    const auto performed = [](Act act) {
        switch (act) {
        case Act::Setup:
            return QStringLiteral("Save setup was performed: ");
        case Act::Correction:
            return QStringLiteral("Save correction files was performed: ");
        case Act::Apply:
            return QStringLiteral("Correction was applied");
        case Act::RawData:
            return QStringLiteral("Save the raw data files was performed: ");
        case Act::TestMode:
            return QStringLiteral("Save test mode parameters was performed: ");
        }
        return QString();
    };

    // The expected text of each failure of each save; empty: the save does
    // not need what failed and goes through.
    const auto expected = [&](Act act, Failure failure) -> std::optional<QString> {
        const QString dir = folderOf(act, failure);
        const QString target = QDir(dir).filePath(targetName(act));
        const QString lead =
            act == Act::Setup ? QStringLiteral("Cannot save setup. ") : QStringLiteral("File cannot be created. ");
        // Raw data never replace a file: theirs goes to the numbered name.
        const QString written =
            act == Act::RawData ? QDir(dir).filePath(QStringLiteral("run_Transmission_Step1(1).s2p")) : target;
        switch (failure) {
        case Failure::NoSpace:
            return lead + QStringLiteral("The disk is full: ") + written;
        case Failure::ReadOnlyFolder:
            return lead + QStringLiteral("The folder is not writable: ") + dir;
        case Failure::MissingFolder:
            if (act == Act::Apply)
                return std::nullopt; // the program makes its own folder
            return lead + QStringLiteral("The folder does not exist: ") + dir;
        case Failure::NameTakenByAFolder:
            if (act == Act::RawData)
                return QString();
            return lead + QStringLiteral("A folder of that name exists: ") + target;
        case Failure::AnalyserNotReady:
            if (act == Act::Setup)
                return lead + QStringLiteral("VNA is not ready");
            if (act == Act::Correction || act == Act::Apply)
                return QStringLiteral("Cannot read the frequency grid from VNA: VNA is not ready");
            return QString();
        case Failure::LinkLost:
            if (act == Act::Setup)
                return QStringLiteral("Cannot read the type of saving state file from VNA");
            if (act == Act::Correction || act == Act::Apply)
                return QStringLiteral("Cannot read the frequency grid from VNA");
            return QString();
        case Failure::AnalyserCannotWrite:
            if (act != Act::Setup)
                return std::nullopt;
            return lead + QStringLiteral("VNA could not write its state for ") + target
                   + QStringLiteral(": -257, File name error; no space left on device");
        case Failure::LinkLostWhileStoring:
            if (act != Act::Setup)
                return std::nullopt;
            return lead
                   + QStringLiteral("The link to VNA was lost while VNA saved its state; its save type was put back");
        }
        return std::nullopt;
    };

    const QByteArray existing = "existing\n";
    QString currentFolder;
    const auto clear = [](const QString &dir) {
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
    };
    const auto run = [&](Act act) {
        const QString base = act == Act::Apply ? QString() : QStringLiteral("run");
        return runAction(*b, [&] {
            switch (act) {
            case Act::Setup:
                b->saveState(QDir(currentFolder).filePath(base));
                break;
            case Act::Correction:
                b->saveCorrectionFiles(QDir(currentFolder).filePath(base));
                break;
            case Act::Apply:
                b->applyCorrection();
                break;
            case Act::RawData:
                b->saveRawDataFiles(QDir(currentFolder).filePath(base));
                break;
            case Act::TestMode:
                b->saveTestModeFiles(QDir(currentFolder).filePath(base));
                break;
            }
        });
    };

    for (Failure failure :
         {Failure::NoSpace, Failure::ReadOnlyFolder, Failure::MissingFolder, Failure::NameTakenByAFolder,
          Failure::AnalyserNotReady, Failure::LinkLost, Failure::AnalyserCannotWrite, Failure::LinkLostWhileStoring}) {
        for (Act act : {Act::Setup, Act::Correction, Act::Apply, Act::RawData, Act::TestMode}) {
            const std::optional<QString> text = expected(act, failure);
            if (!text)
                continue;
            SCOPED_TRACE(std::string(actName(act)) + ", " + failureName(failure));
            currentFolder = folderOf(act, failure);
            const QString target = QDir(currentFolder).filePath(targetName(act));
            if (currentFolder != missing && currentFolder != tmp)
                clear(currentFolder);
            const bool keepsTarget = failure != Failure::MissingFolder && failure != Failure::NameTakenByAFolder;
            const auto writeTarget = [&] {
                if (keepsTarget)
                    writeBytes(target, existing);
            };

            std::unique_ptr<ReadOnlyFolder> locked;
            switch (failure) {
            case Failure::NoSpace:
                writeTarget();
                writeLimit->set(0);
                break;
            case Failure::ReadOnlyFolder:
                locked = std::make_unique<ReadOnlyFolder>(currentFolder, writeTarget);
                ASSERT_TRUE(locked->isReadOnly()) << "cannot make a read-only folder";
                break;
            case Failure::MissingFolder:
                QDir(missing).removeRecursively();
                break;
            case Failure::NameTakenByAFolder:
                ASSERT_TRUE(QDir().mkpath(target + QStringLiteral("/inside")));
                break;
            case Failure::AnalyserNotReady:
                writeTarget();
                sim->setReady(false);
                ASSERT_TRUE(TestSupport::waitUntil("the analyser to report not ready",
                                                   [&] { return b->getVnaDevice()->isReady() == false; }));
                break;
            case Failure::LinkLost:
                writeTarget();
                sim->stop();
                ASSERT_TRUE(
                    TestSupport::waitUntil("the link to drop", [&] { return !b->getVnaDevice()->isConnected(); }));
                break;
            case Failure::AnalyserCannotWrite:
            case Failure::LinkLostWhileStoring: {
                writeTarget();
                AnalyserSim::Fault fault;
                fault.kind = failure == Failure::AnalyserCannotWrite ? AnalyserSim::FaultKind::WriteFail
                                                                     : AnalyserSim::FaultKind::Disconnect;
                fault.header = QStringLiteral("MMEM:STOR:STAT");
                ASSERT_TRUE(sim->addFault(fault));
                break;
            }
            }

            const ActionReport report = run(act);
            if (text->isEmpty()) {
                EXPECT_TRUE(report.errors.isEmpty()) << report.errors.join('\n').toStdString();
                ASSERT_FALSE(report.messages.isEmpty());
                EXPECT_TRUE(report.messages.last().startsWith(performed(act))) << report.messages.last().toStdString();
            } else {
                EXPECT_EQ(report.errors, QStringList{*text});
                for (const QString &message : report.messages)
                    EXPECT_FALSE(message.startsWith(performed(act))) << message.toStdString();
            }
            if (keepsTarget && !text->isEmpty()) {
                EXPECT_EQ(readBytes(target), existing) << "the existing file changed";
            }
            for (const QString &name :
                 QDir(currentFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
                EXPECT_FALSE(name.endsWith(QStringLiteral(".part")))
                    << "a staging file was left: " << name.toStdString();

            // Back to a working analyser and disk.
            locked.reset();
            writeLimit->set(qint64(1) << 40);
            sim->clearFaults();
            if (failure == Failure::AnalyserNotReady) {
                sim->setReady(true);
                ASSERT_TRUE(TestSupport::waitUntil("the analyser to be ready",
                                                   [&] { return b->getVnaDevice()->isReady() == true; }));
            }
            if (failure == Failure::LinkLost) {
                ASSERT_TRUE(sim->start(QStringLiteral("127.0.0.1"), quint16(settings->port.value())));
                ASSERT_TRUE(TestSupport::waitUntil("the link to come back", [&] {
                    return b->getVnaDevice()->isConnected() && b->getVnaDevice()->isReady() == true;
                }));
            }
            if (failure == Failure::LinkLostWhileStoring) {
                ASSERT_TRUE(
                    TestSupport::waitUntil("the link to come back", [&] { return b->getVnaDevice()->isConnected(); }));
            }
            if (currentFolder == tmp) {
                for (const QString &name : QDir(tmp).entryList({QStringLiteral("deembed-*")}, QDir::AllEntries)) {
                    const QString path = QDir(tmp).filePath(name);
                    if (QFileInfo(path).isDir())
                        QDir(path).removeRecursively();
                    else
                        QFile::remove(path);
                }
            } else {
                QDir(currentFolder).removeRecursively();
            }
        }
    }
}

} // namespace
