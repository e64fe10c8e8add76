// What the user is told while and after the measurers run, seen where the
// notification list takes it: the set-ups list's error signal. Every text
// arrives once, whether it comes from a fixture port, a process or a cancel,
// and a process kept for the DUT step stays silent once its run is over.
#include "steptestsupport.h"

#include "measurement/dutmeasurer.h"
#include "measurement/dutstep.h"
#include "measurement/fixturesetups.h"
#include "measurement/reflectionmeasurer.h"
#include "measurement/reflectionstep.h"
#include "measurement/sdatameasurer.h"
#include "measurement/transmissionmeasurer.h"
#include "measurement/transmissionstep.h"
#include "measurement/vukalgorithmssetup.h"

#include <QMetaObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace StepTest;
using MeasureStatus = MeasureEnums::MeasureStatus;

const QString canceled = QStringLiteral("The measurement was canceled");
const QString invalidConversion = QStringLiteral("Invalid converted data. Check system and fixture impedances");
const QString invalidZ0 =
    QStringLiteral("Invalid Z0 impedance. It is recommended using the latest VNA software version");

int countOf(const std::vector<QString> &texts, const QString &text)
{
    return static_cast<int>(std::count(texts.begin(), texts.end(), text));
}

QmlFixturePort *portOf(VNAFixtureConnection *side, int i = 0)
{
    return side->getFixturePort(i)->measureData();
}

bool dutCorrected(VNAFixtureConnection *side)
{
    return portOf(side)->calibrationState().testFlag(QmlFixturePort::CalibrationState::DutCorrected);
}

// One set-up in the list, measured from Touchstone files: A on analyser
// port 0, B on port 1; the A-B thru, or the reflection of A alone, with or
// without the DUT step.
struct Chain
{
    enum class Kind { Thru, ThruAndDut, Reflect };

    explicit Chain(Kind kind)
        : setups(std::make_unique<FixtureSetups>(&parameters, nullptr, &services.worker, &services.progress))
    {
        setup = setups->setup(0);
        if (kind == Kind::Reflect)
            setup->setRightFixtureEnabled(false);
        if (kind == Kind::ThruAndDut)
            setup->setAbDutConnectionEnabled(true);
        setup->rightFixtureConn()->setAttachedVnaPort(0, 1);

        const auto f = harmonicGrid();
        const auto fixture = AnalyserSim::fixtureNetwork(spec, f);
        thruFile = writeThruFile(dir.filePath("thru"), spec);
        openFile = writeReflectFile(dir.filePath("open"), spec, 1.0);
        const auto dut = SynthNet::line(f, {35.0, 80e-12, 0.2});
        dutFile =
            MeasurementTest::writeTwoPort(dir.filePath("dut"), SynthNet::toS(SynthNet::dutInFixture(fixture, dut)));
        // The steps a rebuild released empty their sides on the worker.
        drain(services.worker);
    }
    ~Chain()
    {
        setups.reset();
        drain(services.worker);
        TestSupport::flush();
    }

    template<typename T>
    T *step(int i) const
    {
        return qobject_cast<T *>(setup->steps().at(i).get());
    }
    TransmissionStep *thru() const { return step<TransmissionStep>(0); }
    ReflectionStep *reflect() const { return step<ReflectionStep>(0); }
    DutStep *dut() const { return step<DutStep>(1); }
    VNAFixtureConnection *a() const { return setup->leftFixtureConn(); }
    VNAFixtureConnection *b() const { return setup->rightFixtureConn(); }

    void measureThru()
    {
        thru()->measureFromTouchstoneFile(thruFile);
        drain(services.worker);
    }
    void measureOpen()
    {
        reflect()->measureOpenFromTouchstone(openFile);
        drain(services.worker);
    }
    void measureDut()
    {
        dut()->measureFromTouchstoneFile(dutFile);
        drain(services.worker);
    }

    // Cancels as the main window does, on this (the GUI) thread, while the
    // worker that asks for it waits.
    void cancelFromTheWorker()
    {
        QMetaObject::invokeMethod(
            setups.get(), [this] { setups->interrupt(); }, Qt::BlockingQueuedConnection);
    }

    // Cancels from the worker as soon as the measurer reports it is done.
    template<typename Measurer>
    void cancelWhenDone(Measurer *measurer)
    {
        QObject::connect(
            measurer, &Measurer::statusChanged, measurer,
            [this](Status st) {
                if (st == Status::Done)
                    cancelFromTheWorker();
            },
            Qt::DirectConnection);
    }

