#include "device/stagedfile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <memory>

#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Every name in the folder, hidden ones included.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class Staged : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

TEST_F(Staged, AFileIsPutInPlaceOnlyWholeAndNothingElseStays)
{
    writeFile(path("model.s2p"), "old\n");
    StagedFile file(path("model.s2p"));
    ASSERT_TRUE(file.append(QByteArray("first ")));
    ASSERT_TRUE(file.append(QByteArray(3 << 20, 'x'))); // more than one chunk
    // Until it is committed, the old file is what the name holds.
    EXPECT_EQ(readAll(path("model.s2p")), QByteArray("old\n"));
    EXPECT_TRUE(QFile::exists(file.stagingPath()));
    EXPECT_TRUE(QFileInfo(file.stagingPath()).fileName().startsWith(QStringLiteral(".model.s2p.")));
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(file.committedPath(), path("model.s2p"));
    EXPECT_EQ(readAll(path("model.s2p")), QByteArray("first ") + QByteArray(3 << 20, 'x'));
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("model.s2p")});
}

// Without replacing: the first free name is claimed, folders count as taken,
// and nothing that exists is touched.
TEST_F(Staged, ANewFileNeverReplacesWhatIsThere)
{
    writeFile(path("raw.s2p"), "kept\n");
    ASSERT_TRUE(QDir().mkpath(path("raw(1).s2p")));
    const auto name = [&](int k) { return k == 0 ? path("raw.s2p") : path(QStringLiteral("raw(%1).s2p").arg(k)); };
    StagedFile file(name(0));
    ASSERT_TRUE(file.append(QByteArray("new\n")));
    ASSERT_TRUE(file.commitAsNew(name));
    EXPECT_EQ(file.committedPath(), path("raw(2).s2p"));
    EXPECT_EQ(readAll(path("raw(2).s2p")), QByteArray("new\n"));
    EXPECT_EQ(readAll(path("raw.s2p")), QByteArray("kept\n"));
    EXPECT_EQ(entries(dir.path()),
              (QStringList{QStringLiteral("raw(1).s2p"), QStringLiteral("raw(2).s2p"), QStringLiteral("raw.s2p")}));
}

// Each failure names its stage and the system's code, leaves the old file as
// it was and removes the staging file.
TEST_F(Staged, EveryFailureKeepsTheOldFileAndLeavesNoStagingFile)
{
    writeFile(path("kept.s2p"), "kept\n");
    ASSERT_TRUE(QDir().mkpath(path("folder.s2p")));
    auto limit = std::make_shared<WriteLimit>(10);
    StagingArea limited(path("tmp"), limit);

    struct Case
    {
        const char *what;
        QString target;
        StagingArea *area;
        FileFailure::Stage stage;
        int code;
    };
    const Case cases[] = {
        {"missing folder", path("missing/file.s2p"), nullptr, FileFailure::Stage::Create, ENOENT},
        {"a folder of that name", path("folder.s2p"), nullptr, FileFailure::Stage::Place, EISDIR},
        {"no space left", path("kept.s2p"), &limited, FileFailure::Stage::Write, ENOSPC},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        StagedFile file(c.target, c.area);
        const bool written = file.append(QByteArray(100, 'n')) && file.commit();
        EXPECT_FALSE(written);
        EXPECT_EQ(file.failure().stage, c.stage);
        EXPECT_EQ(file.failure().code, c.code) << file.failure().systemText().toStdString();
        EXPECT_EQ(file.failure().path, c.target) << "the user's name, not the staging file's";
        EXPECT_FALSE(file.failure().systemText().isEmpty());
        EXPECT_TRUE(file.committedPath().isEmpty());
    }
    EXPECT_EQ(readAll(path("kept.s2p")), QByteArray("kept\n"));
    EXPECT_TRUE(QFileInfo(path("folder.s2p")).isDir());
    EXPECT_EQ(entries(dir.path()),
              (QStringList{QStringLiteral("folder.s2p"), QStringLiteral("kept.s2p"), QStringLiteral("tmp")}));
    EXPECT_EQ(limit->left(), 10) << "the removed staging file gave its bytes back";
}

// The limit stands for the disk: a replaced file's bytes come back, a new
// file keeps what it took.
TEST_F(Staged, TheWriteLimitCountsWhatStaysOnTheDisk)
{
    auto limit = std::make_shared<WriteLimit>(1000);
    StagingArea area(path("tmp"), limit);
    writeFile(path("a.txt"), QByteArray(300, 'o'));
    {
        StagedFile file(path("a.txt"), &area);
        ASSERT_TRUE(file.append(QByteArray(400, 'a')));
        EXPECT_EQ(limit->left(), 600);
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(limit->left(), 900) << "the 300 bytes of the replaced file are free again";
    {
        StagedFile file(path("b.txt"), &area);
        ASSERT_TRUE(file.append(QByteArray(900, 'b')));
        ASSERT_TRUE(file.commit());
    }
    EXPECT_EQ(limit->left(), 0);
    StagedFile full(path("c.txt"), &area);
    EXPECT_FALSE(full.append(QByteArray(1, 'c')));
    EXPECT_EQ(full.failure().code, ENOSPC);
    EXPECT_FALSE(QFile::exists(path("c.txt")));
}

// A file that reads back otherwise than it was written (here: something else
// wrote to it meanwhile) is never put in place.
TEST_F(Staged, AFileThatReadsBackOtherwiseIsRefused)
{
    writeFile(path("setup.sta"), "good\n");
    StagedFile file(path("setup.sta"));
    ASSERT_TRUE(file.append(QByteArray("sections\n")));
    {
        QFile other(file.stagingPath());
        ASSERT_TRUE(other.open(QIODevice::ReadWrite));
        ASSERT_TRUE(other.resize(4));
    }
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(file.failure().stage, FileFailure::Stage::Verify);
    EXPECT_EQ(file.failure().code, 0);
    EXPECT_EQ(readAll(path("setup.sta")), QByteArray("good\n"));
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("setup.sta")});
}

