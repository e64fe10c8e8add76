// The backend action commands end to end: the file actions reach the
// backend with the whole name and report through its texts, an empty name
// does nothing, the program preset leaves the analyser alone, and the
// low-pass switch is the setup table's.

#include "commandstestrig.h"

#include "algorithms/messages.h"
#include "app/setupvnatable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include <utility>
#include <vector>

using namespace CommandsTest;

namespace {

const QByteArray kNoError("0, No error");

// The texts the backend sent to the window since the spy began.
QStringList texts(const QSignalSpy &spy)
{
    QStringList result;
    for (const QList<QVariant> &arguments : spy)
        result << arguments.at(0).toString();
    return result;
}

QByteArray quoted(const QString &text)
{
    return "'" + text.toUtf8() + "'";
}

class CommandsBackend : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rig.setHarmonicGrid(100e6, 200);
        ASSERT_TRUE(rig.ready());
    }

    QString path(const QString &name) const { return QDir(rig.files.path()).filePath(name); }

    Rig rig;
    QSignalSpy errors{rig.backend.get(), &MainQmlBackend::error};
    QSignalSpy messages{rig.backend.get(), &MainQmlBackend::message};
};

} // namespace

TEST_F(CommandsBackend, SetupIsSavedToAndRecalledFromTheAnalyserStateFile)
{
    Client &client = *rig.client;
    const QString file = path("setup.sta");
    client.run("VUK:SYST:FIXT:LEFT OFF");
    rig.sim.clearLog();
    client.run("VUK:SYST:SET:SAVE " + quoted(path("setup")));
    EXPECT_TRUE(texts(errors).isEmpty()) << texts(errors).join('\n').toStdString();
    EXPECT_EQ(texts(messages), QStringList{QStringLiteral("Save setup was performed: ") + file});
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(rig.analyserLog().filter(QStringLiteral("MMEMory:STORe:STATe")).size() == 1)
        << rig.analyserLog().join('\n').toStdString();

    client.run("VUK:SYST:FIXT:LEFT ON");
    ASSERT_TRUE(rig.setup()->leftFixtureEnabled());
    client.run("VUK:SYST:STAT:LOAD " + quoted(file));
    EXPECT_TRUE(texts(errors).isEmpty()) << texts(errors).join('\n').toStdString();
    EXPECT_EQ(texts(messages).last(), QStringLiteral("Recall setup was performed: ") + file);
    EXPECT_EQ(client.ask("VUK:SYST:FIXT:LEFT?"), QByteArray("0"));
    EXPECT_EQ(client.error(), kNoError);
}

// A ";" inside the quotes belongs to the name, which the backend gets whole
// and refuses with its own text; the command itself queues nothing.
TEST_F(CommandsBackend, TheWholeQuotedNameReachesTheBackend)
{
    Client &client = *rig.client;
    const QString name = path("a;b");
    client.run("VUK:SYST:SET:SAVE \"" + name.toUtf8() + "\"");
    EXPECT_EQ(texts(errors), QStringList{QStringLiteral("Cannot save setup. The file name contains a line break or "
                                                        "';', which VNA cannot take: ")
                                         + name + ".sta"});
    EXPECT_TRUE(texts(messages).isEmpty());
    EXPECT_EQ(client.error(), kNoError);

    // Nothing calculated yet: the correction and raw-data actions each say
    // so once, and nothing succeeds.
    errors.clear();
    client.run("VUK:SYST:CORRECT:SAVE " + quoted(path("fixture")));
    client.run("VUK:SYST:DATA:SAVE " + quoted(path("raw")));
    client.run("VUK:SYST:CORRECT:APPL");
    const QString none = Algorithms::Messages::noCalculatedData;
    EXPECT_EQ(texts(errors), (QStringList{none, none, none})) << texts(errors).join('|').toStdString();
    EXPECT_TRUE(texts(messages).isEmpty());
    EXPECT_TRUE(QDir(rig.files.path()).entryList({"fixture*", "raw*"}).isEmpty());
    EXPECT_EQ(client.error(), kNoError);
}

// A refused recall is shown in the window with its reason and ends the
// command with the code of its cause; *OPC? answers behind it whatever the
// file was, a huge one-line file included (which a recall once read
// without end).
TEST_F(CommandsBackend, ARefusedRecallTellsTheWindowAndQueuesTheCodeOfItsCause)
{
    Client &client = *rig.client;
    const QString prefix = Algorithms::Messages::cannotRecallStateFile;
    const QString missing = path("missing.sta");

    // 512 MiB of NUL bytes and no line break (a sparse file).
    const QString huge = path("huge.sta");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(512) << 20));
    }
    const QString touchstone = path("model.s1p");
    const QString tooManyPorts = path("ports.sta");
    for (const auto &[name, content] :
         {std::pair{touchstone, QByteArray("# Hz S RI R 50\n1 0 0\n")},
          std::pair{tooManyPorts, QByteArray("[VUK\\Settings]\nSetupCount=1\n\n[VUK\\SetupsInfo]\n"
                                             "MinimumRequiredPortCount=64\n")}}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }

    struct Case
    {
        QString file;
        QByteArray code;
        QString text;
    };
    const std::vector<Case> cases = {
        {missing, errorAnswer(256, "File name not found"), prefix + missing},
        {huge, errorAnswer(200, "Execution error"), prefix + huge + ". The file holds no setup sections"},
        {touchstone, errorAnswer(200, "Execution error"), prefix + touchstone + ". The file holds no setup sections"},
        {tooManyPorts, errorAnswer(272, "Invalid number of ports"), Algorithms::Messages::notEnoughPorts},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        errors.clear();
        client.run("VUK:SYST:STAT:LOAD " + quoted(c.file));
        EXPECT_EQ(texts(errors), QStringList{c.text});
        EXPECT_EQ(client.error(), c.code);
        EXPECT_EQ(client.error(), kNoError);
    }
    EXPECT_TRUE(texts(messages).isEmpty()) << texts(messages).join('\n').toStdString();
    EXPECT_TRUE(rig.setup()->leftFixtureEnabled());
}

