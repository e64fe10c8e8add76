#include "device/touchstoneio.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <string>
#include <vector>

#if defined(__linux__)
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

using Complex = std::complex<double>;
using Matrix = std::vector<Complex>;
using Unit = TouchstoneData::FrequencyUnit;
using Type = TouchstoneData::ParameterType;
using Format = TouchstoneData::Format;
const double Root2 = std::sqrt(0.5);

QString dataPath(const char *name)
{
    if (qEnvironmentVariableIsEmpty("VUK_TEST_DATA"))
        ADD_FAILURE() << "VUK_TEST_DATA names no fixture directory (run the tests through ctest)";
    return QString::fromLocal8Bit(qgetenv("VUK_TEST_DATA")) + QLatin1Char('/') + QLatin1String(name);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList dirEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

TouchstonePoint point(double frequency, Matrix matrix)
{
    TouchstonePoint p;
    p.frequency = frequency;
    p.size = std::lround(std::sqrt(double(matrix.size())));
    p.matrix = std::move(matrix);
    return p;
}

TouchstoneData dataOf(uint ports, std::vector<TouchstonePoint> points, double impedance = 50.0)
{
    TouchstoneData data;
    data.portCount = ports;
    data.impedance = impedance;
    data.points = std::move(points);
    return data;
}

// n x n matrices of random values spanning many decades and both signs.
TouchstoneData randomData(uint n, size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-12, 3);
    auto value = [&]() { return mantissa(rng) * std::pow(10.0, exponent(rng)); };
    std::vector<TouchstonePoint> points;
    for (size_t k = 0; k < count; ++k) {
        Matrix m(n * n);
        for (auto &element : m)
            element = {value(), value()};
        points.push_back(point(1e6 * double(k + 1) + 0.123456789, m));
    }
    return dataOf(n, std::move(points));
}

void expectPoints(const std::vector<TouchstonePoint> &actual, const std::vector<double> &frequencies,
                  const std::vector<Matrix> &matrices, double tolerance)
{
    ASSERT_EQ(actual.size(), frequencies.size());
    for (size_t k = 0; k < actual.size(); ++k) {
        SCOPED_TRACE("point " + std::to_string(k));
        EXPECT_NEAR(actual[k].frequency, frequencies[k], 1e-9 * std::abs(frequencies[k]));
        ASSERT_EQ(actual[k].matrix.size(), matrices[k].size());
        EXPECT_EQ(actual[k].size * actual[k].size, int64_t(matrices[k].size()));
        for (size_t i = 0; i < matrices[k].size(); ++i) {
            EXPECT_NEAR(actual[k].matrix[i].real(), matrices[k][i].real(), tolerance) << "element " << i;
            EXPECT_NEAR(actual[k].matrix[i].imag(), matrices[k][i].imag(), tolerance) << "element " << i;
        }
    }
}

// ---------------------------------------------------------------- suffixes

