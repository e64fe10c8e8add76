#include "measurementtestsupport.h"

#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/dutmeasurer.h"
#include "measurement/fixture.h"
#include "measurement/reflectionmeasurer.h"
#include "measurement/sdatameasurer.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/vnafixtureconnection.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

using MeasurementTest::ErrorLog;
using MeasurementTest::NoticeLog;
using MeasurementTest::SimRig;

bool dutCorrected(QmlFixturePort *port)
{
    return port->calibrationState().testFlag(QmlFixturePort::CalibrationState::DutCorrected);
}

struct RunResult
{
    bool ok = false;
    bool cancelled = false;
};

RunResult runDut(WorkerThread &worker, DutMeasurer &measurer, const SParameterSource &source)
{
    TaskProgress progress;
    progress.setRange(0, 1000);
    RunResult result;
    MeasurementTest::runOnWorker(worker, [&] { result.ok = measurer.execute(source, &progress); });
    result.cancelled = progress.isCanceled();
    return result;
}

// A 2x-thru between A and B measured on the simulated analyser, then the DUT
// in the same fixtures.
class DutInThru : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.setHarmonicGrid(100e6, 200);
        rig.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, spec));
        ASSERT_TRUE(rig.settle());
        left.setAttachedVnaPort(0, 0);
        right.setAttachedVnaPort(0, 1);
    }

    bool measureThru()
    {
        bool ok = false;
        const auto source = SParameterSource::fromDevice(rig.proxy.get());
        MeasurementTest::runOnWorker(worker, [&] { ok = thruMeasurer.execute(source, nullptr); });
        return ok;
    }

    void showDut()
    {
        AnalyserSim::DutSpec dut;
        dut.line = {35.0, 80e-12, 0.2};
        rig.sim.setScene(AnalyserSim::Scene::dutInFixture(1, 2, spec, spec, dut));
    }

    SimRig rig;
    AnalyserSim::FixtureSpec spec;
    Algorithms::ProcessInputParameters parameters;
    Fixture leftFixture, rightFixture;
    VNAFixtureConnection left{&leftFixture, rig.proxy.get()};
    VNAFixtureConnection right{&rightFixture, rig.proxy.get()};
    ConnectionTransmisson thru{&left, &right, &parameters};
    TransmissionMeasurer thruMeasurer{&thru, rig.proxy.get()};
    WorkerThread worker;
};

TEST_F(DutInThru, EachSideCorrectsItsOwnPortWithTheKeptThruProcess)
{
    ASSERT_TRUE(measureThru());
    showDut();
    DutMeasurer leftDut(&left, &thru, rig.proxy.get());
    DutMeasurer rightDut(&right, &thru, rig.proxy.get());
    QSignalSpy status(&rightDut, &DutMeasurer::statusChanged);
    ErrorLog errors(&thruMeasurer, &BaseMeasurer::error);
    ErrorLog dutErrors(&rightDut, &BaseMeasurer::error);
    const auto source = SParameterSource::fromDevice(rig.proxy.get());
    QmlFixturePort *leftPort = left.getFixturePort(0)->measureData();
    QmlFixturePort *rightPort = right.getFixturePort(0)->measureData();
    const auto rightBefore = *rightPort->uncorrectedSParameters();

    // The right side first: an empty left one-port leaves the left port as
    // it was.
    const RunResult r = runDut(worker, rightDut, source);
    EXPECT_TRUE(errors.texts.empty() && dutErrors.texts.empty());
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(rightDut.status(), Status::Done);
    ASSERT_EQ(status.count(), 1);
    EXPECT_TRUE(dutCorrected(rightPort));
    EXPECT_FALSE(dutCorrected(leftPort));
    // The correction changes the analyser-side reflection only.
    const auto &rightAfter = *rightPort->uncorrectedSParameters();
    EXPECT_NE(rightAfter.s22(), rightBefore.s22());
    EXPECT_EQ(rightAfter.s21(), rightBefore.s21());

    ASSERT_TRUE(runDut(worker, leftDut, source).ok);
    EXPECT_TRUE(dutCorrected(leftPort));
    ASSERT_EQ(leftDut.rawData().size(), 1);
    EXPECT_EQ(leftDut.rawData().front().vnaPort(), 0u);
    EXPECT_EQ(leftDut.rawData().front().s11(), rig.sim.sceneS(1, 1, rig.sim.frequencyGrid(1)));
    EXPECT_EQ(rightDut.rawData().front().s11(), rig.sim.sceneS(2, 2, rig.sim.frequencyGrid(1)));

    leftDut.clearResults();
    EXPECT_EQ(leftDut.status(), Status::NotMeasured);
}

