#include "device/touchstoneio.h"

#include "device/logging.h"
#include "device/stagedfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// The number written for every value: upper-case exponent, 11 digits after
// the point (as QString::number(v, 'E', 11) writes it).
void appendNumber(QByteArray &out, double value)
{
    if (std::isnan(value)) {
        out.append("NAN");
        return;
    }
    if (std::isinf(value)) {
        out.append(value < 0 ? "-INF" : "INF");
        return;
    }
    if (value == 0.0)
        value = 0.0; // no sign on zero
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 11);
    for (char *c = buffer; c != result.ptr; ++c) {
        if (*c == 'e')
            *c = 'E';
    }
    out.append(buffer, static_cast<int>(result.ptr - buffer));
}

// The shortest text that reads back as exactly value.
void appendShortest(QByteArray &out, double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<int>(result.ptr - buffer));
}

int separatorIndex(const QString &path)
{
    int index = path.lastIndexOf(QLatin1Char('/'));
    if (QDir::separator() != QLatin1Char('/'))
        index = std::max(index, path.lastIndexOf(QDir::separator()));
    return index;
}

} // namespace

TouchstoneIO::TouchstoneIO(QObject *parent) : QObject(parent) {}

std::optional<uint> TouchstoneIO::portCountFromSuffix(const QFileInfo &info)
{
    static const QRegularExpression suffix(QStringLiteral("^s(?<count>\\d)p$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = suffix.match(info.suffix());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(QStringLiteral("count")).toUInt();
}

std::optional<uint> TouchstoneIO::portCount(const QString &path)
{
    return portCountFromSuffix(QFileInfo(path));
}

QString TouchstoneIO::uniqueFileName(const QString &base, const QString &extension)
{
    QString name = base + extension;
    for (int k = 1; QFileInfo::exists(name); ++k)
        name = base + QLatin1Char('(') + QString::number(k) + QLatin1Char(')') + extension;
    return name;
}

std::optional<std::pair<QString, QString>> TouchstoneIO::nameParts(const QString &path,
                                                                   const TouchstoneData &data) const
{
    const auto suffixPorts = portCount(path);
    if (suffixPorts && *suffixPorts != 0) {
        if (m_overwrite)
            return std::make_pair(path, QString());
        // Split the file-name part only: a dot in a directory name is no
        // extension.
        const int dot = path.indexOf(QLatin1Char('.'), separatorIndex(path) + 1);
        if (dot < 0)
            return std::nullopt;
        return std::make_pair(path.left(dot), path.mid(dot));
    }
    if (data.portCount != 0)
        return std::make_pair(path, QStringLiteral(".s") + QString::number(data.portCount) + QLatin1Char('p'));
    return std::nullopt;
}

std::optional<QString> TouchstoneIO::filePath(const QString &path, const TouchstoneData &data) const
{
    const auto parts = nameParts(path, data);
    if (!parts)
        return std::nullopt;
    return m_overwrite ? parts->first + parts->second : uniqueFileName(parts->first, parts->second);
}

bool TouchstoneIO::write(const QString &path, const TouchstoneData &data)
{
    const std::unique_ptr<StagedFile> file = stage(path, data);
    if (!file)
        return false;
    // Without overwriting, the name is claimed when the file is put in
    // place: a file that appeared meanwhile is never replaced.
    const auto parts = nameParts(path, data);
    const bool placed = m_overwrite ? file->commit() : file->commitAsNew([&](int k) {
        return k == 0 ? parts->first + parts->second
                      : parts->first + QLatin1Char('(') + QString::number(k) + QLatin1Char(')') + parts->second;
    });
    if (!placed) {
        m_fileFailure = file->failure();
        m_errorString = m_fileFailure.systemText();
        return false;
    }
    m_writtenPath = file->committedPath();
    return true;
}

std::unique_ptr<StagedFile> TouchstoneIO::stage(const QString &path, const TouchstoneData &data)
{
    m_errorString.clear();
    m_fileFailure = FileFailure();
    m_writtenPath.clear();
    const auto name = filePath(path, data);
    if (!name || !nameParts(path, data))
        return nullptr;

    const auto suffixPorts = portCount(path);
    const uint n = suffixPorts && *suffixPorts != 0 ? *suffixPorts : data.portCount;
    if (n == 0)
        return nullptr;
    // The one option line names one finite reference impedance (0: none).
    if (!std::isfinite(data.impedance) || data.impedance < 0.0)
        return nullptr;
    // Ports at other impedances go out as a "Port Impedance" comment block
    // after every point (one value a port), as field solvers write them; a
    // reader that knows only the option line still reads valid data.
    const bool portBlocks = std::any_of(data.portImpedances.begin(), data.portImpedances.end(),
                                        [&](double z) { return z != data.impedance; });
    if (portBlocks) {
        if (data.portImpedances.size() != n)
            return nullptr;
        for (double z : data.portImpedances) {
            if (!std::isfinite(z) || !(z > 0.0))
                return nullptr;
        }
    }
    const size_t elements = static_cast<size_t>(n) * n;
    for (const TouchstonePoint &point : data.points) {
        if (point.matrix.size() != elements)
            return nullptr;
    }
    // A non-finite number would be written as "NAN" or "INF", which no
    // reader takes: the file is refused as a whole, saying where.
    for (size_t k = 0; k < data.points.size(); ++k) {
        const TouchstonePoint &point = data.points[k];
        if (!std::isfinite(point.frequency)) {
            m_errorString = tr("the frequency of point %1 is not a finite number").arg(k + 1);
            return nullptr;
        }
        // The reader takes only frequencies of at least 0 that rise from
        // point to point; nothing else is written either.
        if (point.frequency < 0.0) {
            m_errorString = tr("the frequency of point %1 is negative").arg(k + 1);
            return nullptr;
        }
        if (k > 0 && !(point.frequency > data.points[k - 1].frequency)) {
            m_errorString = tr("the frequency of point %1 does not rise above the one before it").arg(k + 1);
            return nullptr;
        }
        for (size_t i = 0; i < elements; ++i) {
            if (std::isfinite(point.matrix[i].real()) && std::isfinite(point.matrix[i].imag()))
                continue;
            const QString separator = n < 10 ? QString() : QStringLiteral(",");
            m_errorString = tr("S%1%2%3 at %4 Hz is not a finite number")
                                .arg(i / n + 1)
                                .arg(separator)
                                .arg(i % n + 1)
                                .arg(QString::number(point.frequency, 'g', 17));
            return nullptr;
        }
    }

    // Staged beside its name and put in place only once every byte is on
    // the disk and reads back as written: a failed write leaves no partial
    // file and an existing file of that name as it was.
    auto staged = std::make_unique<StagedFile>(*name, m_stagingArea);
    StagedFile &file = *staged;
    // The system's reason, for the user: a full disk, a folder that cannot
    // be written.
    const auto failed = [&]() -> std::unique_ptr<StagedFile> {
        m_fileFailure = file.failure();
        m_errorString = m_fileFailure.systemText();
        return nullptr;
    };

    QByteArray out;
    constexpr int FlushSize = 1 << 20;
    out.reserve(FlushSize + 4096);
    auto flush = [&]() {
        if (!file.append(out))
            return false;
        out.clear();
        return true;
    };

    out.append("! QUENTARO\n");
    out.append("! Date: ");
    out.append(QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy hh:mm t")).toUtf8());
    out.append('\n');
    out.append("# Hz S RI R  ");
    appendShortest(out, data.impedance);
    out.append('\n');

    auto appendElement = [&](const std::complex<double> &value) {
        appendNumber(out, value.real());
        out.append('\t');
        appendNumber(out, value.imag());
    };

    for (const TouchstonePoint &point : data.points) {
        appendNumber(out, point.frequency);
        out.append('\t');
        const auto &m = point.matrix;
        if (n == 2) {
            appendElement(m[0]);
            out.append('\t');
            appendElement(m[2]);
            out.append('\t');
            appendElement(m[1]);
            out.append('\t');
            appendElement(m[3]);
            out.append('\n');
        } else {
            for (uint row = 0; row < n; ++row) {
                if (row > 0)
                    out.append("\t\t");
                for (uint column = 0; column < n; ++column) {
                    if (column > 0)
                        out.append('\t');
                    appendElement(m[static_cast<size_t>(row) * n + column]);
                }
                out.append('\n');
            }
        }
        if (portBlocks) {
            out.append("! Port Impedance");
            for (double z : data.portImpedances) {
                out.append(' ');
                appendShortest(out, z);
                out.append(" 0");
            }
            out.append('\n');
        }
        if (out.size() >= FlushSize && !flush())
            return failed();
    }
    if (!flush() || !file.finish())
        return failed();
    return staged;
}
