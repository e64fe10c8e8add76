// The step and result commands end to end: steps resolved by their suffix,
// measurements on the simulated analyser that end with the command, options
// and offsets, and the computed models of the fixture ports read over the
// wire, against the simulated fixtures and the port objects.

#include "commandstestrig.h"

#include "app/setupvnatable.h"
#include "automation/server/commandhelpers.h"
#include "measurement/dutstep.h"
#include "measurement/measuredfixtureport.h"
#include "measurement/qmlfixtureport.h"
#include "measurement/reflectionstep.h"
#include "measurement/transmissionstep.h"
#include "measurement/vnafixtureconnection.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <functional>
#include <vector>

using namespace CommandsTest;

namespace {

const QByteArray kNoError("0, No error");
const QByteArray kInvalidPortIndex = errorAnswer(221, "Invalid port index");
const QByteArray kInvalidStepIndex = errorAnswer(261, "Invalid step index");
const QByteArray kInvalidStepConnection = errorAnswer(262, "Invalid step connection");
const QByteArray kStepNotMeasured = errorAnswer(263, "Step not measured");
const QByteArray kOffsetNotEnabled = errorAnswer(264, "Offset not enable");
const QByteArray kOpenNotEnabled = errorAnswer(265, "Measure OPEN not enable");
const QByteArray kShortNotEnabled = errorAnswer(266, "Measure SHORT not enable");
const QByteArray kReflectionOffsetNotEnabled = errorAnswer(267, "Reflection offset not enable");
const QByteArray kFixtureNotEnabled = errorAnswer(269, "Fixture not enable");
const QByteArray kConnectionNotEnabled = errorAnswer(270, "Connection not enable");
const QByteArray kLowPassNotEnabled = errorAnswer(279, "Low pass mode not enable");
const QByteArray kLowPassIgnored = errorAnswer(280, "Low pass mode is ignored");
const QByteArray kInvalidImpedance = errorAnswer(284, "Invalid impedance");
const QByteArray kDeleteError = errorAnswer(286, "Delete error");
const QByteArray kHeaderError = errorAnswer(110, "Command header error");

// Each command queues the code given with it.
void expectErrors(Client &client, const std::vector<std::pair<QByteArray, QByteArray>> &cases)
{
    std::vector<QByteArray> commands;
    for (const auto &c : cases)
        commands.push_back(c.first);
    const QList<QByteArray> errors = client.errorsOf(commands);
    ASSERT_EQ(errors.size(), static_cast<int>(cases.size()) + 1);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(errors.at(int(i)), cases[i].second) << cases[i].first.toStdString();
    EXPECT_EQ(errors.last(), kNoError);
}

double number(const QByteArray &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    EXPECT_TRUE(ok) << text.toStdString();
    return value;
}

// A trace answer holds the curve's y values in order, to six digits.
void expectTrace(const QByteArray &answer, const QVector<QPointF> &curve)
{
    ASSERT_FALSE(curve.isEmpty());
    const QList<QByteArray> values = answer.split(',');
    ASSERT_EQ(values.size(), curve.size());
    EXPECT_FALSE(answer.contains(' '));
    for (int i = 0; i < curve.size(); ++i) {
        const double y = curve.at(i).y();
        EXPECT_LE(std::abs(number(values.at(i)) - y), 5e-6 * std::abs(y) + 1e-300) << "point " << i;
    }
}

// The texts a spy on Step::error caught, in order.
QString errorTexts(const QSignalSpy &spy)
{
    QStringList texts;
    for (const QList<QVariant> &arguments : spy)
        texts << arguments.at(0).toString();
    return texts.join(QStringLiteral(" | "));
}

QmlFixturePort *portOf(VNAFixtureConnection *connection, int i)
{
    return connection->getFixturePort(i)->measureData();
}

class CommandsSteps : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The 2x-thru of the simulated fixture between analyser ports 1 and
        // 2, on a harmonic grid.
        rig.setHarmonicGrid(100e6, 200);
        rig.sim.setScene(AnalyserSim::Scene::twoXThru(1, 2, spec));
        ASSERT_TRUE(rig.ready());
    }

    QmlFixturePort *left() const { return portOf(rig.setup()->leftFixtureConn(), 0); }
    QmlFixturePort *right() const { return portOf(rig.setup()->rightFixtureConn(), 0); }

    const AnalyserSim::FixtureSpec spec;
    Rig rig;
};

} // namespace

