// The fixture set-up commands end to end: fixture sides and their
// connections, the correction method, port counts and analyser ports, the
// low-pass sweep helpers and the reference impedance, each read back over
// the wire and on the set-up objects.

#include "commandstestrig.h"

#include "app/setupvnatable.h"
#include "measurement/fixture.h"
#include "measurement/vnafixtureconnection.h"

#include <QSignalSpy>

#include <vector>

using namespace CommandsTest;

namespace {

const QByteArray kNoError("0, No error");

struct Expectation
{
    QByteArray message; // a message that answers nothing
    QByteArray query; // then this query
    QByteArray answer; // answers this, or queues this error when it begins with "-"
};

void check(Client &client, const std::vector<Expectation> &steps)
{
    for (const Expectation &e : steps) {
        if (!e.message.isEmpty())
            client.run(e.message);
        if (e.answer.startsWith('-')) {
            client.send(e.query);
            EXPECT_EQ(client.error(), e.answer) << e.query.toStdString() << " after " << e.message.toStdString();
        } else {
            EXPECT_EQ(client.ask(e.query), e.answer) << e.query.toStdString() << " after " << e.message.toStdString();
        }
        EXPECT_EQ(client.error(), kNoError) << e.message.toStdString();
    }
}

const QByteArray kFixtureNotEnabled = errorAnswer(269, "Fixture not enable");
const QByteArray kConnectionNotEnabled = errorAnswer(270, "Connection not enable");
const QByteArray kInvalidPortIndex = errorAnswer(221, "Invalid port index");
const QByteArray kInvalidPortsNumber = errorAnswer(272, "Invalid number of ports");
const QByteArray kInvalidMethod = errorAnswer(271, "Invalid calculation method type");
const QByteArray kLowPassNotEnabled = errorAnswer(279, "Low pass mode not enable");
const QByteArray kLowPassIgnored = errorAnswer(280, "Low pass mode is ignored");
const QByteArray kInvalidZ0 = errorAnswer(281, "Invalid Z0 error");
const QByteArray kDataTypeError = errorAnswer(104, "Data type error");
const QByteArray kHeaderError = errorAnswer(110, "Command header error");

} // namespace

