// Reading of Touchstone files: a tokenizer and the rules of the format over
// the lines of the file (linesource.h), each refusal saying where and why.
#include "device/touchstoneio.h"

#include "device/linesource.h"
#include "device/logging.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <Eigen/Dense>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace {

constexpr uint MaxReadPorts = 16;
// Frequency, minimum noise figure, reflection magnitude and angle, resistance.
constexpr size_t NoiseValues = 5;
constexpr double Pi = 3.14159265358979323846;
// The most the points of one file may take in memory: far more than any
// analyser measures, and little enough to hold.
constexpr double MaxDataBytes = double(qint64(1) << 30);
// Characters of a token a refusal quotes; a longer one is cut, with "...".
constexpr int ExcerptLength = 24;

// Touchstone defaults for whatever an option line does not name.
TouchstoneData defaultOptions()
{
    TouchstoneData data;
    data.frequencyUnit = TouchstoneData::FrequencyUnit::GHz;
    data.parameterType = TouchstoneData::ParameterType::S;
    data.format = TouchstoneData::Format::MA;
    data.impedance = 50.0;
    return data;
}

double unitFactor(TouchstoneData::FrequencyUnit frequencyUnit)
{
    switch (frequencyUnit) {
    case TouchstoneData::FrequencyUnit::GHz:
        return 1e9;
    case TouchstoneData::FrequencyUnit::MHz:
        return 1e6;
    case TouchstoneData::FrequencyUnit::kHz:
        return 1e3;
    case TouchstoneData::FrequencyUnit::Hz:
        break;
    }
    return 1.0;
}

// A blank, a tab, a line feed, a vertical tab, a form feed or a carriage
// return.
bool isBlank(char c)
{
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
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

// The number that starts at p (a token that is not blank) into value, with
// p moved to the end of the token: the same as parseNumber on the token, in
// one pass. False when the token is no number.
inline bool scanNumber(const char *&p, const char *end, double &value)
{
    const char *q = p;
    if (*q == '+')
        ++q;
    if (q != end && (q == p || (*q != '+' && *q != '-'))) {
        const auto result = std::from_chars(q, end, value);
        if (result.ec == std::errc() && (result.ptr == end || isBlank(*result.ptr))) {
            p = result.ptr;
            return true;
        }
    }
    while (p != end && !isBlank(*p))
        ++p;
    return false;
}

// Whether a token that is no number is the start of one: a sign, digits and
// a point, an exponent mark with or without its sign ("-", "2.5E", "1e-"),
// as a number cut short leaves it.
bool isNumberStart(const char *begin, const char *end)
{
    const char *p = begin;
    if (p != end && (*p == '+' || *p == '-'))
        ++p;
    bool digits = false;
    while (p != end && *p >= '0' && *p <= '9') {
        ++p;
        digits = true;
    }
    if (p != end && *p == '.') {
        ++p;
        while (p != end && *p >= '0' && *p <= '9') {
            ++p;
            digits = true;
        }
    }
    if (p == end)
        return true;
    if (!digits || (*p != 'e' && *p != 'E'))
        return false;
    ++p;
    if (p != end && (*p == '+' || *p == '-'))
        ++p;
    return p == end;
}

std::complex<double> toComplex(double a, double b, TouchstoneData::Format format)
{
    switch (format) {
    case TouchstoneData::Format::MA: {
        const double angle = b * Pi / 180.0;
        return {a * std::cos(angle), a * std::sin(angle)};
    }
    case TouchstoneData::Format::DB: {
        const double magnitude = std::pow(10.0, a / 20.0);
        const double angle = b * Pi / 180.0;
        return {magnitude * std::cos(angle), magnitude * std::sin(angle)};
    }
    case TouchstoneData::Format::RI:
        break;
    }
    return {a, b};
}

// values: the frequency, then the N x N pairs in file order, into point;
// false when they do not make one N x N matrix.
bool fillPoint(const std::vector<double> &values, TouchstoneData::Format format,
               TouchstoneData::FrequencyUnit frequencyUnit, int64_t n, TouchstonePoint &point)
{
    const size_t count = values.size();
    if (n < 1 || count < 3 || count % 2 == 0)
        return false;
    const size_t pairs = (count - 1) / 2;
    const auto ports = static_cast<size_t>(n);
    // The pairs must fill exactly one N x N matrix.
    if (pairs != ports * ports)
        return false;

    point.frequency = values[0] * unitFactor(frequencyUnit);
    point.size = n;
    point.matrix.assign(pairs, std::complex<double>());
    for (size_t k = 0; k < pairs; ++k) {
        const std::complex<double> value = toComplex(values[2 * k + 1], values[2 * k + 2], format);
        // Two-port files list S11, S21, S12, S22 (column by column).
        const size_t index = ports == 2 ? (k % 2) * 2 + k / 2 : k;
        point.matrix[index] = value;
    }
    return true;
}

// A token as a refusal quotes it: at most its first ExcerptLength
// characters, "..." when it goes on, control characters written as \xNN (a
// file of NUL bytes is one long token).
QString quoted(const char *begin, const char *end)
{
    while (begin != end && isBlank(*begin))
        ++begin;
    while (end != begin && isBlank(*(end - 1)))
        --end;
    // No character takes more than four bytes.
    const qint64 bytes = std::min<qint64>(end - begin, 4 * ExcerptLength + 4);
    const QString text = QString::fromUtf8(begin, static_cast<int>(bytes));
    QString excerpt;
    int shown = 0;
    int i = 0;
    for (; i < text.size() && shown < ExcerptLength; ++i, ++shown) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size()) {
            excerpt += c;
            excerpt += text.at(++i);
        } else if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7f) {
            excerpt +=
                QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, QLatin1Char('0')).toUpper();
        } else {
            excerpt += c;
        }
    }
    if (i < text.size() || bytes < end - begin)
        excerpt += QStringLiteral("...");
    return QLatin1Char('\'') + excerpt + QLatin1Char('\'');
}

