#include "device/stagedfile.h"

#include "device/logging.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 ChunkSize = 1 << 20;

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

QString listName(qint64 pid)
{
    return QStringLiteral("staging-%1.list").arg(pid);
}

// ".<name>.<pid>-<random>.part": hidden, and told apart from any file of
// the user's by the pid of the program that made it.
const QRegularExpression &stagingPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^\\..*\\.(\\d+)-[0-9a-f]+\\.part$"));
    return pattern;
}

// The file name of the target, shortened so that the staging name stays
// within the usual limit of 255 bytes.
QString stagingStem(const QString &fileName)
{
    QString stem = fileName;
    while (native(stem).size() > 200)
        stem.chop(1);
    return stem;
}

bool writeAll(int fd, const char *data, qint64 size, int &code)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(std::min(size, ChunkSize)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            code = errno;
            return false;
        }
        if (n == 0) {
            code = ENOSPC;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Reads the whole file from its current position into the hash; its length,
// or -1 with code set.
qint64 readAllInto(int fd, QCryptographicHash &hash, int &code)
{
    QByteArray buffer(static_cast<int>(ChunkSize), Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), static_cast<size_t>(buffer.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            code = errno;
            return -1;
        }
        if (n == 0)
            return total;
        hash.addData(buffer.constData(), static_cast<int>(n));
        total += n;
    }
}

std::optional<qint64> regularFileSize(const QString &path)
{
    struct stat info = {};
    if (::stat(native(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<qint64>(info.st_size);
}

// Removes the staging files a list names, for the program of that pid;
// only names that program made are touched.
QStringList removeListed(int fd, qint64 pid)
{
    QStringList removed;
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return removed;
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        content.append(buffer, static_cast<int>(n));
    }
    // A line cut by a kill while it was written ends without a line feed
    // and names no file that was ever made.
    const int end = content.lastIndexOf('\n');
    const QList<QByteArray> lines = end < 0 ? QList<QByteArray>() : content.left(end).split('\n');
    for (const QByteArray &line : lines) {
        const QString path = QFile::decodeName(QByteArray::fromPercentEncoding(line));
        const QRegularExpressionMatch match = stagingPattern().match(QFileInfo(path).fileName());
        if (!match.hasMatch() || match.captured(1).toLongLong() != pid)
            continue;
        if (::unlink(native(path).constData()) == 0)
            removed << path;
    }
    return removed;
}

// Renames from to to unless to exists (then EEXIST); the error code, 0 on
// success.
int claimName(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // A file system that cannot rename without replacing: a second link
    // claims the name, or fails when it is taken.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return errno;
    // Nor links: the last resort looks first.
    struct stat info = {};
    if (::lstat(to.constData(), &info) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

// ---------------------------------------------------------------- failure

QString FileFailure::systemText() const
{
    return code == 0 ? QString() : qt_error_string(code);
}

// ---------------------------------------------------------------- limit

qint64 WriteLimit::left() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_left;
}

void WriteLimit::set(qint64 bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_left = bytes;
}

qint64 WriteLimit::take(qint64 size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const qint64 granted = std::clamp<qint64>(m_left, 0, size);
    m_left -= granted;
    return granted;
}

void WriteLimit::giveBack(qint64 size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_left += size;
}

// ---------------------------------------------------------------- area

StagingArea::StagingArea(const QString &folder, std::shared_ptr<WriteLimit> limit)
    : m_folder(folder),
      m_limit(std::move(limit))
{}

StagingArea::~StagingArea()
{
    if (m_fd < 0)
        return;
    if (m_inFlight == 0)
        ::unlink(native(QDir(m_folder).filePath(listName(QCoreApplication::applicationPid()))).constData());
    ::close(m_fd);
}

bool StagingArea::record(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0) {
        if (!QDir().mkpath(m_folder))
            return false;
        const qint64 pid = QCoreApplication::applicationPid();
        const QByteArray list = native(QDir(m_folder).filePath(listName(pid)));
        const int fd = ::open(list.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        // A list of an earlier program that had this pid.
        removeListed(fd, pid);
        if (::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return false;
        }
        m_fd = fd;
    }
    const QByteArray line = QFile::encodeName(path).toPercentEncoding() + '\n';
    int code = 0;
    if (!writeAll(m_fd, line.constData(), line.size(), code))
        return false;
    ++m_inFlight;
    return true;
}

void StagingArea::release()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_inFlight > 0 && --m_inFlight == 0 && m_fd >= 0) {
        // Nothing in flight: the list starts over.
        [[maybe_unused]] const int truncated = ::ftruncate(m_fd, 0);
    }
}

QStringList StagingArea::removeLeftovers(const QString &folder)
{
    QStringList removed;
    static const QRegularExpression listPattern(QStringLiteral("^staging-(\\d+)\\.list$"));
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("staging-*.list")}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = listPattern.match(name);
        if (!match.hasMatch())
            continue;
        const QByteArray path = native(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Held by a program that runs (this one included): its files are
        // its own business.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        removed += removeListed(fd, match.captured(1).toLongLong());
        ::unlink(path.constData());
        ::close(fd);
    }
    for (const QString &file : removed)
        qCInfo(lcDevice).noquote() << "Removed the staging file an interrupted save left:" << file;
    return removed;
}

// ---------------------------------------------------------------- file

StagedFile::StagedFile(const QString &target, StagingArea *area) : m_target(target), m_area(area) {}

StagedFile::~StagedFile()
{
    discard();
}

