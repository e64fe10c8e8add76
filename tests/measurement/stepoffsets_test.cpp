#include "steptestsupport.h"

#include "measurement/reflectionmeasurer.h"
#include "measurement/reflectionstep.h"
#include "measurement/stepoffsets.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/transmissionstep.h"
#include "tests/support/logcapture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace StepTest;
using State = MeasureEnums::FixturePossibleState;
using MeasureStatus = MeasureEnums::MeasureStatus;

bool hasOffset(QmlFixturePort *port)
{
    return port->calibrationState().testFlag(QmlFixturePort::CalibrationState::Offset);
}

class ThruOffsets : public ::testing::Test
{
protected:
    void SetUp() override
    {
        thru.step->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), spec));
        drain(services.worker);
        ASSERT_EQ(thru.step->thruMeasured(), MeasureStatus::MEASURED);
    }
    const AnalyserSim::FixtureSpec spec;
    QTemporaryDir dir;
    Services services;
    ThruStep thru{nullptr, services};
};

TEST_F(ThruOffsets, PicosecondsReachThePortsInSecondsAndZeroTakesThemBack)
{
    TransmissionStep &step = *thru.step;
    Recorder rec;
    rec.watch(&step, &TransmissionStep::leftOffsetChanged, "left");
    rec.watch(&step, &Step::flagAppliedFixtureOffsetChanged, "applied");
    step.setLeftOffset(10.0);
    step.setLeftOffset(10.0 + 1e-12);
    step.setRightOffset(-20.0);
    EXPECT_EQ(rec.count("left"), 1);
    // Storing does not apply.
    EXPECT_FALSE(hasOffset(thru.a.port(0)));

    QmlFixturePort *left = thru.a.port(0);
    QmlFixturePort *right = thru.b.port(0);
    const double leftLength = left->defaultImpulseResponse()->delay;
    const double rightLength = right->defaultImpulseResponse()->delay;
    step.applyThruOffset(true);
    drain(services.worker);
    ASSERT_TRUE(left->length() && right->length());
    EXPECT_DOUBLE_EQ(*left->length(), leftLength + 10e-12);
    EXPECT_DOUBLE_EQ(*right->length(), rightLength - 20e-12);
    EXPECT_TRUE(hasOffset(left) && hasOffset(right));
    EXPECT_TRUE(step.appliedFixtureOffset());
    EXPECT_EQ(rec.count("applied"), 1);
    ProgressWatcher *row = progressRow(services.progress, 1);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name(), QStringLiteral("Transmission offset"));
    EXPECT_TRUE(row->isFinished());

    step.applyThruOffset(false);
    drain(services.worker);
    EXPECT_DOUBLE_EQ(*left->length(), leftLength);
    EXPECT_FALSE(hasOffset(left) || hasOffset(right));
    EXPECT_FALSE(step.appliedFixtureOffset());
}

TEST_F(ThruOffsets, SidesOfDifferentPortCountsAreRefused)
{
    ErrorLog errors(thru.step.get(), &Step::error);
    thru.a.fixture.setPortsCount(2);
    thru.step->setLeftOffset(5.0);
    thru.step->applyThruOffset(true);
    drain(services.worker);
    TestSupport::flush();
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("zip containers size are not equal")}));
    EXPECT_TRUE(progressRow(services.progress, 1)->isCanceled());
    // The flag tells what the models carry: nothing was applied.
    EXPECT_FALSE(thru.step->appliedFixtureOffset());
}

// A new thru replaces the models with ones without offset: the flag goes
// with the offset.
TEST_F(ThruOffsets, ANewThruLeavesNoOffsetAndNoAppliedFlag)
{
    TransmissionStep &step = *thru.step;
    step.setLeftOffset(10.0);
    step.applyThruOffset(true);
    drain(services.worker);
    ASSERT_TRUE(step.appliedFixtureOffset());
    ASSERT_TRUE(hasOffset(thru.a.port(0)));

    step.measureFromTouchstoneFile(writeThruFile(dir.filePath("again"), spec));
    drain(services.worker);
    ASSERT_EQ(step.thruMeasured(), MeasureStatus::MEASURED);
    EXPECT_FALSE(hasOffset(thru.a.port(0)));
    EXPECT_FALSE(step.appliedFixtureOffset());
}

TEST(StepOffsets, AnOffsetBeforeTheCalculationIsIgnored)
{
    Services services;
    ThruStep thru(nullptr, services);
    thru.step->setLeftOffset(5.0);
    thru.step->applyThruOffset(true);
    drain(services.worker);
    EXPECT_FALSE(thru.step->appliedFixtureOffset());
    EXPECT_EQ(services.progress.model()->rowCount(), 0);
}

