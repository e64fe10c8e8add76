#include "steptestsupport.h"

#include "measurement/fixturesetups.h"
#include "measurement/reflectionmeasurer.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/transmissionstep.h"
#include "measurement/vukalgorithmssetup.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

using namespace StepTest;
using Method = MeasureEnums::CorrectionMethod;
using Conversion = MeasureEnums::Z0Conversion;
using MeasureStatus = MeasureEnums::MeasureStatus;

struct Rig
{
    explicit Rig(SyncedVnaDevice *device = nullptr)
        : setups(std::make_unique<FixtureSetups>(&parameters, device, &services.worker, &services.progress))
    {}
    ~Rig()
    {
        setups.reset();
        drain(services.worker);
        TestSupport::flush();
    }
    Services services;
    Algorithms::ProcessInputParameters parameters;
    std::unique_ptr<FixtureSetups> setups;
};

TransmissionStep *thruOf(VukAlgorithmsSetup *setup)
{
    return qobject_cast<TransmissionStep *>(setup->steps().at(0).get());
}

TEST(FixtureSetups, StartsWithOneSetupAndTheDefaults)
{
    Rig rig;
    FixtureSetups &setups = *rig.setups;
    EXPECT_EQ(setups.getCount(), 1);
    EXPECT_EQ(setups.property("count").toInt(), 1);
    EXPECT_EQ(setups.getSelected(), 0);
    EXPECT_EQ(setups.getCorrectionMethod(), Method::TIME_GATING);
    EXPECT_EQ(setups.getZ0ConversionType(), Conversion::System);
    EXPECT_EQ(setups.getUserZ0(), 50.0);
    ASSERT_TRUE(setups.setup(0));
    EXPECT_FALSE(setups.setup(1));
    EXPECT_EQ(setups.setupsModel()->rowCount(), 1);
}

TEST(FixtureSetups, SelectionIsStoredAndSignalledEveryTime)
{
    Rig rig;
    Recorder rec;
    rec.watch(rig.setups.get(), &FixtureSetups::selectedChanged, "selected");
    rig.setups->setSelected(2);
    rig.setups->setSelected(2);
    EXPECT_EQ(rec.count("selected"), 2);
    EXPECT_EQ(rig.setups->getSelected(), 2);
}

TEST(FixtureSetups, RemovingASetupMovesTheSelectionByItsRule)
{
    struct Case
    {
        int setups, selected, remove;
        int countAfter, selectedAfter;
        bool signalled;
    };
    const Case cases[] = {
        {2, 1, 0, 1, -1, true}, // removing the first below the selection
        {3, 2, 1, 2, 0, true},   {3, 0, 2, 2, 0, false}, // above the selection: it stays
        {2, 0, 0, 1, -1, true}, // the selected first one
        {2, 1, 5, 2, 1, false}, // out of range: nothing removed
        {2, 1, -1, 2, -2, true}, // out of range, still the rule
    };
    for (const Case &c : cases) {
        Rig rig;
        for (int i = 1; i < c.setups; ++i)
            rig.setups->addSetup();
        rig.setups->setSelected(c.selected);
        Recorder rec;
        rec.watch(rig.setups.get(), &FixtureSetups::selectedChanged, "selected");
        rec.watch(rig.setups.get(), &FixtureSetups::countChanged, "count");
        rig.setups->removeSetup(c.remove);
        EXPECT_EQ(rig.setups->getCount(), c.countAfter) << c.remove;
        EXPECT_EQ(rig.setups->getSelected(), c.selectedAfter) << c.remove;
        EXPECT_EQ(rec.count("selected"), c.signalled ? 1 : 0) << c.remove;
        EXPECT_EQ(rec.count("count"), c.countAfter == c.setups ? 0 : 1) << c.remove;
    }
}