TEST(CommandsFixture, SidesConnectionsAndCorrectionMethod)
{
    Rig rig;
    ASSERT_TRUE(rig.ready());
    VukAlgorithmsSetup *setup = rig.setup();
    check(*rig.client,
          {
              {"", "VUK:SYST:FIXT:LEFT?;RIGHT?;CONNECT:DIR?", "1;1;1"},
              // A loop-back thru excludes the direct one.
              {"VUK:SYST:FIXT:CONNECT:LEFT:THRU ON", "VUK:SYST:FIXT:CONNECT:LEFT:THRU?;:VUK:SYST:FIXT:CONNECT:DIR?",
               "1;0"},
              {"VUK:SYST:FIXT:CONNECT:RIGHT:THRU 1", "VUK:SYST:FIXT:CONNECT:RIGHT:THRU?", "1"},
              // And the direct thru clears both.
              {"VUK:SYST:FIXT:CONNECT:DIR ON",
               "VUK:SYST:FIXT:CONNECT:DIR?;:VUK:SYST:FIXT:CONNECT:LEFT:THRU?;:VUK:SYST:FIXT:CONNECT:RIGHT:THRU?",
               "1;0;0"},
              {"VUK:SYST:FIXT:CONNECT:DUT:DIFF ON", "VUK:SYST:FIXT:CONNECT:DUT:DIFF?", "1"},
              {"VUK:SYST:CALC:METH BISECT", "VUK:SYST:CALC:METH?", "BI"},
              // Not time gating: the set-up drops the DUT connection and refuses it.
              {"", "VUK:SYST:FIXT:CONNECT:DUT:DIFF?", kInvalidMethod},
              {"", "VUK:SYST:FIXT:CONNECT:DUT:DIFF ON", kInvalidMethod},
              {"VUK:SYST:CALC:METH FILTERING", "VUK:SYST:CALC:METH?", "FILTER"},
              {"VUK:SYST:CALC:METH filter", "VUK:SYST:CALC:METH?", "FILTER"},
              {"", "VUK:SYST:CALC:METH FILT", kDataTypeError},
              {"VUK:SYST:CALC:METH TIME", "VUK:SYST:CALC:METH?;:VUK:SYST:FIXT:CONNECT:DUT:DIFF?", "TIME;0"},
              // With only the right fixture.
              {"VUK:SYST:FIXT:LEFT OFF", "VUK:SYST:FIXT:LEFT?", "0"},
              {"", "VUK:SYST:FIXT:CONNECT:DIR?", kFixtureNotEnabled},
              {"", "VUK:SYST:FIXT:CONNECT:DIR ON", kFixtureNotEnabled},
              {"", "VUK:SYST:FIXT:CONNECT:DUT:DIFF?", "0"},
              {"", "VUK:SYST:FIXT:CONN:DUT:DIFF?", kHeaderError},
              {"", "VUK:SYST:FIXT:CONNECT:LEFT:THRU?", kFixtureNotEnabled},
              {"", "VUK:SYST:FIXT:CONNECT:LEFT:THRU ON", kFixtureNotEnabled},
              {"", "VUK:SYST:FIXT:CONNECT:RIGHT:THRU?", "0"},
              {"VUK:SYST:FIXT:RIGHT OFF", "VUK:SYST:FIXT:RIGHT?", "0"},
              {"", "VUK:SYST:FIXT:CONNECT:DUT:DIFF?", kFixtureNotEnabled},
              {"", "VUK:SYST:FIXT:CONNECT:RIGHT:THRU?", kFixtureNotEnabled},
              {"VUK:SYST:FIXT:LEFT ON;RIGHT ON", "VUK:SYST:FIXT:LEFT?;RIGHT?", "1;1"},
          });
    // The answers are the objects' state.
    EXPECT_TRUE(setup->leftFixtureEnabled() && setup->rightFixtureEnabled());
    EXPECT_EQ(rig.setups()->getCorrectionMethod(), MeasureEnums::CorrectionMethod::TIME_GATING);
    EXPECT_EQ(setup->correctionMethod(), Algorithms::CalcMethod::TimeGate);
    EXPECT_FALSE(setup->abDutConnectionEnabled());
}

