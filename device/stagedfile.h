#pragma once
// Files that are either written whole or not at all.
//
// A save writes into a hidden staging file beside its target, flushes it to
// the disk, reads it back and compares it with what was written, and only
// then renames it over the target (or, when nothing may be replaced, to the
// first free name). A failure on the way removes the staging file and leaves
// the target as it was. While a staging file exists its path is listed in
// the running program's staging list (in the temporary folder), so that a
// program killed in the middle of a save leaves nothing that the next start
// does not remove.

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>

// Why a file operation failed: what was being done, to which file, and the
// system's error code (errno; 0 when a check found the fault, e.g. a file
// that reads back otherwise than it was written).
struct FileFailure
{
    enum class Stage {
        None,
        Create, // the staging file could not be made beside the target
        Write, // the bytes did not all go out
        Sync, // flushing to the disk or closing failed
        Verify, // the file read back differs from what was written
        Place, // the file could not be renamed to its name
    };
    Stage stage = Stage::None;
    int code = 0;
    // The file the user asked for (never the hidden staging file).
    QString path;

    bool failed() const { return stage != Stage::None; }
    // The system's text for code; empty for code 0.
    QString systemText() const;
};

// The free space the program's saves may still take: a test sets it to
// stand for a nearly full disk. Every byte written to a staging file takes
// from it; a removed staging file, and a file that a save replaced, give
// their bytes back.
class WriteLimit
{
public:
    explicit WriteLimit(qint64 bytes) : m_left(bytes) {}
    qint64 left() const;
    void set(qint64 bytes);
    // Up to size bytes; how many were granted.
    qint64 take(qint64 size);
    void giveBack(qint64 size);

private:
    mutable std::mutex m_mutex;
    qint64 m_left;
};

// The staging list of this running program: a file "staging-<pid>.list" in
// the given folder that names every staging file while it exists, locked
// while the program runs. One per program (the backend owns it).
class StagingArea
{
public:
    explicit StagingArea(const QString &folder, std::shared_ptr<WriteLimit> limit = {});
    ~StagingArea();
    StagingArea(const StagingArea &) = delete;
    StagingArea &operator=(const StagingArea &) = delete;

    QString folder() const { return m_folder; }
    WriteLimit *writeLimit() const { return m_limit.get(); }
    void setWriteLimit(std::shared_ptr<WriteLimit> limit) { m_limit = std::move(limit); }

    // Removes the staging files that the lists in folder name, for every
    // list whose program no longer runs (its lock is free), and those lists.
    // Returns the files removed.
    static QStringList removeLeftovers(const QString &folder);

private:
    friend class StagedFile;
    // Lists path before its file is made; false when the list cannot be
    // written (the save goes on: only a kill would then leave the file).
    bool record(const QString &path);
    // The file at path is gone (removed or renamed into place).
    void release();

    QString m_folder;
    std::shared_ptr<WriteLimit> m_limit;
    std::mutex m_mutex;
    int m_fd = -1;
    int m_inFlight = 0;
};

class StagedFile
{
public:
    // area may be null: no list and no write limit.
    explicit StagedFile(const QString &target, StagingArea *area = nullptr);
    // Removes the staging file unless it was put in place.
    ~StagedFile();
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    QString target() const { return m_target; }
    QString stagingPath() const { return m_staging; }

    // Makes the empty staging file beside the target (a name no other file
    // has). Another program may write it in its place before append(); what
    // it wrote is then kept and checked like the appended bytes.
    bool create();
    // Appends to the staging file, created first when create() was not
    // called.
    bool append(const char *data, qint64 size);
    bool append(const QByteArray &bytes) { return append(bytes.constData(), bytes.size()); }
    // Flushes to the disk, closes, reads the file back and compares it with
    // what was written; the file then waits to be put in place.
    bool finish();
    // finish(), then renames over the target. Every failure removes the
    // staging file.
    bool commit();
    // The same, but no existing file (or folder) is replaced: the name is
    // the first of name(0), name(1), ... that is free (an empty name ends
    // the search).
    bool commitAsNew(const std::function<QString(int)> &name);
    // The name the file was put in place under; empty before.
    QString committedPath() const { return m_committed; }
    // Removes the staging file now.
    void discard();

    const FileFailure &failure() const { return m_failure; }
    // How many bytes the file holds (those another program wrote included).
    qint64 size() const { return m_size; }

private:
    bool fail(FileFailure::Stage stage, int code, const QString &path = QString());
    bool openForAppend();
    bool placeReplacing();
    bool placeAsNew(const std::function<QString(int)> &name);
    void syncFolder() const;

    QString m_target;
    QString m_staging;
    StagingArea *m_area = nullptr;
    int m_fd = -1;
    bool m_exists = false; // the staging file is on disk
    bool m_recorded = false;
    bool m_finished = false;
    qint64 m_size = 0;
    qint64 m_taken = 0; // bytes taken from the write limit
    QCryptographicHash m_hash{QCryptographicHash::Sha1};
    QString m_committed;
    FileFailure m_failure;
};
