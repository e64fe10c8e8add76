#include "steptestsupport.h"

#include "measurement/reflectionmeasurer.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/transmissionstep.h"

#include <QFile>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace StepTest;
using MeasurementTest::maxDeviation;
using State = MeasureEnums::FixturePossibleState;
using MeasureStatus = MeasureEnums::MeasureStatus;

class TransmissionStepOnAnalyser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.setHarmonicGrid(100e6, 200);
        rig.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, spec));
    }
    const AnalyserSim::FixtureSpec spec;
    SimRig rig;
    Services services;
};

TEST_F(TransmissionStepOnAnalyser, MeasuresBetweenStateSaveAndRestoreAndKeepsTheFixtureModels)
{
    // The user's own state: three traces, which the measurement redefines.
    rig.sim.execute(QStringLiteral("CALC1:PAR:COUN 3"));
    ASSERT_TRUE(rig.settle());
    ThruStep thru(rig.proxy.get(), services);
    TransmissionStep &step = *thru.step;
    Recorder rec, run;
    run.watch(&step, &Step::started, "started");
    run.watch(&step, &Step::finished, "finished");
    rec.watch(&step, &TransmissionStep::thruMeasuredChanged, "thruMeasuredChanged");
    rec.watch(&step, &Step::isMeasuredChanged, "isMeasuredChanged");
    ErrorLog errors(&step, &Step::error);
    rig.sim.clearLog();

    step.measureFromVna();
    // The caller waits for the whole job, restore included.
    EXPECT_EQ(run.order(), (std::vector<std::string>{"started", "finished"}));
    EXPECT_TRUE(run.offThread("finished"));
    TestSupport::flush();
    EXPECT_TRUE(errors.texts.empty()) << joined(errors.texts);

    // Save, preset, measure, then the saved state comes back.
    const int stored = logIndex(rig.sim, QStringLiteral("MMEMory:STORe:STATe"));
    const int preset = logIndex(rig.sim, QStringLiteral("SYSTem:PRESet"), stored);
    const int sweep = logIndex(rig.sim, QStringLiteral(":TRIG:SING"), preset);
    const int read = logIndex(rig.sim, QStringLiteral("CALCulate1:TRACe4:DATA:SDATa?"), sweep);
    const int reloaded = logIndex(rig.sim, QStringLiteral("MMEMory:LOAD "), read);
    ASSERT_GE(stored, 0);
    EXPECT_GT(preset, stored);
    EXPECT_GT(sweep, preset);
    EXPECT_GT(read, sweep);
    EXPECT_GT(reloaded, read);
    EXPECT_EQ(rig.sim.channel(1).traces.size(), 3u);
    EXPECT_TRUE(rig.sim.channel(1).continuous);

    // QML sees the outcome through the step's properties.
    EXPECT_EQ(step.property("thruMeasured").value<MeasureStatus>(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.property("getMeasureStatus").value<MeasureStatus>(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.property("measureType").value<MeasureEnums::MeasureType>(), MeasureEnums::MeasureType::TRANSMISSION);
    EXPECT_EQ(rec.count("thruMeasuredChanged"), 1);
    EXPECT_GE(rec.count("isMeasuredChanged"), 1);

    // One progress row, counted as the measurer's steps plus save and restore.
    ProgressWatcher *row = progressRow(services.progress, 0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->name(), QStringLiteral("Transmission"));
    EXPECT_EQ(row->progressMaximum(), step.thruMeasurer()->stepCount() + 2);
    EXPECT_TRUE(row->isFinished());
    EXPECT_FALSE(row->isCanceled());

    // The models are the scene's fixtures (converted to 50 ohm on the
    // low-pass grid), as the measurer alone gives them.
    const auto f = rig.sim.frequencyGrid(1);
    QmlFixturePort *left = thru.a.port(0);
    QmlFixturePort *right = thru.b.port(0);
    ASSERT_TRUE(left->uncorrectedSParameters() && right->uncorrectedSParameters());
    EXPECT_LE(maxDeviation(*left->uncorrectedSParameters(), truthLeft(spec, f), 0.0, 16e9), 4e-3);
    EXPECT_LE(maxDeviation(*right->uncorrectedSParameters(), truthRight(spec, f), 0.0, 16e9), 4e-3);
    ASSERT_TRUE(left->length());
    EXPECT_NEAR(*left->length(), 2 * spec.line.delay, 5e-12);
}

TEST_F(TransmissionStepOnAnalyser, AStateThatCannotBeSavedMeasuresNothingAndSaysWhy)
{
    // The proxy has never polled: the sweep settings are unknown.
    ThruStep thru(rig.proxy.get(), services);
    Recorder rec;
    rec.watch(thru.step.get(), &Step::started, "started");
    rec.watch(thru.step.get(), &Step::finished, "finished");
    ErrorLog errors(thru.step.get(), &Step::error);

    thru.step->measureFromVna();
    TestSupport::flush();
    EXPECT_EQ(rec.order(), (std::vector<std::string>{"started", "finished"}));
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_FALSE(errors.texts.front().isEmpty());
    EXPECT_LT(logIndex(rig.sim, QStringLiteral(":TRIG:SING")), 0);
    EXPECT_EQ(thru.step->thruMeasured(), MeasureStatus::NONE);
    EXPECT_FALSE(thru.a.port(0)->isMeasured());
    ProgressWatcher *row = progressRow(services.progress, 0);
    ASSERT_TRUE(row);
    EXPECT_TRUE(row->isCanceled());
}

TEST_F(TransmissionStepOnAnalyser, AJobDroppedFromTheQueueStillRestoresTheStateAndFinishes)
{
    ASSERT_TRUE(rig.settle());
    ThruStep thru(rig.proxy.get(), services);
    Recorder rec;
    rec.watch(thru.step.get(), &Step::finished, "finished");
    auto hold = std::make_unique<WorkerHold>(services.worker);
    // Once the state is saved (the calibration reload is its last command)
    // the job is queued and the caller waits: the queue is cleared under it.
    QTimer clearer;
    QObject::connect(&clearer, &QTimer::timeout, [&] {
        if (logIndex(rig.sim, QStringLiteral("MMEMory:LOAD:CHANnel1:CALibration")) < 0)
            return;
        clearer.stop();
        services.worker.clear();
        hold->release();
    });
    clearer.start(10);
    rig.sim.clearLog();
    thru.step->measureFromVna();
    EXPECT_EQ(rec.count("finished"), 1);
    EXPECT_LT(logIndex(rig.sim, QStringLiteral(":TRIG:SING")), 0);
    EXPECT_GT(lastLogIndex(rig.sim, QStringLiteral("MMEMory:LOAD ")),
              logIndex(rig.sim, QStringLiteral("SYSTem:PRESet")));
    ProgressWatcher *row = progressRow(services.progress, 0);
    ASSERT_TRUE(row);
    EXPECT_TRUE(row->isCanceled());
}

class TransmissionStepFromFile : public ::testing::Test
{
protected:
    const AnalyserSim::FixtureSpec spec;
    QTemporaryDir dir;
    Services services;
};

TEST_F(TransmissionStepFromFile, IsQueuedReturnsAtOnceAndMeasuresOnTheWorker)
{
    const QString file = writeThruFile(dir.filePath("thru"), spec);
    ThruStep thru(nullptr, services);
    Recorder rec;
    rec.watch(thru.step.get(), &Step::started, "started");
    rec.watch(thru.step.get(), &Step::finished, "finished");
    ErrorLog errors(thru.step.get(), &Step::error);
    {
        WorkerHold hold(services.worker);
        thru.step->measureFromTouchstoneFile(file);
        EXPECT_EQ(rec.order(), (std::vector<std::string>{"started"}));
        EXPECT_EQ(thru.step->thruMeasured(), MeasureStatus::NONE);
    }
    drain(services.worker);
    EXPECT_EQ(rec.order(), (std::vector<std::string>{"started", "finished"}));
    EXPECT_TRUE(errors.texts.empty()) << joined(errors.texts);
    EXPECT_EQ(thru.step->thruMeasured(), MeasureStatus::MEASURED);

    ProgressWatcher *row = progressRow(services.progress, 0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->progressMaximum(), thru.step->thruMeasurer()->stepCount());
    EXPECT_TRUE(row->isFinished());
    const auto f = harmonicGrid();
    ASSERT_TRUE(thru.a.port(0)->uncorrectedSParameters());
    EXPECT_LE(maxDeviation(*thru.a.port(0)->uncorrectedSParameters(), truthLeft(spec, f), 0.0, 16e9), 4e-3);
    EXPECT_LE(maxDeviation(*thru.b.port(0)->uncorrectedSParameters(), truthRight(spec, f), 0.0, 16e9), 4e-3);
}

// A file of one huge token (3 GiB of NUL bytes, sparse) once took all
// memory and aborted the program: the recall ends with a short reason in
// the window and the step marked failed.
TEST_F(TransmissionStepFromFile, AHugeFileOfOneTokenIsRefusedWithAShortReason)
{
    const QString file = dir.filePath("zeros.s2p");
    {
        QFile zeros(file);
        ASSERT_TRUE(zeros.open(QIODevice::WriteOnly));
        ASSERT_TRUE(zeros.resize(qint64(3) << 30));
    }
    ThruStep thru(nullptr, services);
    Recorder rec;
    rec.watch(thru.step.get(), &Step::finished, "finished");
    ErrorLog errors(thru.step.get(), &Step::error);
    thru.step->measureFromTouchstoneFile(file);
    drain(services.worker);
    EXPECT_EQ(rec.count("finished"), 1);
    EXPECT_EQ(thru.step->thruMeasured(), MeasureStatus::Error);
    ASSERT_FALSE(errors.texts.empty());
    const QString text = QString::fromStdString(joined(errors.texts));
    EXPECT_TRUE(text.contains(file + ", line 1: the line is longer than 1048576 bytes")) << text.toStdString();
    EXPECT_LT(text.size(), file.size() + 400) << text.toStdString();
}

TEST_F(TransmissionStepFromFile, ADroppedFileJobFinishesCancelled)
{
    ThruStep thru(nullptr, services);
    Recorder rec;
    rec.watch(thru.step.get(), &Step::finished, "finished");
    {
        WorkerHold hold(services.worker);
        thru.step->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), spec));
        services.worker.clear();
    }
    drain(services.worker);
    EXPECT_EQ(rec.count("finished"), 1);
    ProgressWatcher *row = progressRow(services.progress, 0);
    ASSERT_TRUE(row);
    EXPECT_TRUE(row->isCanceled());
    EXPECT_EQ(thru.step->thruMeasured(), MeasureStatus::NONE);
}

