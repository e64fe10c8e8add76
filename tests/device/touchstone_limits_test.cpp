// Touchstone files the reader must refuse without holding them whole or
// quoting them at length (huge tokens, endless lines), and files cut short in
// their last line, which must be refused with the line and the reason rather
// than read with a wrong last value.
#include "device/touchstoneio.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <complex>
#include <string>
#include <vector>

namespace {

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The refusal without the file's name in front.
std::string reasonOf(const TouchstoneIO &io, const QString &path)
{
    QString text = io.errorString();
    if (text.startsWith(path))
        text.remove(0, path.size());
    return text.toStdString();
}

// ------------------------------------------------------------ huge input

TEST(TouchstoneHugeInputTest, ALineNoTouchstoneFileHoldsIsRefusedWithoutReadingItWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 3 GiB of NUL bytes (a sparse file: nothing is written to the disk), one
    // line that a reader holding it whole could not even index with an int.
    const QString zeros = dir.filePath("zeros.s1p");
    {
        QFile file(zeros);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(3) << 30));
    }
    TouchstoneIO io;
    EXPECT_FALSE(io.read(zeros));
    EXPECT_EQ(reasonOf(io, zeros), ", line 1: the line is longer than 1048576 bytes, which no Touchstone line is "
                                   "(it starts '\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00"
                                   "\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00...')");

    // The same after good lines: the line is counted.
    const QString late = dir.filePath("late.s1p");
    ASSERT_TRUE(writeBytes(late, "# Hz S RI R 50\n1 0 0\n" + QByteArray(3 << 20, 'x') + "\n2 0 0\n"));
    EXPECT_FALSE(io.read(late));
    EXPECT_EQ(reasonOf(io, late), ", line 3: the line is longer than 1048576 bytes, which no Touchstone line is "
                                  "(it starts 'xxxxxxxxxxxxxxxxxxxxxxxx...')");
}

TEST(TouchstoneHugeInputTest, RefusalsQuoteAShortExcerptOfABadToken)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case
    {
        const char *name;
        QByteArray content;
        const char *reason;
    };
    const QByteArray head = "# Hz S RI R 50\n";
    const std::vector<Case> cases = {
        // Long, but a line the reader holds: the token is cut to 24 characters.
        {"long_token.s1p", head + "1 0 " + QByteArray(500000, '7') + "x\n",
         ", line 2: '777777777777777777777777...' is no number"},
        {"long_reference.s1p", "# Hz S RI R " + QByteArray(100000, 'z') + "\n1 0 0\n",
         ", line 1: the reference impedance R 'zzzzzzzzzzzzzzzzzzzzzzzz...' is no number"},
        // Exactly 24 characters are quoted whole.
        {"just_short.s1p", head + "1 0 abcdefghijklmnopqrstuvwx\n",
         ", line 2: 'abcdefghijklmnopqrstuvwx' is no number"},
        // Control characters are written out, other text as it stands.
        {"nul.s1p", head + QByteArray("1 0 0\0\x01 \n", 9), ", line 2: '0\\x00\\x01' is no number"},
        {"utf8.s1p", head + "1 0 \xCE\xA9\xE2\x82\xAC\n", ", line 2: '\xCE\xA9\xE2\x82\xAC' is no number"},
        {"keyword.s2p", "[Two-Port Data Order] " + QByteArray(4000, 'q') + "\n1 0 0 0 0 0 0 0 0\n",
         ", line 1: unknown [Two-Port Data Order] 'qqqqqqqqqqqqqqqqqqqqqqqq...'"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        ASSERT_TRUE(writeBytes(path, c.content));
        TouchstoneIO io;
        EXPECT_FALSE(io.read(path));
        EXPECT_EQ(reasonOf(io, path), c.reason);
    }
}

TEST(TouchstoneHugeInputTest, LongLinesBelowTheLimitAreRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A comment of nearly a megabyte, and blanks far longer than any block
    // of the reader inside a point.
    const QString path = dir.filePath("long.s1p");
    ASSERT_TRUE(writeBytes(path, "! " + QByteArray(1000000, 'c') + "\r# Hz S RI R 50\n1 0.5" + QByteArray(900000, ' ')
                                     + "0.25\r\n2 0 1"));
    TouchstoneIO io;
    const auto data = io.read(path);
    ASSERT_TRUE(data) << io.errorString().toStdString();
    ASSERT_EQ(data->points.size(), 2u);
    EXPECT_EQ(data->points[0].matrix[0], std::complex<double>(0.5, 0.25));
    EXPECT_EQ(data->points[1].matrix[0], std::complex<double>(0.0, 1.0));
}

