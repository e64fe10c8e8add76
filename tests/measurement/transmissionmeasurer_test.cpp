#include "measurementtestsupport.h"

#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/fixture.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/vnafixtureconnection.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using Algorithms::SParametersTwoPort;
using DataState = Algorithms::FixturePort::DataState;
using MeasurementTest::ErrorLog;
using MeasurementTest::maxDeviation;
using MeasurementTest::NoticeLog;
using MeasurementTest::SimRig;

// Two fixture sides over one analyser, a transmission connection between
// them and its measurer, as a set-up and a thru step build them.
struct ThruRig
{
    explicit ThruRig(SyncedVnaDevice *device, uint ports = 1)
        : left(&leftFixture, device),
          right(&rightFixture, device),
          connection(&left, &right, &parameters),
          measurer(&connection, device)
    {
        leftFixture.setPortsCount(ports);
        rightFixture.setPortsCount(ports);
    }

    void attach(const std::vector<uint> &a, const std::vector<uint> &b)
    {
        for (size_t i = 0; i < a.size(); ++i)
            left.setAttachedVnaPort(i, a[i]);
        for (size_t i = 0; i < b.size(); ++i)
            right.setAttachedVnaPort(i, b[i]);
    }

    QmlFixturePort *leftPort(int i) { return left.getFixturePort(i)->measureData(); }
    QmlFixturePort *rightPort(int i) { return right.getFixturePort(i)->measureData(); }

    // The run on a step worker, as the step's job does it; the number of
    // progress steps it made.
    bool run(const SParameterSource &source, int *steps = nullptr)
    {
        TaskProgress progress;
        progress.setRange(0, 1000);
        const int before = progress.progressValue();
        bool ok = false;
        MeasurementTest::runOnWorker(worker, [&] { ok = measurer.execute(source, &progress); });
        if (steps)
            *steps = progress.progressValue() - before;
        cancelled = progress.isCanceled();
        lastText = progress.progressText();
        return ok;
    }

    Algorithms::ProcessInputParameters parameters;
    Fixture leftFixture, rightFixture;
    VNAFixtureConnection left, right;
    ConnectionTransmisson connection;
    TransmissionMeasurer measurer;
    WorkerThread worker;
    bool cancelled = false;
    QString lastText;
};

// A file of the 2x-thru of a lossy 100 ps line on a harmonic grid of
// 100 MHz steps.
QString writeLineThru(const QTemporaryDir &dir, size_t points, double z0 = 50.0)
{
    const auto f = SynthNet::harmonicGrid(1e8, points);
    return MeasurementTest::writeTwoPort(dir.path() + "/thru.s2p",
                                         SynthNet::toS(SynthNet::twoXThru(SynthNet::line(f, {z0, 1e-10, 0.2}))));
}

// The left fixture as the analyser sees it, both ends referred to 50 ohm.
SParametersTwoPort truthLeft(const AnalyserSim::FixtureSpec &spec, const std::vector<double> &f)
{
    return SynthNet::toS(AnalyserSim::fixtureNetwork(spec, f));
}

SParametersTwoPort truthRight(const AnalyserSim::FixtureSpec &spec, const std::vector<double> &f)
{
    return SynthNet::toS(SynthNet::mirror(AnalyserSim::fixtureNetwork(spec, f)));
}

SParametersTwoPort measuredThru(const AnalyserSim::Simulator &sim, unsigned a, unsigned b)
{
    const auto f = sim.frequencyGrid(1);
    SParametersTwoPort thru;
    thru.setFrequency(f);
    thru.setS11(sim.sceneS(a, a, f));
    thru.setS12(sim.sceneS(a, b, f));
    thru.setS21(sim.sceneS(b, a, f));
    thru.setS22(sim.sceneS(b, b, f));
    return thru;
}

class TransmissionFromAnalyser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AnalyserSim::Options options;
        options.portCount = 4;
        rig = std::make_unique<SimRig>(options);
        rig->setHarmonicGrid(100e6, 200);
    }
    std::unique_ptr<SimRig> rig;
};