TEST(TouchstoneSuffixTest, PortCountFromSuffix)
{
    struct Case
    {
        const char *path;
        std::optional<uint> ports;
    };
    const std::vector<Case> cases = {
        {"a.s1p", 1u},
        {"a.s9p", 9u},
        {"a.S2P", 2u},
        {"a.s2P", 2u},
        {"d.x/a.b.s4p", 4u},
        {"a.s0p", 0u},
        {"a.s10p", std::nullopt},
        {"a.sp", std::nullopt},
        {"a.txt", std::nullopt},
        {"a", std::nullopt},
        {"a.s2p.bak", std::nullopt},
        {"a.ss2p", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(TouchstoneIO::portCount(QString::fromLatin1(c.path)), c.ports);
        EXPECT_EQ(TouchstoneIO::portCountFromSuffix(QFileInfo(QString::fromLatin1(c.path))), c.ports);
    }
}

// ----------------------------------------------------------- option lines

TEST(TouchstoneOptionLineTest, ParsesEveryOptionAndDefaultsToTheFormatsOwn)
{
    struct Case
    {
        const char *line;
        Unit unit;
        Type type;
        Format format;
        double impedance;
    };
    const std::vector<Case> cases = {
        {"# Hz S RI R 50", Unit::Hz, Type::S, Format::RI, 50},
        {"# MHz S MA R 75", Unit::MHz, Type::S, Format::MA, 75},
        {"#khz y db r 0.001", Unit::kHz, Type::Y, Format::DB, 0.001},
        {"#   GHZ \t  S   RI   R   1000  ", Unit::GHz, Type::S, Format::RI, 1000},
        {"# GHz", Unit::GHz, Type::S, Format::MA, 50}, // no format: MA, no R: 50 ohm
        {"#", Unit::GHz, Type::S, Format::MA, 50},
        {"# MHz Z RI", Unit::MHz, Type::Z, Format::RI, 50},
        {"# H DB R 25", Unit::GHz, Type::H, Format::DB, 25},
        {"# G", Unit::GHz, Type::G, Format::MA, 50},
        {"# S RI R 5000", Unit::GHz, Type::S, Format::RI, 50}, // out of range: stays
        {"# S RI R 0.0001", Unit::GHz, Type::S, Format::RI, 50},
        {"# S RI R", Unit::GHz, Type::S, Format::RI, 50}, // missing value
        {"# S R abc RI", Unit::GHz, Type::S, Format::RI, 50}, // unconvertible value, parsing goes on
        {"# kHz R 60 DB", Unit::kHz, Type::S, Format::DB, 60},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const TouchstoneData data = TouchstoneIO::parseOptionLine(QString::fromLatin1(c.line));
        EXPECT_EQ(data.frequencyUnit, c.unit);
        EXPECT_EQ(data.parameterType, c.type);
        EXPECT_EQ(data.format, c.format);
        EXPECT_DOUBLE_EQ(data.impedance, c.impedance);
        EXPECT_TRUE(data.points.empty());
        EXPECT_EQ(data.portCount, 0u);
    }
}

// ------------------------------------------------------------------ points

TEST(TouchstonePointTest, MakesPointsInEveryFormatAndOrder)
{
    struct Case
    {
        const char *what;
        QStringList tokens;
        Format format;
        Unit unit;
        int64_t n;
        double frequency;
        Matrix matrix;
    };
    const std::vector<Case> cases = {
        {"one-port RI in GHz", {"1", "0.5", "-0.5"}, Format::RI, Unit::GHz, 1, 1e9, {{0.5, -0.5}}},
        {"MA in MHz", {"2", "2", "90"}, Format::MA, Unit::MHz, 1, 2e6, {{0, 2}}},
        {"MA negative angle in kHz", {"3", "0.5", "-180"}, Format::MA, Unit::kHz, 1, 3e3, {{-0.5, 0}}},
        {"DB in Hz", {"4", "-20", "180"}, Format::DB, Unit::Hz, 1, 4, {{-0.1, 0}}},
        {"DB 0 dB at 45 degrees", {"5", "0", "45"}, Format::DB, Unit::Hz, 1, 5, {{Root2, Root2}}},
        {"leading plus and exponent", {"+1E-3", "+1.5e0", "-2E+0"}, Format::RI, Unit::GHz, 1, 1e6, {{1.5, -2}}},
        {"two-port order S11 S21 S12 S22",
         {"1", "11", "0", "21", "0", "12", "0", "22", "0"},
         Format::RI,
         Unit::Hz,
         2,
         1,
         {11, 12, 21, 22}},
        {"three-port row by row",
         {"1", "11", "1", "12", "1", "13", "1", "21", "1", "22", "1", "23", "1", "31", "1", "32", "1", "33", "1"},
         Format::RI,
         Unit::Hz,
         3,
         1,
         {{11, 1}, {12, 1}, {13, 1}, {21, 1}, {22, 1}, {23, 1}, {31, 1}, {32, 1}, {33, 1}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto p = TouchstoneIO::makePoint(c.tokens, c.format, c.unit, c.n);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->size, c.n);
        expectPoints({*p}, {c.frequency}, {c.matrix}, 1e-12);
    }
}

TEST(TouchstonePointTest, RefusesTokensThatDoNotMakeOneMatrix)
{
    struct Case
    {
        const char *what;
        QStringList tokens;
        int64_t n;
    };
    const std::vector<Case> cases = {
        {"no tokens", {}, 1},
        {"frequency only", {"1"}, 1},
        {"even count", {"1", "2", "3", "4"}, 1},
        {"three pairs are no square", {"1", "1", "0", "2", "0", "3", "0"}, 2},
        {"a square of the wrong size", {"1", "1", "0", "2", "0", "3", "0", "4", "0"}, 1},
        {"one pair for a two-port", {"1", "1", "0"}, 2},
        {"no ports", {"1", "1", "0"}, 0},
        {"unconvertible value", {"1", "x", "0"}, 1},
        {"unconvertible frequency", {"1GHz", "1", "0"}, 1},
        {"decimal comma", {"1", "0,5", "0"}, 1},
        {"double sign", {"1", "+-1", "0"}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(TouchstoneIO::makePoint(c.tokens, Format::RI, Unit::GHz, c.n));
    }
}

// ------------------------------------------------------------ reading files

TEST(TouchstoneReadTest, ReadsTheFixtureFiles)
{
    struct Case
    {
        const char *file;
        Unit unit;
        Format format;
        double impedance;
        std::vector<double> frequencies;
        std::vector<Matrix> matrices; // row-major
    };
    auto fourPort = [](double k) {
        Matrix m;
        for (int i = 1; i <= 4; ++i)
            for (int j = 1; j <= 4; ++j)
                m.push_back({10.0 * i + j, k});
        return m;
    };
    const std::vector<Case> cases = {
        {"oneport_ri_hz.s1p",
         Unit::Hz,
         Format::RI,
         50,
         {1e6, 2e6, 3e6},
         {{{0.5, -0.25}}, {{-0.125, 0.0625}}, {{1, 0}}}},
        {"twoport_ma_mhz.s2p",
         Unit::MHz,
         Format::MA,
         75,
         {100e6, 200.5e6},
         {{{0, 0.5}, {1, 0}, {-0.25, 0}, {0, -2}}, {{Root2, Root2}, {0, -0.1}, {-3, 0}, {0, 0}}}},
        {"twoport_db_khz_crlf.s2p",
         Unit::kHz,
         Format::DB,
         50,
         {1.5e3, 2.5e3},
         {{{-1, 0}, {0, -0.01}, {0.1, 0}, {2, 0}}, {{0.5, 0}, {-1, 0}, {0, 1}, {0.1 * Root2, 0.1 * Root2}}}},
        {"fourport_ri_ghz.s4p", Unit::GHz, Format::RI, 50, {1e9, 2e9}, {fourPort(1), fourPort(2)}},
        {"ts2_order1221.s2p",
         Unit::GHz,
         Format::RI,
         75,
         {1e9, 2e9},
         {{{11, 0}, {12, 0}, {21, 0}, {22, 0}}, {{11, 1}, {12, 1}, {21, 1}, {22, 1}}}},
        {"noise_v1.s2p",
         Unit::GHz,
         Format::MA,
         50,
         {1e9, 2e9},
         {{{0.9, 0}, {0.01, 0}, {2, 0}, {0.8, 0}}, {{0.8, 0}, {0.02, 0}, {1.9, 0}, {0.7, 0}}}},
        {"upper_case.S2P", Unit::Hz, Format::RI, 50, {10}, {{{1, 0}, {3, 0}, {2, 0}, {4, 0}}}},
        {"bom_ghz.s1p", Unit::GHz, Format::RI, 50, {1e9}, {{{0.1, 0.2}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        TouchstoneIO io;
        const auto data = io.read(dataPath(c.file));
        ASSERT_TRUE(data);
        EXPECT_EQ(data->frequencyUnit, c.unit);
        EXPECT_EQ(data->format, c.format);
        EXPECT_EQ(data->parameterType, Type::S);
        EXPECT_DOUBLE_EQ(data->impedance, c.impedance);
        EXPECT_EQ(data->portCount, 0u);
        expectPoints(data->points, c.frequencies, c.matrices, 1e-12);
    }
}

struct InlineFile
{
    const char *what;
    const char *name;
    QByteArray content;
};

TEST(TouchstoneReadTest, ReadsInlineVariants)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case
    {
        InlineFile file;
        Unit unit;
        Format format;
        double impedance;
        std::vector<double> frequencies;
        std::vector<Matrix> matrices;
    };
    const std::vector<Case> cases = {
        {{"no option line: GHz, S, MA, 50 ohm", "plain.s1p", "1 2 90\n2 1 180\n"},
         Unit::GHz,
         Format::MA,
         50,
         {1e9, 2e9},
         {{{0, 2}}, {{-1, 0}}}},
        {{"a second option line discards the points before it", "second.s1p",
          "# GHz S RI R 50\n1 1 0\n2 2 0\n# MHz S RI R 60\n5 0.5 0\n"},
         Unit::MHz,
         Format::RI,
         60,
         {5e6},
         {{{0.5, 0}}}},
        {{"keyword lines, full matrix, reference on later lines, stop at [End]", "ts2.s2p",
          "[Version] 2.0\n# GHz S RI R 50\n[Number of Ports] 2\n[Two-Port Data Order] 21_12\n"
          "[Reference]\n60\n60\n[Matrix Format] Full\n[Network Data]\n1 1 0 2 0 3 0 4 0\n[End]\n"
          "2 9 9 9 9 9 9 9 9\n"},
         Unit::GHz,
         Format::RI,
         60,
         {1e9},
         {{{1, 0}, {3, 0}, {2, 0}, {4, 0}}}},
        {{"keywords in any letter case", "case.s2p",
          "[version] 2.0\n# GHz S RI R 50\n[TWO-PORT DATA ORDER] 12_21\n1 1 0 2 0 3 0 4 0\n"
          "[noise data]\n0.5 1 2 3 4\n"},
         Unit::GHz,
         Format::RI,
         50,
         {1e9},
         {{{1, 0}, {2, 0}, {3, 0}, {4, 0}}}},
        {{"a four-port point on one line", "oneline.s4p",
          "# Hz S RI R 50\n7 1 0 2 0 3 0 4 0 5 0 6 0 7 0 8 0 9 0 10 0 11 0 12 0 13 0 14 0 15 0 "
          "16 0\n"},
         Unit::Hz,
         Format::RI,
         50,
         {7},
         {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}}},
        {{"a version 1 three-port keeps equal-frequency points", "three.s3p",
          "# Hz S RI R 50\n1 1 0 2 0 3 0\n4 0 5 0 6 0\n7 0 8 0 9 0\n"},
         Unit::Hz,
         Format::RI,
         50,
         {1},
         {{1, 2, 3, 4, 5, 6, 7, 8, 9}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.what);
        const QString path = dir.filePath(QLatin1String(c.file.name));
        ASSERT_TRUE(writeBytes(path, c.file.content));
        TouchstoneIO io;
        const auto data = io.read(path);
        ASSERT_TRUE(data);
        EXPECT_EQ(data->frequencyUnit, c.unit);
        EXPECT_EQ(data->format, c.format);
        EXPECT_DOUBLE_EQ(data->impedance, c.impedance);
        expectPoints(data->points, c.frequencies, c.matrices, 1e-12);
    }
}

TEST(TouchstoneReadTest, RefusesFilesItCannotHandOnAsSParameters)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray good2 = "1 1 0 2 0 3 0 4 0\n";
    const std::vector<InlineFile> cases = {
        {"truncated last point", "truncated.s2p", "# GHz S RI R 50\n" + good2 + "2 1 0 2 0 3\n"},
        {"no data points", "nodata.s2p", "! only comments\n# GHz S RI R 50\n"},
        {"empty file", "empty.s1p", ""},
        {"Y parameters", "y.s2p", "# GHz Y RI R 50\n" + good2},
        {"Z parameters", "z.s2p", "# GHz Z RI R 50\n" + good2},
        {"H parameters", "h.s2p", "# GHz H RI R 50\n" + good2},
        {"G parameters", "g.s2p", "# GHz G RI R 50\n" + good2},
        {"lower triangle", "lower.s2p",
         "[Version] 2.0\n# GHz S RI R 50\n[Two-Port Data Order] 21_12\n[Matrix Format] Lower\n"
         "1 1 0 2 0 4 0\n"},
        {"upper triangle", "upper.s3p",
         "[Version] 2.0\n# GHz S RI R 50\n[Matrix Format] Upper\n1 1 0 2 0 3 0 4 0 5 0 6 0\n"},
        {"unknown two-port order", "order.s2p", "[Two-Port Data Order] 12-21\n" + good2},
        {"mixed-mode data", "mixed.s2p", "[Mixed-Mode Order] D2,1 C2,1\n" + good2},
        {"a reference never completed", "refs2.s2p", "# GHz S RI R 50\n" + good2 + "[Reference] 50\n"},
        {"too many values on a line", "many.s1p", "# GHz S RI R 50\n1 0.1 0.2 0.3\n"},
        {"unconvertible number", "bad.s1p", "# GHz S RI R 50\n1 0.1 abc\n"},
        {"decimal comma", "comma.s1p", "# GHz S RI R 50\n1,5 0.1 0.2\n"},
        {"option line inside a point", "split.s2p", "# GHz S RI R 50\n1 1 0 2 0\n# MHz S RI R 50\n3 0 4 0\n"},
        {"two-digit suffix", "ten.s10p", "# GHz S RI R 50\n1 1 0\n"},
        {"zero ports", "zero.s0p", "# GHz S RI R 50\n1\n"},
        {"no port-count suffix", "data.txt", "# GHz S RI R 50\n1 1 0\n"},
    };
    for (const InlineFile &c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath(QLatin1String(c.name));
        ASSERT_TRUE(writeBytes(path, c.content));
        TouchstoneIO io;
        EXPECT_FALSE(io.read(path));
    }
    TouchstoneIO io;
    EXPECT_FALSE(io.read(dir.filePath("missing.s1p")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.s1p"));
    EXPECT_FALSE(io.read(dir.filePath("folder.s1p")));
}

// ------------------------------------------------------------ writing files

QList<QByteArray> writtenLines(const QString &path)
{
    const QByteArray bytes = readBytes(path);
    EXPECT_FALSE(bytes.contains('\r'));
    EXPECT_TRUE(bytes.endsWith('\n'));
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast(); // after the last line feed
    return lines;
}

QByteArray number(double v)
{
    return QString::number(v, 'E', 11).toLatin1();
}

TEST(TouchstoneWriteTest, HeaderAndOnePortLine)
{
    QTemporaryDir dir;
    TouchstoneIO io;
    const QString path = dir.filePath("model.s1p");
    ASSERT_TRUE(io.write(path, dataOf(0, {point(1e9, {{0.5, -0.25}}), point(2e9, {{-1, 0}})})));

    const QList<QByteArray> lines = writtenLines(path);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "! QUENTARO");
    const QString date = QString::fromUtf8(lines[1]);
    EXPECT_TRUE(QRegularExpression("^! Date: \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d \\S*$").match(date).hasMatch())
        << date.toStdString();
    EXPECT_EQ(lines[2], "# Hz S RI R  50");
    EXPECT_EQ(lines[3], "1.00000000000E+09\t5.00000000000E-01\t-2.50000000000E-01");
    EXPECT_EQ(lines[4], "2.00000000000E+09\t-1.00000000000E+00\t0.00000000000E+00");
}

TEST(TouchstoneWriteTest, NumbersAndImpedanceAsQtFormatsThem)
{
    const std::vector<double> values = {0.0,
                                        -0.0,
                                        1.0,
                                        -1.0,
                                        0.1,
                                        1.0 / 3.0,
                                        -2.0 / 3.0,
                                        123456789.123456789,
                                        9.999999999995e-7,
                                        9.9999999999949e99,
                                        1e-310,
                                        -4.9e-324,
                                        1.7976931348623157e308};
    QTemporaryDir dir;
    std::vector<TouchstonePoint> points;
    for (size_t i = 0; i < values.size(); ++i)
        points.push_back(point(double(i + 1), {{values[i], -values[i]}}));
    TouchstoneIO io;
    const QString path = dir.filePath("numbers.s1p");
    ASSERT_TRUE(io.write(path, dataOf(1, points, 75.123456789)));
    const QList<QByteArray> lines = writtenLines(path);
    ASSERT_EQ(lines.size(), int(3 + values.size()));
    EXPECT_EQ(lines[2], "# Hz S RI R  75.123456789");
    for (size_t i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(values[i]);
        EXPECT_EQ(lines[int(3 + i)], number(double(i + 1)) + '\t' + number(values[i]) + '\t' + number(-values[i]));
    }

    // The impedance goes out in full: the shortest text that reads back as
    // the same double.
    const std::vector<std::pair<double, QByteArray>> impedances = {{50.0, "50"},
                                                                   {0.5, "0.5"},
                                                                   {1e-4, "1e-04"},
                                                                   {1234567.0, "1234567"},
                                                                   {0.0, "0"},
                                                                   {49.999999999999993, "49.99999999999999"},
                                                                   {1.0 / 3.0, "0.3333333333333333"}};
    for (const auto &[impedance, text] : impedances) {
        SCOPED_TRACE(impedance);
        ASSERT_TRUE(io.write(path, dataOf(1, {point(1, {1})}, impedance)));
        EXPECT_EQ(writtenLines(path)[2], "# Hz S RI R  " + text);
    }
}

TEST(TouchstoneWriteTest, TwoPortColumnOrderAndLongerMatricesRowByRow)
{
    QTemporaryDir dir;
    TouchstoneIO io;

    const QString two = dir.filePath("two.s2p");
    ASSERT_TRUE(io.write(two, dataOf(0, {point(5, {{11, 1}, {12, 2}, {21, 3}, {22, 4}})})));
    auto lines = writtenLines(two);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[3], number(5) + "\t" + number(11) + "\t" + number(1) + "\t" + number(21) + "\t" + number(3) + "\t"
                            + number(12) + "\t" + number(2) + "\t" + number(22) + "\t" + number(4));

    const QString three = dir.filePath("three.s3p");
    Matrix m;
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            m.push_back({10.0 * i + j, -1.0});
    ASSERT_TRUE(io.write(three, dataOf(0, {point(7, m), point(8, m)})));
    lines = writtenLines(three);
    ASSERT_EQ(lines.size(), 3 + 2 * 3);
    auto row = [&](int i) {
        QByteArray text;
        for (int j = 1; j <= 3; ++j)
            text += (j > 1 ? "\t" : "") + number(10.0 * i + j) + "\t" + number(-1);
        return text;
    };
    EXPECT_EQ(lines[3], number(7) + "\t" + row(1));
    EXPECT_EQ(lines[4], "\t\t" + row(2));
    EXPECT_EQ(lines[5], "\t\t" + row(3));
    EXPECT_EQ(lines[6], number(8) + "\t" + row(1));

    const QString four = dir.filePath("four.s4p");
    ASSERT_TRUE(io.write(four, randomData(4, 3, 4)));
    lines = writtenLines(four);
    ASSERT_EQ(lines.size(), 3 + 3 * 4);
    for (int i = 3; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        const bool continuation = (i - 3) % 4 != 0;
        EXPECT_EQ(lines[i].startsWith("\t\t"), continuation);
        // Four pairs per row, after the frequency or the two leading tabs.
        EXPECT_EQ(lines[i].count('\t'), continuation ? 9 : 8);
    }
}

TEST(TouchstoneWriteTest, WriteThenReadIsExactToTheWrittenPrecision)
{
    QTemporaryDir dir;
    for (uint n : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(n);
        const TouchstoneData original = randomData(n, 25, n);
        const QString path = dir.filePath(QStringLiteral("round"));
        TouchstoneIO io;
        ASSERT_TRUE(io.write(path, original));
        const QString written = path + QStringLiteral(".s%1p").arg(n);
        const auto back = io.read(written);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->frequencyUnit, Unit::Hz);
        EXPECT_EQ(back->format, Format::RI);
        EXPECT_DOUBLE_EQ(back->impedance, 50.0);
        ASSERT_EQ(back->points.size(), original.points.size());
        // 12 significant digits are written.
        auto close = [](double a, double b) { return std::abs(a - b) <= 5e-12 * std::abs(a); };
        for (size_t k = 0; k < original.points.size(); ++k) {
            const auto &a = original.points[k];
            const auto &b = back->points[k];
            EXPECT_TRUE(close(a.frequency, b.frequency)) << k;
            ASSERT_EQ(b.matrix.size(), a.matrix.size());
            for (size_t i = 0; i < a.matrix.size(); ++i) {
                EXPECT_TRUE(close(a.matrix[i].real(), b.matrix[i].real())) << k << "/" << i;
                EXPECT_TRUE(close(a.matrix[i].imag(), b.matrix[i].imag())) << k << "/" << i;
            }
        }
        // Writing what was read gives the same text again.
        const QString again = dir.filePath(QStringLiteral("again.s%1p").arg(n));
        ASSERT_TRUE(io.write(again, *back));
        auto first = writtenLines(written);
        auto second = writtenLines(again);
        first.removeAt(1); // the date lines may differ by a minute
        second.removeAt(1);
        EXPECT_EQ(first, second);
    }
}

// ------------------------------------------------------------- file names

TEST(TouchstoneFileNameTest, SuffixIsAddedAndFreeNamesAreNumbered)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("run.1"));
    const QString base = dir.filePath("run.1/model");
    const TouchstoneData data = dataOf(2, {point(1, {1, 2, 3, 4})});

    TouchstoneIO io;
    ASSERT_TRUE(io.write(base, data));
    EXPECT_TRUE(QFileInfo::exists(base + ".s2p"));
    // Overwriting (the default) keeps the name.
    ASSERT_TRUE(io.write(base, data));
    EXPECT_EQ(dirEntries(dir.filePath("run.1")), QStringList{"model.s2p"});

    io.setOverwrite(false);
    EXPECT_EQ(io.filePath(base, data), base + "(1).s2p");
    ASSERT_TRUE(io.write(base, data));
    ASSERT_TRUE(io.write(base, data));
    EXPECT_EQ(dirEntries(dir.filePath("run.1")), (QStringList{"model(1).s2p", "model(2).s2p", "model.s2p"}));

    // A name with a port-count suffix is split at the first dot of its
    // file-name part, never inside the directory name.
    const QString suffixed = dir.filePath("run.1/model.s2p");
    EXPECT_EQ(io.filePath(suffixed, data), dir.filePath("run.1/model(3).s2p"));
    ASSERT_TRUE(writeBytes(dir.filePath("run.1/part.x.s2p"), "x"));
    EXPECT_EQ(io.filePath(dir.filePath("run.1/part.x.s2p"), data), dir.filePath("run.1/part(1).x.s2p"));
    EXPECT_EQ(io.filePath(dir.filePath("run.1/fresh.s2p"), data), dir.filePath("run.1/fresh.s2p"));

    EXPECT_EQ(TouchstoneIO::uniqueFileName(dir.filePath("run.1/model"), ".s2p"), dir.filePath("run.1/model(3).s2p"));
}

TEST(TouchstoneFileNameTest, SuffixDecidesPortCountAndAnyLetterCaseCounts)
{
    QTemporaryDir dir;
    TouchstoneIO io;
    // The suffix wins over the data's port count.
    TouchstoneData data = dataOf(4, {point(1, {1, 2, 3, 4})});
    const QString upper = dir.filePath("model.S2P");
    EXPECT_EQ(io.filePath(upper, data), upper);
    ASSERT_TRUE(io.write(upper, data));
    EXPECT_EQ(dirEntries(dir.path()), QStringList{"model.S2P"});
    const auto back = io.read(upper);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->points.at(0).matrix, (Matrix{1, 2, 3, 4}));

    // Neither a suffix nor a port count: no name, nothing written.
    data.portCount = 0;
    const QString bare = dir.filePath("bare");
    EXPECT_FALSE(io.filePath(bare, data));
    EXPECT_FALSE(io.write(bare, data));
    data.portCount = 2;
    EXPECT_EQ(io.filePath(dir.filePath("x.s10p"), data), dir.filePath("x.s10p.s2p"));
    EXPECT_EQ(dirEntries(dir.path()), QStringList{"model.S2P"});
}