// -------------------------------------------------------------- cut files

TouchstoneData sample(uint ports, size_t count)
{
    TouchstoneData data;
    data.portCount = ports;
    data.impedance = 50.0;
    for (size_t k = 0; k < count; ++k) {
        TouchstonePoint point;
        point.frequency = 1e9 * double(k + 1);
        point.size = ports;
        for (uint i = 0; i < ports * ports; ++i)
            point.matrix.emplace_back(0.0123456789 * double(i + 1) - 0.1 * double(k), -0.25 + 0.01 * double(i));
        data.points.push_back(point);
    }
    return data;
}

struct Source
{
    std::string name;
    QByteArray content; // a complete file, ending in a line break
};

// A file cut at every byte of its last line: cut just before the line's
// break, it is the whole file without that break and reads the same; cut
// anywhere inside, it is refused at that line, saying that it ends inside a
// point or inside its last number; cut at the start of the line it is a
// shorter file of whole lines.
TEST(TouchstoneCutFileTest, AFileCutAnywhereInItsLastLineIsRefusedWithTheLineAndReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<Source> sources;
    // The program's own files: one, two and four ports (rows on lines of
    // their own), and a single two-port point, whose last line alone says
    // how its numbers are written.
    for (const auto &[ports, count] : std::vector<std::pair<uint, size_t>>{{1, 3}, {2, 3}, {4, 2}, {2, 1}}) {
        const QString base = dir.filePath(QStringLiteral("own%1_%2").arg(ports).arg(count));
        TouchstoneIO io;
        ASSERT_TRUE(io.write(base, sample(ports, count)));
        sources.push_back(
            {"own" + std::to_string(ports) + "_" + std::to_string(count) + ".s" + std::to_string(ports) + "p",
             readBytes(base + QStringLiteral(".s%1p").arg(ports))});
    }
    // Another tool's fixed-point layout with carriage returns and line feeds.
    sources.push_back({"fixed.s2p",
                       "! fixed\r\n# MHz S MA R 50\r\n"
                       "100.000 0.912345 -12.500000 0.012345 78.250000 0.012345 78.250000 0.902345 -13.750000\r\n"
                       "200.000 0.812345 -22.500000 0.022345 68.250000 0.022345 68.250000 0.802345 -23.750000\r\n"
                       "300.000 0.712345 -32.500000 0.032345 58.250000 0.032345 58.250000 0.702345 -33.750000\r\n"});

    int refusedInside = 0;
    for (const Source &source : sources) {
        const QByteArray &whole = source.content;
        ASSERT_TRUE(whole.endsWith('\n'));
        const int breakLength = whole.endsWith("\r\n") ? 2 : 1;
        const int lastStart = whole.lastIndexOf('\n', whole.size() - 2) + 1;
        const int lastLength = whole.size() - breakLength - lastStart;
        const int lastLine = whole.left(lastStart).count('\n') + 1;

        const QString wholePath = dir.filePath(QString::fromStdString("whole_" + source.name));
        ASSERT_TRUE(writeBytes(wholePath, whole));
        TouchstoneIO io;
        const auto expected = io.read(wholePath);
        ASSERT_TRUE(expected) << source.name << ": " << io.errorString().toStdString();

        for (int cut = 0; cut <= lastLength; ++cut) {
            SCOPED_TRACE(source.name + " cut after " + std::to_string(cut) + " bytes of its last line");
            const QString path = dir.filePath(QString::fromStdString(source.name));
            ASSERT_TRUE(writeBytes(path, whole.left(lastStart + cut)));
            const auto data = io.read(path);
            if (cut == 0) {
                // Whole lines: a point fewer, which nothing in a file of the
                // first version tells, or a point left short.
                if (data) {
                    EXPECT_EQ(data->points.size() + 1, expected->points.size());
                } else {
                    EXPECT_TRUE(io.errorString().contains("inside a point")
                                || io.errorString().contains("no data points"))
                        << io.errorString().toStdString();
                }
            } else if (cut == lastLength) {
                ASSERT_TRUE(data) << io.errorString().toStdString();
                ASSERT_EQ(data->points.size(), expected->points.size());
                EXPECT_EQ(data->points.back().matrix, expected->points.back().matrix);
            } else {
                ASSERT_FALSE(data) << "read with " << data->points.size() << " points";
                const std::string reason = reasonOf(io, path);
                const std::string at = ", line " + std::to_string(lastLine) + ": the file ends ";
                EXPECT_EQ(reason.rfind(at, 0), 0u) << reason;
                EXPECT_TRUE(reason.find("inside a point") != std::string::npos
                            || reason.find("in the middle of its last number") != std::string::npos)
                    << reason;
                ++refusedInside;
            }
        }
    }
    EXPECT_GT(refusedInside, 400);
}