// The thru on the harmonic grid, then the DUT on a sweep that does not
// cover the thru's band or is not linear: the correction is refused with
// the reason, and the port keeps its model and is not marked DUT-corrected.
TEST_F(DutInThru, ADutSweptOnAnotherGridThatCannotBeUsedIsRefusedWithTheReason)
{
    ASSERT_TRUE(measureThru());
    showDut();
    struct Case
    {
        const char *name;
        const char *sweepType;
        double start, stop;
        const char *reason;
    };
    const Case cases[] = {
        {"linear from 1 GHz", "LIN", 1e9, 20e9, "which does not span the fixture model's band"},
        {"logarithmic", "LOG", 100e6, 20e9, "The frequency grid is not uniformly spaced"},
    };
    QmlFixturePort *leftPort = left.getFixturePort(0)->measureData();
    const auto before = *leftPort->uncorrectedSParameters();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        rig.sim.execute(QStringLiteral("SENS1:SWE:TYPE %1").arg(c.sweepType));
        rig.sim.execute(QStringLiteral("SENS1:FREQ:STAR %1").arg(c.start, 0, 'g', 17));
        rig.sim.execute(QStringLiteral("SENS1:FREQ:STOP %1").arg(c.stop, 0, 'g', 17));
        ASSERT_TRUE(rig.settle());
        DutMeasurer leftDut(&left, &thru, rig.proxy.get());
        ErrorLog errors(&leftDut, &BaseMeasurer::error);
        const RunResult r = runDut(worker, leftDut, SParameterSource::fromDevice(rig.proxy.get()));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(leftDut.status(), Status::Failed);
        ASSERT_EQ(errors.texts.size(), 2u);
        EXPECT_EQ(errors.texts[0], QStringLiteral("ProcessTimeGate::calculateDUT: error input parameters"));
        EXPECT_TRUE(errors.texts[1].contains(c.reason)) << errors.texts[1].toStdString();
        EXPECT_FALSE(dutCorrected(leftPort));
        EXPECT_EQ(leftPort->uncorrectedSParameters()->s11(), before.s11());
    }
}

// The analyser's port set to another impedance after the thru: the DUT
// read there is refused, naming both, and the model stays uncorrected; the
// other side, still at the thru's impedance, is corrected.
TEST_F(DutInThru, AnAnalyserPortAtAnotherImpedanceThanTheThruIsRefused)
{
    ASSERT_TRUE(measureThru());
    showDut();
    rig.sim.execute(QStringLiteral("SENS1:CORR:PORT2:IMP 75"));
    ASSERT_TRUE(rig.settle());
    ASSERT_TRUE(TestSupport::waitUntil(
        "port 2 at 75 ohm", [&] { return rig.proxy->impedance(1) == std::optional<double>(75.0); }, 5000));
    DutMeasurer leftDut(&left, &thru, rig.proxy.get());
    DutMeasurer rightDut(&right, &thru, rig.proxy.get());
    ErrorLog errors(&rightDut, &BaseMeasurer::error);
    const auto source = SParameterSource::fromDevice(rig.proxy.get());
    const RunResult r = runDut(worker, rightDut, source);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(rightDut.status(), Status::Failed);
    EXPECT_EQ(errors.texts, std::vector<QString>{QStringLiteral(
                                "The DUT data and the fixture model have different reference impedances: the DUT at "
                                "analyser port 2 is referred to 75 Ohm, the fixture model to 50 Ohm")});
    EXPECT_FALSE(dutCorrected(right.getFixturePort(0)->measureData()));
    EXPECT_TRUE(runDut(worker, leftDut, source).ok);
    EXPECT_TRUE(dutCorrected(left.getFixturePort(0)->measureData()));
}

