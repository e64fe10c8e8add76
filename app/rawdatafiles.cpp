#include "app/rawdatafiles.h"

#include "algorithms/vectorhelpers.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <cerrno>

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
    m_failure = FileFailure();
    if (base.isEmpty() || m_extension.isEmpty() || m_suffix.isEmpty() || m_columns.empty())
        return false;
    const size_t rows = m_columns.front().size();
    for (const auto &column : m_columns)
        if (column.size() != rows)
            return false;
    const QString name = fileName(base);
    if (!m_overwrite && QFile::exists(name))
        return false;
    QByteArray text;
    {
        QTextStream out(&text, QIODevice::WriteOnly);
        out << m_header << '\n';
        out << "! QUENTARO\n";
        out << "! Date: " << QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy hh:mm")) << '\n';
        out << m_title << '\n';
        for (size_t i = 0; i < rows; ++i) {
            for (const auto &column : m_columns)
                out << column[i] << '\t';
            out << '\n';
        }
    }
    // Replaced only by a complete file: a full disk leaves the old one.
    StagedFile file(name, m_stagingArea);
    const bool written =
        file.append(text)
        && (m_overwrite ? file.commit() : file.commitAsNew([&](int k) { return k == 0 ? name : QString(); }));
    if (!written)
        m_failure = file.failure();
    return written;
}

namespace {

// A key or group name as QSettings writes it: letters, digits, "_", "-"
// and "." as they are, "/" as "\\", anything else as %XX or %UXXXX.
void appendIniKey(QByteArray &out, const QString &key)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const QChar c : key) {
        const uint ch = c.unicode();
        if (ch == '/') {
            out += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_'
                   || ch == '-' || ch == '.') {
            out += static_cast<char>(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += hex[ch / 16];
            out += hex[ch % 16];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(ch >> shift) & 0xF];
        }
    }
}

bool isHexDigit(uint ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

// A value as QSettings writes it without a text codec: control and
// non-ASCII characters as \x escapes, quotes and backslashes escaped, the
// whole quoted when it holds ";", "," or "=" or starts or ends with a blank.
void appendIniValue(QByteArray &out, const QString &text)
{
    QByteArray value;
    bool quoted = false;
    bool escapeNextIfDigit = false;
    for (const QChar c : text) {
        const uint ch = c.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            quoted = true;
        if (escapeNextIfDigit && isHexDigit(ch)) {
            value += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0':
            value += "\\0";
            escapeNextIfDigit = true;
            break;
        case '\a':
            value += "\\a";
            break;
        case '\b':
            value += "\\b";
            break;
        case '\f':
            value += "\\f";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\r':
            value += "\\r";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\v':
            value += "\\v";
            break;
        case '"':
        case '\\':
            value += '\\';
            value += static_cast<char>(ch);
            break;
        default:
            if (ch <= 0x1F || ch >= 0x7F) {
                value += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else {
                value += static_cast<char>(ch);
            }
        }
    }
    if (quoted || value.startsWith(' ') || value.endsWith(' '))
        value = '"' + value + '"';
    out += value;
}

// The text QSettings gives a plain value; "@" starts its own notations.
QString iniValueText(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("@Invalid()");
    const QString text = value.toString();
    return text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text;
}

} // namespace

QByteArray iniFileText(const QString &group, const QList<QPair<QString, QVariant>> &values)
{
    QByteArray out = "[";
    appendIniKey(out, group);
    out += "]\n";
    for (const auto &[key, value] : values) {
        appendIniKey(out, key);
        out += '=';
        appendIniValue(out, iniValueText(value));
        out += '\n';
    }
    return out;
}

QString fileFailureCause(const FileFailure &failure)
{
    const QString file = QDir::toNativeSeparators(failure.path);
    const QString folder = QDir::toNativeSeparators(QFileInfo(failure.path).absolutePath());
    if (failure.stage == FileFailure::Stage::Verify && failure.code == 0)
        return QCoreApplication::translate("SaveFailure", "The file read back differs from what was written: %1")
            .arg(file);
    switch (failure.code) {
    case ENOSPC:
    case EDQUOT:
        return QCoreApplication::translate("SaveFailure", "The disk is full: %1").arg(file);
    case EFBIG:
        return QCoreApplication::translate("SaveFailure", "The file is too large for the disk: %1").arg(file);
    case EROFS:
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("SaveFailure", "The folder is not writable: %1").arg(folder);
    case ENOENT:
    case ENOTDIR:
        return QCoreApplication::translate("SaveFailure", "The folder does not exist: %1").arg(folder);
    case EISDIR:
        return QCoreApplication::translate("SaveFailure", "A folder of that name exists: %1").arg(file);
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        return QCoreApplication::translate("SaveFailure", "Path name contains invalid symbols: %1").arg(file);
    default:
        return QStringLiteral("%1: %2").arg(failure.systemText(), file);
    }
}

QString writeFailureCause(const FileFailure &failure)
{
    return QCoreApplication::translate("SaveFailure", "File cannot be created. %1").arg(fileFailureCause(failure));
}

QString touchstoneFailureCause(const QString &path, const TouchstoneIO &writer)
{
    if (writer.fileFailure().failed())
        return writeFailureCause(writer.fileFailure());
    // The data were refused before anything was written.
    if (!writer.errorString().isEmpty())
        return QCoreApplication::translate("SaveFailure", "File cannot be created (%1): %2")
            .arg(writer.errorString(), QDir::toNativeSeparators(path));
    return QObject::tr("File cannot be created. Path name contains invalid symbols") + QStringLiteral(": ")
           + QDir::toNativeSeparators(path);
}
