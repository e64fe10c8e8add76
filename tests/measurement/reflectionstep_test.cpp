#include "steptestsupport.h"

#include "measurement/reflectionmeasurer.h"
#include "measurement/reflectionstep.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace StepTest;
using MeasurementTest::maxDeviation;
using State = MeasureEnums::FixturePossibleState;
using MeasureStatus = MeasureEnums::MeasureStatus;

// A reflect step over side A on the given analyser port.
struct ReflectStep
{
    ReflectStep(SyncedVnaDevice *device, Services &services, uint port = 0)
        : a(device, {port}),
          step(makeStep<ReflectionStep>(new ConnectionReflect(&a.connection, &parameters), device, &services.worker,
                                        &services.progress))
    {}
    ~ReflectStep()
    {
        step.reset();
        TestSupport::flush();
    }
    Algorithms::ProcessInputParameters parameters;
    Side a;
    std::shared_ptr<ReflectionStep> step;
};

TEST(ReflectionStepOnAnalyser, OpenThenShortCalculateTheFixtureBetweenStateSaveAndRestore)
{
    const AnalyserSim::FixtureSpec spec;
    SimRig rig;
    rig.setHarmonicGrid(100e6, 200);
    rig.sim.setScene(AnalyserSim::Scene::reflect(2, AnalyserSim::Termination::Open, spec));
    ASSERT_TRUE(rig.settle());
    Services services;
    ReflectStep reflect(rig.proxy.get(), services, 1);
    ReflectionStep &step = *reflect.step;
    step.setShortMeasurementEnable(true);
    ASSERT_EQ(step.state(), State::OPEN_AND_SHORT);
    ErrorLog errors(&step, &Step::error);
    Recorder run;
    run.watch(&step, &Step::started, "started");
    run.watch(&step, &Step::finished, "finished");

    rig.sim.clearLog();
    step.measureOpenFromVna();
    EXPECT_EQ(run.order(), (std::vector<std::string>{"started", "finished"}));
    TestSupport::flush();
    // The open alone is stored, not calculated.
    EXPECT_EQ(step.property("openMeasured").value<MeasureStatus>(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.property("calculated").value<MeasureStatus>(), MeasureStatus::NONE);
    EXPECT_FALSE(reflect.a.port(0)->isMeasured());
    const int stored = logIndex(rig.sim, QStringLiteral("MMEMory:STORe:STATe"));
    const int sweep = logIndex(rig.sim, QStringLiteral(":TRIG:SING"), stored);
    ASSERT_GE(stored, 0);
    EXPECT_GT(sweep, stored);
    EXPECT_GT(logIndex(rig.sim, QStringLiteral("MMEMory:LOAD "), sweep), sweep);

    rig.sim.setScene(AnalyserSim::Scene::reflect(2, AnalyserSim::Termination::Short, spec));
    step.measureShortFromVna();
    TestSupport::flush();
    EXPECT_TRUE(errors.texts.empty()) << joined(errors.texts);
    EXPECT_EQ(step.shortMeasured(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.calculated(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.getMeasureStatus(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.measureType(), MeasureEnums::MeasureType::REFLECT);

    ProgressWatcher *open = progressRow(services.progress, 0);
    ProgressWatcher *shortRow = progressRow(services.progress, 1);
    ASSERT_TRUE(open && shortRow);
    EXPECT_EQ(open->name(), QStringLiteral("Reflection Open"));
    EXPECT_EQ(shortRow->name(), QStringLiteral("Reflection Short"));
    EXPECT_EQ(shortRow->progressMaximum(), 6);
    EXPECT_TRUE(open->isFinished() && shortRow->isFinished());
    EXPECT_FALSE(shortRow->isCanceled());

    // Converted to 50 ohm, the model is the scene's fixture.
    const auto f = rig.sim.frequencyGrid(1);
    QmlFixturePort *port = reflect.a.port(0);
    ASSERT_TRUE(port->uncorrectedSParameters() && port->length());
    EXPECT_EQ(reflect.a.connection.getFixturePort(0)->measuredPort(), 1u);
    EXPECT_NEAR(*port->length(), 2.0 * spec.line.delay, 5e-12);
    EXPECT_LE(maxDeviation(*port->uncorrectedSParameters(), truthLeft(spec, f), 2e9, 12e9), 2e-3);
    EXPECT_LE(maxDeviation(*port->uncorrectedSParameters(), truthLeft(spec, f), 0.0, 16e9), 4e-3);
}

TEST(ReflectionStep, TheEnableFlagsSetTheMeasurersStateAndAWrittenStateLeavesThem)
{
    struct Case
    {
        bool open, shortStandard;
        State state;
    };
    const Case cases[] = {
        {true, false, State::OPEN},
        {false, true, State::SHORT},
        {true, true, State::OPEN_AND_SHORT},
        {false, false, State::NONE},
    };
    for (const Case &c : cases) {
        Services services;
        ReflectStep reflect(nullptr, services);
        Recorder rec;
        rec.watch(reflect.step.get(), &ReflectionStep::openMeasurementEnableChanged, "open");
        reflect.step->setShortMeasurementEnable(c.shortStandard);
        reflect.step->setOpenMeasurementEnable(c.open);
        EXPECT_EQ(reflect.step->measurer()->state(), c.state) << c.open << c.shortStandard;
        EXPECT_EQ(reflect.step->state(), c.state);
        EXPECT_EQ(rec.count("open"), c.open ? 0 : 1);
    }

    Services services;
    ReflectStep reflect(nullptr, services);
    Recorder rec;
    rec.watch(reflect.step.get(), &ReflectionStep::stateChanged, "state");
    reflect.step->setState(State::SHORT);
    EXPECT_EQ(reflect.step->measurer()->state(), State::SHORT);
    EXPECT_TRUE(reflect.step->openMeasurementEnable());
    EXPECT_FALSE(reflect.step->shortMeasurementEnable());
    EXPECT_EQ(rec.count("state"), 1);
}

TEST(ReflectionStep, CompensationChoosesTheSignalType)
{
    Services services;
    ReflectStep reflect(nullptr, services);
    ReflectionMeasurer *measurer = reflect.step->measurer();
    EXPECT_EQ(measurer->signalType(), Algorithms::MaxSignalEliminationType::Model);
    reflect.step->setUseCompensation(false);
    EXPECT_EQ(measurer->signalType(), Algorithms::MaxSignalEliminationType::TimeGate);
    reflect.step->setUseCompensation(true);
    EXPECT_EQ(measurer->signalType(), Algorithms::MaxSignalEliminationType::Model);
}

TEST(ReflectionStep, AFileMeasurementIsQueuedAndClearingForgetsIt)
{
    QTemporaryDir dir;
    Services services;
    ReflectStep reflect(nullptr, services);
    ReflectionStep &step = *reflect.step;
    const QString file = writeReflectFile(dir.filePath("open"), AnalyserSim::FixtureSpec(), 1.0);
    Recorder rec;
    rec.watch(&step, &Step::finished, "finished");
    {
        WorkerHold hold(services.worker);
        step.measureOpenFromTouchstone(file);
        EXPECT_EQ(rec.count("finished"), 0);
    }
    drain(services.worker);
    EXPECT_EQ(rec.count("finished"), 1);
    EXPECT_EQ(step.calculated(), MeasureStatus::MEASURED);
    EXPECT_TRUE(reflect.a.port(0)->isMeasured());
    ProgressWatcher *row = progressRow(services.progress, 0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->progressMaximum(), 4);
    EXPECT_TRUE(row->isFinished());
    EXPECT_EQ(step.measurer()->openRawData().size(), 1);

    step.deleteData();
    EXPECT_EQ(step.calculated(), MeasureStatus::NONE);
    EXPECT_EQ(step.openMeasured(), MeasureStatus::NONE);
    EXPECT_TRUE(step.measurer()->openRawData().isEmpty());
    EXPECT_FALSE(reflect.a.port(0)->isMeasured());
}

TEST(ReflectionStep, AnUnreadableFileFailsWithOneText)
{
    Services services;
    ReflectStep reflect(nullptr, services);
    ErrorLog errors(reflect.step.get(), &Step::error);
    reflect.step->measureOpenFromTouchstone(QStringLiteral("/nonexistent/open.s1p"));
    drain(services.worker);
    TestSupport::flush();
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("Cannot read S-parameters data")}));
    EXPECT_EQ(reflect.step->openMeasured(), MeasureStatus::Error);
    ProgressWatcher *row = progressRow(services.progress, 0);
    ASSERT_TRUE(row);
    EXPECT_TRUE(row->isCanceled());
}

} // namespace
