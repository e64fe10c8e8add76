// Touchstone files exchanged with an independent reader and writer
// (scikit-rf, run by the system's own Python through a small script).
#include "device/touchstoneio.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");
constexpr int MissingModule = 3;

QString script()
{
    return QString::fromLocal8Bit(qgetenv("VUK_TEST_DATA")) + QStringLiteral("/skrf_interop.py");
}

struct ScriptRun
{
    QString skipReason; // the interpreter or scikit-rf is missing
    bool ok = false;
    QString errors;
};

ScriptRun runScript(const QStringList &arguments)
{
    ScriptRun run;
    if (!QFileInfo(Python).isExecutable()) {
        run.skipReason = QStringLiteral("no ") + Python;
        return run;
    }
    if (!QFileInfo::exists(script())) {
        run.errors = QStringLiteral("script missing: ") + script();
        return run;
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The system interpreter with its own packages, whatever environment
    // the tests run in.
    env.remove(QStringLiteral("PYTHONPATH"));
    env.remove(QStringLiteral("PYTHONHOME"));
    env.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    process.start(Python, QStringList{script()} + arguments);
    if (!process.waitForStarted(10000)) {
        run.errors = QStringLiteral("cannot start ") + Python;
        return run;
    }
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        run.errors = QStringLiteral("the script did not finish");
        return run;
    }
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == MissingModule)
        run.skipReason = run.errors;
    else
        run.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return run;
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

std::vector<double> numbers(const QJsonValue &value)
{
    std::vector<double> result;
    for (const QJsonValue &v : value.toArray())
        result.push_back(v.toDouble());
    return result;
}

bool close(double expected, double actual, double relative, double absolute)
{
    return std::abs(expected - actual) <= relative * std::abs(expected) + absolute;
}

TouchstoneData randomData(uint n, size_t count, double impedance, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> part(-1.5, 1.5);
    std::uniform_int_distribution<int> exponent(-9, 0);
    TouchstoneData data;
    data.portCount = n;
    data.impedance = impedance;
    for (size_t k = 0; k < count; ++k) {
        TouchstonePoint point;
        point.frequency = 1e7 * double(k + 1) + 12345.678;
        point.size = n;
        for (size_t i = 0; i < n * n; ++i)
            point.matrix.emplace_back(part(rng) * std::pow(10.0, exponent(rng)),
                                      part(rng) * std::pow(10.0, exponent(rng)));
        data.points.push_back(point);
    }
    return data;
}

TEST(TouchstoneInteropTest, FilesWrittenByTheProgramReadTheSameInScikitRf)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Sample
    {
        uint ports;
        double impedance;
        TouchstoneData data;
        QString name;
    };
    std::vector<Sample> samples;
    for (uint n : {1u, 2u, 3u, 4u})
        samples.push_back({n, n == 2 ? 75.0 : 50.0, randomData(n, 12, n == 2 ? 75.0 : 50.0, n), {}});
    // Reference impedances to the last bit; 0 is a model without a target
    // impedance, which both readers take as written.
    for (double z : {75.123456789012345, 0.0, 1e-4, 1234.5678901234567, 1.0 / 3.0, 49.999999999999993})
        samples.push_back({2, z, randomData(2, 3, z, 7), {}});

    QStringList files;
    for (size_t i = 0; i < samples.size(); ++i) {
        Sample &s = samples[i];
        TouchstoneIO io;
        const QString base = dir.filePath(QStringLiteral("program%1").arg(i));
        ASSERT_TRUE(io.write(base, s.data));
        s.name = QStringLiteral("program%1.s%2p").arg(i).arg(s.ports);
        files << dir.filePath(s.name);
        // The program reads its own file back with the same impedance.
        const auto back = io.read(files.back());
        ASSERT_TRUE(back) << io.errorString().toStdString();
        EXPECT_EQ(back->impedance, s.impedance);
    }

    const QString out = dir.filePath("read.json");
    const ScriptRun run = runScript(QStringList{QStringLiteral("read"), out} + files);
    if (!run.skipReason.isEmpty())
        GTEST_SKIP() << run.skipReason.toStdString();
    ASSERT_TRUE(run.ok) << run.errors.toStdString();
    const QJsonObject all = readJson(out);

    for (const Sample &s : samples) {
        SCOPED_TRACE(s.name.toStdString());
        const QJsonObject net = all.value(s.name).toObject();
        ASSERT_FALSE(net.isEmpty());
        EXPECT_EQ(net.value("ports").toInt(), int(s.ports));
        const auto f = numbers(net.value("f"));
        const auto re = numbers(net.value("re"));
        const auto im = numbers(net.value("im"));
        const auto z0 = numbers(net.value("z0"));
        const size_t elements = size_t(s.ports) * s.ports;
        ASSERT_EQ(f.size(), s.data.points.size());
        ASSERT_EQ(re.size(), f.size() * elements);
        ASSERT_EQ(im.size(), re.size());
        ASSERT_FALSE(z0.empty());
        for (double z : z0)
            EXPECT_EQ(z, s.impedance);
        for (size_t k = 0; k < f.size(); ++k) {
            const TouchstonePoint &p = s.data.points[k];
            EXPECT_TRUE(close(p.frequency, f[k], 5e-12, 0)) << k;
            for (size_t i = 0; i < elements; ++i) {
                // Both sides hold the matrix row by row; 12 digits are written.
                EXPECT_TRUE(close(p.matrix[i].real(), re[k * elements + i], 5e-12, 1e-300))
                    << k << "/" << i << ": " << p.matrix[i].real() << " vs " << re[k * elements + i];
                EXPECT_TRUE(close(p.matrix[i].imag(), im[k * elements + i], 5e-12, 1e-300))
                    << k << "/" << i << ": " << p.matrix[i].imag() << " vs " << im[k * elements + i];
            }
        }
    }
}

TEST(TouchstoneInteropTest, FilesWrittenByScikitRfReadTheSameInTheProgram)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const ScriptRun run = runScript({QStringLiteral("write"), dir.path()});
    if (!run.skipReason.isEmpty())
        GTEST_SKIP() << run.skipReason.toStdString();
    ASSERT_TRUE(run.ok) << run.errors.toStdString();
    const QJsonObject expected = readJson(dir.filePath("expected.json"));
    ASSERT_GE(expected.size(), 5);

    for (auto it = expected.begin(); it != expected.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const QJsonObject net = it.value().toObject();
        const auto n = size_t(net.value("ports").toInt());
        const auto f = numbers(net.value("f"));
        const auto re = numbers(net.value("re"));
        const auto im = numbers(net.value("im"));
        const auto z0 = numbers(net.value("z0"));

        TouchstoneIO io;
        const auto data = io.read(dir.filePath(it.key()));
        ASSERT_TRUE(data);
        ASSERT_EQ(data->points.size(), f.size());
        ASSERT_FALSE(z0.empty());
        EXPECT_EQ(data->impedance, z0.front());
        for (size_t k = 0; k < f.size(); ++k) {
            const TouchstonePoint &p = data->points[k];
            EXPECT_TRUE(close(f[k], p.frequency, 1e-13, 0)) << k;
            ASSERT_EQ(p.matrix.size(), n * n);
            for (size_t i = 0; i < n * n; ++i) {
                // Magnitude-angle and decibel files pass through a conversion
                // on each side.
                const std::complex<double> want(re[k * n * n + i], im[k * n * n + i]);
                EXPECT_LE(std::abs(p.matrix[i] - want), 1e-12 * std::max(1.0, std::abs(want))) << k << "/" << i;
            }
        }
    }
}

} // namespace
