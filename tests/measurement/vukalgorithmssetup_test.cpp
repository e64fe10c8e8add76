#include "steptestsupport.h"

#include "measurement/dutstep.h"
#include "measurement/reflectionstep.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/transmissionstep.h"
#include "measurement/vukalgorithmssetup.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QPointer>
#include <QQmlEngine>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace StepTest;
using Method = Algorithms::CalcMethod;

// A step as "T(A,B)", "R(B)" or "D(A,B)", naming the sides by fixture.
std::string describe(Step *step)
{
    const auto name = [](VNAFixtureConnection *side) { return side ? side->fixture()->name().toStdString() : "?"; };
    QObject *connection = step->connection();
    std::string sides;
    if (auto *t = qobject_cast<ConnectionTransmisson *>(connection))
        sides = name(t->left()) + "," + name(t->right());
    else if (auto *r = qobject_cast<ConnectionReflect *>(connection))
        sides = name(r->fixt());
    const char *kind = qobject_cast<DutStep *>(step)            ? "D"
                       : qobject_cast<TransmissionStep *>(step) ? "T"
                       : qobject_cast<ReflectionStep *>(step)   ? "R"
                                                                : "?";
    return std::string(kind) + "(" + sides + ")";
}

std::vector<std::string> stepsOf(const VukAlgorithmsSetup &setup)
{
    std::vector<std::string> out;
    for (const auto &step : setup.steps().items())
        out.push_back(describe(step.get()));
    return out;
}

std::vector<uint> attached(const VNAFixtureConnection *side)
{
    return side->attachedPorts().items();
}

struct Rig
{
    Services services;
    Algorithms::ProcessInputParameters parameters;
    std::unique_ptr<VukAlgorithmsSetup> make(SyncedVnaDevice *device = nullptr)
    {
        return std::make_unique<VukAlgorithmsSetup>(device, &services.worker, &services.progress, &parameters);
    }
};

TEST(VukAlgorithmsSetup, StartsWithTheFourSidesAndTheABThru)
{
    Rig rig;
    auto setup = rig.make();
    EXPECT_EQ(setup->leftFixtureConn()->fixture()->name(), QStringLiteral("A"));
    EXPECT_EQ(setup->leftFixtureAuxConn()->fixture()->name(), QStringLiteral("A Aux"));
    EXPECT_EQ(setup->rightFixtureConn()->fixture()->name(), QStringLiteral("B"));
    EXPECT_EQ(setup->rightFixtureAuxConn()->fixture()->name(), QStringLiteral("B Aux"));
    EXPECT_EQ(stepsOf(*setup), (std::vector<std::string>{"T(A,B)"}));
    EXPECT_TRUE(setup->abThruConnectionEnabled());
    EXPECT_FALSE(setup->aaConnectionEnabled() || setup->bbConnectionEnabled() || setup->abDutConnectionEnabled());
    EXPECT_EQ(setup->selectedPortsCount(), 2u);
    // The steps stay the program's when QML reads them.
    auto *step = setup->steps().at(0).get();
    EXPECT_EQ(QQmlEngine::objectOwnership(step), QQmlEngine::CppOwnership);
    // The registrations repeat harmlessly.
    auto second = rig.make();
    EXPECT_NE(QMetaType::type("StepP"), QMetaType::UnknownType);
    EXPECT_NE(QMetaType::type("vukalgorithmssetup"), QMetaType::UnknownType);
    EXPECT_NE(QMetaType::type("qvectorpointf"), QMetaType::UnknownType);
    EXPECT_NE(QMetaType::type("Status"), QMetaType::UnknownType);
}

