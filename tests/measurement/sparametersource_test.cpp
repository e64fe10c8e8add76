#include "measurementtestsupport.h"

#include "measurement/sparametersource.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <complex>
#include <vector>

namespace {

using Complex = std::complex<double>;
using MeasurementTest::SimRig;

// A 3-port file whose every element says where it sits: S(to, from) at
// point k is (10 to + from, k).
QString writeLabelledThreePort(const QString &dir, std::vector<double> &grid)
{
    grid = {1e9, 2e9, 3e9, 4e9};
    std::vector<std::vector<Complex>> matrices;
    for (size_t k = 0; k < grid.size(); ++k) {
        std::vector<Complex> m;
        for (int to = 1; to <= 3; ++to)
            for (int from = 1; from <= 3; ++from)
                m.emplace_back(10.0 * to + from, double(k));
        matrices.push_back(m);
    }
    return MeasurementTest::writeTouchstone(dir + "/labelled.s3p", grid, matrices, 3, 75.0);
}

TEST(SParameterSourceFile, ReadsGridImpedanceAndElementsByRowAndColumn)
{
    QTemporaryDir dir;
    std::vector<double> grid;
    const QString path = writeLabelledThreePort(dir.path(), grid);
    const auto source = SParameterSource::fromFile(path);
    EXPECT_EQ(source.kind(), SParameterSource::Kind::File);

    EXPECT_EQ(source.readFrequencies(), grid);
    // One reference impedance for every port.
    EXPECT_EQ(source.readPortZ0(0), 75.0);
    EXPECT_EQ(source.readPortZ0(2), 75.0);
    EXPECT_EQ(source.readPortZ0(9), 75.0);

    for (unsigned a = 0; a < 3; ++a) {
        for (unsigned b = 0; b < 3; ++b) {
            const auto trace = source.readSParameter(a, b);
            ASSERT_TRUE(trace) << a << "," << b;
            ASSERT_EQ(trace->size(), grid.size());
            for (size_t k = 0; k < grid.size(); ++k)
                EXPECT_EQ((*trace)[k], Complex(10.0 * (a + 1) + (b + 1), double(k))) << a << "," << b;
        }
    }
    EXPECT_FALSE(source.readSParameter(3, 0));
    EXPECT_FALSE(source.readSParameter(0, 3));
}

TEST(SParameterSourceFile, TwoPortPairsGiveS11S12S21S22AndAPairBeyondItsPortsNothing)
{
    QTemporaryDir dir;
    const auto thru = SynthNet::toS(SynthNet::line(SynthNet::harmonicGrid(1e8, 20), {60.0, 1e-10, 0.3}));
    const QString path = MeasurementTest::writeTwoPort(dir.path() + "/thru.s2p", thru);
    const auto source = SParameterSource::fromFile(path);

    const auto traces = source.readSParameters({{0, 0}, {0, 1}, {1, 0}, {1, 1}});
    ASSERT_TRUE(traces);
    ASSERT_EQ(traces->size(), 4u);
    // The file holds the values as text: equal to the last bits.
    auto near = [](const std::vector<Complex> &a, const std::vector<Complex> &b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (std::abs(a[i] - b[i]) > 1e-12)
                return false;
        return true;
    };
    EXPECT_TRUE(near((*traces)[0], thru.s11()));
    EXPECT_TRUE(near((*traces)[1], thru.s12()));
    EXPECT_TRUE(near((*traces)[2], thru.s21()));
    EXPECT_TRUE(near((*traces)[3], thru.s22()));

    EXPECT_FALSE(source.readSParameter(2, 0)); // needs 3 ports
    // One unreadable pair fails the whole request.
    EXPECT_FALSE(source.readSParameters({{0, 0}, {2, 0}}));
}

TEST(SParameterSourceFile, AMissingOrBrokenFileAnswersNothing)
{
    QTemporaryDir dir;
    const QString broken = dir.path() + "/broken.s2p";
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("# Hz S RI R 50\n1e9 0.1 0.2\n");
    }
    for (const QString &path : {dir.path() + "/missing.s2p", broken}) {
        const auto source = SParameterSource::fromFile(path);
        EXPECT_FALSE(source.readFrequencies()) << path.toStdString();
        EXPECT_FALSE(source.readPortZ0(0));
        EXPECT_FALSE(source.readSParameter(0, 0));
        EXPECT_FALSE(source.readSParameters({{0, 0}}));
    }
}

// The reader's reason follows the caller's text; a file that is not there
// needs none. Impedances come from the file as it names them.
TEST(SParameterSourceFile, ARefusedFileSaysWhyAndImpedancesAreTheFilesOwn)
{
    QTemporaryDir dir;
    auto put = [&](const char *name, const QByteArray &content) {
        const QString path = dir.path() + "/" + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        return path;
    };
    const QString descending = put("descending.s1p", "# Hz S RI R 50\n1 0 0\n3 0 0\n2 0 0\n");
    const auto bad = SParameterSource::fromFile(descending);
    EXPECT_FALSE(bad.readFrequencies());
    EXPECT_EQ(bad.failureDetail(),
              ": " + descending + ", line 4: the frequency 2 does not rise above the previous 3 (line 3)");
    EXPECT_FALSE(bad.readSParameter(0, 0));
    EXPECT_TRUE(bad.failureDetail().contains("line 4")) << bad.failureDetail().toStdString();
    // A pair beyond the file's ports is no fault of the file's content.
    EXPECT_FALSE(bad.readSParameter(1, 0));
    EXPECT_TRUE(bad.failureDetail().isEmpty());

    const auto missing = SParameterSource::fromFile(dir.path() + "/missing.s1p");
    EXPECT_FALSE(missing.readFrequencies());
    EXPECT_TRUE(missing.failureDetail().isEmpty());

    const auto ports = SParameterSource::fromFile(
        put("ports.s2p", "# GHz S RI R 50\n1 1 0 2 0 3 0 4 0\n! Port Impedance 25 0 100 0\n"));
    EXPECT_EQ(ports.readPortZ0(0), 25.0);
    EXPECT_EQ(ports.readPortZ0(1), 100.0);

    // R 0: the file names no reference impedance, and the source makes none up.
    const auto none = SParameterSource::fromFile(put("none.s1p", "# GHz S RI R 0\n1 0 0\n"));
    EXPECT_FALSE(none.readPortZ0(0));
    EXPECT_TRUE(none.failureDetail().endsWith("none.s1p: the file names no reference impedance (R 0)"))
        << none.failureDetail().toStdString();
    EXPECT_TRUE(none.readFrequencies());
    EXPECT_TRUE(none.failureDetail().isEmpty());
}

class SParameterSourceDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AnalyserSim::Options options;
        options.portCount = 3;
        rig = std::make_unique<SimRig>(options);
        rig->sim.execute(QStringLiteral("SENS1:CORR:PORT3:IMP 75"));
        ASSERT_TRUE(rig->settle());
    }
    std::unique_ptr<SimRig> rig;
};

TEST_F(SParameterSourceDevice, ReadsTheLiveGridImpedancesAndTraces)
{
    const auto source = SParameterSource::fromDevice(rig->proxy.get());
    EXPECT_EQ(source.kind(), SParameterSource::Kind::Device);
    const auto grid = rig->sim.frequencyGrid(1);
    EXPECT_EQ(source.readFrequencies(), grid);
    EXPECT_EQ(source.readPortZ0(0), 50.0);
    EXPECT_EQ(source.readPortZ0(2), 75.0);
    EXPECT_FALSE(source.readPortZ0(3));

    // The default scene is a 2x-thru between analyser ports 1 and 2.
    EXPECT_EQ(source.readSParameter(1, 0), rig->sim.sceneS(2, 1, grid));
    const auto traces = source.readSParameters({{0, 0}, {0, 1}, {1, 0}, {1, 1}});
    ASSERT_TRUE(traces);
    ASSERT_EQ(traces->size(), 4u);
    EXPECT_EQ((*traces)[1], rig->sim.sceneS(1, 2, grid));
    EXPECT_EQ((*traces)[2], rig->sim.sceneS(2, 1, grid));
    EXPECT_GT(std::abs((*traces)[2][10]), 0.5);
}

TEST_F(SParameterSourceDevice, WorksFromTheStepWorkerThread)
{
    WorkerThread worker;
    const auto source = SParameterSource::fromDevice(rig->proxy.get());
    std::optional<std::vector<double>> grid;
    std::optional<SParameterSource::Trace> trace;
    MeasurementTest::runOnWorker(worker, [&] {
        grid = source.readFrequencies();
        trace = source.readSParameter(0, 1);
    });
    EXPECT_EQ(grid, rig->sim.frequencyGrid(1));
    EXPECT_EQ(trace, rig->sim.sceneS(1, 2, rig->sim.frequencyGrid(1)));
}

TEST_F(SParameterSourceDevice, AFailedAnalyserRequestAnswersNothing)
{
    AnalyserSim::Fault fault;
    fault.kind = AnalyserSim::FaultKind::Garbage;
    fault.header = QStringLiteral("CALC1:TRAC:DATA:SDAT?");
    fault.count = -1;
    ASSERT_TRUE(rig->sim.addFault(fault));
    const auto source = SParameterSource::fromDevice(rig->proxy.get());
    EXPECT_FALSE(source.readSParameter(0, 0));
    EXPECT_FALSE(source.readSParameters({{0, 0}, {1, 0}}));

    fault.header = QStringLiteral("SENS1:FREQ:DATA?");
    ASSERT_TRUE(rig->sim.addFault(fault));
    EXPECT_FALSE(source.readFrequencies());
}

TEST(SParameterSourceNoDevice, AnswersNothingWithoutAnAnalyser)
{
    // A proxy that never reached an analyser fails at once; so does none.
    SyncedVnaDevice proxy(nullptr, MeasurementTest::fastTiming());
    for (SyncedVnaDevice *device : {&proxy, static_cast<SyncedVnaDevice *>(nullptr)}) {
        const auto source = SParameterSource::fromDevice(device);
        EXPECT_FALSE(source.readFrequencies());
        EXPECT_FALSE(source.readPortZ0(0));
        EXPECT_FALSE(source.readSParameter(0, 0));
        EXPECT_FALSE(source.readSParameters({{0, 0}}));
    }
}

// Only a regular file is read: a FIFO (whose open would block until a
// writer comes) or a folder is refused at once.
TEST(SParameterSourceFile, RefusesWhatIsNoRegularFile)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.s2p"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("folder.s2p"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString &path : {fifo, folder}) {
        const auto source = SParameterSource::fromFile(path);
        EXPECT_FALSE(source.readFrequencies()) << path.toStdString();
        EXPECT_FALSE(source.readSParameter(0, 0)) << path.toStdString();
        EXPECT_FALSE(source.readSParameters({{0, 0}, {1, 0}})) << path.toStdString();
        EXPECT_FALSE(source.readPortZ0(0)) << path.toStdString();
    }
}

} // namespace