TEST_F(CommandsSteps, ThruStepMeasuresAndAnswersTheModels)
{
    Client &client = *rig.client;
    EXPECT_EQ(client.ask("VUK:SYST:STEP:COUN?;:VUK:SYST:STEP1:TYPE?;:VUK:SYST:STEP:TYPE?;:VUK:SYST:STEP1:MEAS?"),
              QByteArray("1;TRANSMISSION;TRANSMISSION;0"));
    expectErrors(client, {
                             {"VUK:SYST:FIXT:LEFT:PORT1:LEN?", kStepNotMeasured},
                             {"VUK:SYST:FIXT:LEFT:PORT1:GAT?", kStepNotMeasured},
                             {"VUK:SYST:FIXT:LEFT:PORT1:LEN:TRAC?", kStepNotMeasured},
                             {"VUK:CALC:STEP1:THRU:OFFS 1E-12,2E-12", kStepNotMeasured},
                             {"VUK:SYST:STEP1:THRU:OFFS ON", kStepNotMeasured},
                             {"VUK:SYST:STEP1:THRU:REFOFFS ON", kStepNotMeasured},
                             {"VUK:CALC:STEP1:THRU:REFOFFS:OPEN", kStepNotMeasured},
                             {"VUK:CALC:STEP2:THRU", kInvalidStepIndex},
                             {"VUK:CALC:STEP9:THRU", kInvalidStepIndex},
                             {"VUK:SYST:STEP2:MEAS?", kInvalidStepIndex},
                             {"VUK:CALC:STEP1:DUT", kInvalidStepConnection},
                             {"VUK:CALC:STEP1:REF:OPEN", kInvalidStepConnection},
                             {"VUK:SYST:STEP1:REF:APPR ON", kInvalidStepConnection},
                             {"VUK:SYST:STEP0:TYPE?", kHeaderError},
                         });

    // The command ends when the measurement is over.
    rig.sim.clearLog();
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU;:VUK:SYST:STEP1:MEAS?"), QByteArray("1"));
    EXPECT_TRUE(rig.analyserLog().join('\n').contains(":TRIG:SING"));
    EXPECT_EQ(rig.step(0)->getMeasureStatus(), MeasureEnums::MeasureStatus::MEASURED);

    // Both sides hold the fixture: about twice its line's delay.
    ASSERT_TRUE(left()->length() && right()->length());
    const double leftLength = number(client.ask("VUK:SYST:FIXT:LEFT:PORT1:LEN?"));
    const double rightLength = number(client.ask("VUK:SYST:FIXT:RIGHT:PORT1:LEN?"));
    EXPECT_NEAR(leftLength, 2 * spec.line.delay, 5e-12);
    EXPECT_NEAR(rightLength, 2 * spec.line.delay, 5e-12);
    EXPECT_NEAR(leftLength, *left()->length(), 1e-5 * leftLength);
    EXPECT_NEAR(rightLength, *right()->length(), 1e-5 * rightLength);

    expectTrace(client.ask("VUK:SYST:FIXT:LEFT:PORT1:LEN:TRAC?"), *left()->impulseResponseSeries());
    expectTrace(client.ask("VUK:SYST:FIXT:RIGHT:PORT1:GAT:TRAC?"), *right()->gatingSeries());
    ASSERT_TRUE(left()->gatingValue());
    EXPECT_NEAR(number(client.ask("VUK:SYST:FIXT:LEFT:PORT1:GAT?")), *left()->gatingValue(),
                1e-5 * std::abs(*left()->gatingValue()));
    expectErrors(client, {
                             {"VUK:SYST:FIXT:LEFT:PORT2:LEN?", kInvalidPortIndex},
                             {"VUK:SYST:FIXT:LEFT:PORT1:LENG?", kHeaderError},
                             {"VUK:SYST:FIXT:LEFT:PORT1:AUX:LEN?", kConnectionNotEnabled},
                             {"VUK:SYST:FIXT:RIGHT:PORT1:AUX:GAT:TRAC?", kConnectionNotEnabled},
                             // Offsets need their option, reflect offsets theirs.
                             {"VUK:CALC:STEP1:THRU:OFFS 10,-20", kOffsetNotEnabled},
                             {"VUK:CALC:STEP1:THRU:REFOFFS:OPEN", kReflectionOffsetNotEnabled},
                             {"VUK:SYST:STEP1:THRU:REFOFFS:OPEN ON", kReflectionOffsetNotEnabled},
                             {"VUK:SYST:STEP1:THRU:REFOFFS:SHOR ON", kReflectionOffsetNotEnabled},
                         });

    // The offsets are in place when the command ends: the next query of the
    // same message reads the moved models, also while the step worker is
    // still busy with an earlier job.
    client.run("VUK:SYST:STEP1:THRU:OFFS ON");
    rig.step(0)->worker()->push([] { QThread::msleep(300); });
    const QByteArray moved = client.ask("VUK:CALC:STEP1:THRU:OFFS 10,-20;:VUK:SYST:FIXT:LEFT:PORT1:LEN?;"
                                        ":VUK:SYST:FIXT:RIGHT:PORT1:LEN?");
    EXPECT_EQ(moved, Korvel::Automation::formatDouble(*left()->length()).toUtf8() + ";"
                         + Korvel::Automation::formatDouble(*right()->length()).toUtf8());
    EXPECT_NEAR(*left()->length(), leftLength + 10e-12, 1e-5 * leftLength);
    EXPECT_NEAR(*right()->length(), rightLength - 20e-12, 1e-5 * rightLength);
    auto *thru = static_cast<TransmissionStep *>(rig.step(0));
    EXPECT_EQ(thru->leftOffset(), 10.0);
    EXPECT_EQ(thru->rightOffset(), -20.0);
    EXPECT_TRUE(thru->appliedFixtureOffset());
    EXPECT_TRUE(left()->calibrationState().testFlag(QmlFixturePort::CalibrationState::Offset));

    // The reflect-offset options, once their switch is on.
    client.run("VUK:SYST:STEP1:THRU:REFOFFS ON");
    EXPECT_TRUE(thru->appliedReflectsOffset());
    client.run("VUK:SYST:STEP1:THRU:REFOFFS:OPEN OFF;SHOR ON");
    EXPECT_FALSE(thru->openMeasurementEnable());
    EXPECT_TRUE(thru->shortMeasurementEnable());
    expectErrors(client, {{"VUK:CALC:STEP1:THRU:REFOFFS:OPEN", kOpenNotEnabled}});
    client.run("VUK:SYST:STEP1:THRU:REFOFFS:SHOR OFF");
    expectErrors(client, {{"VUK:CALC:STEP1:THRU:REFOFFS:SHOR", kShortNotEnabled}});

    // Deleting the data leaves an unmeasured step.
    client.run("VUK:SYST:STEP1:DATA:DEL");
    EXPECT_EQ(client.ask("VUK:SYST:STEP1:MEAS?"), QByteArray("0"));
    expectErrors(client, {{"VUK:SYST:FIXT:LEFT:PORT1:LEN?", kStepNotMeasured}});
}