TEST(VukAlgorithmsSetup, TheSwitchesBuildTheStepsByTheRules)
{
    using Action = std::function<void(VukAlgorithmsSetup &)>;
    struct Case
    {
        const char *name;
        std::vector<Action> actions;
        std::vector<std::string> steps;
        bool abThru, aa, bb, abDut;
    };
    const auto aa = [](bool on) { return Action([on](VukAlgorithmsSetup &s) { s.setAaConnectionEnabled(on); }); };
    const auto bb = [](bool on) { return Action([on](VukAlgorithmsSetup &s) { s.setBbConnectionEnabled(on); }); };
    const auto ab = [](bool on) { return Action([on](VukAlgorithmsSetup &s) { s.setAbThruConnectionEnabled(on); }); };
    const auto dut = [](bool on) { return Action([on](VukAlgorithmsSetup &s) { s.setAbDutConnectionEnabled(on); }); };
    const auto left = [](bool on) { return Action([on](VukAlgorithmsSetup &s) { s.setLeftFixtureEnabled(on); }); };
    const auto right = [](bool on) { return Action([on](VukAlgorithmsSetup &s) { s.setRightFixtureEnabled(on); }); };
    const auto method = [](Method m) { return Action([m](VukAlgorithmsSetup &s) { s.setCorrectionMethod(m); }); };
    const auto ports = [](bool a, uint n) {
        return Action([a, n](VukAlgorithmsSetup &s) {
            (a ? s.leftFixtureConn() : s.rightFixtureConn())->fixture()->setPortsCount(n);
        });
    };
    const Case cases[] = {
        {"A-A Aux thru", {aa(true)}, {"T(A,A Aux)", "R(B)"}, false, true, false, false},
        {"B-B Aux thru", {bb(true)}, {"R(A)", "T(B,B Aux)"}, false, false, true, false},
        {"both aux thrus", {aa(true), bb(true)}, {"T(A,A Aux)", "T(B,B Aux)"}, false, true, true, false},
        {"A-B thru again", {aa(true), bb(true), ab(true)}, {"T(A,B)"}, true, false, false, false},
        {"reflects only", {ab(false)}, {"R(A)", "R(B)"}, false, false, false, false},
        {"DUT over the thru", {dut(true)}, {"T(A,B)", "D(A,B)"}, true, false, false, true},
        {"DUT over two steps", {aa(true), dut(true)}, {"T(A,A Aux)", "R(B)", "D(A,B)"}, false, true, false, true},
        {"left side off", {left(false)}, {"R(B)"}, false, false, false, false},
        {"DUT over one side", {left(false), dut(true)}, {"R(B)", "D(B)"}, false, false, false, true},
        {"both sides off", {dut(true), left(false), right(false)}, {}, false, false, false, false},
        {"one side back", {left(false), right(false), right(true)}, {"R(B)"}, false, false, false, false},
        {"both back", {left(false), right(false), right(true), left(true)}, {"T(A,B)"}, true, false, false, false},
        {"bisection drops the DUT", {dut(true), method(Method::Bisection)}, {"T(A,B)"}, true, false, false, false},
        {"filtering drops the DUT", {dut(true), method(Method::Filtering)}, {"T(A,B)"}, true, false, false, false},
        {"no DUT with filtering", {method(Method::Filtering), dut(true)}, {"T(A,B)"}, true, false, false, false},
        {"unequal ports", {ports(true, 2)}, {"R(A)", "R(B)"}, false, false, false, false},
        {"equal again", {ports(true, 2), aa(true), ports(false, 2)}, {"T(A,B)"}, true, false, false, false},
    };
    for (const Case &c : cases) {
        Rig rig;
        auto setup = rig.make();
        for (const Action &action : c.actions)
            action(*setup);
        EXPECT_EQ(stepsOf(*setup), c.steps) << c.name;
        EXPECT_EQ(setup->abThruConnectionEnabled(), c.abThru) << c.name;
        EXPECT_EQ(setup->aaConnectionEnabled(), c.aa) << c.name;
        EXPECT_EQ(setup->bbConnectionEnabled(), c.bb) << c.name;
        EXPECT_EQ(setup->abDutConnectionEnabled(), c.abDut) << c.name;
    }
}

TEST(VukAlgorithmsSetup, TurningTheABThruOnSignalsBothAuxSwitchesEvenWhenOff)
{
    Rig rig;
    auto setup = rig.make();
    setup->setAbThruConnectionEnabled(false);
    Recorder rec;
    rec.watch(setup.get(), &VukAlgorithmsSetup::aaConnectionChanged, "aa");
    rec.watch(setup.get(), &VukAlgorithmsSetup::bbConnectionChanged, "bb");
    rec.watch(setup.get(), &VukAlgorithmsSetup::stepsChanged, "steps");
    setup->setAbThruConnectionEnabled(true);
    EXPECT_EQ(rec.count("aa"), 1);
    EXPECT_EQ(rec.count("bb"), 1);
    EXPECT_GE(rec.count("steps"), 1);
    // Writing an unchanged value is no change.
    setup->setAbThruConnectionEnabled(true);
    EXPECT_EQ(rec.count("aa"), 1);
}

