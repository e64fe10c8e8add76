#include "steptestsupport.h"

#include "measurement/dutmeasurer.h"
#include "measurement/dutstep.h"
#include "measurement/reflectionstep.h"
#include "measurement/transmissionstep.h"
#include "measurement/vukalgorithmssetup.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace StepTest;
using MeasureStatus = MeasureEnums::MeasureStatus;
using MeasureType = MeasureEnums::MeasureType;

bool dutCorrected(QmlFixturePort *port)
{
    return port->calibrationState().testFlag(QmlFixturePort::CalibrationState::DutCorrected);
}

QmlFixturePort *portOf(VNAFixtureConnection *side, int i = 0)
{
    return side->getFixturePort(i)->measureData();
}

// A set-up with the A-B thru and the DUT step on the simulated analyser,
// A on port 1 and B on port 2.
class DutInSetup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.setHarmonicGrid(100e6, 200);
        rig.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, spec));
        ASSERT_TRUE(rig.settle());
        setup =
            std::make_unique<VukAlgorithmsSetup>(rig.proxy.get(), &services.worker, &services.progress, &parameters);
        setup->setAbDutConnectionEnabled(true);
        ASSERT_EQ(setup->steps().size(), 2);
        thru = qobject_cast<TransmissionStep *>(setup->steps().at(0).get());
        dut = qobject_cast<DutStep *>(setup->steps().at(1).get());
        ASSERT_TRUE(thru && dut);
    }
    void TearDown() override
    {
        setup.reset();
        drain(services.worker);
        TestSupport::flush();
    }
    void showDut()
    {
        AnalyserSim::DutSpec device;
        device.line = {35.0, 80e-12, 0.2};
        rig.sim.setScene(AnalyserSim::Scene::dutInFixture(1, 2, spec, spec, device));
    }

    const AnalyserSim::FixtureSpec spec;
    SimRig rig;
    Services services;
    Algorithms::ProcessInputParameters parameters;
    std::unique_ptr<VukAlgorithmsSetup> setup;
    TransmissionStep *thru = nullptr;
    DutStep *dut = nullptr;
};

TEST_F(DutInSetup, CorrectsBothSidesWithTheThrusKeptProcesses)
{
    EXPECT_TRUE(dut->isDut());
    EXPECT_EQ(dut->measureType(), MeasureType::TRANSMISSION);
    EXPECT_EQ(dut->dutMeasured(), MeasureStatus::NONE);
    thru->measureFromVna();
    ASSERT_EQ(thru->thruMeasured(), MeasureStatus::MEASURED);

    VNAFixtureConnection *a = setup->leftFixtureConn();
    VNAFixtureConnection *b = setup->rightFixtureConn();
    const auto leftBefore = *portOf(a)->uncorrectedSParameters();
    const auto rightBefore = *portOf(b)->uncorrectedSParameters();
    showDut();
    ErrorLog errors(setup.get(), &VukAlgorithmsSetup::error);
    Recorder rec;
    rec.watch(dut, &DutStep::dutMeasuredChanged, "dutMeasuredChanged");
    rec.watch(dut, &Step::isMeasuredChanged, "isMeasuredChanged");
    rig.sim.clearLog();
    dut->measureFromVna();
    TestSupport::flush();

    EXPECT_TRUE(errors.texts.empty()) << joined(errors.texts);
    EXPECT_EQ(dut->property("dutMeasured").value<MeasureStatus>(), MeasureStatus::MEASURED);
    EXPECT_EQ(dut->getMeasureStatus(), MeasureStatus::MEASURED);
    EXPECT_GE(rec.count("dutMeasuredChanged"), 1);
    EXPECT_EQ(rec.count("isMeasuredChanged"), rec.count("dutMeasuredChanged"));
    EXPECT_TRUE(dutCorrected(portOf(a)) && dutCorrected(portOf(b)));
    // Each side's analyser-side reflection is replaced, nothing else.
    const auto &leftAfter = *portOf(a)->uncorrectedSParameters();
    const auto &rightAfter = *portOf(b)->uncorrectedSParameters();
    EXPECT_NE(leftAfter.s11(), leftBefore.s11());
    EXPECT_EQ(leftAfter.s21(), leftBefore.s21());
    EXPECT_NE(rightAfter.s22(), rightBefore.s22());
    EXPECT_EQ(rightAfter.s21(), rightBefore.s21());
    // The DUT reflections were read inside a state backup.
    EXPECT_GT(logIndex(rig.sim, QStringLiteral(":TRIG:SING")), logIndex(rig.sim, QStringLiteral("SYSTem:PRESet")));
    EXPECT_GT(lastLogIndex(rig.sim, QStringLiteral("MMEMory:LOAD ")), logIndex(rig.sim, QStringLiteral(":TRIG:SING")));

    ProgressWatcher *row = progressRow(services.progress, 1);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name(), QStringLiteral("DUT"));
    EXPECT_EQ(row->progressMaximum(), 3 * 2 + 2);
    EXPECT_TRUE(row->isFinished());

    // An offset starts again from the uncorrected model: no longer DUT
    // corrected on either side.
    thru->setLeftOffset(5.0);
    thru->setRightOffset(5.0);
    thru->applyThruOffset(true);
    drain(services.worker);
    EXPECT_EQ(dut->dutMeasured(), MeasureStatus::NONE);
}

