// Touchstone files as other tools write them: line endings, per-port
// reference impedances in comment blocks, and the broken files the reader
// must refuse with the file, the line and the reason.
#include "device/touchstoneio.h"

#include "algorithms/renormalization.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

using Complex = std::complex<double>;
using Matrix = std::vector<Complex>;

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray number(double v)
{
    return QByteArray::number(v, 'g', 17);
}

struct Corpus
{
    QTemporaryDir dir;

    QString put(const char *name, const QByteArray &content)
    {
        const QString path = dir.filePath(QLatin1String(name));
        EXPECT_TRUE(writeBytes(path, content)) << name;
        return path;
    }
};

void expectMatrices(const TouchstoneData &data, const std::vector<double> &frequencies,
                    const std::vector<Matrix> &matrices, double tolerance)
{
    ASSERT_EQ(data.points.size(), frequencies.size());
    for (size_t k = 0; k < frequencies.size(); ++k) {
        SCOPED_TRACE("point " + std::to_string(k));
        EXPECT_DOUBLE_EQ(data.points[k].frequency, frequencies[k]);
        ASSERT_EQ(data.points[k].matrix.size(), matrices[k].size());
        for (size_t i = 0; i < matrices[k].size(); ++i)
            EXPECT_LE(std::abs(data.points[k].matrix[i] - matrices[k][i]), tolerance) << "element " << i;
    }
}

// ------------------------------------------------------------- refusals