TEST(VukAlgorithmsSetup, AnAuxSideFollowsItsMainSidesPortCount)
{
    Rig rig;
    auto setup = rig.make();
    setup->leftFixtureConn()->fixture()->setPortsCount(3);
    EXPECT_EQ(setup->leftFixtureAuxConn()->fixture()->portsCount(), 3u);
    EXPECT_EQ(setup->rightFixtureAuxConn()->fixture()->portsCount(), 1u);
    EXPECT_EQ(setup->selectedPortsCount(), 4u);
    setup->setLeftFixtureEnabled(false);
    EXPECT_EQ(setup->selectedPortsCount(), 1u);
}

TEST(VukAlgorithmsSetup, PortsAreAssignedFromTheFreeAnalyserPorts)
{
    struct Case
    {
        unsigned analyserPorts;
        uint aPorts, bPorts;
        std::vector<uint> a, b, aAux, bAux;
    };
    const Case cases[] = {
        {4, 1, 1, {0}, {1}, {1}, {0}},
        {4, 2, 2, {0, 1}, {2, 3}, {2, 3}, {0, 1}},
        // Too few analyser ports: the surplus and the auxiliary sides get 0.
        {2, 2, 2, {0, 1}, {0, 0}, {0, 0}, {0, 0}},
        {3, 2, 1, {0, 1}, {2}, {2, 0}, {0}},
    };
    for (const Case &c : cases) {
        AnalyserSim::Options options;
        options.portCount = c.analyserPorts;
        SimRig sim(options);
        Rig rig;
        auto setup = rig.make(sim.proxy.get());
        setup->leftFixtureConn()->fixture()->setPortsCount(c.aPorts);
        setup->rightFixtureConn()->fixture()->setPortsCount(c.bPorts);
        ASSERT_TRUE(sim.settle());
        EXPECT_EQ(attached(setup->leftFixtureConn()), c.a) << c.analyserPorts << c.aPorts << c.bPorts;
        EXPECT_EQ(attached(setup->rightFixtureConn()), c.b) << c.analyserPorts << c.aPorts << c.bPorts;
        EXPECT_EQ(attached(setup->leftFixtureAuxConn()), c.aAux) << c.analyserPorts << c.aPorts << c.bPorts;
        EXPECT_EQ(attached(setup->rightFixtureAuxConn()), c.bAux) << c.analyserPorts << c.aPorts << c.bPorts;
    }
}

// The analyser going away and coming back with the same port count leaves
// the fixtures' port counts, the steps and the ports the user chose; a real
// change of the count assigns them anew and says so.
TEST(VukAlgorithmsSetup, PortsSurviveALinkDropAndFollowOnlyARealCountChange)
{
    AnalyserSim::Options options;
    options.portCount = 4;
    SimRig sim(options);
    Rig rig;
    auto setup = rig.make(sim.proxy.get());
    ASSERT_TRUE(sim.settle());
    setup->leftFixtureConn()->fixture()->setPortsCount(2);
    setup->rightFixtureConn()->fixture()->setPortsCount(2);
    TestSupport::flush();
    setup->rightFixtureConn()->setAttachedVnaPort(0, 3);
    setup->rightFixtureConn()->setAttachedVnaPort(1, 2);
    const std::vector<uint> a{0, 1}, b{3, 2};
    ASSERT_EQ(attached(setup->leftFixtureConn()), a);
    ASSERT_EQ(attached(setup->rightFixtureConn()), b);
    auto stepPointers = [&] {
        std::vector<Step *> steps;
        for (int i = 0; i < setup->steps().size(); ++i)
            steps.push_back(setup->steps().at(i).get());
        return steps;
    };
    const auto stepsBefore = stepPointers();
    ErrorLog errors(setup.get(), &VukAlgorithmsSetup::error);

    const quint16 port = sim.sim.port();
    sim.sim.stop();
    // The first poll may still find the closing socket; the next one finds
    // the analyser gone and clears what it knew.
    for (int i = 0; i < 10 && sim.proxy->portsCount(); ++i)
        EXPECT_FALSE(sim.sync());
    TestSupport::flush();
    ASSERT_FALSE(sim.proxy->portsCount()) << "the analyser is still seen after 10 polls";
    EXPECT_EQ(attached(setup->leftFixtureConn()), a) << "while the count is unknown";
    EXPECT_EQ(attached(setup->rightFixtureConn()), b) << "while the count is unknown";

    ASSERT_TRUE(sim.sim.start(QStringLiteral("127.0.0.1"), port));
    ASSERT_TRUE(sim.settle());
    ASSERT_EQ(sim.proxy->portsCount(), 4u);
    EXPECT_EQ(setup->leftFixtureConn()->fixture()->portsCount(), 2u);
    EXPECT_EQ(setup->rightFixtureConn()->fixture()->portsCount(), 2u);
    EXPECT_EQ(attached(setup->leftFixtureConn()), a);
    EXPECT_EQ(attached(setup->rightFixtureConn()), b);
    EXPECT_EQ(stepPointers(), stepsBefore) << "the steps (and their models) are kept";
    EXPECT_TRUE(errors.texts.empty());

    sim.sim.setPortCount(3);
    ASSERT_TRUE(sim.settle());
    EXPECT_EQ(attached(setup->leftFixtureConn()), (std::vector<uint>{0, 1}));
    EXPECT_EQ(attached(setup->rightFixtureConn()), (std::vector<uint>{2, 0}));
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0],
              QStringLiteral("The analyser now has 3 ports: the analyser ports of the fixtures were assigned anew"));
}

