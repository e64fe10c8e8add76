// Where a model's notices go above the measurers: the step keeps those of
// its last calculation and of its applied offsets and tells each once; the
// set-up and the set-up list mark that a step carries some and pass each on
// to the window; and the method rules that say which arrangement a method
// can calculate.

#include "steptestsupport.h"

#include "measurement/dutstep.h"
#include "measurement/fixturesetups.h"
#include "measurement/reflectionstep.h"
#include "measurement/transmissionstep.h"
#include "measurement/vukalgorithmssetup.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using namespace StepTest;
using MeasureStatus = MeasureEnums::MeasureStatus;
using Method = Algorithms::CalcMethod;

// A 2x-thru on a 1-20 GHz band-pass grid; with a 0.1 pF pad at the
// analyser side of each fixture the gated models are not passive near the
// top of the band, without it they are.
QString writeBandPassThru(const QString &path, bool pad)
{
    const auto f = SynthNet::uniformGrid(1e9, 20e9, 191);
    const auto line = SynthNet::line(f, {50.0, 2e-10, 0.3});
    const auto fixture = pad ? SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.1e-12), line) : line;
    return MeasurementTest::writeTwoPort(path, SynthNet::toS(SynthNet::twoXThru(fixture)));
}

class StepNotices : public ::testing::Test
{
protected:
    // Measures the first step of the list's first set-up from a file and
    // waits until this thread has heard of it.
    void measureThru(bool pad)
    {
        auto *thru = qobject_cast<TransmissionStep *>(setups.setup(0)->steps().at(0).get());
        ASSERT_NE(thru, nullptr);
        thru->measureFromTouchstoneFile(writeBandPassThru(dir.filePath(QStringLiteral("thru%1").arg(files++)), pad));
        drain(services.worker);
        TestSupport::flush();
        ASSERT_EQ(thru->thruMeasured(), MeasureStatus::MEASURED);
    }
    Step &firstStep() { return *setups.setup(0)->steps().at(0); }

    QTemporaryDir dir;
    int files = 0;
    Services services;
    Algorithms::ProcessInputParameters parameters;
    FixtureSetups setups{&parameters, nullptr, &services.worker, &services.progress};

    void SetUp() override { setups.setup(0)->rightFixtureConn()->setAttachedVnaPort(0, 1); }
};

TEST_F(StepNotices, AThruTellsOneNoticePerPortAndItsStepAndSetUpsCarryThem)
{
    QSignalSpy toldByStep(&firstStep(), &Step::modelNotice);
    QSignalSpy changed(&firstStep(), &Step::noticesChanged);
    QSignalSpy toldByList(&setups, &FixtureSetups::modelNotice);
    QSignalSpy marks(&setups, &FixtureSetups::stepsStatusChanged);
    EXPECT_FALSE(setups.anyStepHasNotices());

    measureThru(true);
    const QList<Algorithms::ModelNotice> notices = firstStep().notices();
    ASSERT_EQ(notices.size(), 2);
    EXPECT_EQ(notices[0].port, "the fixture at analyser port 1");
    EXPECT_EQ(notices[1].port, "the fixture at analyser port 2");
    EXPECT_EQ(toldByStep.count(), 2);
    EXPECT_EQ(toldByList.count(), 2);
    EXPECT_EQ(toldByList.at(1).at(0).value<Algorithms::ModelNotice>(), notices[1]);
    EXPECT_GT(changed.count(), 0);
    EXPECT_GT(marks.count(), 0);
    EXPECT_TRUE(setups.setup(0)->anyStepHasNotices());
    EXPECT_TRUE(setups.anyStepHasNotices());
    // QML sees the same, as maps.
    const QVariantList shown = firstStep().noticesVariant();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].toMap().value("summary").toString(), notices[0].summary);
    EXPECT_EQ(shown[0].toMap().value("detail").toString(), notices[0].detail);

    // Passive models on the next run: the marks go.
    toldByList.clear();
    measureThru(false);
    EXPECT_TRUE(firstStep().notices().isEmpty());
    EXPECT_EQ(toldByList.count(), 0);
    EXPECT_FALSE(setups.anyStepHasNotices());

    // Doubtful again, then deleted with the data.
    measureThru(true);
    ASSERT_TRUE(setups.anyStepHasNotices());
    changed.clear();
    firstStep().deleteData();
    TestSupport::flush();
    EXPECT_TRUE(firstStep().notices().isEmpty());
    EXPECT_GT(changed.count(), 0);
    EXPECT_FALSE(setups.anyStepHasNotices());
}