// Another program may write the staging file first (the analyser its state):
// its bytes are kept, checked and put in place with the appended ones.
TEST_F(Staged, WhatAnotherProgramWroteFirstIsKeptAndChecked)
{
    StagedFile file(path("setup.sta"));
    ASSERT_TRUE(file.create());
    // As the analyser does it: a file of its own renamed over the staging file.
    writeFile(path("analyser.tmp"), "[SIM\\Analyser]\nPoints=201\n");
    ASSERT_EQ(::rename(QFile::encodeName(path("analyser.tmp")).constData(),
                       QFile::encodeName(file.stagingPath()).constData()),
              0);
    ASSERT_TRUE(file.append(QByteArray("\n[VUK\\Settings]\n")));
    EXPECT_EQ(file.size(), 42);
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(readAll(path("setup.sta")), QByteArray("[SIM\\Analyser]\nPoints=201\n\n[VUK\\Settings]\n"));
}

// The staging list names the files in flight; a start removes what a list of
// a program that no longer runs names, and nothing of a running program's or
// of the user's.
TEST_F(Staged, LeftoversOfADeadProgramGoAndNothingElse)
{
    const QString tmp = path("tmp");
    ASSERT_TRUE(QDir().mkpath(tmp));

    // A dead program (pid 999999999) left two staging files and a user file
    // that its list names but that is not one of its staging names.
    const QString deadA = path(".fix1.s2p.999999999-1a2b.part");
    const QString deadB = path(".setup.sta.999999999-ff.part");
    const QString user = path("fix1.s2p");
    const QString otherPid = path(".fix4.s2p.12345-1.part");
    for (const QString &file : {deadA, deadB, user, otherPid})
        writeFile(file, "x");
    QByteArray list;
    for (const QString &file : {deadA, user, otherPid, deadB})
        list += QFile::encodeName(file).toPercentEncoding() + '\n';
    list += QFile::encodeName(path(".cut.999999999-1.part")).toPercentEncoding(); // cut by the kill
    writeFile(QDir(tmp).filePath("staging-999999999.list"), list);
    writeFile(path(".cut.999999999-1.part"), "x");

    // This program has a file in flight.
    StagingArea area(tmp);
    StagedFile running(path("live.s2p"), &area);
    ASSERT_TRUE(running.append(QByteArray("live")));
    const QString ownList =
        QDir(tmp).filePath(QStringLiteral("staging-%1.list").arg(QCoreApplication::applicationPid()));
    EXPECT_TRUE(readAll(ownList).contains(QFile::encodeName(running.stagingPath()).toPercentEncoding()));

    const QStringList removed = StagingArea::removeLeftovers(tmp);
    EXPECT_EQ(removed, (QStringList{deadA, deadB}));
    EXPECT_FALSE(QFile::exists(deadA));
    EXPECT_FALSE(QFile::exists(deadB));
    EXPECT_TRUE(QFile::exists(user));
    EXPECT_TRUE(QFile::exists(otherPid)) << "another program's name";
    EXPECT_TRUE(QFile::exists(path(".cut.999999999-1.part"))) << "a line cut short names nothing";
    EXPECT_FALSE(QFile::exists(QDir(tmp).filePath("staging-999999999.list")));
    EXPECT_TRUE(QFile::exists(running.stagingPath())) << "a running program's file";
    EXPECT_TRUE(QFile::exists(ownList));

    ASSERT_TRUE(running.commit());
    EXPECT_EQ(readAll(ownList), QByteArray()) << "nothing in flight, nothing listed";
}

// A real read-only file system (needs the right to mount; as root the
// permission bits of a folder stop nothing).
TEST_F(Staged, AReadOnlyFolderIsNamedByItsCode)
{
    const QString folder = path("ro");
    ASSERT_TRUE(QDir().mkpath(folder));
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_RDONLY, "size=64k") != 0)
        GTEST_SKIP() << "no right to mount a small file system (needs root)";
    StagedFile file(QDir(folder).filePath("fix1.s2p"));
    EXPECT_FALSE(file.append(QByteArray("x")));
    EXPECT_EQ(file.failure().stage, FileFailure::Stage::Create);
    EXPECT_EQ(file.failure().code, EROFS);
    ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
}

} // namespace