// Blank-separated tokens of a line.
class Tokens
{
public:
    Tokens(const char *begin, const char *end) : m_p(begin), m_end(end) {}

    bool next(const char *&begin, const char *&end)
    {
        while (m_p != m_end && isBlank(*m_p))
            ++m_p;
        if (m_p == m_end)
            return false;
        begin = m_p;
        while (m_p != m_end && !isBlank(*m_p))
            ++m_p;
        end = m_p;
        return true;
    }

private:
    const char *m_p;
    const char *m_end;
};

bool equalsUpper(const char *begin, const char *end, const char *word)
{
    const size_t length = std::strlen(word);
    if (static_cast<size_t>(end - begin) != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(begin[i])) != word[i])
            return false;
    }
    return true;
}

// Sets field to the value of the word the token names, if it names one.
template<typename Enum, size_t N>
bool applyWord(const char *begin, const char *end, const std::pair<const char *, Enum> (&words)[N], Enum &field)
{
    for (const auto &[text, value] : words) {
        if (equalsUpper(begin, end, text)) {
            field = value;
            return true;
        }
    }
    return false;
}

// One option-line token that names a unit, a parameter type or a format.
bool applyOptionWord(const char *begin, const char *end, TouchstoneData &data)
{
    using Unit = TouchstoneData::FrequencyUnit;
    using Type = TouchstoneData::ParameterType;
    using Format = TouchstoneData::Format;
    static const std::pair<const char *, Unit> units[] = {
        {"HZ", Unit::Hz}, {"KHZ", Unit::kHz}, {"MHZ", Unit::MHz}, {"GHZ", Unit::GHz}};
    static const std::pair<const char *, Type> types[] = {
        {"S", Type::S}, {"Y", Type::Y}, {"Z", Type::Z}, {"H", Type::H}, {"G", Type::G}};
    static const std::pair<const char *, Format> formats[] = {
        {"RI", Format::RI}, {"MA", Format::MA}, {"DB", Format::DB}};
    return applyWord(begin, end, units, data.frequencyUnit) || applyWord(begin, end, types, data.parameterType)
           || applyWord(begin, end, formats, data.format);
}

// The value after "R". Lenient (problem null): a number from 0.001 to 1000
// ohm is taken, anything else leaves the impedance as it was. Strict: any
// finite value of at least 0 is taken as written (0 names no reference
// impedance); anything else is refused with the reason in *problem.
bool applyReference(const char *begin, const char *end, TouchstoneData &data, QString *problem)
{
    const auto value = parseNumber(begin, end);
    if (!problem) {
        if (value && *value >= 0.001 && *value <= 1000.0)
            data.impedance = *value;
        return true;
    }
    if (!value) {
        const bool complex = std::memchr(begin, '(', end - begin) || std::memchr(begin, 'j', end - begin)
                             || std::memchr(begin, 'J', end - begin);
        *problem = (complex ? TouchstoneIO::tr("a complex reference impedance R %1 is not supported")
                            : TouchstoneIO::tr("the reference impedance R %1 is no number"))
                       .arg(quoted(begin, end));
        return false;
    }
    if (!std::isfinite(*value) || *value < 0.0) {
        *problem = TouchstoneIO::tr("the reference impedance R %1 is not a finite value of at least 0")
                       .arg(quoted(begin, end));
        return false;
    }
    data.impedance = *value;
    return true;
}

// The options of a "#" line (the "#" may lead [begin, end)) applied to
// data. False, with the reason in *problem, when problem is given and the
// line cannot be honoured.
bool parseOptions(const char *begin, const char *end, TouchstoneData &data, QString *problem)
{
    while (begin != end && isBlank(*begin))
        ++begin;
    if (begin != end && *begin == '#')
        ++begin;
    Tokens tokens(begin, end);
    const char *b = nullptr;
    const char *e = nullptr;
    while (tokens.next(b, e)) {
        if (applyOptionWord(b, e, data) || !equalsUpper(b, e, "R"))
            continue;
        if (!tokens.next(b, e)) {
            if (problem)
                *problem = TouchstoneIO::tr("the option line names R without a value");
            return !problem;
        }
        if (!applyReference(b, e, data, problem))
            return false;
    }
    return true;
}

} // namespace

TouchstoneData TouchstoneIO::parseOptionLine(const QString &line)
{
    const QByteArray text = line.toUtf8();
    TouchstoneData data = defaultOptions();
    parseOptions(text.constData(), text.constData() + text.size(), data, nullptr);
    return data;
}

std::optional<TouchstonePoint> TouchstoneIO::makePoint(const QStringList &tokens, TouchstoneData::Format format,
                                                       TouchstoneData::FrequencyUnit frequencyUnit, int64_t n)
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
    TouchstonePoint point;
    if (!fillPoint(values, format, frequencyUnit, n, point))
        return std::nullopt;
    return point;
}