// A measurement from a file reads nothing from the analyser that matters and
// changes nothing on it: its fixture simulator, de-embedding and layout stay.
TEST_F(TransmissionFromAnalyser, AMeasurementFromAFileLeavesTheAnalyserAlone)
{
    QTemporaryDir dir;
    const QString file = writeLineThru(dir, 100);
    rig->sim.execute(QStringLiteral("CALC1:FSIM:STAT ON"));
    rig->sim.execute(QStringLiteral("CALC1:FSIM:SEND:DEEM:STAT ON"));
    rig->sim.execute(QStringLiteral("DISP:WIND1:SPL 4"));
    ASSERT_TRUE(rig->settle());
    rig->sim.clearLog();

    ThruRig thru(rig->proxy.get());
    thru.attach({0}, {1});
    ASSERT_TRUE(thru.run(SParameterSource::fromFile(file)));
    ASSERT_TRUE(rig->settle()); // whatever the run pushed has reached the analyser
    for (const auto &entry : rig->sim.log())
        EXPECT_TRUE(entry.text.contains(QLatin1Char('?'))) << "sent: " << entry.text.toStdString();
    const auto channel = rig->sim.channel(1);
    EXPECT_TRUE(channel.fixtureSimulator);
    EXPECT_TRUE(channel.deembedding);
    EXPECT_EQ(channel.layout, 4u);
}

// A 2x-thru of the simulated fixtures measured through the proxy gives the
// fixtures' own models.
TEST_F(TransmissionFromAnalyser, ModelsMatchTheScenesFixtures)
{
    const AnalyserSim::FixtureSpec spec;
    rig->sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, spec));
    // Whatever de-embedding the user had on is switched off for the run.
    rig->sim.execute(QStringLiteral("CALC1:FSIM:STAT ON"));
    rig->sim.execute(QStringLiteral("CALC1:FSIM:SEND:DEEM:STAT ON"));
    ASSERT_TRUE(rig->settle());

    ThruRig thru(rig->proxy.get());
    thru.attach({0}, {1});
    EXPECT_EQ(thru.measurer.stepCount(), 6);
    QSignalSpy status(&thru.measurer, &TransmissionMeasurer::statusChanged);
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    int steps = 0;
    ASSERT_TRUE(thru.run(SParameterSource::fromDevice(rig->proxy.get()), &steps));
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front().toStdString();
    EXPECT_EQ(steps, thru.measurer.stepCount());
    EXPECT_FALSE(thru.cancelled);
    EXPECT_EQ(thru.measurer.status(), Status::Done);
    ASSERT_EQ(status.count(), 1);
    EXPECT_EQ(status.at(0).at(0).value<Status>(), Status::Done);

    const auto f = rig->sim.frequencyGrid(1);
    QmlFixturePort *left = thru.leftPort(0);
    QmlFixturePort *right = thru.rightPort(0);
    ASSERT_TRUE(left->isMeasured() && right->isMeasured());
    ASSERT_TRUE(left->uncorrectedSParameters() && right->uncorrectedSParameters());
    // Converted to the 50 ohm analyser impedance on a low-pass grid.
    EXPECT_EQ(left->dataState(), DataState::Converted);
    EXPECT_TRUE(left->isLowPass());
    // The cascade of the two models is the measured thru itself ...
    EXPECT_LE(maxDeviation(SynthNet::cascadeS(*left->uncorrectedSParameters(), *right->uncorrectedSParameters()),
                           measuredThru(rig->sim, 1, 2)),
              1e-9);
    // ... and each model is its fixture, within what gating leaves, up to
    // 0.8 of the band (1.6e-3 seen on the first run).
    EXPECT_LE(maxDeviation(*left->uncorrectedSParameters(), truthLeft(spec, f), 0.0, 16e9), 4e-3);
    EXPECT_LE(maxDeviation(*right->uncorrectedSParameters(), truthRight(spec, f), 0.0, 16e9), 4e-3);
    ASSERT_TRUE(left->length());
    EXPECT_NEAR(*left->length(), 2 * spec.line.delay, 5e-12);

    // The ports know where they were measured, and QML gets the series.
    EXPECT_EQ(thru.left.getFixturePort(0)->measuredPort(), 0u);
    EXPECT_EQ(thru.right.getFixturePort(0)->measuredPort(), 1u);
    EXPECT_EQ(thru.left.getFixturePort(0)->z0Port(), 50.0);
    EXPECT_EQ(left->s21Series()->size(), static_cast<int>(f.size()));

    // One process kept per pair; the raw two-port carries its analyser ports.
    EXPECT_EQ(thru.connection.processCount(), 1u);
    ASSERT_EQ(thru.measurer.rawData().size(), 1);
    const auto &raw = thru.measurer.rawData().front();
    EXPECT_EQ(raw.vnaPort1(), 0u);
    EXPECT_EQ(raw.vnaPort2(), 1u);
    EXPECT_EQ(raw.s21(), rig->sim.sceneS(2, 1, f));
    EXPECT_EQ(raw.frequency(), f);

    const auto channel = rig->sim.channel(1);
    EXPECT_FALSE(channel.fixtureSimulator);
    EXPECT_FALSE(channel.deembedding);
    EXPECT_EQ(channel.layout, 1u);

    // Clearing empties the ports and the raw data and makes the status idle.
    thru.measurer.clearResults();
    EXPECT_EQ(thru.measurer.status(), Status::NotMeasured);
    EXPECT_FALSE(left->uncorrectedSParameters());
    EXPECT_TRUE(thru.measurer.rawData().empty());
}