// The analyser's first port count reaches this thread as a queued signal,
// after the proxy's cache already holds it. Ports chosen in between (as a
// recall or the user chooses them, with the count known) are kept when the
// late signal comes: it tells of no change from what they were chosen for.
TEST(VukAlgorithmsSetup, PortsChosenBeforeTheFirstCountSignalArrivesAreKept)
{
    AnalyserSim::Options options;
    options.portCount = 4;
    SimRig sim(options);
    ASSERT_TRUE(sim.started);
    Rig rig;
    // Built while the count is unknown; then one with the count polled
    // but its signal not yet delivered (no events run in between).
    auto resized = rig.make(sim.proxy.get());
    auto kept = rig.make(sim.proxy.get());
    sim.proxy->pushSync([](bool) {});
    QElapsedTimer waited;
    waited.start();
    while (!sim.proxy->portsCount() && waited.elapsed() < 10000)
        QThread::msleep(1);
    ASSERT_EQ(sim.proxy->portsCount(), 4u) << "the poll never cached the port count";

    // One set-up takes new fixture port counts and then its own ports; the
    // other only its own ports, one beyond this analyser's (as a recall of a
    // larger analyser's setup takes it).
    resized->leftFixtureConn()->fixture()->setPortsCount(2);
    resized->leftFixtureConn()->setAttachedVnaPort(0, 3);
    resized->leftFixtureConn()->setAttachedVnaPort(1, 2);
    resized->rightFixtureConn()->setAttachedVnaPort(0, 1);
    kept->leftFixtureConn()->setAttachedVnaPort(0, 2);
    kept->rightFixtureConn()->setAttachedVnaPort(0, 9);
    ErrorLog errors(resized.get(), &VukAlgorithmsSetup::error);
    TestSupport::flush();
    ASSERT_TRUE(sim.settle());

    EXPECT_EQ(attached(resized->leftFixtureConn()), (std::vector<uint>{3, 2}));
    EXPECT_EQ(attached(resized->rightFixtureConn()), (std::vector<uint>{1}));
    EXPECT_EQ(attached(kept->leftFixtureConn()), (std::vector<uint>{2}));
    EXPECT_EQ(attached(kept->rightFixtureConn()), (std::vector<uint>{9}));
    EXPECT_TRUE(errors.texts.empty());
}

TEST(VukAlgorithmsSetup, TheSelectedPortsFollowTheSwitchesAndTheAttachedPorts)
{
    AnalyserSim::Options options;
    options.portCount = 4;
    SimRig sim(options);
    Rig rig;
    auto setup = rig.make(sim.proxy.get());
    ASSERT_TRUE(sim.settle());
    EXPECT_EQ(setup->selectedPorts().items(), (std::vector<uint>{0, 1}));
    Recorder rec;
    rec.watch(setup->selectedPortsModel(), &details::Base::changed, "changed");
    setup->setAaConnectionEnabled(true);
    EXPECT_EQ(setup->selectedPorts().items(), (std::vector<uint>{0, 1, 1}));
    setup->rightFixtureConn()->setAttachedVnaPort(0, 3);
    EXPECT_EQ(setup->selectedPorts().items(), (std::vector<uint>{0, 3, 1}));
    setup->setRightFixtureEnabled(false);
    EXPECT_EQ(setup->selectedPorts().items(), (std::vector<uint>{0, 1}));
    EXPECT_GE(rec.count("changed"), 3);
}