namespace {

// How a number is written: digits after the point, whether it has a point,
// and exponent digits. A number cut short at the end of a file mostly
// changes it. Read backwards from the end of the token (a number from_chars
// took) up to the point, so the digits before it cost nothing.
int numberShape(const char *begin, const char *end)
{
    int run = 0; // digits since the last mark
    int fraction = 0;
    int exponent = 0;
    bool point = false;
    bool mark = false;
    for (const char *p = end; p != begin;) {
        const char c = *--p;
        if (c >= '0' && c <= '9') {
            ++run;
        } else if (c == '.') {
            point = true;
            fraction = run;
            break;
        } else if (c == 'e' || c == 'E') {
            mark = true;
            exponent = run;
            run = 0;
        }
    }
    return (std::min(fraction, 0xfff) << 9) | (point ? 0x100 : 0) | (mark ? 0x80 : 0) | std::min(exponent, 0x7f);
}

// Whether the values seen so far in one place (the last value of every
// point, say) were all written alike, and whether the last one broke that.
class ShapeRun
{
public:
    void add(int shape)
    {
        m_lastOdd = !m_mixed && m_count >= 2 && shape != m_shape;
        m_mixed = m_mixed || (m_count > 0 && shape != m_shape);
        m_shape = shape;
        ++m_count;
    }
    // A value once the values have differed: no shape tells more then.
    void addAny()
    {
        m_lastOdd = false;
        ++m_count;
    }
    // The last value differs from two or more before it that all agree.
    bool lastOdd() const { return m_lastOdd; }
    bool mixed() const { return m_mixed; }
    int count() const { return m_count; }
    void clear() { *this = ShapeRun(); }

private:
    int m_shape = -1;
    int m_count = 0;
    bool m_mixed = false;
    bool m_lastOdd = false;
};

// S with the real reference impedance zFrom[i] at port i, re-referred to
// zTo at every port: S' = K (S - G) (I - G S)^-1 K^-1 with the diagonal
// G = (zTo - zFrom) / (zTo + zFrom) and K = (zFrom + zTo) / (2 sqrt(zFrom zTo)).
// False when the result is not finite.
bool renormalize(std::vector<std::complex<double>> &s, size_t n, const std::vector<double> &zFrom, double zTo)
{
    using Matrix = Eigen::Matrix<std::complex<double>, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
    Eigen::Map<Matrix> sMap(s.data(), static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(n));
    const Matrix original = sMap;
    Eigen::VectorXd gamma(n);
    Eigen::VectorXd k(n);
    for (size_t i = 0; i < n; ++i) {
        gamma[i] = (zTo - zFrom[i]) / (zTo + zFrom[i]);
        k[i] = (zFrom[i] + zTo) / (2.0 * std::sqrt(zFrom[i] * zTo));
    }
    Matrix a = Matrix::Identity(n, n) - gamma.asDiagonal() * original;
    Matrix b = original;
    b.diagonal() -= gamma.cast<std::complex<double>>();
    // X = B A^-1, solved as A^T X^T = B^T.
    const Eigen::FullPivLU<Matrix> lu(a.transpose());
    if (!lu.isInvertible())
        return false;
    const Matrix x = lu.solve(b.transpose()).transpose();
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j)
            sMap(i, j) = x(i, j) * (k[i] / k[j]);
    }
    return sMap.allFinite();
}

// Reference impedances of a "! Port Impedance" comment block: N pairs of
// real and imaginary parts (one a port), or N x N pairs row by row (a
// terminal impedance matrix), possibly continued on further comment lines.
struct ImpedanceBlock
{
    std::vector<double> values; // as read, real and imaginary parts
    qint64 line = 0; // where the block starts
    bool open = false;
};

// The rules of the format, fed line by line.
class NetworkReader
{
    // The refusals are the reader's texts, as those of TouchstoneIO::read.
    Q_DECLARE_TR_FUNCTIONS(TouchstoneIO)

public:
    explicit NetworkReader(size_t ports)
        : m_n(ports),
          m_valuesPerPoint(2 * ports * ports + 1),
          m_maxPoints(static_cast<size_t>(
              MaxDataBytes / double(sizeof(TouchstonePoint) + ports * ports * sizeof(std::complex<double>))))
    {
        m_data = defaultOptions();
        m_pending.reserve(m_valuesPerPoint);
    }

    // False once the file is refused or its network data have ended.
    bool line(const char *begin, const char *end, qint64 number, bool terminated);
    // The data after the last line; empty when refused.
    std::optional<TouchstoneData> finish(qint64 lastLine);
    // How far the file has been read: bytes up to the end of the line just
    // passed to line(), of total.
    void progress(qint64 consumed, qint64 total);

    qint64 refusedLine() const { return m_refusedLine; }
    QString reason() const { return m_reason; }

private:
    bool refuse(qint64 line, const QString &reason)
    {
        if (m_refusedLine == 0) {
            m_refusedLine = line;
            m_reason = reason;
        }
        return false;
    }

    bool keyword(const char *name, const char *nameEnd, const char *value, const char *end);
    bool references(const char *begin, const char *end);
    bool option(const char *begin, const char *end);
    bool appendValues(const char *begin, const char *end, const char *&last, const char *&lastEnd);
    bool values(const char *begin, const char *end);
    bool pointValues(bool fresh, const char *last, const char *lastEnd);
    bool point(const char *lastToken, const char *lastTokenEnd);
    bool noise(const char *begin, const char *end);
    bool refuseToken(const char *begin, const char *end);
    bool lastNumberOdd(ShapeRun &column, const char *begin, const char *end, bool &dotSeen);
    bool comment(const char *begin, const char *end);
    bool closeBlock();
    bool applyBlock(const std::vector<double> &values);
    void makeRoom();
    bool cutInLastNumber(qint64 lastLine) const;
    bool complete(qint64 dataEnd, qint64 lastLine);
    bool consistent(qint64 lastLine);
    void settleImpedances();
    void restart(const TouchstoneData &options);