TEST(TouchstoneRefusalTest, BrokenFilesAreRefusedWithFileLineAndReason)
{
    Corpus corpus;
    ASSERT_TRUE(corpus.dir.isValid());
    struct Case
    {
        const char *name;
        QByteArray content;
        int line;
        const char *reason; // part of the text
    };
    const QByteArray oneport = "# Hz S RI R 50\n";
    const QByteArray point2 = " 1 0 2 0 3 0 4 0\n";
    const QByteArray longPoint = " 1.00000000000E-01\t-2.50000000000E-01\n";
    const std::vector<Case> cases = {
        // Point count.
        {"cut_in_number.s1p", oneport + "1" + longPoint + "2" + longPoint + "3 1.00000000000E-01\t-2.50000000000E-0", 4,
         "ends in the middle of its last number"},
        {"cut_in_mantissa.s1p", oneport + "1" + longPoint + "2" + longPoint + "3 1.00000000000E-01\t-2.500", 4,
         "ends in the middle of its last number"},
        {"cut_in_point.s2p", "# Hz S RI R 50\n1" + point2 + "2 1 0 2 0 3", 3, "ends inside a point (6 of 9 values)"},
        {"declared_more.s1p",
         "[Version] 2.0\n# GHz S RI R 50\n[Number of Ports] 1\n[Number of Frequencies] 1001\n"
         "[Network Data]\n1 0 0\n2 0 0\n3 0 0\n[End]\n",
         4, "declares 1001 points, the file holds 3"},
        {"declared_fewer.s1p",
         "[Version] 2.0\n# GHz S RI R 50\n[Number of Frequencies] 2\n[Network Data]\n1 0 0\n2 0 0\n"
         "3 0 0\n[End]\n",
         3, "declares 2 points, the file holds 3"},
        {"declared_nonsense.s1p", "[Number of Frequencies] many\n1 0 0\n", 1, "is no count"},
        // A four-port file named as a two-port one would be cut into wrong
        // points.
        {"declared_ports.s2p",
         "[Version] 2.0\n# GHz S RI R 50\n[Number of Ports] 4\n[Network Data]\n1 1 0 2 0 3 0 4 0\n[End]\n", 3,
         "[Number of Ports] declares 4 ports, the file name says 2"},
        {"declared_ports_nonsense.s1p", "[Number of Ports] one\n1 0 0\n", 1, "[Number of Ports] 'one' is no count"},
        // Frequency order.
        {"descending.s1p", oneport + "1 0 0\n3 0 0\n2 0 0\n", 4, "does not rise above the previous 3 (line 3)"},
        {"repeated.s2p", oneport + "1" + point2 + "1 5 0 6 0 7 0 8 0\n", 3, "does not rise above"},
        // A descending two-port point whose first line holds five values is
        // no noise block once its next line holds four.
        {"noise_lookalike.s2p", oneport + "1" + point2 + "2" + point2 + "1 5 0 6 0\n7 0 8 0\n", 5,
         "line 4 looked like the start of noise data"},
        {"negative.s1p", oneport + "-1 0 0\n2 0 0\n", 2, "is negative"},
        {"nan_frequency.s1p", oneport + "1 0 0\nnan 0 0\n", 3, "is not finite"},
        {"inf_frequency.s1p", oneport + "1 0 0\n2 0 0\ninf 0 0\n", 4, "is not finite"},
        // Values.
        {"nan_value.s1p", oneport + "1 0 0\n2 NaN 0\n", 3, "is not finite"},
        {"inf_value.s2p", oneport + "1 1 0 2 0\n-Inf 0 4 0\n", 3, "is not finite"},
        {"db_overflow.s1p", "# Hz S DB R 50\n1 7000 0\n", 2, "is not finite"},
        {"huge_number.s1p", oneport + "1 1e999 0\n", 2, "'1e999' is no number"},
        // Reference impedances.
        {"complex_r.s1p", "# GHz S RI R (10+10j)\n1 0 0\n", 1,
         "complex reference impedance R '(10+10j)' is not supported"},
        {"word_r.s1p", "# GHz S RI R fifty\n1 0 0\n", 1, "R 'fifty' is no number"},
        {"negative_r.s1p", "# GHz S RI R -50\n1 0 0\n", 1, "not a finite value of at least 0"},
        {"empty_r.s1p", "# GHz S RI R\n1 0 0\n", 1, "R without a value"},
        {"complex_port.s1p", oneport + "1 0 0\n! Port Impedance 50 1.5\n", 3,
         "complex port 1 reference impedance 50+1.5j is not supported"},
        {"zero_port.s2p", oneport + "1" + point2 + "! Port Impedance 50 0 0 0\n", 3,
         "port 2 reference impedance 0+0j is unusable"},
        {"block_short.s2p", oneport + "1" + point2 + "! Port Impedance 50 0\n2" + point2, 3, "holds 2 of 4 values"},
        {"block_words.s1p", oneport + "1 0 0\n! Port Impedance 50 0 ohm\n", 3, "cannot be read at 'ohm'"},
        {"block_heading_words.s1p", oneport + "! Port Impedance (ohm)\n1 0 0\n", 2, "cannot be read at '(ohm)'"},
        {"block_cut_by_comment.s2p", oneport + "1" + point2 + "! Port Impedance 50 0\n! made by hand\n", 3,
         "holds 2 of 4 values"},
        {"block_long.s1p", oneport + "1 0 0\n! Port Impedance 50 0 50 0\n", 3, "holds more than 2 values"},
        // A terminal impedance matrix: its first row must not be taken for
        // the ports' impedances.
        {"matrix_coupled.s2p", oneport + "1" + point2 + "! Port Impedance 50 0 10 0\n! 10 0 50 0\n", 3,
         "matrix couples ports 1 and 2 (10+0j); coupled reference impedances are not supported"},
        {"matrix_short.s2p", oneport + "1" + point2 + "! Port Impedance 50 0 0 0\n! 0 0\n2" + point2, 3,
         "holds 6 of 8 values"},
        {"matrix_long.s2p", oneport + "1" + point2 + "! Port Impedance 50 0 0 0\n! 0 0 50 0\n! 1 0\n", 3,
         "holds more than 8 values"},
        {"block_missing.s1p", oneport + "1 0 0\n! Port Impedance 50 0\n2 0 0\n", 4,
         "1 of 2 points have a Port Impedance block"},
        {"block_first.s1p", oneport + "! Port Impedance 50 0\n1 0 0\n", 2, "before the first point"},
        {"block_twice.s1p", oneport + "1 0 0\n! Port Impedance 50 0\n! Port Impedance 50 0\n", 4,
         "a second Port Impedance block"},
        {"block_inside.s3p", oneport + "1 1 0 2 0 3 0\n! Port Impedance 50 0 50 0 50 0\n4 0 5 0 6 0\n", 3,
         "inside a point"},
        {"vary_without_r.s1p", "# Hz S RI R 0\n1 0 0\n! Port Impedance 50 0\n2 0 0\n! Port Impedance 60 0\n", 5,
         "names no reference impedance"},
        {"block_and_reference.s1p", "[Version] 2.0\n# Hz S RI R 50\n[Reference] 60\n1 0 0\n! Port Impedance 50 0\n", 3,
         "both [Reference] and Port Impedance"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = corpus.put(c.name, c.content);
        TouchstoneIO io;
        EXPECT_FALSE(io.read(path));
        const QString text = io.errorString();
        EXPECT_TRUE(text.startsWith(path + QStringLiteral(", line %1: ").arg(c.line))) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(c.reason))) << text.toStdString();
    }
}