// Two pairs on a 4-port analyser: each port pair gets its own analyser
// ports, its own impedances and its own model.
TEST_F(TransmissionFromAnalyser, EveryPortPairUsesItsOwnAnalyserPortsAndImpedances)
{
    AnalyserSim::FixtureSpec shortFixture, longFixture;
    shortFixture.line.delay = 100e-12;
    longFixture.line.delay = 250e-12;
    AnalyserSim::Scene scene;
    ASSERT_TRUE(scene.addThru(1, 3, shortFixture));
    ASSERT_TRUE(scene.addThru(2, 4, longFixture));
    rig->sim.setScene(scene);
    rig->sim.execute(QStringLiteral("SENS1:CORR:PORT4:IMP 75"));
    ASSERT_TRUE(rig->settle());

    ThruRig thru(rig->proxy.get(), 2);
    thru.attach({0, 1}, {2, 3});
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    int steps = 0;
    ASSERT_TRUE(thru.run(SParameterSource::fromDevice(rig->proxy.get()), &steps));
    EXPECT_EQ(steps, 9);
    EXPECT_EQ(thru.connection.processCount(), 2u);

    const struct
    {
        unsigned a, b;
        double delay;
        double zb;
    } expected[2] = {{1, 3, 100e-12, 50.0}, {2, 4, 250e-12, 75.0}};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(thru.left.getFixturePort(i)->measuredPort(), expected[i].a - 1);
        EXPECT_EQ(thru.right.getFixturePort(i)->measuredPort(), expected[i].b - 1);
        EXPECT_EQ(thru.left.getFixturePort(i)->z0Port(), 50.0);
        EXPECT_EQ(thru.right.getFixturePort(i)->z0Port(), expected[i].zb);
        EXPECT_EQ(thru.leftPort(i)->portZ0(), 50.0);
        EXPECT_EQ(thru.rightPort(i)->portZ0(), expected[i].zb);
        ASSERT_TRUE(thru.leftPort(i)->defaultSParameters() && thru.rightPort(i)->defaultSParameters());
        // The models as calculated cascade to the thru between the pair's ports.
        EXPECT_LE(maxDeviation(SynthNet::cascadeS(*thru.leftPort(i)->defaultSParameters(),
                                                  *thru.rightPort(i)->defaultSParameters()),
                               measuredThru(rig->sim, expected[i].a, expected[i].b)),
                  1e-9)
            << "pair " << i;
        ASSERT_TRUE(thru.leftPort(i)->length());
        EXPECT_NEAR(*thru.leftPort(i)->length(), 2 * expected[i].delay, 5e-12) << "pair " << i;
        const auto &raw = thru.measurer.rawData().at(i);
        EXPECT_EQ(raw.vnaPort1(), expected[i].a - 1);
        EXPECT_EQ(raw.vnaPort2(), expected[i].b - 1);
    }
}