TEST(StepOffsets, SecondsAreWrittenInTheShortestGeneralNotation)
{
    EXPECT_EQ(StepOffsets::secondsText(5e-12), QStringLiteral("5e-12s"));
    EXPECT_EQ(StepOffsets::secondsText(-1e-9), QStringLiteral("-1e-09s"));
    EXPECT_EQ(StepOffsets::secondsText(1.25e-11), QStringLiteral("1.25e-11s"));
}

class ReflectionOffset : public ::testing::Test
{
protected:
    void SetUp() override
    {
        step->measureOpenFromTouchstone(writeReflectFile(dir.filePath("open"), spec, 1.0));
        drain(services.worker);
        ASSERT_EQ(step->calculated(), MeasureStatus::MEASURED);
    }
    void TearDown() override
    {
        step.reset();
        TestSupport::flush();
    }
    const AnalyserSim::FixtureSpec spec;
    QTemporaryDir dir;
    Services services;
    Algorithms::ProcessInputParameters parameters;
    Side a{nullptr, {0}};
    std::shared_ptr<ReflectionStep> step = makeStep<ReflectionStep>(new ConnectionReflect(&a.connection, &parameters),
                                                                    nullptr, &services.worker, &services.progress);
};

TEST_F(ReflectionOffset, SetOffsetWarnsOnEveryCallAndSignalsOnlyChanges)
{
    LogCapture log;
    Recorder rec;
    rec.watch(step.get(), &ReflectionStep::offsetChanged, "offset");
    step->setOffset(7.0);
    step->setOffset(7.0);
    EXPECT_EQ(rec.count("offset"), 1);
    EXPECT_EQ(log.lines().count(QStringLiteral("Floating point comparison needs context sanity check")), 2);
}

TEST_F(ReflectionOffset, AppliesInSecondsAndRemoves)
{
    QmlFixturePort *port = a.port(0);
    const double length = port->defaultImpulseResponse()->delay;
    step->setOffset(25.0);
    step->applyOffset(true);
    drain(services.worker);
    EXPECT_DOUBLE_EQ(*port->length(), length + 25e-12);
    EXPECT_TRUE(hasOffset(port));
    EXPECT_TRUE(step->appliedFixtureOffset());
    EXPECT_EQ(progressRow(services.progress, 1)->name(), QStringLiteral("Reflection offset"));

    step->applyOffset(false);
    drain(services.worker);
    EXPECT_DOUBLE_EQ(*port->length(), length);
    EXPECT_FALSE(hasOffset(port));
    EXPECT_FALSE(step->appliedFixtureOffset());
}

TEST_F(ReflectionOffset, ARefusedOffsetIsReportedWithItsValueAndCancelsTheProgress)
{
    ErrorLog errors(step.get(), &Step::error);
    // Longer back than the fixture itself.
    step->setOffset(-1000.0);
    step->applyOffset(true);
    drain(services.worker);
    TestSupport::flush();
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("Cannot apply the offset-1e-09s")}));
    EXPECT_TRUE(progressRow(services.progress, 1)->isCanceled());
    EXPECT_FALSE(hasOffset(a.port(0)));
    EXPECT_FALSE(step->appliedFixtureOffset());
}

// The 2x-thru fixtures, then an open at each end behind a longer fixture:
// 5 ps longer at A and 10 ps at B give round trips 10 ps and 20 ps longer.
class ReflectOffsets : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.setHarmonicGrid(100e6, 200);
        rig.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, spec));
        ASSERT_TRUE(rig.settle());
        thru = std::make_unique<ThruStep>(rig.proxy.get(), services);
        thru->step->measureFromVna();
        ASSERT_EQ(thru->step->thruMeasured(), MeasureStatus::MEASURED);
    }
    void openAtBothEnds()
    {
        AnalyserSim::FixtureSpec longerA = spec, longerB = spec;
        longerA.line.delay += 5e-12;
        longerB.line.delay += 10e-12;
        AnalyserSim::Scene scene;
        ASSERT_TRUE(scene.addReflect(1, AnalyserSim::Termination::Open, longerA));
        ASSERT_TRUE(scene.addReflect(2, AnalyserSim::Termination::Open, longerB));
        rig.sim.setScene(scene);
    }
    const AnalyserSim::FixtureSpec spec;
    SimRig rig;
    Services services;
    std::unique_ptr<ThruStep> thru;
};

