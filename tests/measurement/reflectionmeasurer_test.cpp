#include "measurementtestsupport.h"

#include "device/taskprogress.h"
#include "measurement/connections.h"
#include "measurement/fixture.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/reflectionmeasurer.h"
#include "measurement/vnafixtureconnection.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using Algorithms::SParametersOnePort;
using Algorithms::SParametersTwoPort;
using DataState = Algorithms::FixturePort::DataState;
using MeasurementTest::ErrorLog;
using MeasurementTest::NoticeLog;
using State = MeasureEnums::FixturePossibleState;

const SynthNet::LineSpec kLine{55.0, 120e-12, 0.3};
const std::vector<double> kGrid = SynthNet::harmonicGrid(100e6, 200);

SynthNet::Network fixtureNetwork(const SynthNet::LineSpec &line = kLine)
{
    return SynthNet::line(kGrid, line);
}

double maxDifference(const Algorithms::ComplexVector &a, const Algorithms::ComplexVector &b)
{
    if (a.size() != b.size())
        return HUGE_VAL;
    double d = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

// Files of the open and short standards of one or two fixtures (a 2-port
// file holds the second fixture's reflection as S22).
struct StandardFiles
{
    StandardFiles()
    {
        const auto second = fixtureNetwork({50.0, 200e-12, 0.3});
        for (double gamma : {1.0, -1.0}) {
            const SParametersOnePort first = SynthNet::terminate(fixtureNetwork(), gamma);
            const SParametersOnePort other = SynthNet::terminate(second, gamma);
            const QString name = gamma > 0 ? "open" : "short";
            onePort[gamma > 0 ? 0 : 1] = MeasurementTest::writeOnePort(dir.path() + "/" + name + ".s1p", first);
            std::vector<std::vector<std::complex<double>>> m;
            for (size_t i = 0; i < kGrid.size(); ++i)
                m.push_back({first.s11()[i], 0.0, 0.0, other.s11()[i]});
            twoPort[gamma > 0 ? 0 : 1] =
                MeasurementTest::writeTouchstone(dir.path() + "/" + name + ".s2p", kGrid, m, 2);
        }
    }
    SParameterSource open(bool two = false) const { return SParameterSource::fromFile(two ? twoPort[0] : onePort[0]); }
    SParameterSource shortStandard(bool two = false) const
    {
        return SParameterSource::fromFile(two ? twoPort[1] : onePort[1]);
    }

    QTemporaryDir dir;
    QString onePort[2];
    QString twoPort[2];
};

struct ReflectRig
{
    explicit ReflectRig(uint ports = 1)
        : side(&fixture, nullptr),
          connection(&side, &parameters),
          measurer(&connection, nullptr)
    {
        fixture.setPortsCount(ports);
        for (uint i = 0; i < ports; ++i)
            side.setAttachedVnaPort(i, i);
    }

    bool measure(const SParameterSource &source, bool isShort)
    {
        TaskProgress progress;
        progress.setRange(0, 1000);
        bool ok = false;
        MeasurementTest::runOnWorker(worker, [&] {
            ok = isShort ? measurer.measureShort(source, &progress) : measurer.measureOpen(source, &progress);
        });
        cancelled = progress.isCanceled();
        return ok;
    }

    QmlFixturePort *port(int i) { return side.getFixturePort(i)->measureData(); }

    Algorithms::ProcessInputParameters parameters;
    Fixture fixture;
    VNAFixtureConnection side;
    ConnectionReflect connection;
    ReflectionMeasurer measurer;
    WorkerThread worker;
    bool cancelled = false;
};

struct StandardCase
{
    const char *name;
    bool isShort;
    Algorithms::MaxSignalEliminationType signalType;
};

class OneStandard : public ::testing::TestWithParam<StandardCase>
{};

// With one standard the model, terminated by that standard, gives back the
// measured reflection, and its delay is the fixture's round trip.
TEST_P(OneStandard, ModelReproducesTheMeasuredStandard)
{
    const StandardCase &c = GetParam();
    StandardFiles files;
    ReflectRig rig;
    rig.measurer.setState(c.isShort ? State::SHORT : State::OPEN);
    rig.measurer.setSignalType(c.signalType);
    QSignalSpy calculating(&rig.measurer, &ReflectionMeasurer::calculatingStatusChanged);
    ErrorLog errors(&rig.measurer, &BaseMeasurer::error);
    ASSERT_TRUE(rig.measure(c.isShort ? files.shortStandard() : files.open(), c.isShort));
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front().toStdString();
    EXPECT_FALSE(rig.cancelled);
    EXPECT_EQ(rig.measurer.calculatingStatus(), Status::Done);
    ASSERT_EQ(calculating.count(), 1);
    EXPECT_EQ(c.isShort ? rig.measurer.shortStatus() : rig.measurer.openStatus(), Status::Done);

    QmlFixturePort *port = rig.port(0);
    ASSERT_TRUE(port->isMeasured());
    ASSERT_TRUE(port->defaultSParameters() && port->length());
    const SParametersOnePort measured = SynthNet::terminate(fixtureNetwork(), c.isShort ? -1.0 : 1.0);
    const SParametersOnePort remade = SynthNet::terminateS(*port->defaultSParameters(), c.isShort ? -1.0 : 1.0);
    EXPECT_LE(maxDifference(remade.s11(), measured.s11()), 1e-9);
    EXPECT_NEAR(*port->length(), 2.0 * kLine.delay, 2e-12);

    EXPECT_EQ(rig.side.getFixturePort(0)->z0Port(), 50.0);
    EXPECT_EQ(rig.connection.processCount(), 1u);
    const auto &raw = c.isShort ? rig.measurer.shortRawData() : rig.measurer.openRawData();
    ASSERT_EQ(raw.size(), 1);
    EXPECT_EQ(raw.front().vnaPort(), 0u);
    EXPECT_EQ(raw.front().frequency(), kGrid);
    EXPECT_TRUE((c.isShort ? rig.measurer.openRawData() : rig.measurer.shortRawData()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Standards, OneStandard,
    ::testing::Values(StandardCase{"OpenModel", false, Algorithms::MaxSignalEliminationType::Model},
                      StandardCase{"ShortModel", true, Algorithms::MaxSignalEliminationType::Model},
                      StandardCase{"OpenTimeGate", false, Algorithms::MaxSignalEliminationType::TimeGate}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReflectionMeasurer, OpenAndShortCalculateOnlyOnceBothAreRead)
{
    StandardFiles files;
    ReflectRig rig(2);
    rig.measurer.setState(State::OPEN_AND_SHORT);
    ASSERT_TRUE(rig.measure(files.open(true), false));
    EXPECT_EQ(rig.measurer.openStatus(), Status::Done);
    EXPECT_EQ(rig.measurer.shortStatus(), Status::NotMeasured);
    EXPECT_EQ(rig.measurer.calculatingStatus(), Status::NotMeasured);
    EXPECT_FALSE(rig.port(0)->uncorrectedSParameters());
    EXPECT_EQ(rig.connection.processCount(), 0u);

    ErrorLog errors(&rig.measurer, &BaseMeasurer::error);
    ASSERT_TRUE(rig.measure(files.shortStandard(true), true));
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front().toStdString();
    EXPECT_EQ(rig.measurer.calculatingStatus(), Status::Done);
    EXPECT_EQ(rig.connection.processCount(), 2u);
    EXPECT_EQ(rig.measurer.openRawData().size(), 2);
    EXPECT_EQ(rig.measurer.shortRawData().size(), 2);
    EXPECT_EQ(rig.measurer.shortRawData().at(1).vnaPort(), 1u);
    const double delays[2] = {120e-12, 200e-12};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(rig.port(i)->isMeasured()) << i;
        ASSERT_TRUE(rig.port(i)->length());
        EXPECT_NEAR(*rig.port(i)->length(), 2.0 * delays[i], 2e-12) << i;
    }

    // Measuring the open again recalculates from the stored short.
    ASSERT_TRUE(rig.measure(files.open(true), false));
    EXPECT_EQ(rig.measurer.calculatingStatus(), Status::Done);
    EXPECT_TRUE(rig.port(1)->isMeasured());
}

TEST(ReflectionMeasurer, AStandardTheStateDoesNotAskForIsOnlyStored)
{
    StandardFiles files;
    ReflectRig rig;
    rig.measurer.setState(State::SHORT);
    ASSERT_TRUE(rig.measure(files.open(), false));
    EXPECT_EQ(rig.measurer.openStatus(), Status::Done);
    EXPECT_EQ(rig.measurer.openReader()->data().size(), 1u);
    EXPECT_EQ(rig.measurer.calculatingStatus(), Status::NotMeasured);
    EXPECT_FALSE(rig.port(0)->uncorrectedSParameters());
}

TEST(ReflectionMeasurer, BisectionHasNoReflectionProcessAndFailsSilently)
{
    StandardFiles files;
    ReflectRig rig;
    rig.measurer.setCalcMethod(Algorithms::CalcMethod::Bisection);
    ErrorLog errors(&rig.measurer, &BaseMeasurer::error);
    EXPECT_FALSE(rig.measure(files.open(), false));
    EXPECT_TRUE(errors.texts.empty());
    EXPECT_TRUE(rig.cancelled);
    EXPECT_EQ(rig.measurer.calculatingStatus(), Status::Failed);
    EXPECT_EQ(rig.measurer.openStatus(), Status::Done);
    EXPECT_FALSE(rig.port(0)->uncorrectedSParameters());
    EXPECT_FALSE(rig.port(0)->portZ0());
}

TEST(ReflectionMeasurer, MorePortsThanReadTracesFailTheCalculation)
{
    StandardFiles files;
    ReflectRig rig(2);
    rig.measurer.setState(State::OPEN_AND_SHORT);
    ASSERT_TRUE(rig.measure(files.open(true), false));
    rig.fixture.setPortsCount(3);
    rig.side.setAttachedVnaPort(2, 1);
    EXPECT_FALSE(rig.measure(files.shortStandard(true), true));
    EXPECT_EQ(rig.measurer.shortStatus(), Status::Done);
    EXPECT_EQ(rig.measurer.calculatingStatus(), Status::Failed);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(rig.port(i)->uncorrectedSParameters()) << i;
}

TEST(ReflectionMeasurer, UnreadableDataFailsWithItsText)
{
    StandardFiles files;
    ReflectRig rig;
    rig.side.setAttachedVnaPort(0, 1); // a 1-port file has no port 2
    ErrorLog errors(&rig.measurer, &BaseMeasurer::error);
    QSignalSpy openStatus(&rig.measurer, &ReflectionMeasurer::openStatusChanged);
    EXPECT_FALSE(rig.measure(files.open(), false));
    EXPECT_EQ(errors.texts, std::vector<QString>{QStringLiteral("Cannot read S-parameters data")});
    EXPECT_EQ(rig.measurer.openStatus(), Status::Failed);
    ASSERT_EQ(openStatus.count(), 1);
    EXPECT_EQ(openStatus.at(0).at(0).value<Status>(), Status::Failed);
    EXPECT_TRUE(rig.cancelled);

    // A file the reader refuses: the user sees why, after the step's text.
    QTemporaryDir dir;
    const QString broken = dir.filePath("nan.s1p");
    {
        QFile out(broken);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("# Hz S RI R 50\n1 0.5 0\n2 NaN 0\n");
    }
    rig.side.setAttachedVnaPort(0, 0);
    errors.texts.clear();
    EXPECT_FALSE(rig.measure(SParameterSource::fromFile(broken), false));
    EXPECT_EQ(errors.texts, std::vector<QString>{"Cannot read S-parameters data: " + broken
                                                 + ", line 3: a value of the point at 2 is not finite"});
    EXPECT_EQ(rig.measurer.openStatus(), Status::Failed);
}

// A cancel during the calculation is reported once, by the process; once a
// run is over its kept process answers no cancel and repeats no text of its
// port, which speaks for itself again.
TEST(ReflectionMeasurer, OnlyTheRunningProcessAnswersACancel)
{
    StandardFiles files;
    ReflectRig rig;
    QObject::connect(
        rig.port(0), &Algorithms::FixturePort::impulseResponseChanged, &rig.measurer,
        [&rig] {
            if (rig.port(0)->impulseResponse())
                rig.measurer.interrupt();
        },
        Qt::DirectConnection);
    ErrorLog errors(&rig.measurer, &BaseMeasurer::error);
    ErrorLog portErrors(rig.side.getFixturePort(0), &MeasuredFixturePort::error);
    EXPECT_FALSE(rig.measure(files.open(), false));
    EXPECT_EQ(errors.texts, std::vector<QString>{QStringLiteral("The measurement was canceled")});
    EXPECT_EQ(rig.measurer.calculatingStatus(), Status::Failed);
    EXPECT_TRUE(rig.cancelled);

    QObject::disconnect(rig.port(0), nullptr, &rig.measurer, nullptr);
    errors.texts.clear();
    ASSERT_TRUE(rig.measure(files.open(), false));
    ASSERT_EQ(rig.connection.processCount(), 1u);
    rig.measurer.interrupt();
    rig.port(0)->setZ0Impedance(std::nan(""));
    TestSupport::flush();
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front().toStdString();
    EXPECT_EQ(portErrors.texts, std::vector<QString>{QStringLiteral(
                                    "Invalid Z0 impedance. It is recommended using the latest VNA software version")});
}

TEST(ReflectionMeasurer, ResetClearsReadersRawDataAndPorts)
{
    StandardFiles files;
    ReflectRig rig;
    ASSERT_TRUE(rig.measure(files.open(), false));
    ASSERT_TRUE(rig.port(0)->isMeasured());
    rig.measurer.reset();
    EXPECT_EQ(rig.measurer.openStatus(), Status::NotMeasured);
    EXPECT_EQ(rig.measurer.calculatingStatus(), Status::NotMeasured);
    EXPECT_TRUE(rig.measurer.openRawData().empty());
    EXPECT_TRUE(rig.measurer.openReader()->data().empty());
    EXPECT_FALSE(rig.port(0)->uncorrectedSParameters());
}

TEST(ReflectionMeasurer, StateAndSignalTypeSignalOnlyOnChange)
{
    ReflectRig rig;
    EXPECT_EQ(rig.measurer.state(), State::OPEN);
    EXPECT_EQ(rig.measurer.signalType(), Algorithms::MaxSignalEliminationType::Model);
    QSignalSpy state(&rig.measurer, &ReflectionMeasurer::stateChanged);
    QSignalSpy type(&rig.measurer, &ReflectionMeasurer::signalTypeChanged);
    rig.measurer.setState(State::OPEN);
    rig.measurer.setState(State::OPEN_AND_SHORT);
    rig.measurer.setSignalType(Algorithms::MaxSignalEliminationType::Model);
    rig.measurer.setSignalType(Algorithms::MaxSignalEliminationType::TimeGate);
    EXPECT_EQ(state.count(), 1);
    EXPECT_EQ(type.count(), 1);
    EXPECT_EQ(rig.measurer.property("state").value<State>(), State::OPEN_AND_SHORT);
}

// The transmission step measures its reflect offsets on copies of its sides.
TEST(ReflectionMeasurer, SetConnectionMovesBothReadersToTheNewSide)
{
    StandardFiles files;
    ReflectRig rig;
    std::unique_ptr<VNAFixtureConnection> copy(rig.side.create());
    ConnectionReflect other(copy.get(), &rig.parameters);
    rig.measurer.setConnection(&other);
    EXPECT_EQ(rig.measurer.openReader()->connection(), copy.get());
    EXPECT_EQ(rig.measurer.shortReader()->connection(), copy.get());
    ASSERT_TRUE(rig.measure(files.open(), false));
    EXPECT_TRUE(copy->getFixturePort(0)->measureData()->isMeasured());
    EXPECT_FALSE(rig.port(0)->uncorrectedSParameters());
    EXPECT_EQ(other.processCount(), 1u);
    EXPECT_EQ(rig.connection.processCount(), 0u);
}

// The same run against the simulated analyser: open, then short, of one
// fixture on analyser port 2.
TEST(ReflectionMeasurer, MeasuresTheStandardsOfTheSimulatedAnalyser)
{
    MeasurementTest::SimRig sim;
    sim.setHarmonicGrid(100e6, 200);
    const AnalyserSim::FixtureSpec spec;
    sim.sim.setScene(AnalyserSim::Scene::reflect(2, AnalyserSim::Termination::Open, spec));
    ASSERT_TRUE(sim.settle());

    Algorithms::ProcessInputParameters parameters;
    Fixture fixture;
    VNAFixtureConnection side(&fixture, sim.proxy.get());
    side.setAttachedVnaPort(0, 1);
    ConnectionReflect connection(&side, &parameters);
    ReflectionMeasurer measurer(&connection, sim.proxy.get());
    measurer.setState(State::OPEN_AND_SHORT);
    WorkerThread worker;
    const auto source = SParameterSource::fromDevice(sim.proxy.get());
    bool ok = false;
    MeasurementTest::runOnWorker(worker, [&] { ok = measurer.measureOpen(source, nullptr); });
    ASSERT_TRUE(ok);
    sim.sim.setScene(AnalyserSim::Scene::reflect(2, AnalyserSim::Termination::Short, spec));
    ErrorLog errors(&measurer, &BaseMeasurer::error);
    MeasurementTest::runOnWorker(worker, [&] { ok = measurer.measureShort(source, nullptr); });
    ASSERT_TRUE(ok);
    EXPECT_TRUE(errors.texts.empty()) << errors.texts.front().toStdString();
    EXPECT_EQ(measurer.calculatingStatus(), Status::Done);

    QmlFixturePort *port = side.getFixturePort(0)->measureData();
    ASSERT_TRUE(port->isMeasured() && port->length());
    EXPECT_NEAR(*port->length(), 2.0 * spec.line.delay, 5e-12);
    EXPECT_EQ(side.getFixturePort(0)->measuredPort(), 1u);
    const auto f = sim.sim.frequencyGrid(1);
    const auto openScene = AnalyserSim::Scene::reflect(2, AnalyserSim::Termination::Open, spec);
    ASSERT_EQ(measurer.openRawData().size(), 1);
    EXPECT_EQ(measurer.openRawData().front().s11(), openScene.s(2, 2, f, {50.0, 50.0}));
    EXPECT_EQ(measurer.shortRawData().front().s11(), sim.sim.sceneS(2, 2, f));
    // Converted to 50 ohm, the model is the scene's fixture in the core band.
    ASSERT_TRUE(port->uncorrectedSParameters());
    EXPECT_EQ(port->dataState(), DataState::Converted);
    // 0.9e-3 (2..12 GHz) and 1.6e-3 (to 16 GHz) seen on the first run.
    const auto truth = SynthNet::toS(AnalyserSim::fixtureNetwork(spec, f));
    EXPECT_LE(MeasurementTest::maxDeviation(*port->uncorrectedSParameters(), truth, 2e9, 12e9), 2e-3);
    EXPECT_LE(MeasurementTest::maxDeviation(*port->uncorrectedSParameters(), truth, 0.0, 16e9), 4e-3);
}

} // namespace

// One standard on a band-pass grid with the time gate (compensation off):
// the gate loses the low band edge, and the model, passive as it is, would
// be wrong there without a word. It is kept, and the user is told once,
// with the analyser port, through the measurer's error chain.
TEST(ReflectionMeasurer, AGatedOneStandardModelOnABandPassGridIsKeptAndTold)
{
    const std::vector<double> grid = SynthNet::uniformGrid(1e9, 20e9, 191);
    const SynthNet::Network fixture =
        SynthNet::cascade(SynthNet::shuntGC(grid, 0.0, 0.05e-12), SynthNet::line(grid, {55.0, 250e-12, 1.0}));
    QTemporaryDir dir;
    const QString file = MeasurementTest::writeOnePort(dir.path() + "/open.s1p", SynthNet::terminate(fixture, 1.0));
    for (const auto signalType :
         {Algorithms::MaxSignalEliminationType::TimeGate, Algorithms::MaxSignalEliminationType::Model}) {
        const bool gated = signalType == Algorithms::MaxSignalEliminationType::TimeGate;
        SCOPED_TRACE(gated ? "time gate" : "compensation");
        ReflectRig rig;
        rig.measurer.setState(State::OPEN);
        rig.measurer.setSignalType(signalType);
        ErrorLog errors(&rig.measurer, &BaseMeasurer::error);
        NoticeLog told(&rig.measurer, &BaseMeasurer::modelNotice);
        ASSERT_TRUE(rig.measure(SParameterSource::fromFile(file), false));
        EXPECT_EQ(rig.measurer.calculatingStatus(), Status::Done);
        ASSERT_TRUE(rig.port(0)->isMeasured());
        // A doubt is no failure: nothing on the error list.
        EXPECT_TRUE(errors.texts.empty()) << errors.texts.front().toStdString();
        const QList<Algorithms::ModelNotice> held = rig.side.getFixturePort(0)->notices();
        if (gated) {
            ASSERT_EQ(told.notices.size(), 1u);
            const Algorithms::ModelNotice &notice = told.notices.front();
            EXPECT_EQ(notice.port, "the fixture at analyser port 1");
            // The wording is the calculation's; what matters here is where
            // the notice goes.
            EXPECT_TRUE(notice.summary.contains("the fixture at analyser port 1")) << notice.text().toStdString();
            // The port's model carries it, and so does the run.
            EXPECT_EQ(held, QList<Algorithms::ModelNotice>{notice});
            EXPECT_EQ(rig.measurer.runNotices(), QList<Algorithms::ModelNotice>{notice});
        } else {
            // The spline model separates the reflection without the gate's
            // losses (fixture |dS21| under 0.1 dB here): nothing to tell.
            EXPECT_TRUE(told.notices.empty()) << told.notices.front().text().toStdString();
            EXPECT_TRUE(held.isEmpty());
            EXPECT_TRUE(rig.measurer.runNotices().isEmpty());
        }
    }
}