TEST_F(DutInThru, WithoutAMeasuredThruTheCountCheckFailsAndSaysWhy)
{
    showDut();
    DutMeasurer dut(&left, &thru, rig.proxy.get());
    ErrorLog errors(&dut, &BaseMeasurer::error);
    const RunResult r = runDut(worker, dut, SParameterSource::fromDevice(rig.proxy.get()));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(dut.status(), Status::Failed);
    EXPECT_EQ(errors.texts,
              std::vector<QString>{"The DUT correction needs the fixture models of this set-up: measure the "
                                   "fixtures first"});
}

TEST_F(DutInThru, ASideOutsideTheThruConnectionFails)
{
    ASSERT_TRUE(measureThru());
    Fixture otherFixture;
    VNAFixtureConnection other(&otherFixture, rig.proxy.get());
    DutMeasurer dut(&other, &thru, rig.proxy.get());
    EXPECT_FALSE(runDut(worker, dut, SParameterSource::fromDevice(rig.proxy.get())).ok);
    EXPECT_EQ(dut.status(), Status::Failed);
}

TEST_F(DutInThru, ProcessesWithoutADutCorrectionReportIt)
{
    thruMeasurer.setCalcMethod(Algorithms::CalcMethod::Filtering);
    ASSERT_TRUE(measureThru());
    showDut();
    DutMeasurer dut(&left, &thru, rig.proxy.get());
    ErrorLog thruErrors(&thruMeasurer, &BaseMeasurer::error);
    ErrorLog errors(&dut, &BaseMeasurer::error);
    EXPECT_FALSE(runDut(worker, dut, SParameterSource::fromDevice(rig.proxy.get())).ok);
    EXPECT_EQ(dut.status(), Status::Failed);
    // The kept process speaks through the measurer running it, not through
    // the one that made it.
    EXPECT_EQ(errors.texts,
              std::vector<QString>{QStringLiteral("This process does not have a DUT calculation method")});
    EXPECT_TRUE(thruErrors.texts.empty());
}

// A reflect set-up from files: the open calculates the model, the DUT
// reflection corrects it.
struct ReflectSetup
{
    ReflectSetup()
        : side(&fixture, nullptr),
          connection(&side, &parameters),
          reflect(&connection, nullptr),
          dut(&side, &connection, nullptr)
    {
        const auto f = SynthNet::harmonicGrid(100e6, 200);
        const auto fixtureNet = SynthNet::line(f, {55.0, 120e-12, 0.3});
        open = MeasurementTest::writeOnePort(dir.path() + "/open.s1p", SynthNet::terminate(fixtureNet, 1.0));
        dutFile = MeasurementTest::writeOnePort(
            dir.path() + "/dut.s1p",
            SynthNet::terminate(SynthNet::cascade(fixtureNet, SynthNet::line(f, {30.0, 60e-12, 0.1})), 0.3));
    }

    bool measureOpen()
    {
        bool ok = false;
        MeasurementTest::runOnWorker(worker,
                                     [&] { ok = reflect.measureOpen(SParameterSource::fromFile(open), nullptr); });
        return ok;
    }

    QTemporaryDir dir;
    QString open, dutFile;
    Algorithms::ProcessInputParameters parameters;
    Fixture fixture;
    VNAFixtureConnection side;
    ConnectionReflect connection;
    ReflectionMeasurer reflect;
    DutMeasurer dut;
    WorkerThread worker;
};

TEST(DutMeasurer, CorrectsAReflectSideWithItsKeptProcesses)
{
    ReflectSetup s;
    ASSERT_TRUE(s.measureOpen());
    ErrorLog errors(&s.reflect, &BaseMeasurer::error);
    const RunResult r = runDut(s.worker, s.dut, SParameterSource::fromFile(s.dutFile));
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front().toStdString();
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(s.dut.status(), Status::Done);
    EXPECT_TRUE(dutCorrected(s.side.getFixturePort(0)->measureData()));
}

