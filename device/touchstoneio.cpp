#include "device/touchstoneio.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr uint MaxReadPorts = 16;
// Frequency, minimum noise figure, reflection magnitude and angle, resistance.
constexpr size_t NoiseValues = 5;
constexpr double Pi = 3.14159265358979323846;

// Touchstone defaults for whatever an option line does not name.
TouchstoneData defaultOptions()
{
    TouchstoneData data;
    data.frequencyUnit = TouchstoneData::GHz;
    data.parameterType = TouchstoneData::S;
    data.format = TouchstoneData::MA;
    data.impedance = 50.0;
    return data;
}

double unitFactor(int frequencyUnit)
{
    switch (frequencyUnit) {
    case TouchstoneData::GHz:
        return 1e9;
    case TouchstoneData::MHz:
        return 1e6;
    case TouchstoneData::kHz:
        return 1e3;
    default:
        return 1.0;
    }
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// A whole token as a double (C locale, whatever the process locale is).
std::optional<double> parseNumber(const char *begin, const char *end)
{
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && (*begin == '+' || *begin == '-'))
            return std::nullopt;
    }
    if (begin == end)
        return std::nullopt;
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

std::complex<double> toComplex(double a, double b, int format)
{
    switch (format) {
    case TouchstoneData::MA: {
        const double angle = b * Pi / 180.0;
        return {a * std::cos(angle), a * std::sin(angle)};
    }
    case TouchstoneData::DB: {
        const double magnitude = std::pow(10.0, a / 20.0);
        const double angle = b * Pi / 180.0;
        return {magnitude * std::cos(angle), magnitude * std::sin(angle)};
    }
    default:
        return {a, b};
    }
}

// values: the frequency, then the N x N pairs in file order.
std::optional<TouchstonePoint> pointFromValues(const std::vector<double> &values, int format,
                                               int frequencyUnit, int64_t n)
{
    const size_t count = values.size();
    if (n < 1 || count < 3 || count % 2 == 0)
        return std::nullopt;
    const size_t pairs = (count - 1) / 2;
    const auto ports = static_cast<size_t>(n);
    // The pairs must fill exactly one N x N matrix.
    if (pairs != ports * ports)
        return std::nullopt;

    TouchstonePoint point;
    point.frequency = values[0] * unitFactor(frequencyUnit);
    point.size = n;
    point.matrix.assign(pairs, std::complex<double>());
    for (size_t k = 0; k < pairs; ++k) {
        const std::complex<double> value = toComplex(values[2 * k + 1], values[2 * k + 2], format);
        // Two-port files list S11, S21, S12, S22 (column by column).
        const size_t index = ports == 2 ? (k % 2) * 2 + k / 2 : k;
        point.matrix[index] = value;
    }
    return point;
}

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
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 11);
    for (char *c = buffer; c != result.ptr; ++c) {
        if (*c == 'e')
            *c = 'E';
    }
    out.append(buffer, static_cast<int>(result.ptr - buffer));
}

QByteArray simplifiedLower(const char *begin, const char *end)
{
    return QByteArray(begin, static_cast<int>(end - begin)).simplified().toLower();
}