TEST(TransmissionMeasurer, UnequalSidesFailAtTheConfigurationCheckAndSayWhy)
{
    QTemporaryDir dir;
    const QString file = writeLineThru(dir, 100);
    ThruRig thru(nullptr);
    thru.leftFixture.setPortsCount(2);
    thru.rightFixture.setPortsCount(3);
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    EXPECT_FALSE(thru.run(SParameterSource::fromFile(file)));
    EXPECT_EQ(thru.measurer.status(), Status::Failed);
    EXPECT_TRUE(thru.cancelled);
    EXPECT_EQ(thru.lastText, QStringLiteral("Check configuration"));
    EXPECT_EQ(errors.texts,
              std::vector<QString>{"The two fixtures are connected to different numbers of analyser ports (2 and 3)"});
    EXPECT_EQ(thru.connection.processCount(), 0u);
}

// The second pair needs analyser port 3, which a 2-port file lacks: the run
// stops there and keeps the first pair's process.
TEST(TransmissionMeasurer, AnUnreadablePairFailsAndKeepsTheEarlierPairsProcess)
{
    QTemporaryDir dir;
    const QString file = writeLineThru(dir, 100);
    ThruRig thru(nullptr, 2);
    thru.attach({0, 0}, {1, 2});
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    EXPECT_FALSE(thru.run(SParameterSource::fromFile(file)));
    EXPECT_EQ(thru.measurer.status(), Status::Failed);
    EXPECT_TRUE(thru.cancelled);
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0], QStringLiteral("Cannot read S-parameters data"));
    EXPECT_EQ(thru.connection.processCount(), 1u);
    EXPECT_TRUE(thru.leftPort(0)->isMeasured());
    EXPECT_FALSE(thru.leftPort(1)->uncorrectedSParameters());
}

// A file the reader refuses: the user sees why, after the step's own text.
TEST(TransmissionMeasurer, ARefusedFileFailsWithTheReadersReason)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/repeated.s2p";
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("# Hz S RI R 50\n1 0 0 1 0 1 0 0 0\n1 0 0 1 0 1 0 0 0\n");
    }
    ThruRig thru(nullptr);
    thru.attach({0}, {1});
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    EXPECT_FALSE(thru.run(SParameterSource::fromFile(file)));
    EXPECT_EQ(errors.texts, std::vector<QString>{"Cannot read the frequency grid: " + file
                                                 + ", line 3: the frequency 1 does not rise above the "
                                                   "previous 1 (line 2)"});
    EXPECT_EQ(thru.measurer.status(), Status::Failed);
}

// The calculation's own findings reach the measurer's error list, which the
// step hands on to the notification list: why a grid is refused, after the
// process's text, and which fixture model shows gain, on a run that succeeds.
TEST(TransmissionMeasurer, TheCalculationsReasonsReachTheErrorList)
{
    QTemporaryDir dir;
    {
        SCOPED_TRACE("a logarithmic sweep is refused with its reason");
        std::vector<double> f(100);
        for (size_t i = 0; i < f.size(); ++i)
            f[i] = 1e8 * std::pow(100.0, double(i) / double(f.size() - 1));
        const QString file = MeasurementTest::writeTwoPort(
            dir.path() + "/log.s2p", SynthNet::toS(SynthNet::twoXThru(SynthNet::line(f, {50.0, 1e-10, 0.2}))));
        ThruRig thru(nullptr);
        thru.attach({0}, {1});
        ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
        EXPECT_FALSE(thru.run(SParameterSource::fromFile(file)));
        EXPECT_EQ(thru.measurer.status(), Status::Failed);
        EXPECT_EQ(errors.texts,
                  (std::vector<QString>{"Transmission. Invalid input data",
                                        "The frequency grid is not uniformly spaced. Use a linear sweep"}));
    }
}