TEST_F(CommandsBackend, AnEmptyNameDoesNothingAtAll)
{
    Client &client = *rig.client;
    rig.sim.clearLog();
    for (const char *command :
         {"VUK:SYST:CORRECT:SAVE ''", "VUK:SYST:DATA:SAVE \"\"", "VUK:SYST:SET:SAVE ''", "VUK:SYST:STAT:LOAD ''"})
        client.run(command);
    EXPECT_TRUE(texts(errors).isEmpty());
    EXPECT_TRUE(texts(messages).isEmpty());
    EXPECT_TRUE(rig.analyserLog().filter(QStringLiteral("MMEM")).isEmpty());
    EXPECT_EQ(client.error(), kNoError);
}

TEST_F(CommandsBackend, CorrectionsOfAMeasuredSetUp)
{
    Client &client = *rig.client;
    EXPECT_EQ(client.ask("VUK:CALC:STEP1:THRU;:VUK:SYST:STEP1:MEAS?"), QByteArray("1"));

    const QString base = path("fixture-");
    client.run("VUK:SYST:CORRECT:SAVE " + quoted(base));
    EXPECT_TRUE(texts(errors).isEmpty()) << texts(errors).join('\n').toStdString();
    EXPECT_EQ(texts(messages).last(), QStringLiteral("Save correction files was performed: ") + base);
    // One file per fixture port, named after its analyser port.
    EXPECT_TRUE(QFileInfo::exists(base + "1.s2p"));
    EXPECT_TRUE(QFileInfo::exists(base + "2.s2p"));

    client.run("VUK:SYST:DATA:SAVE " + quoted(path("raw")));
    EXPECT_TRUE(texts(errors).isEmpty()) << texts(errors).join('\n').toStdString();
    EXPECT_TRUE(texts(messages).last().startsWith(QStringLiteral("Save the raw data files was performed:")));
    EXPECT_TRUE(texts(messages).last().endsWith(path("raw")));

    client.run("VUK:SYST:CORRECT:APPL");
    EXPECT_TRUE(texts(errors).isEmpty()) << texts(errors).join('\n').toStdString();
    EXPECT_EQ(texts(messages).last(), QStringLiteral("Correction was applied"));
    const AnalyserSim::ChannelState channel = rig.sim.channel(1);
    EXPECT_TRUE(channel.fixtureSimulator);
    EXPECT_TRUE(channel.deembedding);
    ASSERT_GE(channel.deembedPorts.size(), 2u);
    EXPECT_TRUE(channel.deembedPorts[0].loaded && channel.deembedPorts[1].loaded);
    EXPECT_EQ(client.error(), kNoError);
}

// The program's preset brings the set-ups back to their defaults and
// leaves the analyser's sweep as it is.
TEST_F(CommandsBackend, ProgramPresetLeavesTheAnalyserAlone)
{
    Client &client = *rig.client;
    QSignalSpy presetGui(rig.backend.get(), &MainQmlBackend::presetGui);
    client.run("VUK:SENS:BAND 1000");
    client.run("VUK:SYST:FIXT:CONNECT:DUT:DIFF ON");
    ASSERT_EQ(client.ask("VUK:SYST:STEP:COUN?"), QByteArray("2"));
    rig.sim.clearLog();
    EXPECT_EQ(client.ask("VUK:SYST:PRES;:VUK:SYST:STEP:COUN?;:VUK:SYST:FIXT:CONNECT:DUT:DIFF?"), QByteArray("1;0"));
    EXPECT_EQ(presetGui.count(), 1);
    EXPECT_EQ(texts(messages), QStringList{QStringLiteral("Plug-in preset was performed")});
    EXPECT_TRUE(rig.analyserLog().filter(QStringLiteral("PRES"), Qt::CaseInsensitive).isEmpty());
    EXPECT_EQ(rig.sim.channel(1).ifBandwidth, 1000.0);
}

TEST_F(CommandsBackend, LowPassRequirementCanBeIgnored)
{
    Client &client = *rig.client;
    SetupVnaTableModel *table = rig.backend->getSetupVnaTable();
    ASSERT_TRUE(table->lowPassCheck());
    EXPECT_EQ(client.ask("VUK:SYST:LP:IGN?"), QByteArray("0"));
    client.run("VUK:SYST:LP:IGN ON");
    EXPECT_FALSE(table->lowPassCheck());
    EXPECT_EQ(client.ask("VUK:SYST:LPASS:IGNORE?"), QByteArray("1"));
    // The harmonic grid no longer counts for the impedance commands.
    client.send("VUK:CALC:ZCON 50");
    EXPECT_EQ(client.error(), errorAnswer(280, "Low pass mode is ignored"));
    // A partial long form is no form.
    client.send("VUK:SYST:LPAS:IGN OFF");
    EXPECT_EQ(client.error(), errorAnswer(110, "Command header error"));
    EXPECT_FALSE(table->lowPassCheck());
    client.run("VUK:SYST:LP:IGN 0");
    EXPECT_TRUE(table->lowPassCheck());
    // The window's switch shows on the wire.
    table->setLowPassCheck(false);
    EXPECT_EQ(client.ask("VUK:SYST:LP:IGN?"), QByteArray("1"));
    EXPECT_EQ(client.error(), kNoError);
}
