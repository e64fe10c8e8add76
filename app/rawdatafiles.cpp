#include "app/rawdatafiles.h"

#include "algorithms/vectorhelpers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTextStream>

#include <algorithm>

namespace {

TouchstonePoint zeroPoint(double frequency, size_t n)
{
    TouchstonePoint point;
    point.frequency = frequency;
    point.size = static_cast<int64_t>(n);
    point.matrix.assign(n * n, std::complex<double>(0.0, 0.0));
    return point;
}

// One n-port point per frequency of the first record, each record placing its own entries;
// nothing when any record's frequency differs from the first record's.
template<typename Record, typename Place>
std::optional<TouchstonePoints> buildPoints(const QList<Record> &records, size_t points, size_t n, Place place)
{
    const auto &first = records.first();
    TouchstonePoints result;
    result.reserve(points);
    for (size_t i = 0; i < points; ++i) {
        const double frequency = first.frequency()[i];
        TouchstonePoint point = zeroPoint(frequency, n);
        for (const auto &record : records) {
            if (!Algorithms::fuzzyEqual(record.frequency()[i], frequency))
                return std::nullopt;
            place(point.matrix, record, i);
        }
        result.push_back(std::move(point));
    }
    return result;
}

} // namespace

std::optional<TouchstonePoints> mergeOnePortRecords(const QList<Algorithms::SParametersOnePortVNA> &records)
{
    if (records.isEmpty() || !records.first().pointsCount())
        return std::nullopt;
    const size_t points = *records.first().pointsCount();
    uint64_t largest = 0;
    for (const auto &record : records) {
        if (!record.vnaPort() || record.pointsCount() != points || !record.isValid())
            return std::nullopt;
        largest = std::max(largest, *record.vnaPort());
    }
    const size_t n = static_cast<size_t>(largest) + 1;
    return buildPoints(records, points, n, [n](auto &matrix, const auto &record, size_t i) {
        const size_t p = static_cast<size_t>(*record.vnaPort());
        matrix[p * n + p] = record.s11()[i];
    });
}

std::optional<TouchstonePoints> mergeTwoPortRecords(QList<Algorithms::SParametersTwoPortVNA> records)
{
    if (records.isEmpty() || !records.first().pointsCount())
        return std::nullopt;
    const size_t points = *records.first().pointsCount();
    uint64_t largest = 0;
    for (auto &record : records) {
        if (!record.vnaPort1() || !record.vnaPort2() || record.pointsCount() != points || !record.isValid())
            return std::nullopt;
        if (*record.vnaPort1() == *record.vnaPort2())
            return std::nullopt;
        if (*record.vnaPort2() < *record.vnaPort1()) {
            record.swapVnaPorts();
            record.swapPorts();
        }
        largest = std::max({largest, *record.vnaPort1(), *record.vnaPort2()});
    }
    const size_t n = static_cast<size_t>(largest) + 1;
    return buildPoints(records, points, n, [n](auto &matrix, const auto &record, size_t i) {
        const size_t a = static_cast<size_t>(*record.vnaPort1());
        const size_t b = static_cast<size_t>(*record.vnaPort2());
        matrix[a * n + a] = record.s11()[i];
        matrix[a * n + b] = record.s12()[i];
        matrix[b * n + a] = record.s21()[i];
        matrix[b * n + b] = record.s22()[i];
    });
}

bool ColumnFileWriter::addRealColumn(const std::vector<double> &values)
{
    if (values.empty() || !Algorithms::isFiniteVector(values))
        return false;
    m_columns.push_back(values);
    return true;
}

bool ColumnFileWriter::addComplexColumn(const std::vector<std::complex<double>> &values)
{
    if (values.empty() || !Algorithms::isFiniteComplexVector(values))
        return false;
    std::vector<double> re(values.size());
    std::vector<double> im(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        re[i] = values[i].real();
        im[i] = values[i].imag();
    }
    m_columns.push_back(std::move(re));
    m_columns.push_back(std::move(im));
    return true;
}

QString ColumnFileWriter::fileName(const QString &base) const
{
    return base + QLatin1Char('_') + m_suffix + QLatin1Char('.') + m_extension;
}

bool ColumnFileWriter::write(const QString &base) const
{
    if (base.isEmpty() || m_extension.isEmpty() || m_suffix.isEmpty() || m_columns.empty())
        return false;
    const size_t rows = m_columns.front().size();
    for (const auto &column : m_columns)
        if (column.size() != rows)
            return false;
    m_errorString.clear();
    const QString name = fileName(base);
    if (!m_overwrite && QFile::exists(name))
        return false;
    // Replaced only by a complete file: a full disk leaves the old one.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        m_errorString = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out << m_header << '\n';
    out << "! QUENTARO\n";
    out << "! Date: " << QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy hh:mm")) << '\n';
    out << m_title << '\n';
    for (size_t i = 0; i < rows; ++i) {
        for (const auto &column : m_columns)
            out << column[i] << '\t';
        out << '\n';
    }
    out.flush();
    if (out.status() == QTextStream::Ok && file.commit())
        return true;
    m_errorString = file.errorString();
    return false;
}

// Why a file at path could not be written, as far as the file system tells:
// a missing or unwritable folder, a full disk, the system's reason the
// writer got, or a name it refuses.
QString writeFailureCause(const QString &path, const QString &ioError)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return QObject::tr("File cannot be created. The folder does not exist: %1").arg(folder.absoluteFilePath());
    if (!folder.isWritable())
        return QObject::tr("File cannot be created. The folder is not writable: %1").arg(folder.absoluteFilePath());
    const QStorageInfo storage(folder.absoluteFilePath());
    // Less than a few blocks left: the write ran out of space.
    if (storage.isValid() && storage.bytesAvailable() < qint64(64) * 1024)
        return QObject::tr("File cannot be created. The disk is full: %1").arg(storage.rootPath());
    // The failed file was removed, so the space it took is free again: a
    // file larger than what was left fails here with the system's reason.
    if (!ioError.isEmpty())
        return QObject::tr("File cannot be created (%1): %2").arg(ioError, path);
    return QObject::tr("File cannot be created. Path name contains invalid symbols") + QStringLiteral(": ") + path;
}