TEST(VukAlgorithmsSetup, CalculationSettingsReachEveryStepOldAndNew)
{
    Rig rig;
    auto setup = rig.make();
    const auto calcMethods = [&] {
        std::vector<Algorithms::CalcMethod> out;
        for (const auto &step : setup->steps().items())
            out.push_back(step->calcMethod());
        return out;
    };
    setup->setCorrectionMethod(Method::Bisection);
    EXPECT_EQ(calcMethods(), (std::vector<Algorithms::CalcMethod>{Algorithms::CalcMethod::Bisection}));
    setup->setCorrectionMethod(Method::Filtering);
    EXPECT_EQ(calcMethods(), (std::vector<Algorithms::CalcMethod>{Algorithms::CalcMethod::Filtering}));
    setup->setZ0ConversionType(MeasureEnums::Z0Conversion::User);
    setup->setUserZ0(75.0);
    // Rebuilt steps get the settings too.
    setup->setBbConnectionEnabled(true);
    ASSERT_EQ(setup->steps().size(), 2);
    for (const auto &step : setup->steps().items()) {
        EXPECT_EQ(step->calcMethod(), Algorithms::CalcMethod::Filtering);
        EXPECT_EQ(step->conversionT(), Algorithms::Z0ConversionType::User);
        EXPECT_EQ(step->userDefZ0(), 75.0);
    }
    setup->setZ0ConversionType(MeasureEnums::Z0Conversion(7));
    EXPECT_EQ(setup->steps().at(0)->conversionT(), Algorithms::Z0ConversionType::None);

    Recorder rec;
    rec.watch(setup.get(), &VukAlgorithmsSetup::userZ0Changed, "z0");
    setup->setUserZ0(75.0 + 1e-12);
    EXPECT_EQ(rec.count("z0"), 0);
}

TEST(VukAlgorithmsSetup, ARebuildDiscardsTheModelsOfTheOldSteps)
{
    QTemporaryDir dir;
    Rig rig;
    auto setup = rig.make();
    setup->rightFixtureConn()->setAttachedVnaPort(0, 1);
    QPointer<Step> old(setup->steps().at(0).get());
    auto *thru = qobject_cast<TransmissionStep *>(old.data());
    thru->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), AnalyserSim::FixtureSpec()));
    drain(rig.services.worker);
    QmlFixturePort *a = setup->leftFixtureConn()->getFixturePort(0)->measureData();
    ASSERT_TRUE(a->isMeasured());

    setup->setAaConnectionEnabled(true);
    drain(rig.services.worker);
    EXPECT_FALSE(a->isMeasured());
    EXPECT_FALSE(setup->rightFixtureConn()->getFixturePort(0)->measureData()->isMeasured());
    TestSupport::flush();
    EXPECT_FALSE(old);
}

// The user changes a fixture's port count again and again while the step
// worker empties the models of the steps each change lets go of: the ports
// lists grow and shrink on this thread meanwhile, and every model ends empty.
TEST(VukAlgorithmsSetup, PortCountChangesWhileOldModelsAreEmptiedLeaveEveryPortEmpty)
{
    QTemporaryDir dir;
    Rig rig;
    auto setup = rig.make();
    setup->rightFixtureConn()->setAttachedVnaPort(0, 1);
    auto *thru = qobject_cast<TransmissionStep *>(setup->steps().at(0).get());
    ASSERT_NE(thru, nullptr);
    thru->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), AnalyserSim::FixtureSpec()));
    drain(rig.services.worker);
    QPointer<QmlFixturePort> measured = setup->leftFixtureConn()->getFixturePort(0)->measureData();
    ASSERT_TRUE(measured->isMeasured());

    Fixture *left = setup->leftFixtureConn()->fixture();
    for (int round = 0; round < 40; ++round)
        left->setPortsCount(round % 2 == 0 ? 16u : 1u + static_cast<uint>(round % 3));
    left->setPortsCount(4);
    drain(rig.services.worker);
    TestSupport::flush();

    ASSERT_EQ(setup->leftFixtureConn()->measureData().size(), 4);
    for (VNAFixtureConnection *side : {setup->leftFixtureConn(), setup->rightFixtureConn()}) {
        for (int i = 0; i < side->measureData().size(); ++i) {
            EXPECT_FALSE(side->getFixturePort(i)->measureData()->isMeasured()) << "port " << i;
        }
    }
    if (measured) {
        EXPECT_FALSE(measured->isMeasured());
    }
}