// The DUT data must be referred to the impedance the model was measured at
// (the open file's 50 Ohm): a DUT file at another one, by its option line or
// by per-point port impedance blocks, is refused before the model is
// touched, with both impedances named; a file naming none says so.
TEST(DutMeasurer, ADutAtAnotherReferenceImpedanceIsRefusedWithBoth)
{
    ReflectSetup s;
    ASSERT_TRUE(s.measureOpen());
    const auto f = SynthNet::harmonicGrid(100e6, 200);
    const auto dutNet = SynthNet::terminate(
        SynthNet::cascade(SynthNet::line(f, {55.0, 120e-12, 0.3}), SynthNet::line(f, {30.0, 60e-12, 0.1})), 0.3);
    // The same data with a port impedance block after every point.
    auto withBlocks = [&](const QString &name, const QByteArray &block) {
        const QString path = s.dir.path() + "/" + name;
        QFile in(MeasurementTest::writeOnePort(path, dutNet));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray out;
        for (const QByteArray &line : in.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            out += line + '\n';
            if (!line.startsWith('!') && !line.startsWith('#'))
                out += "! Port Impedance " + block + '\n';
        }
        in.close();
        QFile rewritten(path);
        EXPECT_TRUE(rewritten.open(QIODevice::WriteOnly | QIODevice::Truncate));
        rewritten.write(out);
        return path;
    };
    const QString mismatch = QStringLiteral("The DUT data and the fixture model have different reference impedances: ");
    struct Case
    {
        QString file;
        QString error; // empty: corrected
    };
    const QString r75 = MeasurementTest::writeOnePort(s.dir.path() + "/r75.s1p", dutNet, 75.0);
    const QString blocks75 = withBlocks("blocks75.s1p", "75 0");
    const QString r0 = MeasurementTest::writeOnePort(s.dir.path() + "/r0.s1p", dutNet, 0.0);
    const std::vector<Case> cases = {
        {r75, mismatch + r75 + ": the DUT at analyser port 1 is referred to 75 Ohm, the fixture model to 50 Ohm"},
        {blocks75,
         mismatch + blocks75 + ": the DUT at analyser port 1 is referred to 75 Ohm, the fixture model to 50 Ohm"},
        {r0, "Cannot read z0 impedance value: " + r0 + ": the file names no reference impedance (R 0)"},
        {withBlocks("blocks50.s1p", "50 0"), QString()},
        {MeasurementTest::writeOnePort(s.dir.path() + "/r50.s1p", dutNet, 50.000000000001), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        ASSERT_TRUE(s.measureOpen());
        ErrorLog errors(&s.dut, &BaseMeasurer::error);
        QmlFixturePort *port = s.side.getFixturePort(0)->measureData();
        const auto before = *port->uncorrectedSParameters();
        const RunResult r = runDut(s.worker, s.dut, SParameterSource::fromFile(c.file));
        if (c.error.isEmpty()) {
            EXPECT_TRUE(r.ok);
            // (The synthetic model may draw a passivity warning; no
            // impedance complaint.)
            for (const QString &text : errors.texts)
                EXPECT_FALSE(text.contains(QStringLiteral("impedance"))) << text.toStdString();
            EXPECT_TRUE(dutCorrected(port));
            continue;
        }
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.cancelled);
        EXPECT_EQ(errors.texts, std::vector<QString>{c.error});
        EXPECT_EQ(s.dut.status(), Status::Failed);
        EXPECT_FALSE(dutCorrected(port));
        EXPECT_EQ(port->uncorrectedSParameters()->s11(), before.s11());
    }
}