TEST_F(DutInSetup, BeforeTheThruTheDutFails)
{
    showDut();
    dut->measureFromVna();
    TestSupport::flush();
    EXPECT_EQ(dut->dutMeasured(), MeasureStatus::Error);
    EXPECT_TRUE(progressRow(services.progress, 0)->isCanceled());
}

TEST_F(DutInSetup, FromAFileTheJobIsQueued)
{
    thru->measureFromVna();
    ASSERT_EQ(thru->thruMeasured(), MeasureStatus::MEASURED);
    showDut();
    // The DUT as the analyser measures it, written to a file.
    const auto f = rig.sim.frequencyGrid(1);
    std::vector<std::vector<std::complex<double>>> m;
    const auto s11 = rig.sim.sceneS(1, 1, f), s12 = rig.sim.sceneS(1, 2, f);
    const auto s21 = rig.sim.sceneS(2, 1, f), s22 = rig.sim.sceneS(2, 2, f);
    for (size_t i = 0; i < f.size(); ++i)
        m.push_back({s11[i], s12[i], s21[i], s22[i]});
    QTemporaryDir dir;
    const QString file = MeasurementTest::writeTouchstone(dir.filePath("dut"), f, m, 2);
    {
        WorkerHold hold(services.worker);
        dut->measureFromTouchstoneFile(file);
        EXPECT_EQ(dut->dutMeasured(), MeasureStatus::NONE);
    }
    drain(services.worker);
    EXPECT_EQ(dut->dutMeasured(), MeasureStatus::MEASURED);
    EXPECT_EQ(progressRow(services.progress, 1)->progressMaximum(), 3 * 2);
}

TEST(DutStep, TheKindFollowsTheEnabledSidesAndTheOtherStepsProvideTheProcesses)
{
    Services services;
    Algorithms::ProcessInputParameters parameters;
    struct Case
    {
        bool left, right, aa;
        MeasureType type;
        size_t measurers;
    };
    const Case cases[] = {
        {true, true, false, MeasureType::TRANSMISSION, 2},
        {true, false, false, MeasureType::REFLECT, 1},
        {false, true, false, MeasureType::REFLECT, 1},
        {true, true, true, MeasureType::TRANSMISSION, 2},
    };
    for (const Case &c : cases) {
        VukAlgorithmsSetup setup(nullptr, &services.worker, &services.progress, &parameters);
        setup.setLeftFixtureEnabled(c.left);
        setup.setRightFixtureEnabled(c.right);
        setup.setAaConnectionEnabled(c.aa);
        setup.setAbDutConnectionEnabled(true);
        const auto &steps = setup.steps();
        ASSERT_GE(steps.size(), 2);
        auto *dut = qobject_cast<DutStep *>(steps.at(steps.size() - 1).get());
        ASSERT_TRUE(dut);
        EXPECT_EQ(dut->measureType(), c.type);
        ASSERT_EQ(dut->measurers().size(), c.measurers);
        // The first measurer uses the first other step's connection, the
        // last one the last other step's.
        auto *first = qobject_cast<ConnectionBase *>(steps.at(0)->connection());
        auto *last = qobject_cast<ConnectionBase *>(steps.at(steps.size() - 2)->connection());
        EXPECT_EQ(dut->measurers().front()->processConnection(), first);
        EXPECT_EQ(dut->measurers().back()->processConnection(), last);
        EXPECT_EQ(dut->measurers().front()->side(), c.left ? setup.leftFixtureConn() : setup.rightFixtureConn());
    }
}

} // namespace