TEST(VukAlgorithmsSetup, InterruptsAndErrorsTravelThroughTheSetup)
{
    Rig rig;
    auto setup = rig.make();
    setup->leftFixtureConn()->fixture()->setPortsCount(2);
    ASSERT_EQ(setup->steps().size(), 2);
    Recorder rec;
    for (const auto &step : setup->steps().items())
        rec.watch(step.get(), &Step::interrupted, "step interrupted");
    setup->interrupt();
    EXPECT_EQ(rec.count("step interrupted"), 2);

    ErrorLog errors(setup.get(), &VukAlgorithmsSetup::error);
    emit setup->steps().at(1)->error(QStringLiteral("from a step"));
    // A port added after the set-up was built reports as well.
    emit setup->leftFixtureConn()->getFixturePort(1)->measureData()->error(QStringLiteral("from port 2"));
    EXPECT_EQ(errors.texts, (std::vector<QString>{QStringLiteral("from a step"), QStringLiteral("from port 2")}));
}

TEST(VukAlgorithmsSetup, DestroyedWithAJobQueuedTheJobStillRuns)
{
    QTemporaryDir dir;
    Rig rig;
    auto setup = rig.make();
    setup->rightFixtureConn()->setAttachedVnaPort(0, 1);
    auto *thru = qobject_cast<TransmissionStep *>(setup->steps().at(0).get());
    Recorder rec;
    rec.watch(thru, &Step::finished, "finished");
    QPointer<VNAFixtureConnection> side(setup->leftFixtureConn());
    {
        WorkerHold hold(rig.services.worker);
        thru->measureFromTouchstoneFile(writeThruFile(dir.filePath("thru"), AnalyserSim::FixtureSpec()));
        setup.reset();
        TestSupport::flush();
        // The sides wait for the queued job.
        EXPECT_TRUE(side);
    }
    drain(rig.services.worker);
    TestSupport::flush();
    EXPECT_EQ(rec.count("finished"), 1);
    EXPECT_FALSE(side);
}

TEST(VukAlgorithmsSetup, LowPassModesSetTheAnalyserGrid)
{
    AnalyserSim::Options options;
    options.maxFrequency = 8.5e9;
    SimRig sim(options);
    Rig rig;
    auto setup = rig.make(sim.proxy.get());
    ASSERT_TRUE(sim.settle());
    EXPECT_FALSE(setup->isLowPassMode());
    Recorder rec;
    rec.watch(setup.get(), &VukAlgorithmsSetup::lowPassModeChanged, "lowPass");

    setup->set10MhzLowPassMode();
    ASSERT_TRUE(sim.settle());
    const auto channel = sim.sim.channel(1);
    EXPECT_EQ(channel.points, 850u);
    EXPECT_EQ(channel.start, 10e6);
    EXPECT_EQ(channel.stop, 8.5e9);
    EXPECT_TRUE(setup->isLowPassMode());
    EXPECT_GE(rec.count("lowPass"), 1);

    // Back to a band-pass grid, then the start moved to stop / points.
    sim.sim.execute(QStringLiteral("SENS1:FREQ:STAR 1e9"));
    ASSERT_TRUE(sim.settle());
    EXPECT_FALSE(setup->isLowPassMode());
    setup->setLowPassMode();
    ASSERT_TRUE(sim.settle());
    EXPECT_DOUBLE_EQ(sim.sim.channel(1).start, 8.5e9 / 850);
    EXPECT_TRUE(setup->isLowPassMode());
}

TEST(VukAlgorithmsSetup, WithoutAnAnalyserTheLowPassModesDoNothing)
{
    Rig rig;
    SimRig sim; // never polled: nothing is known
    auto setup = rig.make(sim.proxy.get());
    sim.sim.clearLog();
    setup->setLowPassMode();
    setup->set10MhzLowPassMode();
    EXPECT_FALSE(setup->isLowPassMode());
    EXPECT_LT(logIndex(sim.sim, QStringLiteral("SENS")), 0);
}

} // namespace