TEST(TouchstoneRefusalTest, FilesThatCannotBeOpenedSayWhy)
{
    Corpus corpus;
    TouchstoneIO io;
    EXPECT_FALSE(io.read(corpus.dir.filePath("missing.s1p")));
    EXPECT_TRUE(io.errorString().contains("missing.s1p: cannot open the file")) << io.errorString().toStdString();
    EXPECT_FALSE(io.read(corpus.put("data.txt", "1 0 0\n")));
    EXPECT_TRUE(io.errorString().endsWith("data.txt: the name does not end in .s1p to .s9p"));
    // A FIFO would hold the read until a writer came.
    const QString fifo = corpus.dir.filePath("pipe.s1p");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(io.read(fifo));
    EXPECT_TRUE(io.errorString().endsWith("pipe.s1p: cannot open the file (not a regular file)"))
        << io.errorString().toStdString();
    // A successful read leaves no reason behind.
    EXPECT_TRUE(io.read(corpus.put("good.s1p", "1 0 0\n")));
    EXPECT_TRUE(io.errorString().isEmpty());
}

// ------------------------------------------------------------ line endings

TEST(TouchstoneLineEndingTest, AnyLineEndingReadsTheSame)
{
    Corpus corpus;
    const QByteArray lines[] = {"! made elsewhere", "# MHz S MA R 75", "1 1 0 0.5 90 0.5 90 1 180", "! between points",
                                "2 0.25 -90 1 0 1 0 0.25 90"};
    struct Case
    {
        const char *name;
        QByteArray separator;
        QByteArray last;
    };
    const std::vector<Case> cases = {
        {"lf.s2p", "\n", "\n"},    {"crlf.s2p", "\r\n", "\r\n"},
        {"cr.s2p", "\r", "\r"},    {"cr_unterminated.s2p", "\r", ""},
        {"mixed.s2p", "\r", "\n"}, {"blank_cr_lines.s2p", "\r\r", "\r\r"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray content;
        for (const QByteArray &line : lines)
            content += line + c.separator;
        content.chop(c.separator.size());
        content += c.last;
        TouchstoneIO io;
        const auto data = io.read(corpus.put(c.name, content));
        ASSERT_TRUE(data) << io.errorString().toStdString();
        EXPECT_EQ(data->impedance, 75.0);
        expectMatrices(*data, {1e6, 2e6},
                       {{{1, 0}, {0, 0.5}, {0, 0.5}, {-1, 0}}, {{0, -0.25}, {1, 0}, {1, 0}, {0, 0.25}}}, 1e-15);
    }

    // A line break split between two blocks of the reader: a carriage return
    // ends the first block, its line feed starts the next.
    QByteArray large = "# Hz S RI R 50";
    large += QByteArray((1 << 18) - large.size() - 1, ' ');
    large += "\r\n1 0.5 0\r\n2 0.25 0\r\n";
    TouchstoneIO io;
    const auto data = io.read(corpus.put("split.s1p", large));
    ASSERT_TRUE(data) << io.errorString().toStdString();
    expectMatrices(*data, {1, 2}, {{{0.5, 0}}, {{0.25, 0}}}, 0);
}

TEST(TouchstoneLineEndingTest, AnUnterminatedLastLineIsReadWhenItsNumberIsWhole)
{
    Corpus corpus;
    const QByteArray head = "# Hz S RI R 50\n1 1.00000000000E-01\t-2.50000000000E-01\n"
                            "2 1.00000000000E-01\t-2.50000000000E-01\n";
    // The same shape as the earlier points, and a file whose points vary in
    // shape anyway: nothing says the last number was cut.
    for (const QByteArray &content : {head + "3 1.00000000000E-01\t-2.50000000000E-01",
                                      QByteArray("# Hz S RI R 50\n1 0.5 -0.25\n2 0.125 -0.5\n3 0.1 -0.2")}) {
        SCOPED_TRACE(content.toStdString());
        TouchstoneIO io;
        const auto data = io.read(corpus.put("whole.s1p", content));
        ASSERT_TRUE(data) << io.errorString().toStdString();
        EXPECT_EQ(data->points.size(), 3u);
    }
}

// ---------------------------------------------------- reference impedances

TEST(TouchstoneImpedanceTest, OptionLineImpedancesAreTakenAsWritten)
{
    Corpus corpus;
    struct Case
    {
        const char *option;
        double impedance;
    };
    // 0 names no reference impedance (a model without a target impedance);
    // values beyond the usual range are not replaced by a default.
    const std::vector<Case> cases = {
        {"# Hz S RI R 0", 0.0},       {"# Hz S RI R 5000", 5000.0},
        {"# Hz S RI R 0.0001", 1e-4}, {"# Hz S RI R 75.123456789012345", 75.123456789012345},
        {"# Hz S RI", 50.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.option);
        TouchstoneIO io;
        const auto data = io.read(corpus.put("r.s1p", QByteArray(c.option) + "\n1 0 0\n"));
        ASSERT_TRUE(data) << io.errorString().toStdString();
        EXPECT_EQ(data->impedance, c.impedance);
        EXPECT_TRUE(data->portImpedances.empty());
    }
}

TEST(TouchstoneImpedanceTest, ConstantPortImpedanceBlocksNameThePortImpedances)
{
    Corpus corpus;
    struct Case
    {
        const char *name;
        QByteArray content;
        double impedance;
        std::vector<double> ports;
    };
    const QByteArray head = "! Gamma ! Port Impedance\n# GHz S RI R 50\n";
    const std::vector<Case> cases = {
        {"same.s2p",
         head
             + "1 1 0 2 0 3 0 4 0\n! Gamma ! 0 1 0 1\n! Port Impedance 75 0 75 0\n"
               "2 5 0 6 0 7 0 8 0\n! Gamma ! 0 1 0 1\n! Port Impedance 75 0 75 0\n",
         75.0,
         {}},
        {"differ.s2p",
         head
             + "1 1 0 2 0 3 0 4 0\n! Port Impedance 25 0 100.5 0\n"
               "2 5 0 6 0 7 0 8 0\n! Port Impedance 25 0 100.5 0\n",
         25.0,
         {25.0, 100.5}},
        // Four ports: the block goes on over further comment lines.
        {"wrapped.s4p",
         head
             + "1 1 0 2 0 3 0 4 0\n5 0 6 0 7 0 8 0\n9 0 10 0 11 0 12 0\n13 0 14 0 15 0 16 0\n"
               "! Port Impedance 40 0 45 0\n! 50 0 55 0\n! End of data\n",
         40.0,
         {40.0, 45.0, 50.0, 55.0}},
        // A terminal impedance matrix without coupling, a row a line.
        {"matrix.s2p",
         head
             + "1 1 0 2 0 3 0 4 0\n! Port Impedance 25 0 0 0\n!  0 0 100.5 0\n"
               "2 5 0 6 0 7 0 8 0\n! Port Impedance25 0 0 0\n!  0 0 100.5 0\n",
         25.0,
         {25.0, 100.5}},
        // The second version of the format names them in [Reference], here
        // over two lines.
        {"reference.s2p",
         "[Version] 2.0\n# GHz S RI R 50\n[Number of Ports] 2\n[Two-Port Data Order] 21_12\n[Reference] 25\n"
         "100.5\n[Network Data]\n1 1 0 2 0 3 0 4 0\n2 5 0 6 0 7 0 8 0\n[End]\n",
         25.0,
         {25.0, 100.5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TouchstoneIO io;
        const auto data = io.read(corpus.put(c.name, c.content));
        ASSERT_TRUE(data) << io.errorString().toStdString();
        EXPECT_EQ(data->impedance, c.impedance);
        EXPECT_EQ(data->portImpedances, c.ports);
        // The data stay as written: they already refer to those impedances.
        EXPECT_EQ(data->points.at(0).matrix.at(1), Complex(c.name[0] == 'w' ? 2 : 3, 0));
    }
}

// S referred to the real port impedances z, from S referred to z0 at every
// port, by the textbook route through Z.
Matrix referTo(const Matrix &s, const std::vector<double> &z, double z0)
{
    using M = Eigen::MatrixXcd;
    const auto n = Eigen::Index(z.size());
    M sm(n, n);
    for (Eigen::Index i = 0; i < n; ++i)
        for (Eigen::Index j = 0; j < n; ++j)
            sm(i, j) = s[size_t(i * n + j)];
    const M id = M::Identity(n, n);
    const M zm = std::sqrt(z0) * (id + sm) * (id - sm).inverse() * std::sqrt(z0);
    M root = M::Zero(n, n);
    for (Eigen::Index i = 0; i < n; ++i)
        root(i, i) = 1.0 / std::sqrt(z[size_t(i)]);
    const M zn = root * zm * root;
    const M result = (zn - id) * (zn + id).inverse();
    Matrix out;
    for (Eigen::Index i = 0; i < n; ++i)
        for (Eigen::Index j = 0; j < n; ++j)
            out.push_back(result(i, j));
    return out;
}

TEST(TouchstoneImpedanceTest, VaryingPortImpedancesAreReferredToTheOptionLineImpedance)
{
    Corpus corpus;
    std::mt19937 rng(19);
    std::uniform_real_distribution<double> part(-0.4, 0.4);
    for (size_t n : {1u, 2u, 3u}) {
        SCOPED_TRACE(n);
        const double target = n == 2 ? 75.0 : 50.0;
        QByteArray content = "# Hz S RI R " + number(target) + "\n";
        std::vector<double> frequencies;
        std::vector<Matrix> expected;
        for (int k = 0; k < 6; ++k) {
            Matrix s(n * n);
            for (auto &v : s)
                v = {part(rng), part(rng)};
            // The first two points share their impedances: only from the
            // third do they vary.
            std::vector<double> z;
            for (size_t port = 0; port < n; ++port)
                z.push_back(30.0 + 10.0 * double(port) + 7.0 * std::max(k - 1, 0));
            Matrix written = referTo(s, z, target);
            if (n == 2) {
                // The two-port helper of the algorithms gives the same.
                const Algorithms::TwoPortMatrix check =
                    Algorithms::renormalizeTwoPort({s[0], s[2], s[1], s[3]}, {target, target}, {z[0], z[1]});
                EXPECT_LE(std::abs(check[0] - written[0]) + std::abs(check[1] - written[2])
                              + std::abs(check[2] - written[1]) + std::abs(check[3] - written[3]),
                          1e-12);
            }
            frequencies.push_back(1e6 * (k + 1));
            expected.push_back(s);
            content += number(frequencies.back());
            // Two-port files list S11 S21 S12 S22.
            for (size_t i = 0; i < n * n; ++i) {
                const size_t index = n == 2 ? (i % 2) * 2 + i / 2 : i;
                content += ' ' + number(written[index].real()) + ' ' + number(written[index].imag());
            }
            content += "\n! Port Impedance";
            for (double value : z)
                content += ' ' + number(value) + " 0";
            content += '\n';
        }
        TouchstoneIO io;
        const auto data = io.read(corpus.put(n == 3 ? "vary.s3p" : n == 2 ? "vary.s2p" : "vary.s1p", content));
        ASSERT_TRUE(data) << io.errorString().toStdString();
        EXPECT_EQ(data->impedance, target);
        EXPECT_TRUE(data->portImpedances.empty());
        expectMatrices(*data, frequencies, expected, 1e-12);
    }
}

// ------------------------------------------------------------- round trip

TEST(TouchstoneRoundTripTest, WrittenImpedanceAndValuesReadBackExactly)
{
    Corpus corpus;
    // 0: a model without a target impedance, written as R 0 and read back
    // as 0, never as a default.
    const std::vector<double> impedances = {
        50.0, 75.123456789012345, 0.0, 1e-4, 1234.5678901234567, 49.999999999999993, 1.0 / 3.0};
    for (double impedance : impedances) {
        SCOPED_TRACE(impedance);
        TouchstoneData data;
        data.portCount = 2;
        data.impedance = impedance;
        for (int k = 0; k < 3; ++k) {
            TouchstonePoint p;
            p.frequency = 1e9 * (k + 1) + 0.5;
            p.size = 2;
            p.matrix = {{0.1 * k, -0.2}, {0.9, 0.01}, {0.8, -0.02}, {-0.3, 0.25 * k}};
            data.points.push_back(p);
        }
        TouchstoneIO io;
        const QString path = corpus.dir.filePath("round.s2p");
        ASSERT_TRUE(io.write(path, data));
        const auto back = io.read(path);
        ASSERT_TRUE(back) << io.errorString().toStdString();
        EXPECT_EQ(back->impedance, impedance);
        ASSERT_EQ(back->points.size(), data.points.size());
        for (size_t k = 0; k < data.points.size(); ++k) {
            EXPECT_EQ(back->points[k].frequency, data.points[k].frequency);
            for (size_t i = 0; i < 4; ++i)
                EXPECT_LE(std::abs(back->points[k].matrix[i] - data.points[k].matrix[i]), 1e-12);
        }
    }
}

// Ports at impedances other than the option line's go out as a Port
// Impedance block after every point and read back as the same per-port
// impedances to the last bit; impedances a block cannot hold are refused.
TEST(TouchstoneRoundTripTest, PerPortImpedancesReadBackExactly)
{
    Corpus corpus;
    struct Case
    {
        uint n;
        double impedance;
        std::vector<double> ports;
        double readImpedance; // what the reader reports for the whole file
        std::vector<double> readPorts; // empty: every port at readImpedance
    };
    const std::vector<Case> cases = {
        {2, 50.0, {50.0, 75.0}, 50.0, {50.0, 75.0}},
        {3, 75.0, {75.0, 50.0, 50.000000000000007}, 75.0, {75.0, 50.0, 50.000000000000007}},
        {2, 0.0, {1.0 / 3.0, 1e-4}, 1.0 / 3.0, {1.0 / 3.0, 1e-4}},
        {2, 50.0, {75.0, 75.0}, 75.0, {}},
        {2, 50.0, {50.0, 50.0}, 50.0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.ports));
        TouchstoneData data;
        data.portCount = c.n;
        data.impedance = c.impedance;
        data.portImpedances = c.ports;
        for (int k = 0; k < 3; ++k) {
            TouchstonePoint p;
            p.frequency = 1e9 * (k + 1);
            p.size = c.n;
            for (uint i = 0; i < c.n * c.n; ++i)
                p.matrix.push_back({0.01 * (i + 1), -0.1 * k});
            data.points.push_back(p);
        }
        TouchstoneIO io;
        const QString path = corpus.dir.filePath(QStringLiteral("ports.s%1p").arg(c.n));
        ASSERT_TRUE(io.write(path, data));
        const auto back = io.read(path);
        ASSERT_TRUE(back) << io.errorString().toStdString();
        EXPECT_EQ(back->impedance, c.readImpedance);
        EXPECT_EQ(back->portImpedances, c.readPorts);
        ASSERT_EQ(back->points.size(), data.points.size());
        for (size_t k = 0; k < data.points.size(); ++k) {
            EXPECT_EQ(back->points[k].frequency, data.points[k].frequency);
            for (size_t i = 0; i < data.points[k].matrix.size(); ++i)
                EXPECT_LE(std::abs(back->points[k].matrix[i] - data.points[k].matrix[i]), 1e-12);
        }
    }

    TouchstoneData data;
    data.portCount = 2;
    data.impedance = 50.0;
    data.points.push_back({1.0, {{0.5, 0}, {0, 0}, {0, 0}, {0.5, 0}}, 2});
    for (const auto &ports : std::vector<std::vector<double>>{
             {50.0, 0.0}, {50.0, -75.0}, {50.0, std::nan("")}, {50.0, HUGE_VAL}, {75.0}, {50.0, 75.0, 75.0}}) {
        SCOPED_TRACE(::testing::PrintToString(ports));
        data.portImpedances = ports;
        TouchstoneIO io;
        EXPECT_FALSE(io.write(corpus.dir.filePath("bad.s2p"), data));
        EXPECT_FALSE(QFile::exists(corpus.dir.filePath("bad.s2p")));
    }
}

TEST(TouchstoneRoundTripTest, ImpedancesOneOptionLineCannotHoldAreNotWritten)
{
    Corpus corpus;
    TouchstoneData data;
    data.portCount = 1;
    data.points.push_back({1.0, {{0.5, 0}}, 1});
    TouchstoneIO io;
    for (double impedance : {-50.0, std::nan(""), HUGE_VAL}) {
        SCOPED_TRACE(impedance);
        data.impedance = impedance;
        EXPECT_FALSE(io.write(corpus.dir.filePath("bad"), data));
    }
    data.impedance = 50.0;
    data.portImpedances = {50.0, 75.0};
    EXPECT_FALSE(io.write(corpus.dir.filePath("bad"), data));
    data.portImpedances = {50.0};
    EXPECT_TRUE(io.write(corpus.dir.filePath("good"), data));
}

} // namespace