TEST_F(TransmissionStepFromFile, AReleasedStepLivesUntilItsQueuedJobHasRun)
{
    ThruStep thru(nullptr, services);
    QPointer<TransmissionStep> watched(thru.step.get());
    Recorder rec;
    rec.watch(thru.step.get(), &Step::finished, "finished");
    {
        WorkerHold hold(services.worker);
        thru.step->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), spec));
        thru.step.reset();
        TestSupport::flush();
        EXPECT_TRUE(watched);
    }
    drain(services.worker);
    TestSupport::flush();
    EXPECT_EQ(rec.count("finished"), 1);
    EXPECT_FALSE(watched);
}

TEST_F(TransmissionStepFromFile, ClearingKeepsTheThruOffsetsAndSignalsTheZeroedReflectOffsets)
{
    ThruStep thru(nullptr, services);
    TransmissionStep &step = *thru.step;
    thru.step->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), spec));
    drain(services.worker);
    ASSERT_EQ(step.thruMeasured(), MeasureStatus::MEASURED);
    step.setLeftOffset(12.0);
    step.setAppliedFixtureOffset(true);

    Recorder rec;
    rec.watch(&step, &TransmissionStep::leftReflectOffsetChanged, "left");
    rec.watch(&step, &TransmissionStep::rightReflectOffsetChanged, "right");
    step.deleteData();
    EXPECT_EQ(rec.count("left"), 1);
    EXPECT_EQ(rec.count("right"), 1);
    EXPECT_EQ(step.leftReflectOffset(), 0.0);
    EXPECT_EQ(step.thruMeasured(), MeasureStatus::NONE);
    EXPECT_FALSE(thru.a.port(0)->isMeasured());
    EXPECT_FALSE(thru.b.port(0)->isMeasured());
    EXPECT_EQ(step.leftOffset(), 12.0);
    EXPECT_TRUE(step.appliedFixtureOffset());
}

