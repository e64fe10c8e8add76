// Every save at every free size from 0 to 64 KB, in 1 KB steps, to a new
// name and over existing files: either every file is written whole (what a
// save without any limit writes) or the save is refused, saying the disk is
// full, with every existing file as it was and no staging file left.
//
// The free space is either a write limit given to the backend, which runs
// everywhere, or a small real file system (tmpfs) filled up to the size,
// which needs the right to mount.

#include "tests/app/savescene.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QStorageInfo>

#include <sys/mount.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>

namespace {

using namespace SaveTests;

enum class Space { WriteLimit, SmallFileSystem };

struct Sweep
{
    Save kind;
    bool overExisting;
    Space space;
};

std::ostream &operator<<(std::ostream &out, const Sweep &s)
{
    return out << saveName(s.kind) << (s.overExisting ? ", over existing files" : ", new names")
               << (s.space == Space::WriteLimit ? ", write limit" : ", small file system");
}

QString performedText(Save kind)
{
    switch (kind) {
    case Save::Setup:
        return QStringLiteral("Save setup was performed: ");
    case Save::Correction:
        return QStringLiteral("Save correction files was performed: ");
    case Save::RawData:
        return QStringLiteral("Save the raw data files was performed: ");
    case Save::TestMode:
        return QStringLiteral("Save test mode parameters was performed: ");
    }
    return {};
}

const QString fillerName = QStringLiteral("filler");

class SaveSpace : public MeasuredThru, public ::testing::WithParamInterface<Sweep>
{
protected:
    void TearDown() override
    {
        if (mounted)
            ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
        MeasuredThru::TearDown();
    }

    bool mountSmallFileSystem(const QString &path)
    {
        mountPoint = path;
        QDir().mkpath(path);
        mounted = ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, "size=256k") == 0;
        return mounted;
    }

    QString mountPoint;
    bool mounted = false;
};

// The name of the reference file a file of the save corresponds to: a
// raw-data file saved over an existing one gets the numbered name.
QString referenceName(QString name)
{
    return name.replace(QStringLiteral("(1)"), QString());
}