    const AnalyserSim::FixtureSpec spec;
    QTemporaryDir dir;
    QString thruFile, openFile, dutFile;
    Services services;
    Algorithms::ProcessInputParameters parameters;
    std::unique_ptr<FixtureSetups> setups;
    VukAlgorithmsSetup *setup = nullptr;
};

// A fixture port that refuses what a process stores while it runs reports
// through the process, the measurer and the step; its own way to the set-up
// must not repeat it.
TEST(MeasurerChain, APortTextDuringARunReachesTheListOnce)
{
    struct Case
    {
        const char *name;
        Chain::Kind kind;
        std::function<void(Chain &)> run;
        std::function<MeasureStatus(Chain &)> status;
    };
    // A negative target impedance cannot be converted to.
    const auto negativeUserZ0 = [](Chain &c) {
        c.setups->setZ0ConversionType(MeasureEnums::Z0Conversion::User);
        c.setups->setUserZ0(1e300);
    };
    const std::vector<Case> cases{
        {"thru", Chain::Kind::Thru,
         [&](Chain &c) {
             negativeUserZ0(c);
             c.measureThru();
         },
         [](Chain &c) { return c.thru()->thruMeasured(); }},
        {"reflection", Chain::Kind::Reflect,
         [&](Chain &c) {
             negativeUserZ0(c);
             c.measureOpen();
         },
         [](Chain &c) { return c.reflect()->calculated(); }},
        // The thru converts to 50 ohm; then only A's port is given a target
        // its DUT correction cannot convert to.
        {"DUT", Chain::Kind::ThruAndDut,
         [](Chain &c) {
             c.setups->setZ0ConversionType(MeasureEnums::Z0Conversion::User);
             c.measureThru();
             ASSERT_EQ(c.thru()->thruMeasured(), MeasureStatus::MEASURED);
             portOf(c.a())->setCustomImpedance(1e300);
             c.measureDut();
         },
         [](Chain &c) { return c.dut()->dutMeasured(); }},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        Chain chain(test.kind);
        ErrorLog errors(chain.setups.get(), &FixtureSetups::error);
        test.run(chain);
        TestSupport::flush();
        EXPECT_EQ(countOf(errors.texts, invalidConversion), 1) << joined(errors.texts);
        for (const QString &text : errors.texts)
            EXPECT_EQ(countOf(errors.texts, text), 1) << text.toStdString();
        EXPECT_EQ(test.status(chain), MeasureStatus::Error);

        // Outside a run the port speaks for itself again, once.
        errors.texts.clear();
        portOf(chain.a())->setZ0Impedance(std::numeric_limits<double>::quiet_NaN());
        TestSupport::flush();
        EXPECT_EQ(errors.texts, std::vector<QString>{invalidZ0});
    }
}

// After a run its processes stay with the connection for the DUT step; a
// later cancel or a text of their ports must not come out of them.
TEST(MeasurerChain, KeptProcessesAreSilentAfterTheirRun)
{
    struct Case
    {
        const char *name;
        Chain::Kind kind;
        std::function<void(Chain &)> run;
        std::function<MeasureStatus(Chain &)> status;
    };
    const std::vector<Case> cases{
        {"thru", Chain::Kind::Thru, [](Chain &c) { c.measureThru(); },
         [](Chain &c) { return c.thru()->thruMeasured(); }},
        {"reflection", Chain::Kind::Reflect, [](Chain &c) { c.measureOpen(); },
         [](Chain &c) { return c.reflect()->calculated(); }},
        {"thru, then DUT", Chain::Kind::ThruAndDut,
         [](Chain &c) {
             c.measureThru();
             c.measureDut();
         },
         [](Chain &c) { return c.dut()->dutMeasured(); }},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        Chain chain(test.kind);
        ErrorLog errors(chain.setups.get(), &FixtureSetups::error);
        test.run(chain);
        ASSERT_EQ(test.status(chain), MeasureStatus::MEASURED) << joined(errors.texts);
        ASSERT_TRUE(errors.texts.empty()) << joined(errors.texts);

        chain.setups->interrupt();
        TestSupport::flush();
        EXPECT_TRUE(errors.texts.empty()) << joined(errors.texts);

        portOf(chain.a())->setZ0Impedance(std::numeric_limits<double>::quiet_NaN());
        TestSupport::flush();
        EXPECT_EQ(errors.texts, std::vector<QString>{invalidZ0});
        EXPECT_EQ(test.status(chain), MeasureStatus::MEASURED);
    }
}