// A cancel while the DUT is read stops the run before the correction, with
// one text; the run after it is not affected. Once a run is over, the kept
// processes answer no cancel of the DUT measurer.
TEST(DutMeasurer, ACancelStopsTheRunBeforeTheCorrection)
{
    ReflectSetup s;
    ASSERT_TRUE(s.measureOpen());
    auto *reader = s.dut.findChild<SDataMeasurer *>();
    ASSERT_TRUE(reader);
    QObject::connect(
        reader, &SDataMeasurer::statusChanged, &s.dut,
        [&s](Status st) {
            if (st == Status::Done)
                s.dut.interrupt();
        },
        Qt::DirectConnection);
    ErrorLog errors(&s.dut, &BaseMeasurer::error);
    const RunResult r = runDut(s.worker, s.dut, SParameterSource::fromFile(s.dutFile));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(errors.texts, std::vector<QString>{QStringLiteral("The measurement was canceled")});
    EXPECT_EQ(s.dut.status(), Status::Failed);
    EXPECT_FALSE(s.dut.isInterrupted());
    EXPECT_FALSE(dutCorrected(s.side.getFixturePort(0)->measureData()));
    EXPECT_TRUE(s.side.getFixturePort(0)->measureData()->isMeasured());

    QObject::disconnect(reader, nullptr, &s.dut, nullptr);
    ASSERT_TRUE(runDut(s.worker, s.dut, SParameterSource::fromFile(s.dutFile)).ok);
    EXPECT_TRUE(dutCorrected(s.side.getFixturePort(0)->measureData()));
    errors.texts.clear(); // what the run itself reported (a notice at the band edge) is not the question here
    ErrorLog reflectErrors(&s.reflect, &BaseMeasurer::error);
    s.dut.interrupt();
    s.reflect.interrupt();
    TestSupport::flush();
    EXPECT_TRUE(errors.texts.empty());
    EXPECT_TRUE(reflectErrors.texts.empty());
}

// The kept processes point at the side's ports: once the port count went
// down and up again they are gone, and the DUT run fails instead of working
// on deleted ports.
TEST(DutMeasurer, PortsReplacedSinceTheCalculationFailTheRun)
{
    ReflectSetup s;
    ASSERT_TRUE(s.measureOpen());
    s.fixture.setPortsCount(2);
    s.fixture.setPortsCount(1);
    EXPECT_EQ(s.connection.processCount(), 0u);
    const RunResult r = runDut(s.worker, s.dut, SParameterSource::fromFile(s.dutFile));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(s.dut.status(), Status::Failed);
}