TEST_P(SaveSpace, EverySaveIsWholeOrRefusedWithItsCause)
{
    const Sweep sweep = GetParam();
    const QString folder = workDir.filePath(QStringLiteral("out"));
    if (sweep.space == Space::SmallFileSystem) {
        if (!mountSmallFileSystem(folder))
            GTEST_SKIP() << "no right to mount a small file system (needs root); the write-limit sweep covers it";
    } else {
        writeLimit = std::make_shared<WriteLimit>(qint64(1) << 40);
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    MainQmlBackend *b = measuredBackend();
    ASSERT_NE(b, nullptr);

    // What a save with room to spare writes.
    const QString referenceFolder = workDir.filePath(QStringLiteral("reference"));
    ASSERT_TRUE(QDir().mkpath(referenceFolder));
    const ActionReport reference =
        runAction(*b, [&] { runSave(*b, sweep.kind, QDir(referenceFolder).filePath(QStringLiteral("run"))); });
    ASSERT_TRUE(reference.errors.isEmpty()) << reference.errors.join('\n').toStdString();
    std::map<QString, QByteArray> expected;
    qint64 total = 0;
    for (const auto &[name, bytes] : folderFiles(referenceFolder)) {
        expected[name] = withoutDate(bytes);
        total += bytes.size();
    }
    ASSERT_FALSE(expected.empty());
    const auto old = [](const QString &name) { return "old " + name.toUtf8() + '\n'; };

    std::vector<qint64> sizes;
    for (qint64 kb = 0; kb <= 64; ++kb)
        sizes.push_back(kb * 1024);
    // A save that fits, also where every file takes whole 4 KB blocks.
    sizes.push_back(total + qint64(expected.size() + 4) * 4096);
    int written = 0;
    int refused = 0;
    for (const qint64 free : sizes) {
        SCOPED_TRACE("free " + std::to_string(free) + " bytes, a whole save takes " + std::to_string(total));
        for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            ASSERT_TRUE(QFile::remove(QDir(folder).filePath(name)));
        if (sweep.overExisting) {
            for (const auto &entry : expected)
                writeBytes(QDir(folder).filePath(entry.first), old(entry.first));
        }
        if (writeLimit) {
            writeLimit->set(free);
        } else {
            const qint64 available = QStorageInfo(folder).bytesAvailable();
            writeBytes(QDir(folder).filePath(fillerName), QByteArray(int(std::max<qint64>(0, available - free)), 'f'));
        }

        const ActionReport report =
            runAction(*b, [&] { runSave(*b, sweep.kind, QDir(folder).filePath(QStringLiteral("run"))); });

        std::map<QString, QByteArray> after = folderFiles(folder);
        after.erase(fillerName);
        const bool performed = report.errors.isEmpty();
        for (const auto &[name, bytes] : after) {
            SCOPED_TRACE(name.toStdString());
            ASSERT_FALSE(name.startsWith('.')) << "a staging file was left";
            const auto reference = expected.find(referenceName(name));
            ASSERT_NE(reference, expected.end()) << "a file no save writes";
            const bool isOld = sweep.overExisting && bytes == old(name);
            const bool isWhole = withoutDate(bytes) == reference->second;
            EXPECT_TRUE(isOld || isWhole) << "neither the old file nor a whole new one: " << bytes.size() << " bytes";
        }
        if (performed) {
            ++written;
            // The setup's message names the file with its ".sta".
            EXPECT_TRUE(!report.messages.filter(performedText(sweep.kind) + QDir(folder).filePath("run")).isEmpty())
                << report.messages.join('\n').toStdString();
            for (const auto &[name, bytes] : expected) {
                QString saved = name;
                if (sweep.overExisting && (sweep.kind == Save::RawData || name.contains("_Step")))
                    saved = QString(name).replace(QStringLiteral(".s"), QStringLiteral("(1).s"));
                ASSERT_TRUE(after.count(saved)) << saved.toStdString() << " is missing";
                EXPECT_EQ(withoutDate(after[saved]), bytes) << saved.toStdString();
            }
        } else {
            ++refused;
            for (const QString &message : report.messages)
                EXPECT_FALSE(message.startsWith(performedText(sweep.kind))) << message.toStdString();
            for (const QString &error : report.errors) {
                EXPECT_TRUE(error.contains(QStringLiteral("The disk is full: ") + folder)
                            || error.contains(QStringLiteral("No space left on device")))
                    << error.toStdString();
                EXPECT_TRUE(error.contains(QDir(folder).filePath(QStringLiteral("run"))))
                    << "the file is named: " << error.toStdString();
                EXPECT_FALSE(error.contains(QStringLiteral("Unknown error"))) << error.toStdString();
            }
        }
    }
    EXPECT_GT(written, 0) << "no free size let the save through";
    EXPECT_GT(refused, 0) << "no free size was too small";
}

std::vector<Sweep> sweeps()
{
    std::vector<Sweep> all;
    for (Space space : {Space::WriteLimit, Space::SmallFileSystem})
        for (Save kind : {Save::Setup, Save::Correction, Save::RawData, Save::TestMode})
            for (bool overExisting : {false, true})
                all.push_back({kind, overExisting, space});
    return all;
}

std::string sweepName(const ::testing::TestParamInfo<Sweep> &info)
{
    static const char *const kinds[] = {"Setup", "Correction", "RawData", "TestMode"};
    return std::string(kinds[int(info.param.kind)]) + (info.param.overExisting ? "OverExisting" : "New")
           + (info.param.space == Space::WriteLimit ? "WriteLimit" : "SmallFileSystem");
}

INSTANTIATE_TEST_SUITE_P(AllSaves, SaveSpace, ::testing::ValuesIn(sweeps()), sweepName);

} // namespace