// A cancel at any moment of a run is reported once: by the process it
// reaches, or by the run that stops on it when no process was running.
TEST(MeasurerChain, ACancelIsReportedOnceWhereverItLands)
{
    struct Case
    {
        const char *name;
        Chain::Kind kind;
        // When A's impulse response changes on the worker: emptied at the
        // start of the run (nothing runs yet), or stored by the process.
        bool whenStored;
        std::function<void(Chain &)> run;
        std::function<MeasureStatus(Chain &)> status;
    };
    const auto thruStatus = [](Chain &c) { return c.thru()->thruMeasured(); };
    const std::vector<Case> cases{
        {"thru, before the first pair", Chain::Kind::Thru, false, [](Chain &c) { c.measureThru(); }, thruStatus},
        {"thru, during the calculation", Chain::Kind::Thru, true, [](Chain &c) { c.measureThru(); }, thruStatus},
        {"reflection, during the calculation", Chain::Kind::Reflect, true, [](Chain &c) { c.measureOpen(); },
         [](Chain &c) { return c.reflect()->calculated(); }},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        Chain chain(test.kind);
        QmlFixturePort *port = portOf(chain.a());
        bool fired = false;
        QObject::connect(
            port, &Algorithms::FixturePort::impulseResponseChanged, port,
            [&] {
                if (!fired && port->impulseResponse().has_value() == test.whenStored) {
                    fired = true;
                    chain.cancelFromTheWorker();
                }
            },
            Qt::DirectConnection);
        ErrorLog errors(chain.setups.get(), &FixtureSetups::error);
        test.run(chain);
        TestSupport::flush();
        EXPECT_TRUE(fired);
        EXPECT_EQ(errors.texts, std::vector<QString>{canceled});
        EXPECT_EQ(test.status(chain), MeasureStatus::Error);
        EXPECT_FALSE(port->isMeasured());
    }
}

// The DUT step corrects one side after the other; a cancel while the first
// side is read stops before any model is corrected.
TEST(MeasurerChain, ACancelDuringTheFirstDutSideCorrectsNoSide)
{
    Chain chain(Chain::Kind::ThruAndDut);
    chain.measureThru();
    ASSERT_EQ(chain.thru()->thruMeasured(), MeasureStatus::MEASURED);
    DutMeasurer *first = chain.dut()->measurers().at(0);
    DutMeasurer *second = chain.dut()->measurers().at(1);
    auto *reader = first->findChild<SDataMeasurer *>();
    ASSERT_TRUE(reader);
    chain.cancelWhenDone(reader);
    ErrorLog errors(chain.setups.get(), &FixtureSetups::error);
    chain.measureDut();
    TestSupport::flush();

    EXPECT_EQ(errors.texts, std::vector<QString>{canceled});
    EXPECT_EQ(first->status(), Status::Failed);
    EXPECT_EQ(second->status(), Status::NotMeasured);
    EXPECT_FALSE(dutCorrected(chain.a()));
    EXPECT_FALSE(dutCorrected(chain.b()));
    EXPECT_EQ(chain.dut()->dutMeasured(), MeasureStatus::Error);
    EXPECT_TRUE(progressRow(chain.services.progress, 1)->isCanceled());
    // The fixture models of the thru are untouched.
    EXPECT_TRUE(portOf(chain.a())->isMeasured());

    // The next DUT run is not cancelled by the old request.
    QObject::disconnect(reader, nullptr, reader, nullptr);
    errors.texts.clear();
    chain.measureDut();
    TestSupport::flush();
    EXPECT_TRUE(errors.texts.empty()) << joined(errors.texts);
    EXPECT_EQ(chain.dut()->dutMeasured(), MeasureStatus::MEASURED);
}

// A cancel once the first side is corrected stops before the second side.
TEST(MeasurerChain, ACancelBetweenTheDutSidesStopsBeforeTheSecond)
{
    Chain chain(Chain::Kind::ThruAndDut);
    chain.measureThru();
    ASSERT_EQ(chain.thru()->thruMeasured(), MeasureStatus::MEASURED);
    DutMeasurer *first = chain.dut()->measurers().at(0);
    DutMeasurer *second = chain.dut()->measurers().at(1);
    chain.cancelWhenDone(first);
    ErrorLog errors(chain.setups.get(), &FixtureSetups::error);
    chain.measureDut();
    TestSupport::flush();

    EXPECT_EQ(errors.texts, std::vector<QString>{canceled});
    EXPECT_EQ(first->status(), Status::Done);
    EXPECT_EQ(second->status(), Status::NotMeasured);
    EXPECT_TRUE(dutCorrected(chain.a()));
    EXPECT_FALSE(dutCorrected(chain.b()));
    EXPECT_EQ(chain.dut()->dutMeasured(), MeasureStatus::NONE);
}

} // namespace