// Splits [begin, end) at blanks and appends each token as a number.
bool appendTokens(const char *begin, const char *end, std::vector<double> &out)
{
    const char *p = begin;
    while (p != end) {
        while (p != end && isBlank(*p))
            ++p;
        if (p == end)
            break;
        const char *tokenEnd = p;
        while (tokenEnd != end && !isBlank(*tokenEnd))
            ++tokenEnd;
        const auto value = parseNumber(p, tokenEnd);
        if (!value)
            return false;
        out.push_back(*value);
        p = tokenEnd;
    }
    return true;
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

std::optional<QString> TouchstoneIO::filePath(const QString &path, const TouchstoneData &data) const
{
    const auto suffixPorts = portCount(path);
    if (suffixPorts && *suffixPorts != 0) {
        if (m_overwrite)
            return path;
        // Split the file-name part only: a dot in a directory name is no
        // extension.
        const int dot = path.indexOf(QLatin1Char('.'), separatorIndex(path) + 1);
        if (dot < 0)
            return std::nullopt;
        return uniqueFileName(path.left(dot), path.mid(dot));
    }
    if (data.portCount != 0) {
        const QString extension = QStringLiteral(".s") + QString::number(data.portCount)
                                  + QLatin1Char('p');
        return m_overwrite ? path + extension : uniqueFileName(path, extension);
    }
    return std::nullopt;
}

bool TouchstoneIO::write(const QString &path, const TouchstoneData &data)
{
    const auto name = filePath(path, data);
    if (!name)
        return false;

    const auto suffixPorts = portCount(path);
    const uint n = suffixPorts && *suffixPorts != 0 ? *suffixPorts : data.portCount;
    if (n == 0)
        return false;
    const size_t elements = static_cast<size_t>(n) * n;
    for (const TouchstonePoint &point : data.points) {
        if (point.matrix.size() != elements)
            return false;
    }

    // Written to a temporary file and renamed into place only when every
    // byte has gone out, so a failed write leaves no partial file.
    QSaveFile file(*name);
    if (!file.open(QIODevice::WriteOnly))
        return false;

    QByteArray out;
    constexpr int FlushSize = 1 << 20;
    out.reserve(FlushSize + 4096);
    auto flush = [&]() {
        if (file.write(out) != out.size())
            return false;
        out.clear();
        return true;
    };

    out.append("! QUENTARO\n");
    out.append("! Date: ");
    out.append(QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy hh:mm t")).toUtf8());
    out.append('\n');
    out.append(QStringLiteral("# Hz S %0 R  %1\n")
                   .arg(QStringLiteral("RI"), QString::number(data.impedance, 'g', 6))
                   .toUtf8());

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
        if (out.size() >= FlushSize && !flush())
            return false;
    }
    if (!flush())
        return false;
    if (!file.commit())
        return false;

    for (int check = 0; check < 3; ++check) {
        if (check > 0)
            QThread::msleep(100);
        if (QFileInfo::exists(*name))
            return true;
    }
    return false;
}

TouchstoneData TouchstoneIO::parseOptionLine(const QString &line)
{
    TouchstoneData data = defaultOptions();
    QString text = line.trimmed();
    if (text.startsWith(QLatin1Char('#')))
        text.remove(0, 1);
    const QStringList tokens =
        text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (int i = 0; i < tokens.size(); ++i) {
        const QString token = tokens[i].toUpper();
        if (token == QLatin1String("HZ"))
            data.frequencyUnit = TouchstoneData::Hz;
        else if (token == QLatin1String("KHZ"))
            data.frequencyUnit = TouchstoneData::kHz;
        else if (token == QLatin1String("MHZ"))
            data.frequencyUnit = TouchstoneData::MHz;
        else if (token == QLatin1String("GHZ"))
            data.frequencyUnit = TouchstoneData::GHz;
        else if (token == QLatin1String("S"))
            data.parameterType = TouchstoneData::S;
        else if (token == QLatin1String("Y"))
            data.parameterType = TouchstoneData::Y;
        else if (token == QLatin1String("Z"))
            data.parameterType = TouchstoneData::Z;
        else if (token == QLatin1String("H"))
            data.parameterType = TouchstoneData::H;
        else if (token == QLatin1String("G"))
            data.parameterType = TouchstoneData::G;
        else if (token == QLatin1String("RI"))
            data.format = TouchstoneData::RI;
        else if (token == QLatin1String("MA"))
            data.format = TouchstoneData::MA;
        else if (token == QLatin1String("DB"))
            data.format = TouchstoneData::DB;
        else if (token == QLatin1String("R")) {
            if (i + 1 >= tokens.size())
                break;
            bool ok = false;
            const double value = tokens[++i].toDouble(&ok);
            if (ok && value >= 0.001 && value <= 1000.0)
                data.impedance = value;
        }
    }
    return data;
}

std::optional<TouchstonePoint> TouchstoneIO::makePoint(const QStringList &tokens, int format,
                                                       int frequencyUnit, int64_t n)
{
    std::vector<double> values;
    values.reserve(static_cast<size_t>(tokens.size()));
    for (const QString &token : tokens) {
        const QByteArray bytes = token.trimmed().toLatin1();
        const auto value = parseNumber(bytes.constData(), bytes.constData() + bytes.size());
        if (!value)
            return std::nullopt;
        values.push_back(*value);
    }
    return pointFromValues(values, format, frequencyUnit, n);
}

std::optional<TouchstoneData> TouchstoneIO::read(const QString &path)
{
    const QFileInfo info(path);
    const auto ports = portCountFromSuffix(info);
    if (!ports || *ports < 1 || *ports > MaxReadPorts)
        return std::nullopt;
    const auto n = static_cast<int64_t>(*ports);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;

    const char *p = bytes.constData();
    const char *const end = p + bytes.size();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        p += 3;

    const size_t valuesPerPoint = 2 * static_cast<size_t>(n * n) + 1;
    TouchstoneData data = defaultOptions();
    std::vector<double> pending;
    pending.reserve(valuesPerPoint);
    double lastFrequency = 0.0; // as written in the file, before the unit factor
    bool order12_21 = false;
    // Port reference impedances of a [Reference] keyword, possibly spread
    // over several lines.
    size_t referencesWanted = 0;
    std::vector<double> references;
    std::optional<double> referenceImpedance;
    // False when the references are complete but unusable: the data holds
    // one reference impedance for all ports.
    auto takeReferences = [&]() {
        if (references.size() < referencesWanted)
            return true;
        referencesWanted = 0;
        for (double reference : references) {
            if (reference != references.front())
                return false;
        }
        if (!(references.front() > 0.0) || !std::isfinite(references.front()))
            return false;
        referenceImpedance = references.front();
        return true;
    };

    while (p < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', end - p));
        if (!lineEnd)
            lineEnd = end;
        const char *b = p;
        const char *e = lineEnd;
        p = lineEnd < end ? lineEnd + 1 : end;

        if (const void *comment = std::memchr(b, '!', e - b))
            e = static_cast<const char *>(comment);
        while (b != e && isBlank(*b))
            ++b;
        while (e != b && isBlank(*(e - 1)))
            --e;
        if (b == e)
            continue;

        const auto *open = static_cast<const char *>(std::memchr(b, '[', e - b));
        const auto *close = open ? static_cast<const char *>(std::memchr(open, ']', e - open))
                                 : nullptr;
        if (open && close) {
            const QByteArray keyword = simplifiedLower(open + 1, close);
            const QByteArray value = simplifiedLower(close + 1, e);
            if (keyword == "noise data" || keyword == "end")
                break;
            if (keyword == "two-port data order") {
                if (value == "12_21")
                    order12_21 = true;
                else if (value == "21_12")
                    order12_21 = false;
                else
                    return std::nullopt;
            } else if (keyword == "matrix format") {
                // Only full matrices are read; a triangle would leave
                // elements out.
                if (value != "full")
                    return std::nullopt;
            } else if (keyword == "mixed-mode order") {
                // Mixed-mode parameters are no single-ended S-parameters.
                return std::nullopt;
            } else if (keyword == "reference") {
                referencesWanted = static_cast<size_t>(n);
                references.clear();
                if (!appendTokens(close + 1, e, references) || references.size() > referencesWanted
                    || !takeReferences())
                    return std::nullopt;
            }
            continue;
        }

        if (referencesWanted > 0) {
            if (!appendTokens(b, e, references) || references.size() > referencesWanted
                || !takeReferences())
                return std::nullopt;
            continue;
        }

        if (*b == '#') {
            // An option line in the middle of a point leaves that point
            // unfinished.
            if (!pending.empty())
                return std::nullopt;
            data = parseOptionLine(QString::fromUtf8(b, static_cast<int>(e - b)));
            continue;
        }

        const size_t before = pending.size();
        if (!appendTokens(b, e, pending))
            return std::nullopt;
        if (before == 0 && n == 2 && !data.points.empty() && pending.size() == NoiseValues
            && pending.front() <= lastFrequency) {
            // A two-port file's noise block (five values a line) starts
            // again at a lower frequency: the network data has ended.
            pending.clear();
            break;
        }
        if (pending.size() > valuesPerPoint)
            return std::nullopt;
        if (pending.size() < valuesPerPoint)
            continue;

        auto point = pointFromValues(pending, data.format, data.frequencyUnit, n);
        if (!point)
            return std::nullopt;
        if (order12_21 && n == 2)
            std::swap(point->matrix[1], point->matrix[2]);
        lastFrequency = pending.front();
        data.points.push_back(std::move(*point));
        pending.clear();
    }

    // A [Reference] that never got all its values.
    if (referencesWanted > 0)
        return std::nullopt;
    if (referenceImpedance)
        data.impedance = *referenceImpedance;
    // A truncated last point, no points at all, or parameters that are no
    // S-parameters: nothing the caller could use as measured S-parameters.
    if (!pending.empty() || data.points.empty() || data.parameterType != TouchstoneData::S)
        return std::nullopt;
    return data;
}
