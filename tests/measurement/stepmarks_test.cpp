// The marks the measurement page shows for a set-up and for all of them
// (every step measured, some step failed), and the plane offset the gating
// chart's movable marker sets on a step.

#include "steptestsupport.h"

#include "measurement/dutstep.h"
#include "measurement/fixturesetups.h"
#include "measurement/reflectionstep.h"
#include "measurement/transmissionstep.h"
#include "measurement/vukalgorithmssetup.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

using namespace StepTest;
using MeasureStatus = MeasureEnums::MeasureStatus;
using FixtureSide = MeasureEnums::FixtureSide;

struct Marks
{
    bool measured;
    bool failed;
    bool operator==(const Marks &other) const { return measured == other.measured && failed == other.failed; }
};

std::ostream &operator<<(std::ostream &out, const Marks &marks)
{
    return out << "{measured " << marks.measured << ", failed " << marks.failed << "}";
}

template<typename Owner>
Marks marksOf(const Owner &owner)
{
    return {owner.allStepsMeasured(), owner.anyStepFailed()};
}

class SetupMarks : public ::testing::Test
{
protected:
    std::unique_ptr<VukAlgorithmsSetup> makeSetup()
    {
        auto setup = std::make_unique<VukAlgorithmsSetup>(nullptr, &services.worker, &services.progress, &parameters);
        // The B side on its own analyser port, as a file thru needs.
        setup->rightFixtureConn()->setAttachedVnaPort(0, 1);
        return setup;
    }

    // Measures the thru of the set-up's first step from a file (a missing
    // file fails it) and waits until the set-up has heard of it.
    void measureThru(VukAlgorithmsSetup &setup, bool good = true)
    {
        auto *thru = qobject_cast<TransmissionStep *>(setup.steps().at(0).get());
        ASSERT_NE(thru, nullptr);
        const QString path = good ? writeThruFile(dir.filePath(QStringLiteral("thru%1").arg(files++)), spec)
                                  : dir.filePath(QStringLiteral("missing.s2p"));
        thru->measureFromTouchstoneFile(path);
        drain(services.worker);
        TestSupport::flush();
        ASSERT_EQ(thru->thruMeasured(), good ? MeasureStatus::MEASURED : MeasureStatus::Error);
    }

    const AnalyserSim::FixtureSpec spec;
    QTemporaryDir dir;
    int files = 0;
    Services services;
    Algorithms::ProcessInputParameters parameters;
};

TEST_F(SetupMarks, FollowEveryStepThroughMeasurementsFailuresAndRebuilds)
{
    auto setup = makeSetup();
    QSignalSpy changes(setup.get(), &VukAlgorithmsSetup::stepsStatusChanged);
    EXPECT_EQ(marksOf(*setup), (Marks{false, false})) << "a thru not yet measured";

    measureThru(*setup);
    EXPECT_EQ(marksOf(*setup), (Marks{true, false}));
    EXPECT_GT(changes.count(), 0) << "the page learns of the status on the set-up's thread";

    // The rebuilt steps start unmeasured: [A-A Aux thru][B reflect].
    changes.clear();
    setup->setAaConnectionEnabled(true);
    EXPECT_EQ(marksOf(*setup), (Marks{false, false}));
    EXPECT_GT(changes.count(), 0);

    measureThru(*setup, false);
    EXPECT_EQ(marksOf(*setup), (Marks{false, true}));

    // Without steps there is nothing left to measure.
    changes.clear();
    setup->setLeftFixtureEnabled(false);
    setup->setRightFixtureEnabled(false);
    ASSERT_EQ(setup->steps().size(), 0);
    EXPECT_EQ(marksOf(*setup), (Marks{true, false}));
    EXPECT_GT(changes.count(), 0);
}

TEST_F(SetupMarks, ADutStepStillToMeasureKeepsTheSetupOpen)
{
    auto setup = makeSetup();
    setup->setAbDutConnectionEnabled(true);
    ASSERT_EQ(setup->steps().size(), 2);
    ASSERT_NE(qobject_cast<DutStep *>(setup->steps().at(1).get()), nullptr);
    measureThru(*setup);
    EXPECT_EQ(setup->steps().at(1)->getMeasureStatus(), MeasureStatus::NONE);
    EXPECT_EQ(marksOf(*setup), (Marks{false, false}));
}

TEST_F(SetupMarks, TheListMarksEverySetupAndFollowsAddingAndRemoving)
{
    FixtureSetups setups(&parameters, nullptr, &services.worker, &services.progress);
    QSignalSpy changes(&setups, &FixtureSetups::stepsStatusChanged);
    setups.setup(0)->rightFixtureConn()->setAttachedVnaPort(0, 1);
    measureThru(*setups.setup(0));
    EXPECT_EQ(marksOf(setups), (Marks{true, false}));
    EXPECT_GT(changes.count(), 0);

    changes.clear();
    setups.addSetup();
    EXPECT_EQ(marksOf(setups), (Marks{false, false})) << "the new set-up is not measured";
    EXPECT_GT(changes.count(), 0);

    setups.setup(1)->rightFixtureConn()->setAttachedVnaPort(0, 1);
    changes.clear();
    measureThru(*setups.setup(1), false);
    EXPECT_EQ(marksOf(setups), (Marks{false, true}));
    EXPECT_GT(changes.count(), 0);

    changes.clear();
    setups.removeSetup(1);
    EXPECT_EQ(marksOf(setups), (Marks{true, false}));
    EXPECT_GT(changes.count(), 0);

    changes.clear();
    setups.preset();
    EXPECT_EQ(marksOf(setups), (Marks{false, false}));
    EXPECT_GT(changes.count(), 0);
}