// --------------------------------------------------------- write failures

TEST(TouchstoneWriteFailureTest, WrongMatrixSizeFailsAndWritesNothing)
{
    QTemporaryDir dir;
    TouchstoneIO io;
    const QString existing = dir.filePath("kept.s2p");
    ASSERT_TRUE(writeBytes(existing, "old content\n"));
    struct Case
    {
        const char *what;
        QString path;
        TouchstoneData data;
    };
    const std::vector<Case> cases = {
        {"a 2-port point with 3 elements", dir.filePath("short.s2p"),
         dataOf(2, {point(1, {1, 2, 3, 4}), point(2, {1, 2, 3})})},
        {"an empty matrix", dir.filePath("empty.s1p"), dataOf(1, {point(1, {})})},
        {"a 4-port matrix in a 2-port file", existing, dataOf(2, {randomData(4, 1, 1).points[0]})},
        {"more elements than the data's port count", dir.filePath("bycount"), dataOf(1, {point(1, {1, 2, 3, 4})})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(io.write(c.path, c.data));
    }
    EXPECT_EQ(dirEntries(dir.path()), QStringList{"kept.s2p"});
    EXPECT_EQ(readBytes(existing), "old content\n");
}

// A non-finite frequency or value would go out as text no reader takes, and
// a negative or non-rising frequency as a file the reader refuses: the write
// is refused, says which number, and leaves nothing (an existing file of the
// name stays as it was).
TEST(TouchstoneWriteFailureTest, NumbersNoReaderTakesAreRefusedWithTheirPlace)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath("kept.s2p");
    ASSERT_TRUE(writeBytes(existing, "old content\n"));
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto twelvePorts = [&](std::complex<double> bad) {
        Matrix m(144, {0.1, 0});
        m[10 * 12 + 1] = bad; // S11,2
        return dataOf(12, {point(1e9, m)});
    };
    struct Case
    {
        const char *what;
        QString path;
        TouchstoneData data;
        QString reason;
    };
    const std::vector<Case> cases = {
        {"a NaN frequency", existing, dataOf(2, {point(1, {1, 2, 3, 4}), point(nan, {1, 2, 3, 4})}),
         "the frequency of point 2 is not a finite number"},
        {"an infinite frequency", dir.filePath("f.s1p"), dataOf(1, {point(inf, {1})}),
         "the frequency of point 1 is not a finite number"},
        {"a NaN real part", existing, dataOf(2, {point(1e9, {1, 2, 3, 4}), point(2e9, {1, 2, {nan, 0}, 4})}),
         "S21 at 2000000000 Hz is not a finite number"},
        {"an infinite imaginary part", dir.filePath("v.s1p"), dataOf(1, {point(1.5, {{0.5, -inf}})}),
         "S11 at 1.5 Hz is not a finite number"},
        {"a 12-port matrix", dir.filePath("wide"), twelvePorts({0, nan}),
         "S11,2 at 1000000000 Hz is not a finite number"},
        {"a negative frequency", dir.filePath("n.s1p"), dataOf(1, {point(-1, {1}), point(1, {1})}),
         "the frequency of point 1 is negative"},
        {"a repeated frequency", dir.filePath("r.s1p"), dataOf(1, {point(1e9, {1}), point(2e9, {1}), point(2e9, {1})}),
         "the frequency of point 3 does not rise above the one before it"},
        {"a falling frequency", dir.filePath("d.s1p"), dataOf(1, {point(2e9, {1}), point(1e9, {1})}),
         "the frequency of point 2 does not rise above the one before it"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TouchstoneIO io;
        EXPECT_FALSE(io.write(c.path, c.data));
        EXPECT_EQ(io.errorString(), c.reason);
    }
    EXPECT_EQ(dirEntries(dir.path()), QStringList{"kept.s2p"});
    EXPECT_EQ(readBytes(existing), "old content\n");
    // The same writer succeeds next time and forgets the reason.
    TouchstoneIO io;
    ASSERT_FALSE(io.write(existing, cases[0].data));
    ASSERT_TRUE(io.write(existing, dataOf(2, {point(1, {1, 2, 3, 4})})));
    EXPECT_TRUE(io.errorString().isEmpty());
}

TEST(TouchstoneWriteFailureTest, UnopenableTargetFails)
{
    QTemporaryDir dir;
    TouchstoneIO io;
    const TouchstoneData data = dataOf(1, {point(1, {1})});
    EXPECT_FALSE(io.write(dir.filePath("no/such/dir/model.s1p"), data));
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.s1p"));
    EXPECT_FALSE(io.write(dir.filePath("taken.s1p"), data)) << "a directory of that name";
}

#if defined(__linux__)
// Lets this process write at most `bytes` per file: writes past it fail as on
// a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limit = previous;
        limit.rlim_cur = bytes;
        active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    bool active = false;

private:
    rlimit previous{};
    void (*previousHandler)(int) = nullptr;
};
#endif