// Measuring failures are the step's texts to the window, not codes.
TEST_F(CommandsSteps, AFailedMeasurementEndsNormallyAndSaysWhyToTheWindow)
{
    QSignalSpy errors(rig.backend.get(), &MainQmlBackend::error);
    AnalyserSim::Fault fault;
    fault.kind = AnalyserSim::FaultKind::Garbage;
    fault.header = QStringLiteral("CALC:TRAC:DATA:SDAT?");
    fault.count = -1;
    ASSERT_TRUE(rig.sim.addFault(fault));
    EXPECT_EQ(rig.client->ask("VUK:CALC:STEP1:THRU;:VUK:SYST:STEP1:MEAS?"), QByteArray("0"));
    EXPECT_EQ(rig.client->error(), kNoError);
    EXPECT_GE(errors.count(), 1);
}

// Runs act once, from inside the local event loop in which a remote
// measurement waits, as soon as the analyser has been told to sweep. The
// sweep is held until then (the analyser's operation-complete query waits).
class DuringTheSweep
{
public:
    DuringTheSweep(Rig &rig, std::function<void()> act) : rig(rig), act(std::move(act))
    {
        rig.sim.clearLog();
        rig.sim.setOpcStalled(true);
        QObject::connect(&poll, &QTimer::timeout, [this] { check(); });
        poll.start(2);
    }
    ~DuringTheSweep() { rig.sim.setOpcStalled(false); }