// The gating chart's movable marker of a thru: the side's offset in
// picoseconds from the marker's distance to the plane without offset, then
// the thru offsets applied.
class PlaneOffsetOfAThru : public ::testing::Test
{
protected:
    void measure()
    {
        thru.step->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), spec));
        drain(services.worker);
        ASSERT_EQ(thru.step->thruMeasured(), MeasureStatus::MEASURED);
    }
    double planeOf(QmlFixturePort *port) { return port->defaultImpulseResponse()->delay; }

    const AnalyserSim::FixtureSpec spec;
    QTemporaryDir dir;
    Services services;
    ThruStep thru{nullptr, services};
};

TEST_F(PlaneOffsetOfAThru, EachSideTakesItsOwnOffsetInPicoseconds)
{
    measure();
    TransmissionStep &step = *thru.step;
    QmlFixturePort *right = thru.b.port(0);
    const double rightPlane = planeOf(right);

    step.applyPlaneOffsetAt(FixtureSide::Right, rightPlane + 3e-12, rightPlane);
    drain(services.worker);
    EXPECT_NEAR(step.rightOffset(), 3.0, 1e-6);
    EXPECT_EQ(step.leftOffset(), 0.0);
    EXPECT_TRUE(step.appliedFixtureOffset());
    ASSERT_TRUE(right->length());
    EXPECT_NEAR(*right->length(), rightPlane + 3e-12, 1e-18);

    step.applyPlaneOffset(FixtureSide::Left, -2.5);
    drain(services.worker);
    EXPECT_EQ(step.leftOffset(), -2.5);
    EXPECT_NEAR(step.rightOffset(), 3.0, 1e-6) << "the other side keeps its offset";
    EXPECT_NEAR(*thru.a.port(0)->length(), planeOf(thru.a.port(0)) - 2.5e-12, 1e-18);

    // The reset sends 0 the same way.
    step.applyPlaneOffset(FixtureSide::Right, 0.0);
    drain(services.worker);
    EXPECT_EQ(step.rightOffset(), 0.0);
    EXPECT_NEAR(*right->length(), rightPlane, 1e-18);
}

TEST_F(PlaneOffsetOfAThru, NothingMovesBeforeTheThruOrWithoutAReference)
{
    TransmissionStep &step = *thru.step;
    step.applyPlaneOffset(FixtureSide::Left, 4.0);
    drain(services.worker);
    EXPECT_EQ(step.leftOffset(), 0.0) << "no plane before the thru is calculated";
    EXPECT_FALSE(step.appliedFixtureOffset());

    measure();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    step.applyPlaneOffsetAt(FixtureSide::Left, 1e-10, nan);
    step.applyPlaneOffsetAt(FixtureSide::Left, inf, 1e-10);
    step.applyPlaneOffset(FixtureSide::Left, nan);
    drain(services.worker);
    EXPECT_EQ(step.leftOffset(), 0.0);
    EXPECT_FALSE(step.appliedFixtureOffset());
    EXPECT_FALSE(thru.a.port(0)->calibrationState().testFlag(QmlFixturePort::CalibrationState::Offset));
}

TEST(PlaneOffset, AReflectionStepTakesItOnItsOneSide)
{
    const AnalyserSim::FixtureSpec spec;
    QTemporaryDir dir;
    Services services;
    Algorithms::ProcessInputParameters parameters;
    StepTest::Side a{nullptr, {0}};
    auto step = makeStep<ReflectionStep>(new ConnectionReflect(&a.connection, &parameters), nullptr, &services.worker,
                                         &services.progress);
    step->measureOpenFromTouchstone(writeReflectFile(dir.filePath("open"), spec, 1.0));
    drain(services.worker);
    ASSERT_EQ(step->calculated(), MeasureStatus::MEASURED);
    QmlFixturePort *port = a.port(0);
    const double plane = port->defaultImpulseResponse()->delay;

    // The reflection step's side is its own; the side given is not looked at.
    step->applyPlaneOffsetAt(FixtureSide::Right, plane + 6e-12, plane);
    drain(services.worker);
    EXPECT_NEAR(step->offset(), 6.0, 1e-6);
    EXPECT_TRUE(step->appliedFixtureOffset());
    EXPECT_NEAR(*port->length(), plane + 6e-12, 1e-18);
    step.reset();
    TestSupport::flush();
}

} // namespace