// A file of the second version ends in [End]: one that stops inside a line
// without it was cut short, whatever its numbers look like; and the noise
// data after [Noise Data] are not read, but a file cut inside them is no
// whole file either.
TEST(TouchstoneCutFileTest, ASecondVersionFileEndingInANumberWithoutEndIsRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray head = "[Version] 2.0\n# GHz S RI R 50\n[Number of Ports] 1\n[Number of Frequencies] 2\n"
                            "[Network Data]\n1 0.5 -0.25\n";
    struct Case
    {
        const char *name;
        QByteArray content;
        int line; // 0: read
        const char *reason;
    };
    const std::vector<Case> cases = {
        {"whole.s1p", head + "2 0.125 -0.5\n[End]\n", 0, ""},
        {"no_end_terminated.s1p", head + "2 0.125 -0.5\n", 0, ""},
        {"no_end_cut.s1p", head + "2 0.125 -0.", 7, "the file ends in the middle of its last number"},
        // Nothing in the numbers says so; only the missing [End].
        {"no_end_whole_looking.s1p", head + "2 0.125 -0.5", 7,
         "the file ends without [End], in the middle of a number"},
        {"noise_whole.s1p", head + "2 0.125 -0.5\n[Noise Data]\n1 1.5 0.5 45 0.3\n[End]", 0, ""},
        {"noise_cut.s1p", head + "2 0.125 -0.5\n[Noise Data]\n1 1.5 0.5 45 0.3\n2 1.6 0.5 45 0.", 10,
         "the file ends without [End], in the middle of a number"},
        // The network data end at [Noise Data], which leaves this point short.
        {"noise_inside_point.s1p", head + "2 0.125\n[Noise Data]\n1 1.5 0.5 45 0.3\n[End]\n", 8,
         "the file ends inside a point (2 of 3 values)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        ASSERT_TRUE(writeBytes(path, c.content));
        TouchstoneIO io;
        const auto data = io.read(path);
        if (c.line == 0) {
            ASSERT_TRUE(data) << io.errorString().toStdString();
            EXPECT_EQ(data->points.size(), 2u);
            continue;
        }
        EXPECT_FALSE(data);
        EXPECT_EQ(reasonOf(io, path), ", line " + std::to_string(c.line) + ": " + c.reason);
    }
}

// How a file of the first version shows that its last number was cut: a
// number that stops at its exponent mark or sign, a point with nothing after
// it, a number written unlike the others in its place.
TEST(TouchstoneCutFileTest, TheSignsOfACutLastNumber)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case
    {
        const char *name;
        QByteArray content;
        const char *reason; // nullptr: read
    };
    const char *const cut = ", line 4: the file ends in the middle of its last number";
    const QByteArray mixed = "# GHz S RI R 50\n1 0.5 -0.25\n2 0.125 -0.5\n";
    const QByteArray alike = "# GHz S RI R 50\n1 0.50 -0.25\n2 0.12 -0.50\n";
    const std::vector<Case> cases = {
        {"exponent_mark.s1p", mixed + "3 0.1 2.5E", cut},
        {"exponent_sign.s1p", mixed + "3 0.1 2.5e-", cut},
        {"sign_alone.s1p", mixed + "3 0.1 -", cut},
        // The numbers vary in how they are written, yet none ends in a point.
        {"bare_point.s1p", mixed + "3 0.1 -0.", cut},
        // A word is no number cut short: it is refused as what it is.
        {"word.s1p", mixed + "3 0.1 x", ", line 4: 'x' is no number"},
        // Whole-looking numbers where the file's numbers vary: read.
        {"mixed_whole.s1p", mixed + "3 0.1 -0.2", nullptr},
        {"trailing_blank.s1p", alike + "3 0.1 -0.2 ", nullptr},
        {"trailing_comment.s1p", alike + "3 0.1 -0.2 !", nullptr},
        {"same_shape.s1p", alike + "3 0.10 -0.20", nullptr},
        {"other_shape.s1p", alike + "3 0.10 -0.2", cut},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        ASSERT_TRUE(writeBytes(path, c.content));
        TouchstoneIO io;
        const auto data = io.read(path);
        if (!c.reason) {
            EXPECT_TRUE(data) << io.errorString().toStdString();
            continue;
        }
        EXPECT_FALSE(data);
        EXPECT_EQ(reasonOf(io, path), c.reason);
    }
}

} // namespace