TEST(FixtureSetups, TheCorrectionMethodReachesEverySetupOnceAndTheirSteps)
{
    Rig rig;
    rig.setups->addSetup();
    Recorder rec;
    for (int i = 0; i < 2; ++i)
        rec.watch(rig.setups->setup(i), &VukAlgorithmsSetup::correctionMethodChanged, "setup method");
    rig.setups->setCorrectionMethod(Method::BISECT);
    rig.setups->setCorrectionMethod(Method::BISECT);
    EXPECT_EQ(rec.count("setup method"), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(rig.setups->setup(i)->correctionMethod(), Algorithms::CalcMethod::Bisection);
        EXPECT_EQ(thruOf(rig.setups->setup(i))->calcMethod(), Algorithms::CalcMethod::Bisection);
    }
    // A number that names no method is refused: nothing changes, nothing is
    // told, and no set-up runs some other method in its place.
    Recorder list;
    list.watch(rig.setups.get(), &FixtureSetups::correctionMethodChanged, "method");
    for (int raw : {-1, 3, 9}) {
        rig.setups->setCorrectionMethod(Method(raw));
        EXPECT_EQ(rig.setups->getCorrectionMethod(), Method::BISECT) << raw;
    }
    EXPECT_EQ(list.count("method"), 0);
    EXPECT_EQ(rec.count("setup method"), 2);
    EXPECT_EQ(thruOf(rig.setups->setup(0))->calcMethod(), Algorithms::CalcMethod::Bisection);
    // A set-up made later starts with the list's values.
    rig.setups->setZ0ConversionType(Conversion::Fixture);
    rig.setups->setUserZ0(60.0);
    rig.setups->addSetup();
    VukAlgorithmsSetup *third = rig.setups->setup(2);
    EXPECT_EQ(third->correctionMethod(), Algorithms::CalcMethod::Bisection);
    EXPECT_EQ(third->z0ConversionType(), Conversion::Fixture);
    EXPECT_EQ(third->userZ0(), 60.0);
}

TEST(FixtureSetups, TheReferenceImpedanceIsComparedExactlyHereAndFuzzilyBelow)
{
    Rig rig;
    Recorder rec;
    rec.watch(rig.setups.get(), &FixtureSetups::userZ0Changed, "z0");
    rig.setups->setUserZ0(50.0);
    EXPECT_EQ(rec.count("z0"), 0);
    rig.setups->setUserZ0(50.00000000001);
    EXPECT_EQ(rec.count("z0"), 1);
    EXPECT_EQ(rig.setups->getUserZ0(), 50.00000000001);
    // The set-up's own rule keeps 50: the change is below 1e-12 of it.
    EXPECT_EQ(rig.setups->setup(0)->userZ0(), 50.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    rig.setups->setUserZ0(nan);
    rig.setups->setUserZ0(nan);
    EXPECT_EQ(rec.count("z0"), 3);
}

TEST(FixtureSetups, AConversionChangeResendsBothValues)
{
    Rig rig;
    VukAlgorithmsSetup *setup = rig.setups->setup(0);
    rig.setups->setUserZ0(75.0);
    EXPECT_EQ(setup->userZ0(), 75.0);
    rig.setups->setZ0ConversionType(Conversion::User);
    EXPECT_EQ(setup->z0ConversionType(), Conversion::User);
    EXPECT_EQ(thruOf(setup)->conversionT(), Algorithms::Z0ConversionType::User);
    EXPECT_EQ(thruOf(setup)->userDefZ0(), 75.0);
}

TEST(FixtureSetups, PresetReturnsToOneFreshSetup)
{
    Rig rig;
    FixtureSetups &setups = *rig.setups;
    setups.addSetup();
    setups.setSelected(1);
    setups.setCorrectionMethod(Method::FILTERING);
    setups.setZ0ConversionType(Conversion::None);
    setups.setUserZ0(20.0);
    QPointer<VukAlgorithmsSetup> old(setups.setup(0));
    Recorder rec;
    rec.watch(&setups, &FixtureSetups::correctionMethodChanged, "method");
    rec.watch(&setups, &FixtureSetups::userZ0Changed, "z0");

    setups.preset();
    EXPECT_FALSE(old);
    EXPECT_EQ(setups.getCount(), 1);
    EXPECT_EQ(setups.getSelected(), 0);
    EXPECT_EQ(setups.getCorrectionMethod(), Method::TIME_GATING);
    EXPECT_EQ(setups.getZ0ConversionType(), Conversion::System);
    EXPECT_EQ(setups.getUserZ0(), 50.0);
    EXPECT_EQ(rec.count("method"), 1);
    EXPECT_EQ(rec.count("z0"), 1);
    EXPECT_EQ(setups.setup(0)->correctionMethod(), Algorithms::CalcMethod::TimeGate);
}

// A job that has started on the step worker when the set-ups are preset
// still uses their sides: the preset drops only the jobs that had not
// started, and the sides go once the running one is over.
TEST(FixtureSetups, PresetLeavesTheSidesToTheJobThatRunsAndDeletesThemAfterIt)
{
    Rig rig;
    FixtureSetups &setups = *rig.setups;
    QPointer<VNAFixtureConnection> side = setups.setup(0)->leftFixtureConn();
    QPointer<QmlFixturePort> port = side->getFixturePort(0)->measureData();
    ASSERT_FALSE(port.isNull());
    bool droppedJobRan = false;
    {
        WorkerHold running(rig.services.worker);
        rig.services.worker.push([&droppedJobRan] { droppedJobRan = true; });
        setups.preset();
        TestSupport::flush();
        // The running job could still write into the old ports.
        EXPECT_FALSE(side.isNull());
        EXPECT_FALSE(port.isNull());
    }
    drain(rig.services.worker);
    TestSupport::flush();
    EXPECT_TRUE(side.isNull());
    EXPECT_TRUE(port.isNull());
    EXPECT_FALSE(droppedJobRan);
}

TEST(FixtureSetups, PortCountsAndUsedPortsAreCollectedFromEverySetup)
{
    AnalyserSim::Options options;
    options.portCount = 4;
    SimRig sim(options);
    Rig rig(sim.proxy.get());
    FixtureSetups &setups = *rig.setups;
    setups.addSetup();
    ASSERT_TRUE(sim.settle());
    EXPECT_EQ(setups.selectedPortsCount(), 4u);
    EXPECT_EQ(setups.getUsedVnaPorts(), (QSet<uint32_t>{0, 1}));

    Recorder rec;
    rec.watch(&setups, &FixtureSetups::usedVnaPortsChanged, "used");
    rec.watch(&setups, &FixtureSetups::selectedPortsCountChanged, "count");
    setups.setup(1)->rightFixtureConn()->setAttachedVnaPort(0, 3);
    EXPECT_GE(rec.count("used"), 1);
    EXPECT_EQ(setups.getUsedVnaPorts(), (QSet<uint32_t>{0, 1, 3}));
    setups.setup(1)->leftFixtureConn()->fixture()->setPortsCount(2);
    EXPECT_GE(rec.count("count"), 1);
    EXPECT_EQ(setups.selectedPortsCount(), 5u);
}

TEST(FixtureSetups, AStepErrorReachesTheListOnce)
{
    Rig rig;
    ErrorLog errors(rig.setups.get(), &FixtureSetups::error);
    thruOf(rig.setups->setup(0))->measureFromTouchstoneFile(QStringLiteral("/nonexistent/thru.s2p"));
    drain(rig.services.worker);
    TestSupport::flush();
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("Cannot read the frequency grid")}));
    EXPECT_EQ(thruOf(rig.setups->setup(0))->thruMeasured(), MeasureStatus::Error);
}