TEST_F(TransmissionStepFromFile, DestroyingTheStepEmptiesItsSides)
{
    ThruStep thru(nullptr, services);
    thru.step->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), spec));
    drain(services.worker);
    ASSERT_TRUE(thru.a.port(0)->isMeasured());
    thru.step.reset();
    TestSupport::flush();
    EXPECT_FALSE(thru.a.port(0)->isMeasured());
    EXPECT_FALSE(thru.b.port(0)->isMeasured());
}

TEST(TransmissionStep, ReflectStateFollowsTheEnableFlagsAndReachesBothReflectMeasurers)
{
    struct Case
    {
        bool open, shortStandard;
        State state;
        int stateSignals;
    };
    const Case cases[] = {
        {true, false, State::OPEN, 0},
        {true, true, State::OPEN_AND_SHORT, 1},
        {false, true, State::SHORT, 2}, // open and short first, then short
        {false, false, State::NONE, 1},
    };
    for (const Case &c : cases) {
        Services services;
        ThruStep thru(nullptr, services);
        TransmissionStep &step = *thru.step;
        Recorder rec;
        rec.watch(&step, &TransmissionStep::reflectStateChanged, "state");
        step.setShortMeasurementEnable(c.shortStandard);
        step.setOpenMeasurementEnable(c.open);
        EXPECT_EQ(step.reflectState(), c.state) << c.open << c.shortStandard;
        EXPECT_EQ(rec.count("state"), c.stateSignals) << c.open << c.shortStandard;
        EXPECT_EQ(step.leftReflectMeasurer()->state(), c.state);
        EXPECT_EQ(step.rightReflectMeasurer()->state(), c.state);
    }

    // Writing the state directly leaves the flags as they are.
    Services services;
    ThruStep thru(nullptr, services);
    thru.step->setReflectState(State::SHORT);
    EXPECT_TRUE(thru.step->openMeasurementEnable());
    EXPECT_FALSE(thru.step->shortMeasurementEnable());
    EXPECT_EQ(thru.step->rightReflectMeasurer()->state(), State::SHORT);
}