// An offset that moves a model out of passivity: the step tells it and
// keeps it while the offset is applied, beside its calculation's notices.
TEST_F(StepNotices, AnOffsetThatGivesGainIsTheStepsNoticeWhileItIsApplied)
{
    // A lossy line ending in a large capacitance at the DUT: passive as
    // measured, with gain once the plane moves almost to the analyser.
    const auto f = SynthNet::uniformGrid(1e9, 20e9, 191);
    const auto fixture = SynthNet::cascade(SynthNet::line(f, {50.0, 60e-12, 1.35}), SynthNet::shuntGC(f, 0.0, 0.5e-12));
    auto *thru = qobject_cast<TransmissionStep *>(&firstStep());
    ASSERT_NE(thru, nullptr);
    thru->measureFromTouchstoneFile(
        MeasurementTest::writeTwoPort(dir.filePath("lossy.s2p"), SynthNet::toS(SynthNet::twoXThru(fixture))));
    drain(services.worker);
    ASSERT_EQ(thru->thruMeasured(), MeasureStatus::MEASURED);
    const int calculated = thru->notices().size();

    QSignalSpy told(thru, &Step::modelNotice);
    QmlFixturePort *left = setups.setup(0)->leftFixtureConn()->getFixturePort(0)->measureData();
    const double plane = left->defaultImpulseResponse()->delay;
    thru->setLeftOffset(-0.95 * plane * 1e12);
    thru->applyThruOffset(true);
    drain(services.worker);
    TestSupport::flush();
    ASSERT_TRUE(thru->appliedFixtureOffset());
    ASSERT_EQ(told.count(), 1);
    const auto notice = told.at(0).at(0).value<Algorithms::ModelNotice>();
    EXPECT_TRUE(notice.summary.startsWith("The offset model of the fixture at analyser port 1 is not passive from "))
        << notice.summary.toStdString();
    EXPECT_EQ(thru->notices().size(), calculated + 1);
    EXPECT_EQ(thru->notices().last(), notice);

    // The offset taken back: the moved model, and its doubt, are gone.
    thru->applyThruOffset(false);
    drain(services.worker);
    EXPECT_FALSE(thru->appliedFixtureOffset());
    EXPECT_EQ(thru->notices().size(), calculated);
    EXPECT_EQ(told.count(), 1);
}