TEST(TouchstoneWriteFailureTest, FullDiskFailsAndLeavesNoPartialFile)
{
#if defined(__linux__)
    QTemporaryDir dir;
    TouchstoneIO io;
    const QString existing = dir.filePath("kept.s2p");
    ASSERT_TRUE(writeBytes(existing, "old content\n"));
    // One small file (all of it goes out at the end) and one large one
    // (goes out in several blocks).
    for (size_t count : {600u, 30000u}) {
        SCOPED_TRACE(count);
        const TouchstoneData data = randomData(2, count, 7);
        bool written = true;
        bool replaced = true;
        {
            FileSizeLimit limit(16 * 1024);
            ASSERT_TRUE(limit.active);
            written = io.write(dir.filePath("new.s2p"), data);
            replaced = io.write(existing, data);
        }
        EXPECT_FALSE(written);
        EXPECT_FALSE(replaced);
        EXPECT_FALSE(io.errorString().isEmpty()) << "the system's reason is kept";
        EXPECT_EQ(dirEntries(dir.path()), QStringList{"kept.s2p"}) << "no partial or temporary file";
        EXPECT_EQ(readBytes(existing), "old content\n");
    }
    // The same data goes through once there is room again.
    EXPECT_TRUE(io.write(dir.filePath("new.s2p"), randomData(2, 600, 7)));
#else
    GTEST_SKIP() << "needs a per-process file size limit";
#endif
}

} // namespace