// Cancel while the analyser sweeps for set-up 1; set-up 0 was measured
// before from a file and keeps its processes.
TEST(FixtureSetups, CancelReachesEverySetupStepAndMeasurerAndLeavesNoModels)
{
    QTemporaryDir dir;
    AnalyserSim::Options options;
    options.sweepTimeMs = 1500;
    SimRig sim(options);
    sim.setHarmonicGrid(100e6, 200);
    sim.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, AnalyserSim::FixtureSpec()));
    ASSERT_TRUE(sim.settle());
    Rig rig(sim.proxy.get());
    FixtureSetups &setups = *rig.setups;
    setups.addSetup();
    TransmissionStep *measured = thruOf(setups.setup(0));
    TransmissionStep *running = thruOf(setups.setup(1));
    measured->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), AnalyserSim::FixtureSpec()));
    drain(rig.services.worker);
    ASSERT_EQ(measured->thruMeasured(), MeasureStatus::MEASURED);

    Recorder rec;
    for (int i = 0; i < 2; ++i) {
        VukAlgorithmsSetup *setup = setups.setup(i);
        rec.watch(setup, &VukAlgorithmsSetup::interrupted, "setup");
        auto *step = thruOf(setup);
        rec.watch(step, &Step::interrupted, "step");
        rec.watch(step->thruMeasurer(), &BaseMeasurer::interrupted, "measurer");
        rec.watch(step->leftReflectMeasurer(), &BaseMeasurer::interrupted, "measurer");
        rec.watch(step->rightReflectMeasurer(), &BaseMeasurer::interrupted, "measurer");
    }
    ErrorLog errors(&setups, &FixtureSetups::error);
    // Once the sweep has started the measurement is under way.
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        if (logIndex(sim.sim, QStringLiteral(":TRIG:SING")) < 0)
            return;
        canceller.stop();
        setups.interrupt();
    });
    sim.sim.clearLog();
    canceller.start(10);
    running->measureFromVna();
    TestSupport::flush();

    EXPECT_FALSE(canceller.isActive());
    EXPECT_EQ(rec.count("setup"), 2);
    EXPECT_EQ(rec.count("step"), 2);
    EXPECT_EQ(rec.count("measurer"), 6);
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("The measurement was canceled")}));
    EXPECT_EQ(running->thruMeasured(), MeasureStatus::Error);
    EXPECT_FALSE(setups.setup(1)->leftFixtureConn()->getFixturePort(0)->measureData()->isMeasured());
    EXPECT_FALSE(setups.setup(1)->rightFixtureConn()->getFixturePort(0)->measureData()->isMeasured());
    // The analyser state came back all the same.
    EXPECT_GE(logIndex(sim.sim, QStringLiteral("MMEMory:LOAD ")), 0);
    // The other set-up's results stay.
    EXPECT_EQ(measured->thruMeasured(), MeasureStatus::MEASURED);
    EXPECT_TRUE(setups.setup(0)->leftFixtureConn()->getFixturePort(0)->measureData()->isMeasured());
    EXPECT_TRUE(progressRow(rig.services.progress, 1)->isCanceled());

    // The next measurement is not cancelled by the old request.
    sim.sim.setSweepTime(50);
    errors.texts.clear();
    running->measureFromVna();
    TestSupport::flush();
    EXPECT_TRUE(errors.texts.empty()) << joined(errors.texts);
    EXPECT_EQ(running->thruMeasured(), MeasureStatus::MEASURED);
}