// A model with gain is kept and told as a notice of its own port, one per
// port and calculation; the ports hold the notices of their current models,
// so a model calculated again without a doubt drops the old one.
TEST(TransmissionMeasurer, TheNoticesOfAModelGoWithThatModel)
{
    QTemporaryDir dir;
    // A 0.1 pF pad on a 1-20 GHz band-pass grid: the gated models reach a
    // singular value of about 1.14 near the top of the band.
    const auto f = SynthNet::uniformGrid(1e9, 20e9, 191);
    const auto pad = SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.1e-12), SynthNet::line(f, {50.0, 2e-10, 0.3}));
    const QString doubtful =
        MeasurementTest::writeTwoPort(dir.path() + "/pad.s2p", SynthNet::toS(SynthNet::twoXThru(pad)));
    const QString plain = MeasurementTest::writeTwoPort(
        dir.path() + "/line.s2p", SynthNet::toS(SynthNet::twoXThru(SynthNet::line(f, {50.0, 2e-10, 0.3}))));

    ThruRig thru(nullptr);
    thru.attach({0}, {1});
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    NoticeLog told(&thru.measurer, &BaseMeasurer::modelNotice);
    MeasuredFixturePort *left = thru.left.getFixturePort(0);
    MeasuredFixturePort *right = thru.right.getFixturePort(0);

    ASSERT_TRUE(thru.run(SParameterSource::fromFile(doubtful)));
    EXPECT_EQ(thru.measurer.status(), Status::Done);
    EXPECT_TRUE(thru.leftPort(0)->isMeasured());
    EXPECT_TRUE(thru.rightPort(0)->isMeasured());
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front().toStdString();
    // Two ports, two notices, each held by the port it names.
    ASSERT_EQ(told.notices.size(), 2u);
    EXPECT_EQ(told.notices[0].port, "the fixture at analyser port 1");
    EXPECT_EQ(told.notices[1].port, "the fixture at analyser port 2");
    EXPECT_TRUE(told.notices[0].summary.contains("not passive")) << told.notices[0].text().toStdString();
    EXPECT_EQ(left->notices(), QList<Algorithms::ModelNotice>{told.notices[0]});
    EXPECT_EQ(right->notices(), QList<Algorithms::ModelNotice>{told.notices[1]});
    EXPECT_EQ(thru.measurer.runNotices(), (QList<Algorithms::ModelNotice>{told.notices[0], told.notices[1]}));

    // The same thru again: told again, held once.
    ASSERT_TRUE(thru.run(SParameterSource::fromFile(doubtful)));
    EXPECT_EQ(told.notices.size(), 4u);
    EXPECT_EQ(left->notices().size(), 1);
    EXPECT_EQ(thru.measurer.runNotices().size(), 2);

    // A passive thru: the new models carry nothing, the old doubts are gone.
    told.notices.clear();
    ASSERT_TRUE(thru.run(SParameterSource::fromFile(plain)));
    EXPECT_TRUE(told.notices.empty());
    EXPECT_TRUE(left->notices().isEmpty());
    EXPECT_TRUE(right->notices().isEmpty());
    EXPECT_TRUE(thru.measurer.runNotices().isEmpty());

    // Emptied models carry no notices either.
    ASSERT_TRUE(thru.run(SParameterSource::fromFile(doubtful)));
    ASSERT_EQ(left->notices().size(), 1);
    MeasurementTest::runOnWorker(thru.worker, [&] { thru.measurer.clearResults(); });
    EXPECT_TRUE(left->notices().isEmpty());
    EXPECT_TRUE(right->notices().isEmpty());

    // A failed run leaves no notice of the models it did not make.
    ASSERT_TRUE(thru.run(SParameterSource::fromFile(doubtful)));
    EXPECT_FALSE(thru.run(SParameterSource::fromFile(dir.path() + "/none.s2p")));
    EXPECT_TRUE(left->notices().isEmpty());
    EXPECT_TRUE(thru.measurer.runNotices().isEmpty());
}

TEST(TransmissionMeasurer, MissingGridOrImpedanceFailWithTheirTexts)
{
    QTemporaryDir dir;
    ThruRig thru(nullptr);
    thru.attach({0}, {1});
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    EXPECT_FALSE(thru.run(SParameterSource::fromFile(dir.path() + "/none.s2p")));
    EXPECT_EQ(errors.texts, std::vector<QString>{QStringLiteral("Cannot read the frequency grid")});

    // An analyser that reports its grid but no port impedances.
    SimRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.sync()); // the first poll reads the port count only
    ThruRig live(rig.proxy.get());
    live.attach({0}, {1});
    ErrorLog liveErrors(&live.measurer, &BaseMeasurer::error);
    if (rig.proxy->impedance(0))
        GTEST_SKIP() << "the first poll already read the impedances";
    EXPECT_FALSE(live.run(SParameterSource::fromDevice(rig.proxy.get())));
    EXPECT_EQ(liveErrors.texts, std::vector<QString>{QStringLiteral("Cannot read z0 impedance value")});
    EXPECT_EQ(live.measurer.status(), Status::Failed);
    EXPECT_EQ(live.connection.processCount(), 0u);
}