    bool acted = false;

private:
    void check()
    {
        if (acted || !this->rig.analyserLog().join('\n').contains(":TRIG:SING"))
            return;
        // First: act() serves events, and this must not run inside itself.
        acted = true;
        poll.stop();
        act();
    }

    Rig &rig;
    std::function<void()> act;
    QTimer poll;
};

// While one client's measurement waits for the analyser's sweep, another
// client's queries of the program's own state and of the analyser proxy's
// cache are answered; its command that acts runs after the measurement
// (during it, the busy rule would refuse it with 200).
TEST_F(CommandsSteps, QueriesAnswerWhileAnotherClientsMeasurementWaitsOnTheAnalyser)
{
    Client other(rig.server->serverPort());
    ASSERT_TRUE(other.connected);
    const std::vector<std::pair<QByteArray, QByteArray>> queries = {
        {"VUK:SYST:READ?", "1"},
        {"VUK:SYST:STEP1:MEAS?;:VUK:SYST:STEP:COUN?;:VUK:SYST:STEP1:TYPE?", "0;1;TRANSMISSION"},
        {"VUK:SYST:FIXT:LEFT?;RIGHT?;CONNECT:DIR?", "1;1;1"},
        {"VUK:SYST:FIXT:LEFT:PORT1?;:VUK:SYST:FIXT:RIGHT:PORT:COUN?", "1;1"},
        {"VUK:SYST:CALC:METH?;:VUK:SYST:LP:IGN?", "TIME;0"},
        {"VUK:SENS:SWE:POIN?;:VUK:SENS:FREQ:STAR?", "200;1e+08"},
    };
    DuringTheSweep during(rig, [&] {
        for (const auto &[query, expected] : queries)
            EXPECT_EQ(other.ask(query), expected) << query.toStdString() << " while the measurement waits";
        // A failing query queues its code at once too.
        other.send("VUK:SYST:FIXT:LEFT:PORT1:LEN?");
        EXPECT_EQ(other.ask("VUK:SYST:ERR?;*OPC?"), kStepNotMeasured + ";1");
        other.send("VUK:SYST:FIXT:LEFT:PORT:COUN 1;*OPC?");
        EXPECT_TRUE(other.silentFor(100)) << "a command that acts ran during the measurement";
        EXPECT_EQ(rig.step(0)->getMeasureStatus(), MeasureEnums::MeasureStatus::NONE)
            << "the measurement ended while the queries were asked";
        rig.sim.setOpcStalled(false);
    });
    rig.client->send("VUK:CALC:STEP1:THRU");
    EXPECT_EQ(rig.client->ask("*OPC?"), QByteArray("1"));
    ASSERT_TRUE(during.acted) << "the thru never reached its sweep";
    EXPECT_EQ(other.line(), QByteArray("1"));
    EXPECT_EQ(other.error(), kNoError);
    EXPECT_EQ(rig.client->ask("VUK:SYST:STEP1:MEAS?"), QByteArray("1"));
}

// MEASured? answers from the step whatever the analyser link does: after the
// link has gone, and after it dropped in the middle of a measurement, which
// then failed.
TEST_F(CommandsSteps, MeasuredAnswersFromTheStepWhenTheAnalyserLinkDrops)
{
    Client &client = *rig.client;
    const QByteArray notReady = errorAnswer(240, "Analyzer not ready");
    AnalyserSim::Fault drop;
    drop.kind = AnalyserSim::FaultKind::Close;
    drop.header.clear();
    drop.count = -1;

    client.run("VUK:CALC:STEP1:THRU");
    ASSERT_EQ(client.ask("VUK:SYST:STEP1:MEAS?"), QByteArray("1"));
    // The analyser closes the link instead of answering, and a poll sees it.
    ASSERT_TRUE(rig.sim.addFault(drop));
    EXPECT_FALSE(rig.sync());
    EXPECT_EQ(client.ask("VUK:SYST:READ?;:VUK:SYST:STEP1:MEAS?"), QByteArray("0;1"));
    expectErrors(client, {{"VUK:SYST:STEP:COUN?", notReady}});

    // The link drops in the middle of the next measurement's sweep.
    rig.sim.clearFaults();
    ASSERT_TRUE(rig.sync());
    DuringTheSweep during(rig, [&] {
        ASSERT_TRUE(rig.sim.addFault(drop));
        rig.sim.setOpcStalled(false);
    });
    client.send("VUK:CALC:STEP1:THRU");
    EXPECT_EQ(client.ask("*OPC?"), QByteArray("1"));
    ASSERT_TRUE(during.acted) << "the thru never reached its sweep";
    EXPECT_EQ(client.ask("VUK:SYST:READ?;:VUK:SYST:STEP1:MEAS?"), QByteArray("0;0"));
    EXPECT_EQ(client.error(), kNoError);
}