    const size_t m_n;
    const size_t m_valuesPerPoint;
    // The most points held (MaxDataBytes).
    const size_t m_maxPoints;
    TouchstoneData m_data;
    std::vector<double> m_pending;
    qint64 m_line = 0;
    bool m_terminated = true;
    bool m_ended = false;
    qint64 m_refusedLine = 0;
    QString m_reason;

    bool m_version2 = false;
    // After [Noise Data]: nothing more is read, only [End] looked for.
    bool m_noiseKeyword = false;
    qint64 m_noiseKeywordLine = 0;
    bool m_order12_21 = false;
    // [Reference]: values wanted and read, and where it stands.
    size_t m_referencesWanted = 0;
    std::vector<double> m_references;
    qint64 m_referenceLine = 0;
    std::optional<int> m_declaredPoints;
    qint64 m_declaredLine = 0;

    qint64 m_consumed = 0;
    qint64 m_total = 0;
    qint64 m_firstPointConsumed = 0;

    qint64 m_noiseLine = 0; // where a two-port noise block started
    double m_lastFrequency = 0.0; // as written, before the unit factor
    qint64 m_lastPointLine = 0;
    // The last line that held more than a comment, and whether it was a
    // keyword line.
    qint64 m_lastContentLine = 0;
    bool m_lastContentKeyword = false;
    // The line ends in a token: no line break, comment or blank after it.
    bool m_endsInToken = false;
    // How the last number of every point, and of every noise line, is
    // written; whether one ended in a point ("2.").
    ShapeRun m_lastColumn;
    ShapeRun m_noiseColumn;
    bool m_dotSeen = false;
    bool m_noiseDotSeen = false;
    // The values of the file's unterminated last line, but its frequency.
    ShapeRun m_lastLineValues;
    // Whether the number the file ends in looks cut short.
    bool m_cutEvidence = false;

    ImpedanceBlock m_block;
    size_t m_blocks = 0;
    std::vector<double> m_firstImpedances;
    bool m_impedancesVary = false;
};

bool NetworkReader::line(const char *begin, const char *end, qint64 number, bool terminated)
{
    m_line = number;
    m_terminated = terminated;
    // Most lines hold values and nothing else: a line that is numbers from
    // end to end has no comment and no keyword, and needs no more looking
    // at. The file's last line always takes the long way, which judges how
    // its numbers are written.
    if (terminated && number > 1 && m_noiseLine == 0 && m_referencesWanted == 0 && !m_noiseKeyword && !m_block.open) {
        const size_t before = m_pending.size();
        const char *last = nullptr;
        const char *lastEnd = nullptr;
        if (appendValues(begin, end, last, lastEnd)) {
            if (!last)
                return true; // blanks only
            m_endsInToken = false;
            m_lastContentLine = number;
            m_lastContentKeyword = false;
            return pointValues(before == 0, last, lastEnd) && !m_ended;
        }
        m_pending.resize(before);
    }
    if (number == 1 && end - begin >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0)
        begin += 3;

    const char *contentEnd = end;
    const char *commentBegin = nullptr;
    if (const void *mark = std::memchr(begin, '!', end - begin)) {
        contentEnd = static_cast<const char *>(mark);
        commentBegin = contentEnd + 1;
    }
    while (begin != contentEnd && isBlank(*begin))
        ++begin;
    while (contentEnd != begin && isBlank(*(contentEnd - 1)))
        --contentEnd;
    m_endsInToken = !terminated && !commentBegin && begin != contentEnd && contentEnd == end;

    if (begin != contentEnd) {
        const auto *open = static_cast<const char *>(std::memchr(begin, '[', contentEnd - begin));
        const auto *close = open ? static_cast<const char *>(std::memchr(open, ']', contentEnd - open)) : nullptr;
        m_lastContentLine = number;
        m_lastContentKeyword = open && close;
        if (m_noiseKeyword) {
            // Noise parameters are not read; only where they end matters.
            m_ended = m_lastContentKeyword
                      && QByteArray(open + 1, static_cast<int>(close - open - 1)).simplified().toLower() == "end";
            return !m_ended;
        }
        if (!closeBlock())
            return false;
        bool ok = true;
        if (open && close)
            ok = keyword(open + 1, close, close + 1, contentEnd);
        else if (m_noiseLine > 0)
            ok = noise(begin, contentEnd);
        else if (m_referencesWanted > 0)
            ok = references(begin, contentEnd);
        else if (*begin == '#')
            ok = option(begin, contentEnd);
        else
            ok = values(begin, contentEnd);
        if (!ok || m_ended)
            return false;
    }
    return !commentBegin || m_noiseKeyword || comment(commentBegin, end);
}

