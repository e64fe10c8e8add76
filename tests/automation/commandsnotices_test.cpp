// What a script learns of a doubtful fixture model, over the remote port
// against the simulated analyser: the code a measuring command queues when
// its models carry notices (without ending its message), the step's notices
// query, answered whatever the analyser link does, and the refusal of a
// 1x-reflect under bisection.

#include "commandstestrig.h"

#include "measurement/measuredfixtureport.h"
#include "measurement/reflectionstep.h"
#include "measurement/transmissionstep.h"
#include "measurement/vnafixtureconnection.h"

#include <QSignalSpy>

#include <vector>

using namespace CommandsTest;

namespace {

const QByteArray kNoError("0, No error");
const QByteArray kModelNotice = errorAnswer(289, "Fixture model has notices");
const QByteArray kInvalidMethod = errorAnswer(271, "Invalid calculation method type");

// The step's notices as the query answers them: the count, then each first
// line quoted.
QByteArray noticesAnswer(const Step &step)
{
    QByteArray answer = QByteArray::number(step.notices().size());
    for (const Algorithms::ModelNotice &notice : step.notices())
        answer += ",\"" + notice.summary.toUtf8() + '"';
    return answer;
}

class CommandsNotices : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A 1-20 GHz band-pass sweep of 191 points.
        rig.sim.execute(QStringLiteral("SENS1:SWE:POIN 191"));
        rig.sim.execute(QStringLiteral("SENS1:FREQ:STAR 1E9"));
        rig.sim.execute(QStringLiteral("SENS1:FREQ:STOP 20E9"));
        // A 0.1 pF pad at the analyser side of each fixture: on this grid
        // the gated models are not passive near the top of the band.
        doubtful.line = {50.0, 2e-10, 0.3};
        doubtful.shuntCapacitance = 0.1e-12;
        plain.line = {50.0, 2e-10, 0.3};
        plain.shuntCapacitance = 0.0;
        rig.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, doubtful));
        ASSERT_TRUE(rig.ready());
    }

    AnalyserSim::FixtureSpec doubtful;
    AnalyserSim::FixtureSpec plain;
    Rig rig;
};

} // namespace

TEST_F(CommandsNotices, AThruWithDoubtfulModelsQueues289AndTheQueryNamesThem)
{
    Client &client = *rig.client;
    QSignalSpy window(rig.backend.get(), &MainQmlBackend::notice);
    EXPECT_EQ(client.ask("VUK:SYST:STEP1:NOT?"), QByteArray("0"));

    // 289 is queued once the measurement is over; the message goes on, and
    // its own error query already reads the code.
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU;:VUK:SYST:ERR?;:VUK:SYST:STEP1:MEAS?;:VUK:SYST:ERR?"),
              kModelNotice + ";1;" + kNoError);
    const Step &step = *rig.step(0);
    ASSERT_EQ(step.notices().size(), 2);
    EXPECT_EQ(step.notices()[0].port, "the fixture at analyser port 1");
    EXPECT_EQ(step.notices()[1].port, "the fixture at analyser port 2");
    const QByteArray answer = client.ask("VUK:SYST:STEP1:NOTices?");
    EXPECT_EQ(answer, noticesAnswer(step));
    EXPECT_TRUE(answer.startsWith("2,\"")) << answer.toStdString();
    EXPECT_FALSE(answer.contains('\n'));
    // The window was told the same two, once each.
    ASSERT_TRUE(TestSupport::waitUntil(
        "two notices in the window", [&] { return window.count() >= 2; }, kGuardMs));
    EXPECT_EQ(window.count(), 2);
    EXPECT_EQ(window.at(0).at(0).toString(), step.notices()[0].summary);

    // An offset recomputes the models from the doubtful ones: told again.
    client.run("VUK:SYST:STEP1:THRU:OFFS ON");
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU:OFFS 1,1;:VUK:SYST:ERR?"), kModelNotice);

    // Passive models on the next measurement: no code, no notices.
    rig.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, plain));
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU;:VUK:SYST:ERR?;:VUK:SYST:STEP1:NOT?"), kNoError + ";0");

    // Deleting the data takes the notices with the models.
    rig.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, doubtful));
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU;:VUK:SYST:ERR?;:VUK:SYST:STEP1:DATA:DEL;:VUK:SYST:STEP1:NOT?"),
              kModelNotice + ";0");
}