TEST_F(CommandsSteps, ReflectionStepOptionsMeasurementAndOffset)
{
    Client &client = *rig.client;
    rig.sim.setScene(AnalyserSim::Scene::reflect(1, AnalyserSim::Termination::Open, spec));
    // Only the left fixture: one reflection step on its side.
    client.run("VUK:SYST:FIXT:RIGHT OFF");
    EXPECT_EQ(client.ask("VUK:SYST:STEP:COUN?;:VUK:SYST:STEP1:TYPE?"), QByteArray("1;REFLECT"));
    auto reflect = std::dynamic_pointer_cast<ReflectionStep>(rig.setup()->steps().at(0));
    ASSERT_TRUE(reflect);

    client.run("VUK:SYST:STEP1:REF:APPR OFF");
    EXPECT_FALSE(reflect->useCompensation());
    client.run("VUK:SYST:STEP1:REF:APPR ON;:VUK:SYST:STEP1:REF:OPEN OFF");
    EXPECT_TRUE(reflect->useCompensation());
    EXPECT_FALSE(reflect->openMeasurementEnable());
    expectErrors(client, {
                             {"VUK:CALC:STEP1:REF:OPEN", kOpenNotEnabled},
                             {"VUK:CALC:STEP1:REF:SHOR", kShortNotEnabled},
                             {"VUK:CALC:STEP1:THRU", kInvalidStepConnection},
                             {"VUK:SYST:STEP1:THRU:OFFS ON", kInvalidStepConnection},
                             {"VUK:SYST:STEP1:REF:OFFS ON", kStepNotMeasured},
                             {"VUK:CALC:STEP1:REF:OFFS 5", kStepNotMeasured},
                             {"VUK:SYST:FIXT:RIGHT:PORT1:LEN?", kFixtureNotEnabled},
                         });
    client.run("VUK:SYST:STEP1:REF:OPEN ON");
    EXPECT_TRUE(reflect->openMeasurementEnable());
    client.run("VUK:SYST:STEP1:REF:SHOR ON");
    EXPECT_TRUE(reflect->shortMeasurementEnable());
    client.run("VUK:SYST:STEP1:REF:SHOR OFF");

    // An open alone calculates the side: the open travels the line twice.
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:REF:OPEN;:VUK:SYST:STEP1:MEAS?"), QByteArray("1"));
    ASSERT_TRUE(left()->length());
    const double length = number(client.ask("VUK:SYST:FIXT:LEFT:PORT1:LEN?"));
    EXPECT_NEAR(length, 2 * spec.line.delay, 5e-12);

    expectErrors(client, {{"VUK:CALC:STEP1:REF:OFFS 25", kOffsetNotEnabled}});
    client.run("VUK:SYST:STEP1:REF:OFFS ON");
    EXPECT_TRUE(reflect->appliedFixtureOffset());
    reflect->worker()->push([] { QThread::msleep(300); });
    const double moved = number(client.ask("VUK:CALC:STEP1:REF:OFFS 25;:VUK:SYST:FIXT:LEFT:PORT1:LEN?"));
    EXPECT_NEAR(moved, length + 25e-12, 1e-5 * length);
    EXPECT_EQ(reflect->offset(), 25.0);
    EXPECT_EQ(client.error(), kNoError);
}