// The program's cancel: the set-ups first, then the analyser's abort, which
// ends the sweep at once. The read the abort cuts short is the cancel, not a
// failure of the analyser, and the state the job saved still comes back.
TEST(FixtureSetups, CancelWithTheAnalysersAbortReportsTheCancelAndRestoresTheState)
{
    AnalyserSim::Options options;
    options.sweepTimeMs = 20000;
    SimRig sim(options);
    sim.setHarmonicGrid(100e6, 200);
    sim.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, AnalyserSim::FixtureSpec()));
    ASSERT_TRUE(sim.settle());
    Rig rig(sim.proxy.get());
    TransmissionStep *running = thruOf(rig.setups->setup(0));
    ErrorLog errors(rig.setups.get(), &FixtureSetups::error);
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        if (logIndex(sim.sim, QStringLiteral(":TRIG:SING")) < 0)
            return;
        canceller.stop();
        rig.setups->interrupt();
        sim.proxy->interrupt();
    });
    sim.sim.clearLog();
    canceller.start(10);
    QElapsedTimer took;
    took.start();
    running->measureFromVna();
    TestSupport::flush();

    EXPECT_FALSE(canceller.isActive()) << "the sweep never started";
    // The abort ended the 20 s sweep.
    EXPECT_LT(took.elapsed(), 15000);
    EXPECT_GE(logIndex(sim.sim, QStringLiteral("ABOR")), 0);
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("The measurement was canceled")}));
    EXPECT_EQ(running->thruMeasured(), MeasureStatus::Error);
    EXPECT_GE(logIndex(sim.sim, QStringLiteral("MMEMory:LOAD ")), 0);

    // The link is usable for the next measurement.
    sim.sim.setSweepTime(50);
    errors.texts.clear();
    running->measureFromVna();
    TestSupport::flush();
    EXPECT_TRUE(errors.texts.empty()) << joined(errors.texts);
    EXPECT_EQ(running->thruMeasured(), MeasureStatus::MEASURED);
}

// A cancel while the analyser state is still being saved stops the
// measurement before it starts; the state still comes back.
TEST(FixtureSetups, CancelDuringTheStateSaveMeasuresNothing)
{
    SimRig sim;
    sim.setHarmonicGrid(100e6, 200);
    ASSERT_TRUE(sim.settle());
    Rig rig(sim.proxy.get());
    TransmissionStep *step = thruOf(rig.setups->setup(0));
    ErrorLog errors(rig.setups.get(), &FixtureSetups::error);
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        if (logIndex(sim.sim, QStringLiteral("SYSTem:PRESet")) < 0)
            return;
        canceller.stop();
        rig.setups->interrupt();
    });
    sim.sim.clearLog();
    canceller.start(1);
    step->measureFromVna();
    TestSupport::flush();
    ASSERT_FALSE(canceller.isActive());
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("The measurement was canceled")}));
    EXPECT_LT(logIndex(sim.sim, QStringLiteral(":TRIG:SING")), 0);
    EXPECT_GT(lastLogIndex(sim.sim, QStringLiteral("MMEMory:LOAD ")),
              logIndex(sim.sim, QStringLiteral("SYSTem:PRESet")));
    EXPECT_EQ(step->thruMeasured(), MeasureStatus::NONE);
    EXPECT_TRUE(progressRow(rig.services.progress, 0)->isCanceled());
}

} // namespace