// Which arrangement each method can calculate: one rule, read by the pages
// (these properties) and applied by the steps and the remote commands.
TEST(MethodRules, TheSetUpSaysWhatItsMethodCannotCalculate)
{
    Services services;
    Algorithms::ProcessInputParameters parameters;
    struct Case
    {
        const char *name;
        Method method;
        bool left, right, aa, bb;
        bool leftRefused, rightRefused, dutAvailable;
    };
    const Case cases[] = {
        {"A-B thru, gating", Method::TimeGate, true, true, false, false, false, false, true},
        {"A-B thru, bisection", Method::Bisection, true, true, false, false, false, false, false},
        {"A-B thru, filtering", Method::Filtering, true, true, false, false, false, false, false},
        {"A alone, gating", Method::TimeGate, true, false, false, false, false, false, true},
        {"A alone, filtering", Method::Filtering, true, false, false, false, false, false, false},
        {"A alone, bisection", Method::Bisection, true, false, false, false, true, false, false},
        {"B alone, bisection", Method::Bisection, false, true, false, false, false, true, false},
        {"A-A thru, B reflect, bisection", Method::Bisection, true, true, true, false, false, true, false},
        {"both loop-back thrus, bisection", Method::Bisection, true, true, true, true, false, false, false},
        {"nothing enabled", Method::TimeGate, false, false, false, false, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        VukAlgorithmsSetup setup(nullptr, &services.worker, &services.progress, &parameters);
        QSignalSpy rules(&setup, &VukAlgorithmsSetup::methodRulesChanged);
        setup.setCorrectionMethod(c.method);
        setup.setLeftFixtureEnabled(c.left);
        setup.setRightFixtureEnabled(c.right);
        setup.setAaConnectionEnabled(c.aa);
        setup.setBbConnectionEnabled(c.bb);
        EXPECT_EQ(setup.leftReflectUnsupported(), c.leftRefused);
        EXPECT_EQ(setup.rightReflectUnsupported(), c.rightRefused);
        EXPECT_EQ(setup.dutStepAvailable(), c.dutAvailable);
        if (c.method != Method::TimeGate || !c.left || !c.right || c.aa || c.bb) {
            EXPECT_GT(rules.count(), 0);
        }
        // The DUT step exists only where it is available.
        setup.setAbDutConnectionEnabled(true);
        const auto &steps = setup.steps().items();
        const bool hasDut = std::any_of(steps.begin(), steps.end(),
                                        [](const auto &step) { return qobject_cast<DutStep *>(step.get()); });
        EXPECT_EQ(hasDut, c.dutAvailable);
        services.worker.clear();
        drain(services.worker);
    }
}

// A 1x-reflect the method cannot calculate is refused before anything is
// measured, with the reason, by the reflection step and by the reflect
// offsets of a thru step alike.
TEST(MethodRules, A1xReflectUnderBisectionIsRefusedWithItsReason)
{
    const AnalyserSim::FixtureSpec spec;
    QTemporaryDir dir;
    Services services;
    Algorithms::ProcessInputParameters parameters;
    StepTest::Side a{nullptr, {0}};
    auto reflect = makeStep<ReflectionStep>(new ConnectionReflect(&a.connection, &parameters), nullptr,
                                            &services.worker, &services.progress);
    reflect->setCalcMethod(Algorithms::CalcMethod::Bisection);
    ErrorLog errors(reflect.get(), &Step::error);
    QSignalSpy started(reflect.get(), &Step::started);
    reflect->measureOpenFromTouchstone(writeReflectFile(dir.filePath("open"), spec, 1.0));
    drain(services.worker);
    const QString refusal = "The bisection method does not support the 1xReflect setup. It requires a direct "
                            "connection of two fixtures: nothing was measured.";
    EXPECT_EQ(errors.texts, std::vector<QString>{refusal});
    EXPECT_EQ(started.count(), 0) << "no job was started";
    EXPECT_EQ(reflect->calculated(), MeasureStatus::NONE);

    // With time gating the same file calculates.
    errors.texts.clear();
    reflect->setCalcMethod(Algorithms::CalcMethod::TimeGate);
    reflect->measureOpenFromTouchstone(writeReflectFile(dir.filePath("open2"), spec, 1.0));
    drain(services.worker);
    EXPECT_EQ(reflect->calculated(), MeasureStatus::MEASURED);

    ThruStep thru(nullptr, services);
    thru.step->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), spec));
    drain(services.worker);
    ASSERT_EQ(thru.step->thruMeasured(), MeasureStatus::MEASURED);
    thru.step->setCalcMethod(Algorithms::CalcMethod::Bisection);
    ErrorLog thruErrors(thru.step.get(), &Step::error);
    thru.step->measureOpenFromTouchstoneFile(writeReflectFile(dir.filePath("end"), spec, 1.0));
    drain(services.worker);
    EXPECT_EQ(thruErrors.texts, std::vector<QString>{refusal});
    EXPECT_EQ(thru.step->openMeasured(), MeasureStatus::NONE);
    EXPECT_EQ(thru.step->thruMeasured(), MeasureStatus::MEASURED) << "the thru keeps its models";
}

} // namespace
