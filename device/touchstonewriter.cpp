// Writing of Touchstone files: the data are checked first (nothing is
// written that the reader would refuse), then written in the one layout of
// the writer into a staging file that is put in place only when complete.
#include "device/touchstoneio.h"

#include "device/stagedfile.h"

#include <QDateTime>

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

// Ports at other impedances go out as a "Port Impedance" comment block
// after every point (one value a port), as field solvers write them; a
// reader that knows only the option line still reads valid data.
bool hasPortBlocks(const TouchstoneData &data)
{
    return std::any_of(data.portImpedances.begin(), data.portImpedances.end(),
                       [&](double z) { return z != data.impedance; });
}

// The shape of the data fits an N-port file: N ports, one finite reference
// impedance (0: none) on the option line, valid per-port impedances where
// they differ, N x N values at every point. A misfit is the caller's fault
// and is refused without a text.
bool fitsPortCount(const TouchstoneData &data, uint n)
{
    if (n == 0)
        return false;
    if (!std::isfinite(data.impedance) || data.impedance < 0.0)
        return false;
    if (hasPortBlocks(data)) {
        if (data.portImpedances.size() != n)
            return false;
        for (double z : data.portImpedances) {
            if (!std::isfinite(z) || !(z > 0.0))
                return false;
        }
    }
    const size_t elements = static_cast<size_t>(n) * n;
    return std::all_of(data.points.begin(), data.points.end(),
                       [&](const TouchstonePoint &point) { return point.matrix.size() == elements; });
}

// The first number the reader would refuse, saying where; empty when there
// is none. A non-finite number would be written as "NAN" or "INF", which no
// reader takes, and the reader takes only frequencies of at least 0 that
// rise from point to point: the file is refused as a whole.
QString numberFault(const TouchstoneData &data, uint n)
{
    const size_t elements = static_cast<size_t>(n) * n;
    for (size_t k = 0; k < data.points.size(); ++k) {
        const TouchstonePoint &point = data.points[k];
        if (!std::isfinite(point.frequency))
            return TouchstoneIO::tr("the frequency of point %1 is not a finite number").arg(k + 1);
        if (point.frequency < 0.0)
            return TouchstoneIO::tr("the frequency of point %1 is negative").arg(k + 1);
        if (k > 0 && !(point.frequency > data.points[k - 1].frequency))
            return TouchstoneIO::tr("the frequency of point %1 does not rise above the one before it").arg(k + 1);
        for (size_t i = 0; i < elements; ++i) {
            if (std::isfinite(point.matrix[i].real()) && std::isfinite(point.matrix[i].imag()))
                continue;
            const QString separator = n < 10 ? QString() : QStringLiteral(",");
            return TouchstoneIO::tr("S%1%2%3 at %4 Hz is not a finite number")
                .arg(i / n + 1)
                .arg(separator)
                .arg(i % n + 1)
                .arg(QString::number(point.frequency, 'g', 17));
        }
    }
    return {};
}

void appendHeader(QByteArray &out, double impedance)
{
    out.append("! QUENTARO\n");
    out.append("! Date: ");
    out.append(QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy hh:mm t")).toUtf8());
    out.append('\n');
    out.append("# Hz S RI R  ");
    appendShortest(out, impedance);
    out.append('\n');
}

void appendElement(QByteArray &out, const std::complex<double> &value)
{
    appendNumber(out, value.real());
    out.append('\t');
    appendNumber(out, value.imag());
}

// One point: two ports in the format's column order (S11 S21 S12 S22) on
// one line, any other count row by row, each row after the first on a line
// of its own that starts with two tabs; then the point's "Port Impedance"
// block when portImpedances is given.
void appendPoint(QByteArray &out, const TouchstonePoint &point, uint n, const std::vector<double> *portImpedances)
{
    appendNumber(out, point.frequency);
    out.append('\t');
    const auto &m = point.matrix;
    if (n == 2) {
        appendElement(out, m[0]);
        out.append('\t');
        appendElement(out, m[2]);
        out.append('\t');
        appendElement(out, m[1]);
        out.append('\t');
        appendElement(out, m[3]);
        out.append('\n');
    } else {
        for (uint row = 0; row < n; ++row) {
            if (row > 0)
                out.append("\t\t");
            for (uint column = 0; column < n; ++column) {
                if (column > 0)
                    out.append('\t');
                appendElement(out, m[static_cast<size_t>(row) * n + column]);
            }
            out.append('\n');
        }
    }
    if (portImpedances) {
        out.append("! Port Impedance");
        for (double z : *portImpedances) {
            out.append(' ');
            appendShortest(out, z);
            out.append(" 0");
        }
        out.append('\n');
    }
}

// The whole text into the staging file, a megabyte at a time, and the file
// finished (on the disk and read back); false when the file failed.
bool writeText(StagedFile &file, const TouchstoneData &data, uint n)
{
    QByteArray out;
    constexpr int FlushSize = 1 << 20;
    out.reserve(FlushSize + 4096);
    const auto flush = [&]() {
        if (!file.append(out))
            return false;
        out.clear();
        return true;
    };
    appendHeader(out, data.impedance);
    const std::vector<double> *portImpedances = hasPortBlocks(data) ? &data.portImpedances : nullptr;
    for (const TouchstonePoint &point : data.points) {
        appendPoint(out, point, n, portImpedances);
        if (out.size() >= FlushSize && !flush())
            return false;
    }
    return flush() && file.finish();
}

} // namespace

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
    if (!fitsPortCount(data, n))
        return nullptr;
    m_errorString = numberFault(data, n);
    if (!m_errorString.isEmpty())
        return nullptr;

    // Staged beside its name and put in place only once every byte is on
    // the disk and reads back as written: a failed write leaves no partial
    // file and an existing file of that name as it was.
    auto staged = std::make_unique<StagedFile>(*name, m_stagingArea);
    if (!writeText(*staged, data, n)) {
        // The system's reason, for the user: a full disk, a folder that
        // cannot be written.
        m_fileFailure = staged->failure();
        m_errorString = m_fileFailure.systemText();
        return nullptr;
    }
    return staged;
}