// A cancel in the middle of the first of three pairs stops the run there.
TEST(TransmissionMeasurer, InterruptDuringTheFirstPairStopsTheRun)
{
    QTemporaryDir dir;
    const QString file = writeLineThru(dir, 200);
    ThruRig thru(nullptr, 3);
    thru.attach({0, 0, 0}, {1, 1, 1});
    // The process stores the impulse response mid-calculation: cancel then,
    // from the worker thread, as a GUI-thread cancel would land.
    QObject::connect(
        thru.leftPort(0), &Algorithms::FixturePort::impulseResponseChanged, &thru.measurer,
        [&] {
            if (thru.leftPort(0)->impulseResponse())
                thru.measurer.interrupt();
        },
        Qt::DirectConnection);
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    EXPECT_FALSE(thru.run(SParameterSource::fromFile(file)));
    EXPECT_EQ(thru.measurer.status(), Status::Failed);
    EXPECT_FALSE(thru.measurer.isInterrupted());
    EXPECT_EQ(std::count(errors.texts.begin(), errors.texts.end(), QStringLiteral("The measurement was canceled")), 1);
    EXPECT_EQ(thru.connection.processCount(), 1u);
    EXPECT_FALSE(thru.leftPort(1)->uncorrectedSParameters());
    EXPECT_FALSE(thru.leftPort(2)->uncorrectedSParameters());
    EXPECT_EQ(thru.measurer.rawData().size(), 1);

    // The next run is not affected by the old cancel.
    QObject::disconnect(thru.leftPort(0), nullptr, &thru.measurer, nullptr);
    EXPECT_TRUE(thru.run(SParameterSource::fromFile(file)));
    EXPECT_EQ(thru.connection.processCount(), 3u);
}

// A cancel that lands while no process runs (the start of the run, the
// set-up of the next pair) stops the run at the next pair or after the
// current one, and is reported once all the same.
TEST(TransmissionMeasurer, ACancelOutsideTheCalculationIsReportedOnce)
{
    QTemporaryDir dir;
    const QString file = writeLineThru(dir, 200);
    struct Case
    {
        const char *name;
        size_t keptProcesses;
        std::function<void(ThruRig &)> arm;
    };
    const std::vector<Case> cases{
        // The run begins by emptying the ports.
        {"at the start", 0u,
         [](ThruRig &thru) {
             QObject::connect(
                 thru.leftPort(0), &Algorithms::FixturePort::impulseResponseChanged, &thru.measurer,
                 [&thru] { thru.measurer.interrupt(); }, Qt::DirectConnection);
         }},
        // The second pair's ports take their analyser impedance before its
        // process exists.
        {"while the second pair is set up", 2u,
         [](ThruRig &thru) {
             QObject::connect(
                 thru.left.getFixturePort(1), &MeasuredFixturePort::z0PortChanged, &thru.measurer,
                 [&thru] { thru.measurer.interrupt(); }, Qt::DirectConnection);
         }},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        ThruRig thru(nullptr, 3);
        thru.attach({0, 0, 0}, {1, 1, 1});
        test.arm(thru);
        ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
        EXPECT_FALSE(thru.run(SParameterSource::fromFile(file)));
        EXPECT_EQ(errors.texts, std::vector<QString>{QStringLiteral("The measurement was canceled")});
        EXPECT_EQ(thru.measurer.status(), Status::Failed);
        EXPECT_TRUE(thru.cancelled);
        EXPECT_FALSE(thru.measurer.isInterrupted());
        EXPECT_EQ(thru.connection.processCount(), test.keptProcesses);
        EXPECT_FALSE(thru.leftPort(2)->uncorrectedSParameters());
    }
}