TEST(CommandsFixture, PortCountsAndAnalyserPorts)
{
    Rig rig; // four analyser ports
    ASSERT_TRUE(rig.ready());
    VukAlgorithmsSetup *setup = rig.setup();
    check(*rig.client, {
                           {"VUK:SYST:FIXT:LEFT:PORT:COUN 2", "VUK:SYST:FIXT:LEFT:PORT:COUN?", "2"},
                           {"VUK:SYST:FIXT:LEFT:PORT2 3", "VUK:SYST:FIXT:LEFT:PORT2?", "3"},
                           // An empty suffix is fixture port 1.
                           {"VUK:SYST:FIXT:LEFT:PORT 4", "VUK:SYST:FIXT:LEFT:PORT1?", "4"},
                           {"", "VUK:SYST:FIXT:LEFT:PORT:COUN 0", kInvalidPortsNumber},
                           {"", "VUK:SYST:FIXT:LEFT:PORT:COUN 5", kInvalidPortsNumber},
                           {"", "VUK:SYST:FIXT:LEFT:PORT:COUN -1", kInvalidPortsNumber},
                           {"", "VUK:SYST:FIXT:LEFT:PORT1 0", kInvalidPortIndex},
                           {"", "VUK:SYST:FIXT:LEFT:PORT1 5", kInvalidPortIndex},
                           {"", "VUK:SYST:FIXT:LEFT:PORT3 1", kInvalidPortIndex},
                           {"", "VUK:SYST:FIXT:LEFT:PORT3?", kInvalidPortIndex},
                           {"", "VUK:SYST:FIXT:LEFT:PORT0?", kHeaderError},
                           // The auxiliary side needs its loop-back thru.
                           {"", "VUK:SYST:FIXT:LEFT:PORT1:AUX 1", kConnectionNotEnabled},
                           {"", "VUK:SYST:FIXT:LEFT:PORT1:AUX?", kConnectionNotEnabled},
                           {"VUK:SYST:FIXT:RIGHT:PORT:COUN 2", "VUK:SYST:FIXT:RIGHT:PORT:COUN?", "2"},
                           {"VUK:SYST:FIXT:RIGHT:PORT1 2", "VUK:SYST:FIXT:RIGHT:PORT1?", "2"},
                           {"", "VUK:SYST:FIXT:RIGHT:PORT2 9", kInvalidPortIndex},
                           {"VUK:SYST:FIXT:CONNECT:RIGHT:THRU ON", "VUK:SYST:FIXT:CONNECT:RIGHT:THRU?", "1"},
                           {"VUK:SYST:FIXT:RIGHT:PORT1:AUX 4", "VUK:SYST:FIXT:RIGHT:PORT1:AUX?", "4"},
                           {"", "VUK:SYST:FIXT:RIGHT:PORT1:AUX 5", kInvalidPortIndex},
                           {"VUK:SYST:FIXT:RIGHT OFF", "VUK:SYST:FIXT:RIGHT:PORT:COUN?", kFixtureNotEnabled},
                           {"", "VUK:SYST:FIXT:RIGHT:PORT:COUN 1", kFixtureNotEnabled},
                           {"", "VUK:SYST:FIXT:RIGHT:PORT1 1", kFixtureNotEnabled},
                           {"", "VUK:SYST:FIXT:RIGHT:PORT1?", kFixtureNotEnabled},
                           {"", "VUK:SYST:FIXT:RIGHT:PORT1:AUX?", kFixtureNotEnabled},
                       });

    // What the set-up holds (0-based analyser ports).
    EXPECT_EQ(setup->leftFixtureConn()->fixture()->portsCount(), 2u);
    EXPECT_EQ(setup->rightFixtureConn()->fixture()->portsCount(), 2u);

    // The attachment lands where the suffix says, and only there.
    rig.client->run("VUK:SYST:FIXT:LEFT:PORT2 1;PORT1 2");
    EXPECT_EQ(setup->leftFixtureConn()->getAttachedVnaPort(0), 1u);
    EXPECT_EQ(setup->leftFixtureConn()->getAttachedVnaPort(1), 0u);
    EXPECT_EQ(rig.client->error(), kNoError);

    // A port count changed by the window shows on the wire.
    QSignalSpy changed(setup->leftFixtureConn()->fixture(), &Fixture::portsCountChanged);
    rig.client->run("VUK:SYST:FIXT:LEFT:PORT:COUN 2");
    EXPECT_EQ(changed.count(), 0);
    rig.client->run("VUK:SYST:FIXT:LEFT:PORT:COUN 1");
    EXPECT_EQ(changed.count(), 1);
    setup->leftFixtureConn()->fixture()->setPortsCount(3);
    EXPECT_EQ(rig.client->ask("VUK:SYST:FIXT:LEFT:PORT:COUN?"), QByteArray("3"));
}