bool StagedFile::fail(FileFailure::Stage stage, int code, const QString &path)
{
    m_failure.stage = stage;
    m_failure.code = code;
    m_failure.path = path.isEmpty() ? m_target : path;
    discard();
    return false;
}

bool StagedFile::create()
{
    if (m_exists)
        return true;
    if (m_failure.failed() || !m_committed.isEmpty())
        return false;
    const QFileInfo target(m_target);
    if (target.fileName().isEmpty())
        return fail(FileFailure::Stage::Create, EISDIR);
    const QString stem = QStringLiteral(".") + stagingStem(target.fileName()) + QLatin1Char('.')
                         + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-');
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            stem + QString::number(QRandomGenerator::global()->generate(), 16) + QStringLiteral(".part");
        m_staging = QDir(target.absolutePath()).filePath(name);
        // Listed before it exists: a kill between the two leaves a list
        // entry without a file, never a file without an entry.
        m_recorded = m_area && m_area->record(m_staging);
        if (m_area && !m_recorded)
            qCWarning(lcDevice).noquote() << "The staging list cannot be written; a kill now would leave" << m_staging;
        const int fd = ::open(native(m_staging).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_exists = true;
            return true;
        }
        const int code = errno;
        if (m_recorded) {
            m_area->release();
            m_recorded = false;
        }
        if (code != EEXIST) {
            m_staging.clear();
            return fail(FileFailure::Stage::Create, code);
        }
    }
    m_staging.clear();
    return fail(FileFailure::Stage::Create, EEXIST);
}

bool StagedFile::openForAppend()
{
    if (m_fd >= 0)
        return true;
    if (!create())
        return false;
    const int fd = ::open(native(m_staging).constData(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return fail(FileFailure::Stage::Write, errno);
    m_fd = fd;
    // What another program wrote in the staging file's place is part of the
    // file and checked with the rest.
    int code = 0;
    const qint64 existing = readAllInto(m_fd, m_hash, code);
    if (existing < 0)
        return fail(FileFailure::Stage::Write, code);
    m_size = existing;
    return true;
}

bool StagedFile::append(const char *data, qint64 size)
{
    if (!openForAppend())
        return false;
    qint64 granted = size;
    if (WriteLimit *limit = m_area ? m_area->writeLimit() : nullptr) {
        granted = limit->take(size);
        m_taken += granted;
    }
    int code = 0;
    if (!writeAll(m_fd, data, granted, code))
        return fail(FileFailure::Stage::Write, code);
    if (granted < size)
        return fail(FileFailure::Stage::Write, ENOSPC);
    for (qint64 done = 0; done < size; done += ChunkSize)
        m_hash.addData(data + done, static_cast<int>(std::min(ChunkSize, size - done)));
    m_size += size;
    return true;
}

bool StagedFile::finish()
{
    if (m_finished)
        return true;
    if (!openForAppend())
        return false;
    if (::fsync(m_fd) != 0)
        return fail(FileFailure::Stage::Sync, errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fail(FileFailure::Stage::Sync, errno);

    const int check = ::open(native(m_staging).constData(), O_RDONLY | O_CLOEXEC);
    if (check < 0)
        return fail(FileFailure::Stage::Verify, errno);
    QCryptographicHash read(QCryptographicHash::Sha1);
    int code = 0;
    const qint64 size = readAllInto(check, read, code);
    ::close(check);
    if (size < 0)
        return fail(FileFailure::Stage::Verify, code);
    if (size != m_size || read.result() != m_hash.result())
        return fail(FileFailure::Stage::Verify, 0);
    m_finished = true;
    return true;
}

bool StagedFile::commit()
{
    return finish() && placeReplacing();
}

bool StagedFile::commitAsNew(const std::function<QString(int)> &name)
{
    return finish() && placeAsNew(name);
}

bool StagedFile::placeReplacing()
{
    const std::optional<qint64> replaced = regularFileSize(m_target);
    if (::rename(native(m_staging).constData(), native(m_target).constData()) != 0)
        return fail(FileFailure::Stage::Place, errno);
    m_exists = false;
    m_committed = m_target;
    if (m_recorded) {
        m_area->release();
        m_recorded = false;
    }
    if (replaced)
        if (WriteLimit *limit = m_area ? m_area->writeLimit() : nullptr)
            limit->giveBack(*replaced);
    syncFolder();
    return true;
}

bool StagedFile::placeAsNew(const std::function<QString(int)> &name)
{
    const QByteArray from = native(m_staging);
    constexpr int MaxNames = 100000;
    for (int k = 0; k < MaxNames; ++k) {
        const QString candidate = name(k);
        if (candidate.isEmpty())
            break;
        const QByteArray to = native(candidate);
        const int code = claimName(from, to);
        if (code == EEXIST)
            continue;
        if (code != 0)
            return fail(FileFailure::Stage::Place, code, candidate);
        m_exists = false;
        m_committed = candidate;
        if (m_recorded) {
            m_area->release();
            m_recorded = false;
        }
        syncFolder();
        return true;
    }
    return fail(FileFailure::Stage::Place, EEXIST, name(0));
}

void StagedFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_exists) {
        ::unlink(native(m_staging).constData());
        m_exists = false;
        if (m_taken > 0)
            if (WriteLimit *limit = m_area ? m_area->writeLimit() : nullptr)
                limit->giveBack(m_taken);
        m_taken = 0;
    }
    if (m_recorded) {
        m_area->release();
        m_recorded = false;
    }
}

void StagedFile::syncFolder() const
{
    const QString folder = QFileInfo(m_committed).absolutePath();
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