bool NetworkReader::keyword(const char *name, const char *nameEnd, const char *value, const char *end)
{
    const QByteArray key = QByteArray(name, static_cast<int>(nameEnd - name)).simplified().toLower();
    const QByteArray text = QByteArray(value, static_cast<int>(end - value)).simplified().toLower();
    if (key == "end") {
        m_ended = true;
        return true;
    }
    if (key == "noise data") {
        m_noiseKeyword = true;
        m_noiseKeywordLine = m_line;
        return true;
    }
    if (key == "version") {
        m_version2 = text.startsWith('2');
    } else if (key == "two-port data order") {
        if (text != "12_21" && text != "21_12")
            return refuse(m_line, tr("unknown [Two-Port Data Order] %1").arg(quoted(value, end)));
        m_order12_21 = text == "12_21";
    } else if (key == "matrix format") {
        // A triangle would leave elements out.
        if (text != "full")
            return refuse(m_line, tr("only full matrices are read, not [Matrix Format] %1").arg(quoted(value, end)));
    } else if (key == "mixed-mode order") {
        return refuse(m_line, tr("mixed-mode parameters are not read"));
    } else if (key == "number of ports") {
        // The name decides how many values make a point; a file that says
        // otherwise would be cut into wrong points.
        bool ok = false;
        const int count = text.toInt(&ok);
        if (!ok || count < 1)
            return refuse(m_line, tr("[Number of Ports] %1 is no count").arg(quoted(value, end)));
        if (static_cast<size_t>(count) != m_n)
            return refuse(m_line, tr("[Number of Ports] declares %1 ports, the file name says %2").arg(count).arg(m_n));
    } else if (key == "number of frequencies") {
        bool ok = false;
        const int count = text.toInt(&ok);
        if (!ok || count < 1)
            return refuse(m_line, tr("[Number of Frequencies] %1 is no count").arg(quoted(value, end)));
        m_declaredPoints = count;
        m_declaredLine = m_line;
    } else if (key == "reference") {
        m_referencesWanted = m_n;
        m_references.clear();
        m_referenceLine = m_line;
        return references(value, end);
    }
    return true;
}

bool NetworkReader::references(const char *begin, const char *end)
{
    Tokens tokens(begin, end);
    const char *b = nullptr;
    const char *e = nullptr;
    while (tokens.next(b, e)) {
        const auto value = parseNumber(b, e);
        if (!value)
            return refuse(m_line, tr("the reference impedance %1 is no number").arg(quoted(b, e)));
        if (m_references.size() == m_referencesWanted)
            return refuse(m_line, tr("[Reference] holds more than %1 values").arg(m_n));
        if (!(*value > 0.0) || !std::isfinite(*value))
            return refuse(m_line, tr("the reference impedance %1 is not positive").arg(quoted(b, e)));
        m_references.push_back(*value);
    }
    if (m_references.size() == m_referencesWanted)
        m_referencesWanted = 0;
    return true;
}

void NetworkReader::restart(const TouchstoneData &options)
{
    m_data = options;
    m_lastFrequency = 0.0;
    m_lastColumn.clear();
    m_dotSeen = false;
    m_blocks = 0;
    m_firstImpedances.clear();
    m_impedancesVary = false;
}

bool NetworkReader::option(const char *begin, const char *end)
{
    if (!m_pending.empty())
        return refuse(m_line, tr("an option line inside a point"));
    TouchstoneData options = defaultOptions();
    QString problem;
    if (!parseOptions(begin, end, options, &problem))
        return refuse(m_line, problem);
    // A later option line starts the data anew.
    restart(options);
    return true;
}

// A token that is no number: the start of one where the file ends in it
// was cut short, anything else is a word where a number belongs.
bool NetworkReader::refuseToken(const char *begin, const char *end)
{
    if (m_endsInToken && isNumberStart(begin, end))
        return refuse(m_line, tr("the file ends in the middle of its last number"));
    return refuse(m_line, tr("%1 is no number").arg(quoted(begin, end)));
}

// Appends the numbers of [begin, end) to the values of the point being
// read, last and lastEnd set to the last of them (null when there are none);
// false at a token that is no number or at more values than a point holds.
bool NetworkReader::appendValues(const char *begin, const char *end, const char *&last, const char *&lastEnd)
{
    const char *p = begin;
    for (;;) {
        while (p != end && isBlank(*p))
            ++p;
        if (p == end)
            return true;
        last = p;
        double value = 0.0;
        const bool number = scanNumber(p, end, value);
        lastEnd = p;
        if (!number || m_pending.size() == m_valuesPerPoint)
            return false;
        m_pending.push_back(value);
    }
}

bool NetworkReader::values(const char *begin, const char *end)
{
    const bool fresh = m_pending.empty();
    const char *p = begin;
    const char *last = nullptr;
    for (;;) {
        while (p != end && isBlank(*p))
            ++p;
        if (p == end)
            break;
        last = p;
        double value = 0.0;
        if (!scanNumber(p, end, value))
            return p == end ? refuseToken(last, p) : refuse(m_line, tr("%1 is no number").arg(quoted(last, p)));
        if (m_pending.size() == m_valuesPerPoint)
            return refuse(m_line,
                          tr("a %1-port point has %2 values; this line holds more").arg(m_n).arg(m_valuesPerPoint));
        // The file's last line: how its values are written tells whether
        // the last one was cut short.
        if (!m_terminated && !m_pending.empty())
            m_lastLineValues.add(numberShape(last, p));
        m_pending.push_back(value);
    }
    return pointValues(fresh, last, p);
}

// After a line of values (the last one [last, lastEnd)): the start of a
// two-port noise block, a whole point, or part of one.
bool NetworkReader::pointValues(bool fresh, const char *last, const char *lastEnd)
{
    if (fresh && m_n == 2 && !m_data.points.empty() && m_pending.size() == NoiseValues
        && m_pending.front() <= m_lastFrequency) {
        // A two-port file's noise block (five values a line) starts again at
        // a lower frequency: the network data have ended.
        m_pending.clear();
        m_noiseLine = m_line;
        m_cutEvidence = lastNumberOdd(m_noiseColumn, last, lastEnd, m_noiseDotSeen);
        return true;
    }
    if (m_pending.size() < m_valuesPerPoint)
        return true;
    return point(last, lastEnd);
}