TEST(CommandsFixture, ReferenceImpedanceNeedsAHarmonicGrid)
{
    Rig rig;
    ASSERT_TRUE(rig.ready());
    FixtureSetups *setups = rig.setups();
    ASSERT_FALSE(rig.setup()->isLowPassMode());
    // Outside low-pass mode, whatever the value.
    check(*rig.client, {
                           {"", "VUK:CALC:ZCON 50", kLowPassNotEnabled},
                           {"", "VUK:CALC:ZCON 1001", kLowPassNotEnabled},
                           {"", "VUK:SYST:ZCON:TYPE US", kLowPassNotEnabled},
                           {"", "VUK:SYST:ZCON:TYPE?", kLowPassNotEnabled},
                       });

    // The low-pass helper moves the start to the step: f = stop / points.
    // The command ends after the proxy's poll, so the set-up sees the grid.
    rig.client->run("VUK:CALC:LP");
    EXPECT_NEAR(rig.sim.channel(1).start, AnalyserSim::Defaults::maxFrequency / AnalyserSim::Defaults::points, 1.0);
    EXPECT_TRUE(rig.setup()->isLowPassMode());

    check(*rig.client, {
                           {"VUK:CALC:ZCON 1000", "VUK:SYST:ZCON:TYPE?", "SYST"},
                           {"", "VUK:CALC:ZCON 1001", kInvalidZ0},
                           {"", "VUK:CALC:ZCON 0", kInvalidZ0},
                           {"", "VUK:CALC:ZCON 1E4", kInvalidZ0},
                           {"VUK:SYST:ZCON:TYPE US", "VUK:SYST:ZCON:TYPE?", "US"},
                           {"VUK:SYST:ZCON:TYPE FIXTURE", "VUK:SYST:ZCON:TYPE?", "FIXT"},
                           {"VUK:SYST:ZCON:TYPE syst", "VUK:SYST:ZCON:TYPE?", "SYST"},
                           // No keyword for none.
                           {"", "VUK:SYST:ZCON:TYPE NONE", kDataTypeError},
                       });
    EXPECT_EQ(setups->getUserZ0(), 1000.0);
    EXPECT_EQ(rig.setup()->userZ0(), 1000.0);
    EXPECT_EQ(setups->getZ0ConversionType(), MeasureEnums::Z0Conversion::System);

    // Chosen in the window, none still answers.
    setups->setZ0ConversionType(MeasureEnums::Z0Conversion::None);
    EXPECT_EQ(rig.client->ask("VUK:SYST:ZCON:TYPE?"), QByteArray("NONE"));

    // Ignoring the low-pass requirement switches the commands off.
    rig.client->run("VUK:SYST:LP:IGN ON");
    check(*rig.client, {
                           {"", "VUK:CALC:ZCON 50", kLowPassIgnored},
                           {"", "VUK:CALC:ZCON 5000", kLowPassIgnored},
                           {"", "VUK:SYST:ZCON:TYPE FIXT", kLowPassIgnored},
                           {"", "VUK:SYST:ZCON:TYPE?", kLowPassIgnored},
                       });
    EXPECT_EQ(setups->getUserZ0(), 1000.0);
}

TEST(CommandsFixture, TenMegahertzLowPassGrid)
{
    Rig rig;
    ASSERT_TRUE(rig.ready());
    rig.client->run("VUK:CALC:LP:10MHZ");
    const AnalyserSim::ChannelState channel = rig.sim.channel(1);
    EXPECT_EQ(channel.points, 2000u);
    EXPECT_DOUBLE_EQ(channel.start, 10e6);
    EXPECT_DOUBLE_EQ(channel.stop, 20e9);
    EXPECT_TRUE(rig.setup()->isLowPassMode());
    EXPECT_EQ(rig.client->ask("VUK:SENS:FREQ:STEP?;STAR?"), QByteArray("1e+07;1e+07"));
    // The short form of the node.
    rig.client->run("VUK:CALC:LP:10M");
    EXPECT_EQ(rig.client->error(), kNoError);
}

// The list normally holds a set-up; without one, every command on the first
// set-up reports the set-up index, and the list-wide ones still work.
TEST(CommandsFixtureWithoutSetUps, CommandsOnTheFirstSetUpGive260)
{
    Rig rig;
    ASSERT_TRUE(rig.ready());
    rig.setups()->removeSetup(0);
    ASSERT_EQ(rig.setups()->getCount(), 0);
    const QByteArray invalidSetup = errorAnswer(260, "Invalid setup index");
    const std::vector<QByteArray> commands{
        "VUK:SYST:FIXT:LEFT?",
        "VUK:SYST:FIXT:RIGHT OFF",
        "VUK:SYST:FIXT:CONNECT:DIR?",
        "VUK:SYST:FIXT:LEFT:PORT1 1",
        "VUK:SYST:FIXT:LEFT:PORT:COUN 1",
        "VUK:SYST:ZCON:TYPE?",
        "VUK:CALC:ZCON 50",
        "VUK:SYST:STEP:COUN?",
        "VUK:SYST:STEP1:TYPE?",
        "VUK:CALC:STEP1:THRU",
        "VUK:SYST:FIXT:LEFT:PORT1:LEN?",
        "VUK:SYST:FIXT:RIGHT:PORT1:AUX:GAT?",
    };
    const QList<QByteArray> errors = rig.client->errorsOf(commands);
    ASSERT_EQ(errors.size(), static_cast<int>(commands.size()) + 1);
    for (std::size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(errors.at(int(i)), invalidSetup) << commands[i].toStdString();
    EXPECT_EQ(errors.last(), kNoError);
    check(*rig.client, {{"VUK:SYST:CALC:METH BI", "VUK:SYST:CALC:METH?", "BI"}});
}