TEST_F(CommandsSteps, DutStepIsResolvedAndKeepsItsData)
{
    Client &client = *rig.client;
    client.run("VUK:SYST:FIXT:CONNECT:DUT:DIFF ON");
    EXPECT_EQ(client.ask("VUK:SYST:STEP:COUN?;:VUK:SYST:STEP1:TYPE?;:VUK:SYST:STEP2:TYPE?;:VUK:SYST:STEP2X:TYPE?"),
              QByteArray("2;TRANSMISSION;DUT;DUT"));
    ASSERT_TRUE(std::dynamic_pointer_cast<DutStep>(rig.setup()->steps().at(1)));
    expectErrors(client, {
                             {"VUK:SYST:STEP2:DATA:DEL", kDeleteError},
                             {"VUK:CALC:STEP1:DUT", kInvalidStepConnection},
                             {"VUK:CALC:STEP2:THRU", kInvalidStepConnection},
                             {"VUK:CALC:STEP3:DUT", kInvalidStepIndex},
                         });
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU;:VUK:SYST:STEP1:MEAS?"), QByteArray("1"));
    // The scene has no DUT: the thru alone is between the fixtures. The
    // command runs the step and ends normally.
    rig.sim.clearLog();
    client.run("VUK:CALC:STEP2:DUT");
    EXPECT_TRUE(rig.analyserLog().join('\n').contains(":TRIG:SING"));
    EXPECT_EQ(client.error(), kNoError);
}

TEST_F(CommandsSteps, ImpedanceOnAHarmonicGridUnlessIgnored)
{
    Client &client = *rig.client;
    ASSERT_TRUE(rig.setup()->isLowPassMode());
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU;:VUK:SYST:STEP1:MEAS?"), QByteArray("1"));
    ASSERT_TRUE(left()->impedance());
    // The line of the fixture, as its step response sees it.
    const double impedance = number(client.ask("VUK:SYST:FIXT:LEFT:PORT1:IMP?"));
    EXPECT_NEAR(impedance, *left()->impedance(), 1e-5 * impedance);
    EXPECT_NEAR(impedance, spec.line.z0, 1.0);
    expectTrace(client.ask("VUK:SYST:FIXT:RIGHT:PORT1:IMP:TRAC?"), *right()->stepResponseSeries());

    client.run("VUK:SYST:LP:IGN ON");
    EXPECT_FALSE(rig.backend->getSetupVnaTable()->lowPassCheck());
    expectErrors(client, {
                             {"VUK:SYST:FIXT:LEFT:PORT1:IMP?", kLowPassIgnored},
                             {"VUK:SYST:FIXT:RIGHT:PORT1:IMP:TRAC?", kLowPassIgnored},
                             // The guards come first.
                             {"VUK:SYST:FIXT:LEFT:PORT2:IMP?", kInvalidPortIndex},
                         });
    client.run("VUK:SYST:LP:IGN OFF");

    // Measured, but the sweep is no harmonic grid any more.
    client.run("VUK:SENS:FREQ:STAR 50E6");
    ASSERT_FALSE(rig.setup()->isLowPassMode());
    expectErrors(client, {
                             {"VUK:SYST:FIXT:LEFT:PORT1:IMP?", kLowPassNotEnabled},
                             {"VUK:SYST:FIXT:LEFT:PORT1:IMP:TRAC?", kLowPassNotEnabled},
                         });
    EXPECT_FALSE(client.ask("VUK:SYST:FIXT:LEFT:PORT1:LEN?").isEmpty());
}

// Without an impedance conversion the model holds no impedance.
TEST_F(CommandsSteps, NoImpedanceWithoutConversion)
{
    rig.setups()->setZ0ConversionType(MeasureEnums::Z0Conversion::None);
    QSignalSpy stepErrors(rig.step(0), &Step::error);
    EXPECT_EQ(rig.client->ask("VUK:CALC:STEP1:THRU;:VUK:SYST:STEP1:MEAS?"), QByteArray("1"))
        << "the step's errors: " << errorTexts(stepErrors).toStdString()
        << "; the analyser's log: " << rig.analyserLog().join(QStringLiteral(" | ")).toStdString();
    ASSERT_TRUE(left()->isMeasured());
    ASSERT_FALSE(left()->impedance());
    expectErrors(*rig.client, {{"VUK:SYST:FIXT:LEFT:PORT1:IMP?", kInvalidImpedance}});
}