TEST(DutMeasurer, UnreadableDataFailsWithItsTextAndCancelsTheProgress)
{
    ReflectSetup s;
    ASSERT_TRUE(s.measureOpen());
    ErrorLog errors(&s.dut, &BaseMeasurer::error);
    const RunResult r = runDut(s.worker, s.dut, SParameterSource::fromFile(s.dir.path() + "/none.s1p"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(errors.texts, std::vector<QString>{QStringLiteral("Cannot read S-parameters data")});
    EXPECT_EQ(s.dut.status(), Status::Failed);

    // A file the reader refuses: the user sees why, after the step's text.
    const QString broken = s.dir.path() + "/declared.s1p";
    {
        QFile out(broken);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("[Version] 2.0\n# Hz S RI R 50\n[Number of Frequencies] 1001\n[Network Data]\n1 0.5 0\n"
                  "2 0.5 0\n[End]\n");
    }
    errors.texts.clear();
    const RunResult refused = runDut(s.worker, s.dut, SParameterSource::fromFile(broken));
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.cancelled);
    EXPECT_EQ(errors.texts, std::vector<QString>{"Cannot read S-parameters data: " + broken
                                                 + ", line 3: [Number of Frequencies] declares 1001 points, the "
                                                   "file holds 2"});
    EXPECT_EQ(s.dut.status(), Status::Failed);
}

// The raw data are read a second time; when only that read fails, the run
// must not end as a success on the progress record.
std::atomic<int> readFileLines{0};
QString fileToRemove;
QtMessageHandler previousHandler = nullptr;
void removeAfterGridRead(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Reader trace, then the grid: the file goes after the second read.
    if (message.startsWith(QStringLiteral("readFile")) && ++readFileLines == 2)
        QFile::remove(fileToRemove);
    if (previousHandler)
        previousHandler(type, context, message);
}

TEST(DutMeasurer, AFailedRawDataReadCancelsTheProgress)
{
    ReflectSetup s;
    ASSERT_TRUE(s.measureOpen());
    ErrorLog errors(&s.dut, &BaseMeasurer::error);
    readFileLines = 0;
    fileToRemove = s.dutFile;
    previousHandler = qInstallMessageHandler(removeAfterGridRead);
    const RunResult r = runDut(s.worker, s.dut, SParameterSource::fromFile(s.dutFile));
    qInstallMessageHandler(previousHandler);
    EXPECT_FALSE(QFile::exists(s.dutFile));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(errors.texts, std::vector<QString>{QStringLiteral("Cannot read S-parameters data")});
    EXPECT_EQ(s.dut.status(), Status::Failed);
    EXPECT_FALSE(dutCorrected(s.side.getFixturePort(0)->measureData()));
}

// A DUT correction tells what it finds about the model it changed: the
// notice lands on that thru model, beside the one the thru's calculation
// told, and leaves the other side's model as it was.
TEST(DutMeasurer, ACorrectionsNoticeLandsOnTheThruModelItChanged)
{
    // The 0.1 pF pad of the thru measurer's test: gated models with gain at
    // the top of the 1-20 GHz band, on both sides.
    const auto f = SynthNet::uniformGrid(1e9, 20e9, 191);
    const auto pad = SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.1e-12), SynthNet::line(f, {50.0, 2e-10, 0.3}));
    QTemporaryDir dir;
    const QString thruFile =
        MeasurementTest::writeTwoPort(dir.path() + "/thru.s2p", SynthNet::toS(SynthNet::twoXThru(pad)));
    const QString dutFile = MeasurementTest::writeTwoPort(
        dir.path() + "/dut.s2p", SynthNet::toS(SynthNet::dutInFixture(pad, SynthNet::line(f, {35.0, 80e-12, 0.2}))));

    Algorithms::ProcessInputParameters parameters;
    Fixture leftFixture, rightFixture;
    VNAFixtureConnection left(&leftFixture, nullptr), right(&rightFixture, nullptr);
    right.setAttachedVnaPort(0, 1);
    ConnectionTransmisson thru(&left, &right, &parameters);
    TransmissionMeasurer thruMeasurer(&thru, nullptr);
    WorkerThread worker;
    bool measured = false;
    MeasurementTest::runOnWorker(
        worker, [&] { measured = thruMeasurer.execute(SParameterSource::fromFile(thruFile), nullptr); });
    ASSERT_TRUE(measured);
    MeasuredFixturePort *leftPort = left.getFixturePort(0);
    MeasuredFixturePort *rightPort = right.getFixturePort(0);
    const QList<Algorithms::ModelNotice> leftThru = leftPort->notices();
    const QList<Algorithms::ModelNotice> rightThru = rightPort->notices();
    ASSERT_EQ(leftThru.size(), 1);
    ASSERT_EQ(rightThru.size(), 1);

    DutMeasurer rightDut(&right, &thru, nullptr);
    NoticeLog told(&rightDut, &BaseMeasurer::modelNotice);
    ErrorLog errors(&rightDut, &BaseMeasurer::error);
    ASSERT_TRUE(runDut(worker, rightDut, SParameterSource::fromFile(dutFile)).ok);
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front().toStdString();
    ASSERT_TRUE(dutCorrected(rightPort->measureData()));
    // The corrected model is checked again: still not passive, told once,
    // for the right port only (the left one was not changed).
    ASSERT_EQ(told.notices.size(), 1u);
    EXPECT_EQ(told.notices[0].port, "the fixture at analyser port 2");
    EXPECT_EQ(rightDut.runNotices(), QList<Algorithms::ModelNotice>{told.notices[0]});
    EXPECT_EQ(rightPort->notices(), (QList<Algorithms::ModelNotice>{rightThru[0], told.notices[0]}));
    EXPECT_EQ(leftPort->notices(), leftThru);

    // Measured again, the DUT correction's notice replaces its earlier one.
    ASSERT_TRUE(runDut(worker, rightDut, SParameterSource::fromFile(dutFile)).ok);
    EXPECT_EQ(rightPort->notices().size(), 2);

    // The thru measured again replaces the corrected model, and its notice.
    MeasurementTest::runOnWorker(
        worker, [&] { measured = thruMeasurer.execute(SParameterSource::fromFile(thruFile), nullptr); });
    ASSERT_TRUE(measured);
    EXPECT_FALSE(dutCorrected(rightPort->measureData()));
    EXPECT_EQ(rightPort->notices(), rightThru);
}

} // namespace