TEST_F(ReflectOffsets, OpensAtBothEndsGiveEachSideItsOwnOffset)
{
    TransmissionStep &step = *thru->step;
    // An applied thru offset is taken back by the reflect measurement.
    step.setLeftOffset(30.0);
    step.applyThruOffset(true);
    drain(services.worker);
    ASSERT_TRUE(step.appliedFixtureOffset());

    openAtBothEnds();
    ErrorLog errors(&step, &Step::error);
    Recorder rec;
    rec.watch(&step, &TransmissionStep::leftReflectOffsetChanged, "left");
    step.measureOpenFromVna();
    TestSupport::flush();
    EXPECT_TRUE(errors.texts.empty()) << joined(errors.texts);
    EXPECT_EQ(step.openMeasured(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.reflectCalculated(), MeasureStatus::MEASURED);
    // Zeroed first, then the result.
    EXPECT_EQ(rec.count("left"), 2);
    // The peak search on the 100 MHz harmonic grid is good to about 1 ps.
    EXPECT_NEAR(step.leftReflectOffset(), 10.0, 2.0);
    EXPECT_NEAR(step.rightReflectOffset(), 20.0, 2.0);
    EXPECT_FALSE(step.appliedFixtureOffset());
    QmlFixturePort *left = thru->a.port(0);
    QmlFixturePort *right = thru->b.port(0);
    EXPECT_FALSE(hasOffset(left));
    // The thru models stay; the reflect models live on the copies.
    EXPECT_TRUE(left->isMeasured());
    ASSERT_TRUE(step.leftCopy() && step.leftCopy()->getFixturePort(0)->measureData()->isMeasured());
    EXPECT_EQ(step.leftCopy()->getAttachedVnaPort(0), 0u);
    EXPECT_EQ(step.rightCopy()->getAttachedVnaPort(0), 1u);
    ProgressWatcher *row = progressRow(services.progress, 2);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name(), QStringLiteral("Transmission Open"));
    EXPECT_TRUE(row->isFinished());

    const double leftLength = left->defaultImpulseResponse()->delay;
    const double rightLength = right->defaultImpulseResponse()->delay;
    step.applyReflectOffset(true);
    drain(services.worker);
    EXPECT_TRUE(step.appliedReflectsOffset());
    EXPECT_DOUBLE_EQ(*left->length(), leftLength + step.leftReflectOffset() * 1e-12);
    EXPECT_DOUBLE_EQ(*right->length(), rightLength + step.rightReflectOffset() * 1e-12);

    step.applyReflectOffset(false);
    drain(services.worker);
    EXPECT_FALSE(step.appliedReflectsOffset());
    EXPECT_DOUBLE_EQ(*left->length(), leftLength);
}

TEST_F(ReflectOffsets, WithOpenAndShortTheOpenAloneComputesNothing)
{
    TransmissionStep &step = *thru->step;
    step.setShortMeasurementEnable(true);
    ASSERT_EQ(step.reflectState(), State::OPEN_AND_SHORT);
    openAtBothEnds();
    step.measureOpenFromVna();
    TestSupport::flush();
    EXPECT_EQ(step.openMeasured(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.reflectCalculated(), MeasureStatus::NONE);
    EXPECT_EQ(step.leftReflectOffset(), 0.0);
    EXPECT_EQ(step.rightReflectOffset(), 0.0);
    // Nothing to apply yet.
    step.applyReflectOffset(true);
    drain(services.worker);
    EXPECT_FALSE(step.appliedReflectsOffset());
}

TEST(StepOffsets, ReflectOffsetsNeedTheThru)
{
    QTemporaryDir dir;
    Services services;
    ThruStep thru(nullptr, services);
    // Both ends of a two-port file hold the open.
    const auto f = harmonicGrid();
    const auto open = SynthNet::terminate(AnalyserSim::fixtureNetwork({}, f), 1.0);
    std::vector<std::vector<std::complex<double>>> m;
    for (const auto &v : open.s11())
        m.push_back({v, 0.0, 0.0, v});
    const QString file = MeasurementTest::writeTouchstone(dir.filePath("opens"), f, m, 2);
    ErrorLog errors(thru.step.get(), &Step::error);
    thru.step->measureOpenFromTouchstoneFile(file);
    drain(services.worker);
    ASSERT_EQ(thru.step->reflectCalculated(), MeasureStatus::MEASURED);
    // Without a thru there is no reference (and no offset to take back
    // first, so no port complains about one).
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("Calculation error. There is no length data")}));
    EXPECT_EQ(thru.step->leftReflectOffset(), 0.0);
    EXPECT_TRUE(progressRow(services.progress, 0)->isCanceled());

    thru.step->applyReflectOffset(true);
    drain(services.worker);
    TestSupport::flush();
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("Calculation error. There is no length data"),
                                                  QStringLiteral("Fixture is not measured")}));
    EXPECT_FALSE(thru.step->appliedReflectsOffset());
}

} // namespace