TEST(TransmissionStep, ReflectStatusesNeedBothEnds)
{
    QTemporaryDir dir;
    Services services;
    // Both ends on analyser port 0, which the one-port file holds.
    ThruStep thru(nullptr, services, 0);
    TransmissionStep &step = *thru.step;
    const auto open =
        SParameterSource::fromFile(writeReflectFile(dir.filePath("open"), AnalyserSim::FixtureSpec(), 1.0));
    EXPECT_EQ(step.openMeasured(), MeasureStatus::NONE);
    MeasurementTest::runOnWorker(services.worker, [&] { step.leftReflectMeasurer()->measureOpen(open, nullptr); });
    // One end done and the other idle is no measurement.
    EXPECT_EQ(step.openMeasured(), MeasureStatus::Error);
    EXPECT_EQ(step.reflectCalculated(), MeasureStatus::Error);
    MeasurementTest::runOnWorker(services.worker, [&] { step.rightReflectMeasurer()->measureOpen(open, nullptr); });
    EXPECT_EQ(step.openMeasured(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.reflectCalculated(), MeasureStatus::MEASURED);
    EXPECT_EQ(step.shortMeasured(), MeasureStatus::NONE);
    // The reflect measurements do not count as the step's own status.
    EXPECT_EQ(step.getMeasureStatus(), MeasureStatus::NONE);
}

TEST(TransmissionStep, SettingsReachEveryMeasurerOnlyOnChange)
{
    Services services;
    ThruStep thru(nullptr, services);
    TransmissionStep &step = *thru.step;
    Recorder rec;
    rec.watch(&step, &Step::userDefZ0Changed, "z0");
    rec.watch(&step, &Step::calcMethodChanged, "method");
    step.setUserDefZ0(50.0 + 1e-14);
    step.setCalcMethod(Algorithms::CalcMethod::TimeGate);
    EXPECT_EQ(rec.count("z0"), 0);
    EXPECT_EQ(rec.count("method"), 0);

    step.setCalcMethod(Algorithms::CalcMethod::Filtering);
    step.setConversionT(Algorithms::Z0ConversionType::User);
    step.setUserDefZ0(75.0);
    for (BaseMeasurer *m : std::initializer_list<BaseMeasurer *>{step.thruMeasurer(), step.leftReflectMeasurer(),
                                                                 step.rightReflectMeasurer()}) {
        EXPECT_EQ(m->calcMethod(), Algorithms::CalcMethod::Filtering);
        EXPECT_EQ(m->conversionT(), Algorithms::Z0ConversionType::User);
        EXPECT_EQ(m->userDefZ0(), 75.0);
    }
}

} // namespace