// A line after the start of a two-port noise block: five values, or the
// block was no noise data but a point whose frequency does not rise.
bool NetworkReader::noise(const char *begin, const char *end)
{
    const char *p = begin;
    const char *last = nullptr;
    size_t count = 0;
    for (;;) {
        while (p != end && isBlank(*p))
            ++p;
        if (p == end)
            break;
        last = p;
        double value = 0.0;
        if (!scanNumber(p, end, value))
            return p == end ? refuseToken(last, p) : refuse(m_line, tr("%1 is no number").arg(quoted(last, p)));
        ++count;
    }
    if (count != NoiseValues)
        return refuse(m_line, tr("line %1 looked like the start of noise data (five values at a lower "
                                 "frequency), but this line holds %2 values")
                                  .arg(m_noiseLine)
                                  .arg(count));
    m_cutEvidence = lastNumberOdd(m_noiseColumn, last, p, m_noiseDotSeen);
    return true;
}

// Whether the last number of a point or a noise line, [begin, end), is
// written unlike those before it in the same place, as a number cut short
// at the end of the file is; counts it among them. Only the file's last line
// is judged.
inline bool NetworkReader::lastNumberOdd(ShapeRun &column, const char *begin, const char *end, bool &dotSeen)
{
    // Once the values have differed, how this one is written says nothing.
    if (column.mixed() && m_terminated)
        column.addAny();
    else
        column.add(numberShape(begin, end));
    // "0." is no way to write a number that any earlier one shared.
    const bool dot = end[-1] == '.';
    const bool dotOdd = dot && !dotSeen;
    dotSeen = dotSeen || dot;
    if (m_terminated)
        return false;
    // Too few points to say how the file writes its last value: the other
    // values of the same line.
    return column.lastOdd() || dotOdd || (column.count() < 3 && m_lastLineValues.lastOdd());
}

bool NetworkReader::point(const char *lastToken, const char *lastTokenEnd)
{
    const double frequency = m_pending.front();
    if (!std::isfinite(frequency))
        return refuse(m_line, tr("the frequency %1 is not finite").arg(frequency));
    if (frequency < 0.0)
        return refuse(m_line, tr("the frequency %1 is negative").arg(frequency));
    if (!m_data.points.empty() && !(frequency > m_lastFrequency))
        return refuse(m_line, tr("the frequency %1 does not rise above the previous %2 (line %3)")
                                  .arg(frequency, 0, 'g', 17)
                                  .arg(m_lastFrequency, 0, 'g', 17)
                                  .arg(m_lastPointLine));
    if (m_data.points.size() == m_maxPoints)
        return refuse(m_line, tr("the file holds more than %1 points, more than the program reads").arg(m_maxPoints));
    // Made in place; a refused point goes again (the read fails anyway).
    if (m_data.points.size() == m_data.points.capacity())
        makeRoom();
    TouchstonePoint &made = m_data.points.emplace_back();
    if (!fillPoint(m_pending, m_data.format, m_data.frequencyUnit, static_cast<int64_t>(m_n), made)) {
        m_data.points.pop_back();
        return refuse(m_line, tr("the values do not make one %1 x %1 matrix").arg(m_n));
    }
    for (const std::complex<double> &value : made.matrix) {
        if (!std::isfinite(value.real()) || !std::isfinite(value.imag())) {
            m_data.points.pop_back();
            return refuse(m_line, tr("a value of the point at %1 is not finite").arg(frequency));
        }
    }
    if (m_order12_21 && m_n == 2)
        std::swap(made.matrix[1], made.matrix[2]);

    m_cutEvidence = lastNumberOdd(m_lastColumn, lastToken, lastTokenEnd, m_dotSeen);
    m_lastFrequency = frequency;
    m_lastPointLine = m_line;
    m_pending.clear();
    return true;
}

bool NetworkReader::comment(const char *begin, const char *end)
{
    while (begin != end && isBlank(*begin))
        ++begin;
    static const char Title[] = "port impedance";
    const size_t titleLength = sizeof Title - 1;
    const bool title = static_cast<size_t>(end - begin) >= titleLength
                       && std::equal(begin, begin + titleLength, Title, [](char c, char lower) {
                              return std::tolower(static_cast<unsigned char>(c)) == lower;
                          });
    if (title) {
        if (!closeBlock())
            return false;
        m_block = ImpedanceBlock{{}, m_line, true};
        begin += titleLength;
    } else if (!m_block.open) {
        return true;
    }
    Tokens tokens(begin, end);
    const char *b = nullptr;
    const char *e = nullptr;
    const size_t before = m_block.values.size();
    while (tokens.next(b, e)) {
        const auto value = parseNumber(b, e);
        if (value) {
            m_block.values.push_back(*value);
            continue;
        }
        // Words: on the block's own line or among its values they leave the
        // impedances unknown; a comment of its own ends the block.
        if (title || m_block.values.size() > before)
            return refuse(m_line, tr("the Port Impedance line cannot be read at %1").arg(quoted(b, e)));
        return closeBlock();
    }
    // Whether the block is one value a port or a matrix shows only where it
    // ends (closeBlock), unless it is longer than either.
    if (m_block.values.size() > 2 * m_n * m_n)
        return refuse(m_block.line, tr("the Port Impedance block holds more than %1 values").arg(2 * m_n * m_n));
    return true;
}