// While the window's thru measures, the remote commands that would change
// or delete what it uses are refused with 200 and change nothing; queries
// still answer. The thru completes undisturbed.
TEST_F(CommandsSteps, ChangesSentWhileTheWindowsThruMeasuresAreRefused)
{
    Client &client = *rig.client;
    auto *thru = static_cast<TransmissionStep *>(rig.step(0));
    const std::shared_ptr<Step> held = rig.setup()->steps().at(0);
    const QString file = rig.files.filePath(QStringLiteral("setup.sta"));
    const std::vector<QByteArray> commands = {
        "VUK:SYST:PRES",
        "VUK:SYST:STEP1:DATA:DEL",
        "VUK:SYST:STAT:LOAD \"" + file.toUtf8() + "\"",
        "VUK:SYST:CORRECT:APPL",
        "VUK:SYST:SET:SAVE \"" + file.toUtf8() + "\"",
        "VUK:SYST:DATA:SAVE \"" + file.toUtf8() + "\"",
        "VUK:CALC:STEP1:THRU",
        "VUK:SYST:FIXT:LEFT:PORT:COUN 2",
    };

    // The analyser holds the thru's sweep until every command has run.
    rig.sim.clearLog();
    rig.sim.setOpcStalled(true);
    bool sent = false;
    bool released = false;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!sent && rig.analyserLog().join('\n').contains(":TRIG:SING")) {
            sent = true;
            for (const QByteArray &command : commands)
                client.send(command);
            client.send("VUK:SYST:STEP1:MEAS?;*OPC?");
        }
        if (sent && !released && client.socket.canReadLine()) {
            released = true;
            rig.sim.setOpcStalled(false);
        }
    });
    poll.start();
    thru->measureFromVna();
    poll.stop();
    rig.sim.setOpcStalled(false);
    ASSERT_TRUE(sent) << "the thru never reached its sweep";
    EXPECT_TRUE(released) << "the commands had not all run while the thru measured";

    // The query ran during the measurement too.
    EXPECT_EQ(client.line(), QByteArray("0;1"));
    QByteArray query = "VUK:SYST:ERR?";
    for (std::size_t i = 0; i < commands.size(); ++i)
        query += ";ERR?";
    const QList<QByteArray> errors = client.ask(query).split(';');
    ASSERT_EQ(errors.size(), int(commands.size()) + 1);
    for (std::size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(errors.at(int(i)), errorAnswer(200, "Execution error")) << commands[i].toStdString();
    EXPECT_EQ(errors.last(), kNoError);

    EXPECT_EQ(thru->thruMeasured(), MeasureEnums::MeasureStatus::MEASURED);
    EXPECT_EQ(rig.setup()->steps().at(0), held);
    EXPECT_EQ(rig.setup()->leftFixtureConn()->fixture()->portsCount(), 1u);
    EXPECT_FALSE(QFile::exists(file));
    // Once it is over they act again.
    expectErrors(client, {{"VUK:SYST:STEP1:DATA:DEL", kNoError}});
    EXPECT_EQ(client.ask("VUK:SYST:STEP1:MEAS?"), QByteArray("0"));
}

// The reflect offsets of a thru take both standards in turn while their
// switch stays on.
TEST_F(CommandsSteps, ReflectOffsetsTakeOpenThenShortWhileTheirSwitchStaysOn)
{
    Client &client = *rig.client;
    client.run("VUK:CALC:STEP1:THRU");
    ASSERT_EQ(client.ask("VUK:SYST:STEP1:MEAS?"), QByteArray("1"));
    client.run("VUK:SYST:STEP1:THRU:REFOFFS ON;:VUK:SYST:STEP1:THRU:REFOFFS:OPEN ON;SHOR ON");
    auto *thru = static_cast<TransmissionStep *>(rig.step(0));
    ASSERT_EQ(thru->reflectState(), MeasureEnums::FixturePossibleState::OPEN_AND_SHORT);
    rig.sim.setScene(AnalyserSim::Scene::reflect(1, AnalyserSim::Termination::Open, spec));
    expectErrors(client, {{"VUK:CALC:STEP1:THRU:REFOFFS:OPEN", kNoError}});
    EXPECT_TRUE(thru->appliedReflectsOffset());
    rig.sim.setScene(AnalyserSim::Scene::reflect(1, AnalyserSim::Termination::Short, spec));
    expectErrors(client, {{"VUK:CALC:STEP1:THRU:REFOFFS:SHOR", kNoError}});
    EXPECT_TRUE(thru->appliedReflectsOffset());
}