// While its process runs a fixture port speaks through the process and the
// measurer only; afterwards the kept process is out of the chain and the
// port speaks for itself again.
TEST(TransmissionMeasurer, APortSpeaksThroughTheProcessOnlyWhileItRuns)
{
    QTemporaryDir dir;
    const QString file = writeLineThru(dir, 200);
    ThruRig thru(nullptr);
    thru.attach({0}, {1});
    // No model can be converted to so large a reference impedance.
    thru.measurer.setConversionT(Algorithms::Z0ConversionType::User);
    thru.measurer.setUserDefZ0(1e300);
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    ErrorLog portErrors(thru.left.getFixturePort(0), &MeasuredFixturePort::error);
    const QString invalidConversion = QStringLiteral("Invalid converted data. Check system and fixture impedances");
    EXPECT_FALSE(thru.run(SParameterSource::fromFile(file)));
    EXPECT_EQ(errors.texts, std::vector<QString>{invalidConversion});
    EXPECT_TRUE(portErrors.texts.empty());
    ASSERT_EQ(thru.connection.processCount(), 1u);

    thru.measurer.setUserDefZ0(50.0);
    errors.texts.clear();
    ASSERT_TRUE(thru.run(SParameterSource::fromFile(file)));
    ASSERT_TRUE(errors.texts.empty());
    thru.measurer.interrupt();
    thru.leftPort(0)->setZ0Impedance(std::nan(""));
    TestSupport::flush();
    EXPECT_TRUE(errors.texts.empty());
    EXPECT_EQ(portErrors.texts, std::vector<QString>{QStringLiteral(
                                    "Invalid Z0 impedance. It is recommended using the latest VNA software version")});
}

TEST(BaseMeasurer, SettersSignalOnlyOnChange)
{
    ThruRig thru(nullptr);
    TransmissionMeasurer &m = thru.measurer;
    QSignalSpy method(&m, &BaseMeasurer::calcMethodChanged);
    QSignalSpy conversion(&m, &BaseMeasurer::conversionTChanged);
    QSignalSpy z0(&m, &BaseMeasurer::userDefZ0Changed);
    m.setCalcMethod(Algorithms::CalcMethod::TimeGate);
    m.setCalcMethod(Algorithms::CalcMethod::Bisection);
    m.setConversionT(Algorithms::Z0ConversionType::System);
    m.setConversionT(Algorithms::Z0ConversionType::User);
    m.setUserDefZ0(50.0 + 1e-14);
    m.setUserDefZ0(75.0);
    EXPECT_EQ(method.count(), 1);
    EXPECT_EQ(conversion.count(), 1);
    EXPECT_EQ(z0.count(), 1);
    EXPECT_EQ(m.calcMethod(), Algorithms::CalcMethod::Bisection);
    EXPECT_EQ(m.userDefZ0(), 75.0);
}

// The conversion settings reach the fixture ports before the calculation.
TEST(BaseMeasurer, UserImpedanceConversionReachesThePorts)
{
    QTemporaryDir dir;
    const QString file = writeLineThru(dir, 200, 45.0);
    ThruRig thru(nullptr);
    thru.attach({0}, {1});
    thru.measurer.setConversionT(Algorithms::Z0ConversionType::User);
    thru.measurer.setUserDefZ0(60.0);
    ASSERT_TRUE(thru.run(SParameterSource::fromFile(file)));
    EXPECT_EQ(thru.leftPort(0)->conversionType(), Algorithms::Z0ConversionType::User);
    EXPECT_EQ(thru.leftPort(0)->customImpedance(), 60.0);
    EXPECT_EQ(thru.leftPort(0)->z0Transform(), 60.0);
    EXPECT_EQ(thru.rightPort(0)->z0Transform(), 60.0);
}

class ThrowingProcess : public Algorithms::IProcessMethod
{
public:
    explicit ThrowingProcess(bool standard) : standard(standard) {}
    bool calculate() override
    {
        if (standard)
            throw std::runtime_error("matrix is singular");
        throw 42;
    }
    bool prepareParameters() override { return true; }
    bool standard;
};

TEST(BaseMeasurer, AnExceptionOfTheProcessIsReportedAndAnswersFalse)
{
    ThruRig thru(nullptr);
    ErrorLog errors(&thru.measurer, &BaseMeasurer::error);
    Algorithms::ProcessInputParameters parameters;
    ThrowingProcess standard(true), other(false);
    standard.setParameters(&parameters);
    other.setParameters(&parameters);
    EXPECT_FALSE(thru.measurer.execute(&standard));
    EXPECT_FALSE(thru.measurer.execute(&other));
    ASSERT_EQ(errors.texts.size(), 2u);
    EXPECT_EQ(errors.texts[0], QStringLiteral("Error matrix is singular"));
    EXPECT_TRUE(errors.texts[1].startsWith(QStringLiteral("Error ")));
}

} // namespace