// Ends an open block at a line that cannot continue it: a block without
// values was a heading; N values (one a port) or N x N (a matrix whose
// off-diagonal elements are zero) name the ports' impedances; anything else
// is refused.
bool NetworkReader::closeBlock()
{
    if (!m_block.open)
        return true;
    m_block.open = false;
    const std::vector<double> &values = m_block.values;
    const size_t count = values.size();
    if (count == 0)
        return true;
    if (count == 2 * m_n)
        return applyBlock(values);
    if (count != 2 * m_n * m_n)
        return refuse(m_block.line, tr("the Port Impedance block holds %1 of %2 values")
                                        .arg(count)
                                        .arg(count < 2 * m_n ? 2 * m_n : 2 * m_n * m_n));
    std::vector<double> diagonal;
    for (size_t row = 0; row < m_n; ++row) {
        for (size_t column = 0; column < m_n; ++column) {
            const double re = values[2 * (row * m_n + column)];
            const double im = values[2 * (row * m_n + column) + 1];
            if (row == column) {
                diagonal.push_back(re);
                diagonal.push_back(im);
            } else if (re != 0.0 || im != 0.0) {
                return refuse(m_block.line, tr("the Port Impedance matrix couples ports %1 and %2 (%3%4%5j); "
                                               "coupled reference impedances are not supported")
                                                .arg(row + 1)
                                                .arg(column + 1)
                                                .arg(re)
                                                .arg(im < 0 ? QString() : QStringLiteral("+"))
                                                .arg(im));
            }
        }
    }
    return applyBlock(diagonal);
}

// The impedances of a complete block (real and imaginary part of each
// port's), for the point just read.
bool NetworkReader::applyBlock(const std::vector<double> &values)
{
    const qint64 line = m_block.line;
    if (!m_pending.empty())
        return refuse(line, tr("a Port Impedance block inside a point"));
    if (m_data.points.empty())
        return refuse(line, tr("a Port Impedance block before the first point"));
    if (m_data.points.size() != m_blocks + 1)
        return refuse(line, m_data.points.size() <= m_blocks ? tr("a second Port Impedance block for one point")
                                                             : tr("a point before this Port Impedance block has none"));
    ++m_blocks;
    std::vector<double> impedances(m_n);
    for (size_t port = 0; port < m_n; ++port) {
        const double re = values[2 * port];
        const double im = values[2 * port + 1];
        if (!std::isfinite(re) || !std::isfinite(im) || !(re > 0.0))
            return refuse(line, tr("the port %1 reference impedance %2%3%4j is unusable")
                                    .arg(port + 1)
                                    .arg(re)
                                    .arg(im < 0 ? QString() : QStringLiteral("+"))
                                    .arg(im));
        if (im != 0.0)
            return refuse(line, tr("a complex port %1 reference impedance %2%3%4j is not supported")
                                    .arg(port + 1)
                                    .arg(re)
                                    .arg(im < 0 ? QString() : QStringLiteral("+"))
                                    .arg(im));
        impedances[port] = re;
    }
    if (m_firstImpedances.empty()) {
        m_firstImpedances = impedances;
        return true;
    }
    auto &points = m_data.points;
    if (!m_impedancesVary && impedances != m_firstImpedances) {
        // From here on every point is referred to the option line's
        // impedance; the earlier ones all had the first block's.
        if (!(m_data.impedance > 0.0))
            return refuse(line, tr("the port impedances vary with frequency and the option line "
                                   "names no reference impedance to refer the data to"));
        m_impedancesVary = true;
        for (size_t k = 0; k + 1 < points.size(); ++k) {
            if (!renormalize(points[k].matrix, m_n, m_firstImpedances, m_data.impedance))
                return refuse(line, tr("the data cannot be referred to %1 ohm").arg(m_data.impedance));
        }
    }
    if (m_impedancesVary && !renormalize(points.back().matrix, m_n, impedances, m_data.impedance))
        return refuse(line, tr("the data cannot be referred to %1 ohm").arg(m_data.impedance));
    return true;
}

void NetworkReader::progress(qint64 consumed, qint64 total)
{
    m_consumed = consumed;
    m_total = total;
}

// Room for the points still to come, from the bytes each point took so far,
// so that the list is not grown by doubling (which briefly holds it three
// times over).
void NetworkReader::makeRoom()
{
    auto &points = m_data.points;
    if (points.empty()) {
        m_firstPointConsumed = m_consumed;
        return;
    }
    // One point says little about how many bytes the next ones take.
    constexpr size_t sample = 16;
    if (points.size() < sample) {
        points.reserve(std::min(sample, m_maxPoints));
        return;
    }
    const double perPoint = std::max(1.0, double(m_consumed - m_firstPointConsumed) / double(points.size()));
    const double rest = std::max(0.0, double(m_total - m_consumed));
    // Each value takes at least a character and a blank.
    const double most = rest / double(2 * m_valuesPerPoint) + 1;
    const auto more = static_cast<size_t>(std::min(most, rest / perPoint * 1.02 + 16));
    // At least a quarter more, should the estimate run short again and again.
    const size_t wanted = points.size() + std::max<size_t>({more, points.size() / 4, 1});
    points.reserve(std::min(wanted, m_maxPoints));
}

// Whether the file ends inside its last number: the last line has no line
// break, and the number it ends in is written unlike those before it, or a
// file of the second version (which ends in [End]) stops in it.
bool NetworkReader::cutInLastNumber(qint64 lastLine) const
{
    if (m_ended || m_terminated || !m_endsInToken || m_lastContentLine != lastLine || m_lastContentKeyword)
        return false;
    return m_version2 || m_cutEvidence;
}