// The link drops during a measurement: it fails, no code says its models
// are doubtful, and the notices query answers from the program's own state
// while the analyser is gone.
TEST_F(CommandsNotices, TheNoticesQueryAnswersWhateverTheAnalyserLinkDoes)
{
    Client &client = *rig.client;
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU;:VUK:SYST:ERR?"), kModelNotice);
    const QByteArray told = noticesAnswer(*rig.step(0));
    ASSERT_TRUE(told.startsWith("2,"));

    // The analyser goes away: the notices of the models the program holds
    // are still answered, without 240.
    const quint16 port = rig.sim.port();
    rig.sim.stop();
    EXPECT_FALSE(rig.sync());
    ASSERT_NE(rig.device()->isReady(), std::optional<bool>(true));
    EXPECT_EQ(client.ask("VUK:SYST:STEP1:NOT?;:VUK:SYST:ERR?"), told + ";" + kNoError);
    ASSERT_TRUE(rig.sim.start(QStringLiteral("127.0.0.1"), port));
    ASSERT_TRUE(TestSupport::waitUntil(
        "the analyser back", [&] { return rig.sync() && rig.sync(); }, kGuardMs));

    // The link drops in the middle of the next measurement.
    AnalyserSim::Fault drop;
    drop.kind = AnalyserSim::FaultKind::Close;
    drop.header = QStringLiteral("CALC:TRAC:DATA:SDAT?");
    ASSERT_TRUE(rig.sim.addFault(drop));
    client.send("VUK:CALC:STEP1:THRU");
    EXPECT_EQ(client.ask("VUK:SYST:ERR?;:VUK:SYST:STEP1:NOT?"), kNoError + ";0");
    EXPECT_NE(rig.step(0)->getMeasureStatus(), MeasureEnums::MeasureStatus::MEASURED);
}

// Bisection cannot calculate a 1x-reflect: the window and the remote port
// are refused alike, before anything is measured.
TEST_F(CommandsNotices, A1xReflectUnderBisectionIsRefusedWith271AndATextForTheWindow)
{
    Client &client = *rig.client;
    client.run("VUK:SYST:FIXT:RIGHT OFF;:VUK:SYST:CALC:METH BI");
    ASSERT_EQ(client.ask("VUK:SYST:STEP1:TYPE?"), QByteArray("REFLECT"));
    EXPECT_TRUE(rig.setup()->leftReflectUnsupported());
    rig.sim.clearLog();
    EXPECT_EQ(client.errorsOf({"VUK:CALC:STEP1:REF:OPEN"}), (QList<QByteArray>{kInvalidMethod, kNoError}));
    EXPECT_EQ(client.ask("VUK:SYST:STEP1:MEAS?"), QByteArray("0"));
    EXPECT_FALSE(rig.analyserLog().join('\n').contains("SDAT?"));

    // The window's button reaches the same rule in the step.
    auto reflect = std::dynamic_pointer_cast<ReflectionStep>(rig.setup()->steps().at(0));
    ASSERT_TRUE(reflect);
    QSignalSpy errors(rig.backend.get(), &MainQmlBackend::error);
    reflect->measureOpenFromVna();
    ASSERT_TRUE(TestSupport::waitUntil(
        "the refusal's text", [&] { return errors.count() >= 1; }, kGuardMs));
    EXPECT_EQ(errors.at(0).at(0).toString(),
              "The bisection method does not support the 1xReflect setup. It requires a direct connection of two "
              "fixtures: nothing was measured.");
    EXPECT_EQ(reflect->getMeasureStatus(), MeasureEnums::MeasureStatus::NONE);
    EXPECT_FALSE(rig.analyserLog().join('\n').contains("SDAT?"));

    // The reflection offsets of a thru are 1x-reflects of both ends:
    // refused the same way under bisection (the thru measured by time
    // gating keeps its models when the method changes).
    client.run("VUK:SYST:FIXT:RIGHT ON;:VUK:SYST:CALC:METH TIME");
    EXPECT_FALSE(rig.setup()->leftReflectUnsupported());
    ASSERT_EQ(client.ask("VUK:SYST:STEP1:TYPE?"), QByteArray("TRANSMISSION"));
    rig.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, plain));
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU;:VUK:SYST:STEP1:MEAS?"), QByteArray("1"));
    client.run("VUK:SYST:CALC:METH BI;:VUK:SYST:STEP1:THRU:REFOFFS ON");
    const QList<QByteArray> codes = client.errorsOf({"VUK:CALC:STEP1:THRU:REFOFFS:OPEN"});
    EXPECT_EQ(codes, (QList<QByteArray>{kInvalidMethod, kNoError}));
}