// Whether the file ended where its data end (dataEnd, the line of [Noise
// Data] when it has one, else its last line): no value block, reference
// list or point left open, no number cut short, and some points.
bool NetworkReader::complete(qint64 dataEnd, qint64 lastLine)
{
    if (m_refusedLine != 0 || !closeBlock())
        return false;
    if (m_referencesWanted > 0)
        return refuse(m_referenceLine, tr("[Reference] holds %1 of %2 values").arg(m_references.size()).arg(m_n));
    if (!m_pending.empty())
        return refuse(dataEnd,
                      tr("the file ends inside a point (%1 of %2 values)").arg(m_pending.size()).arg(m_valuesPerPoint));
    if (m_data.points.empty())
        return refuse(dataEnd, tr("the file holds no data points"));
    if (cutInLastNumber(lastLine))
        return refuse(lastLine, m_version2 && !m_cutEvidence
                                    ? tr("the file ends without [End], in the middle of a number")
                                    : tr("the file ends in the middle of its last number"));
    return true;
}

// Whether the points are what the file says they are.
bool NetworkReader::consistent(qint64 lastLine)
{
    const size_t count = m_data.points.size();
    if (m_data.parameterType != TouchstoneData::ParameterType::S) {
        static const char *const names[] = {"S", "Y", "Z", "H", "G"};
        return refuse(lastLine, tr("%1-parameters are not read, only S-parameters")
                                    .arg(QLatin1String(names[static_cast<int>(m_data.parameterType)])));
    }
    if (m_declaredPoints && static_cast<size_t>(*m_declaredPoints) != count)
        return refuse(
            m_declaredLine,
            tr("[Number of Frequencies] declares %1 points, the file holds %2").arg(*m_declaredPoints).arg(count));
    if (m_blocks > 0 && m_blocks != count)
        return refuse(lastLine, tr("%1 of %2 points have a Port Impedance block").arg(m_blocks).arg(count));
    if (m_blocks > 0 && !m_references.empty())
        return refuse(m_referenceLine, tr("both [Reference] and Port Impedance blocks name the impedances"));
    return true;
}

// The reference impedances the data refer to once read: [Reference], or
// Port Impedance blocks that stayed the same at every frequency (varying
// ones have been renormalised to the option line's impedance already).
void NetworkReader::settleImpedances()
{
    if (!m_references.empty()) {
        m_data.impedance = m_references.front();
        const bool same =
            std::all_of(m_references.begin(), m_references.end(), [&](double z) { return z == m_references.front(); });
        if (!same)
            m_data.portImpedances = m_references;
    }
    if (m_blocks == 0 || m_impedancesVary)
        return;
    m_data.impedance = m_firstImpedances.front();
    const bool same = std::all_of(m_firstImpedances.begin(), m_firstImpedances.end(),
                                  [&](double z) { return z == m_firstImpedances.front(); });
    if (!same)
        m_data.portImpedances = m_firstImpedances;
}

std::optional<TouchstoneData> NetworkReader::finish(qint64 lastLine)
{
    // The network data end at [Noise Data] when the file has it.
    const qint64 dataEnd = m_noiseKeyword ? m_noiseKeywordLine : lastLine;
    if (!complete(dataEnd, lastLine) || !consistent(dataEnd))
        return std::nullopt;
    settleImpedances();
    return std::move(m_data);
}

} // namespace

std::optional<TouchstoneData> TouchstoneIO::read(const QString &path)
{
    m_errorString.clear();
    const QString name = QDir::toNativeSeparators(path);
    auto refuse = [&](qint64 line, const QString &reason) -> std::optional<TouchstoneData> {
        m_errorString =
            line > 0 ? tr("%1, line %2: %3").arg(name, QString::number(line), reason) : tr("%1: %2").arg(name, reason);
        qCWarning(lcDevice).noquote() << "Touchstone file refused:" << m_errorString;
        return std::nullopt;
    };

    const auto ports = portCountFromSuffix(QFileInfo(path));
    if (!ports || *ports < 1 || *ports > MaxReadPorts)
        return refuse(0, tr("the name does not end in .s1p to .s9p"));
    QFile file(path);
    const QFileInfo info(path);
    if (info.isDir())
        return refuse(0, tr("cannot open the file (a folder)"));
    // Opening a FIFO or a device would wait for a writer that may never
    // come, holding whoever reads.
    if (info.exists() && !info.isFile())
        return refuse(0, tr("cannot open the file (not a regular file)"));
    // The line source reads in large blocks of its own.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return refuse(0, tr("cannot open the file (%1)").arg(file.errorString()));

    // Memory is bounded by the line source's buffer and the points held, so
    // running out means the machine has less than that to spare.
    qint64 line = 0;
    try {
        const qint64 size = file.size();
        NetworkReader reader(*ports);
        LineSource lines(file, size);
        const char *begin = nullptr;
        const char *end = nullptr;
        while (lines.next(begin, end)) {
            line = lines.number();
            reader.progress(lines.consumed(), size);
            if (!reader.line(begin, end, lines.number(), lines.terminated()))
                break;
        }
        if (lines.failed())
            return refuse(lines.number() + 1, tr("cannot read the file (%1)").arg(file.errorString()));
        if (lines.overlong() && reader.refusedLine() == 0) {
            return refuse(lines.number(),
                          tr("the line is longer than %1 bytes, which no Touchstone line is (it starts %2)")
                              .arg(MaxLineBytes)
                              .arg(quoted(lines.pending(), lines.pendingEnd())));
        }
        auto data = reader.finish(lines.number());
        if (!data)
            return refuse(reader.refusedLine(), reader.reason());
        return data;
    } catch (const std::bad_alloc &) {
        return refuse(line, tr("not enough memory to read the file"));
    }
}
