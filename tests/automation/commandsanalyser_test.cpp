// The analyser and program commands end to end: sweep setters and cached
// queries against the simulated analyser, the analyser address, readiness,
// operation complete, the common checks of every command, and the table
// itself.

#include "commandstestrig.h"

#include "automation/commands/commandsfunctions.h"
#include "automation/server/errorcodes.h"

#include <QSet>
#include <QTcpServer>

#include <functional>
#include <utility>
#include <vector>

using namespace CommandsTest;
using Korvel::Automation::CommandTable;
using Korvel::Automation::SocketRemoteControl;

namespace {

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// Every command that needs a ready analyser, with valid arguments: all of
// them but the eight that skip the check, the error query and the step's
// measured query, which answers from the step whatever the link does.
std::vector<QByteArray> readyCommands()
{
    std::vector<QByteArray> commands{
        "VUK:CALC:LP",
        "VUK:CALC:LP:10MHZ",
        "VUK:CALC:STEP1:DUT",
        "VUK:CALC:STEP1:REF:OFFS 1",
        "VUK:CALC:STEP1:REF:OPEN",
        "VUK:CALC:STEP1:REF:SHOR",
        "VUK:CALC:STEP1:THRU",
        "VUK:CALC:STEP1:THRU:OFFS 1,2",
        "VUK:CALC:STEP1:THRU:REFOFFS:OPEN",
        "VUK:CALC:STEP1:THRU:REFOFFS:SHOR",
        "VUK:CALC:ZCON 50",
        "VUK:SENS:BAND 1000",
        "VUK:SENS:BAND?",
        "VUK:SENS:CALIB:TYPE?",
        "VUK:SENS:FREQ:STAR 1E9",
        "VUK:SENS:FREQ:STAR?",
        "VUK:SENS:FREQ:STEP?",
        "VUK:SENS:FREQ:STOP 2E9",
        "VUK:SENS:FREQ:STOP?",
        "VUK:SENS:POW 0",
        "VUK:SENS:POW?",
        "VUK:SENS:PRES",
        "VUK:SENS:SWE:POIN 11",
        "VUK:SENS:SWE:POIN?",
        "VUK:SENS:SWE:TYPE?",
        "VUK:SYST:CALC:METH BI",
        "VUK:SYST:CALC:METH?",
        "VUK:SYST:CORRECT:APPL",
        "VUK:SYST:CORRECT:SAVE 'name'",
        "VUK:SYST:DATA:SAVE 'name'",
        "VUK:SYST:FIXT:CONNECT:DIR ON",
        "VUK:SYST:FIXT:CONNECT:DIR?",
        "VUK:SYST:FIXT:CONNECT:DUT:DIFF ON",
        "VUK:SYST:FIXT:CONNECT:DUT:DIFF?",
        "VUK:SYST:FIXT:CONNECT:LEFT:THRU ON",
        "VUK:SYST:FIXT:CONNECT:LEFT:THRU?",
        "VUK:SYST:FIXT:CONNECT:RIGHT:THRU ON",
        "VUK:SYST:FIXT:CONNECT:RIGHT:THRU?",
        "VUK:SYST:LP:IGN ON",
        "VUK:SYST:LP:IGN?",
        "VUK:SYST:PRES",
        "VUK:SYST:SET:SAVE 'name'",
        "VUK:SYST:STAT:LOAD 'name'",
        "VUK:SYST:STEP:COUN?",
        "VUK:SYST:STEP1:DATA:DEL",
        "VUK:SYST:STEP1:REF:APPR ON",
        "VUK:SYST:STEP1:REF:OFFS ON",
        "VUK:SYST:STEP1:REF:OPEN ON",
        "VUK:SYST:STEP1:REF:SHOR ON",
        "VUK:SYST:STEP1:THRU:OFFS ON",
        "VUK:SYST:STEP1:THRU:REFOFFS ON",
        "VUK:SYST:STEP1:THRU:REFOFFS:OPEN ON",
        "VUK:SYST:STEP1:THRU:REFOFFS:SHOR ON",
        "VUK:SYST:STEP1:TYPE?",
        "VUK:SYST:ZCON:TYPE FIXT",
        "VUK:SYST:ZCON:TYPE?",
    };
    for (const QByteArray &side : {QByteArray("LEFT"), QByteArray("RIGHT")}) {
        const QByteArray fixture = "VUK:SYST:FIXT:" + side;
        commands.push_back(fixture + " ON");
        commands.push_back(fixture + "?");
        commands.push_back(fixture + ":PORT:COUN 1");
        commands.push_back(fixture + ":PORT:COUN?");
        for (const QByteArray &kind : {QByteArray(""), QByteArray(":AUX")}) {
            const QByteArray port = fixture + ":PORT1" + kind;
            commands.push_back(port + " 1");
            commands.push_back(port + "?");
            for (const char *result : {":GAT?", ":GAT:TRAC?", ":IMP?", ":IMP:TRAC?", ":LEN?", ":LEN:TRAC?"})
                commands.push_back(port + result);
        }
    }
    return commands;
}

} // namespace

TEST(CommandTableOfTheProgram, HoldsEveryCommandOnceInMatchingOrder)
{
    CommandTable table;
    ASSERT_TRUE(Korvel::Automation::registerRemoteCommands(nullptr, table));
    EXPECT_EQ(table.count(), Korvel::Automation::kRemoteCommandCount);
    EXPECT_EQ(table.pattern(0), QByteArray("*OPC?"));
    EXPECT_EQ(table.pattern(32), QByteArray("VUK:SYSTem:ERRor?"));
    EXPECT_EQ(table.pattern(86), QByteArray("VUK:SYSTem:STEP:COUNt?"));
    EXPECT_EQ(table.pattern(104), QByteArray("VUK:SYSTem:ZCONversion:TYPE?"));
    EXPECT_EQ(table.pattern(105), QByteArray("VUK:SYSTem:STEP#:NOTices?"));
    EXPECT_TRUE(table.pattern(106).isEmpty());
    QSet<QByteArray> patterns;
    for (std::size_t k = 0; k < 106; ++k)
        patterns.insert(table.pattern(k).toUpper());
    EXPECT_EQ(patterns.size(), 106);
    // Only queries are answered at once on the GUI thread, each with a
    // handler of its own there; every command that acts runs in turn.
    for (std::size_t k = 0; k < 106; ++k) {
        EXPECT_EQ(table.runsAtOnce(k), table.pattern(k).endsWith('?')) << table.pattern(k).toStdString();
        EXPECT_NE(table.guiHandler(k), nullptr) << table.pattern(k).toStdString();
        EXPECT_NE(table.guiHandler(k), table.handler(k)) << table.pattern(k).toStdString();
    }
    // The error texts are built with the table.
    EXPECT_EQ(Korvel::Automation::errorText(282), QStringLiteral("Invalid calibration type"));

    // A second registration would only add shadowed copies.
    EXPECT_FALSE(Korvel::Automation::registerRemoteCommands(nullptr, table));
    EXPECT_EQ(table.count(), 106);
}

TEST(CommandsAnalyser, KeywordsOfSweepAndCalibrationTypes)
{
    using namespace Korvel::Automation::Commands;
    const std::vector<std::pair<SweepType, QString>> sweeps{{SweepType::Linear, "LIN"},
                                                            {SweepType::Logarithmic, "LOG"},
                                                            {SweepType::Segment, "SEGM"},
                                                            {SweepType::Power, "POW"}};
    for (const auto &[type, keyword] : sweeps)
        EXPECT_EQ(sweepTypeKeyword(type), keyword);
    // A value no sweep type has answers nothing (the command fails with 273).
    for (int outside : {-1, 4})
        EXPECT_TRUE(sweepTypeKeyword(static_cast<SweepType>(outside)).isEmpty()) << outside;

    using Type = VNADevice::CalibrationType;
    const std::vector<std::pair<Type, QString>> calibrations{
        {Type::CorrectionOff, "OFF"}, {Type::NoCalibration, "NONE"}, {Type::RespOpen, "RESPO"},
        {Type::RespShort, "RESPS"},   {Type::RespThru, "RESPT"},     {Type::Solt1, "SOLT1"},
        {Type::Solt2, "SOLT2"},       {Type::Solt3, "SOLT3"},        {Type::Solt4, "SOLT4"},
        {Type::OnePath, "1PATH"}};
    for (const auto &[type, keyword] : calibrations)
        EXPECT_EQ(calibrationTypeKeyword(type), keyword);
    // Likewise for calibration types (282).
    for (int outside : {0, 11})
        EXPECT_TRUE(calibrationTypeKeyword(static_cast<Type>(outside)).isEmpty()) << outside;
}

// A setter ends only after the proxy has polled the analyser behind it: a
// value the analyser clamps is read back at once, though the proxy cached
// the value it sent and its periodic poll is an hour away.
TEST(CommandsAnalyser, SettersReachTheAnalyserAndEndAfterAPoll)
{
    Rig rig;
    ASSERT_TRUE(rig.ready());
    using AnalyserSim::ChannelState;
    struct Case
    {
        QByteArray message;
        QByteArray answer;
        std::function<bool(const ChannelState &)> applied;
    };
    const std::vector<Case> cases{
        {"VUK:SENS:BAND 1000;BAND?", "1000", [](const ChannelState &c) { return c.ifBandwidth == 1000.0; }},
        {"VUK:SENS:BAND 5E6;BAND?", "3e+06", [](const ChannelState &c) { return c.ifBandwidth == 3e6; }},
        {"VUK:SENS:FREQ:STAR 1E9;STAR?", "1e+09", [](const ChannelState &c) { return c.start == 1e9; }},
        {"VUK:SENS:FREQ:STOP 5.5E9;STOP?", "5.5e+09", [](const ChannelState &c) { return c.stop == 5.5e9; }},
        {"VUK:SENS:POW -10;POW?", "-10", [](const ChannelState &c) { return c.power == -10.0; }},
        {"VUK:SENS:POW 30;POW?", "20", [](const ChannelState &c) { return c.power == 20.0; }},
        // The int reader truncates.
        {"VUK:SENS:SWE:POIN 101.9;POIN?", "101", [](const ChannelState &c) { return c.points == 101u; }},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(rig.client->ask(c.message), c.answer) << c.message.toStdString();
        EXPECT_TRUE(c.applied(rig.sim.channel(1))) << c.message.toStdString();
    }
    // (5.5 GHz - 1 GHz) / 100 steps.
    EXPECT_EQ(rig.client->ask("VUK:SENS:FREQ:STEP?"), QByteArray("4.5e+07"));

    // A stop below the start changes nothing and is no error.
    rig.client->run("VUK:SENS:FREQ:STOP 1E5");
    EXPECT_EQ(rig.sim.channel(1).stop, 5.5e9);
    EXPECT_EQ(rig.client->ask("VUK:SENS:FREQ:STOP?"), QByteArray("5.5e+09"));

    // The analyser preset, read back by the command's own poll.
    EXPECT_EQ(rig.client->ask("VUK:SENS:PRES;BAND?;:VUK:SENS:SWE:POIN?"), QByteArray("10000;201"));
    EXPECT_EQ(rig.sim.channel(1).ifBandwidth, AnalyserSim::Defaults::ifBandwidth);

    // A negative count would wrap to four billion points: refused, nothing
    // sent.
    rig.sim.clearLog();
    rig.client->run("VUK:SENS:SWE:POIN -5");
    EXPECT_EQ(rig.client->error(), errorAnswer(278, "Invalid sweep points number"));
    EXPECT_EQ(rig.sim.channel(1).points, 201u);
    EXPECT_FALSE(rig.analyserLog().join('\n').contains("POIN"));
    EXPECT_EQ(rig.client->error(), QByteArray("0, No error"));
}

TEST(CommandsAnalyser, CachedTypesAnswerTheirKeywords)
{
    Rig rig;
    ASSERT_TRUE(rig.ready());
    for (const char *type : {"LOG", "SEGM", "POW", "LIN"}) {
        rig.sim.execute(QStringLiteral("SENS1:SWE:TYPE %1").arg(type));
        ASSERT_TRUE(rig.sync());
        EXPECT_EQ(rig.client->ask("VUK:SENS:SWE:TYPE?"), QByteArray(type));
    }
    EXPECT_EQ(rig.client->ask("VUK:SENS:CALIB:TYPE?"), QByteArray("OFF"));
    const std::vector<std::pair<QString, std::vector<unsigned>>> calibrations{
        {"SOLT2", {1, 2}}, {"RESPO", {1}}, {"1PATH", {1, 2}}, {"SOLT4", {1, 2, 3, 4}}};
    for (const auto &[type, ports] : calibrations) {
        ASSERT_TRUE(rig.sim.calibrate(1, type, ports));
        ASSERT_TRUE(rig.sync());
        EXPECT_EQ(rig.client->ask("VUK:SENS:CALIB:TYPE?"), type.toUtf8());
    }
    EXPECT_EQ(rig.client->error(), QByteArray("0, No error"));
}

// The proxy holds no value when the analyser's reply makes no sense; the
// query then queues its code and answers nothing.
TEST(CommandsAnalyser, QueriesWithoutACachedValueQueueTheirCodes)
{
    Rig rig;
    ASSERT_TRUE(rig.sim.calibrate(1, QStringLiteral("SOLT2"), {1, 2}));
    ASSERT_TRUE(rig.ready());
    struct Case
    {
        const char *analyserQuery;
        QByteArray command;
        QByteArray error;
    };
    const std::vector<Case> cases{
        {"SENS:BWID:RES?", "VUK:SENS:BAND?", errorAnswer(274, "Invalid bandwidth")},
        {"SENS:FREQ:STAR?", "VUK:SENS:FREQ:STAR?", errorAnswer(275, "Invalid frequency")},
        {"SENS:FREQ:STAR?", "VUK:SENS:FREQ:STEP?", errorAnswer(276, "Invalid frequency step")},
        {"SENS:FREQ:STOP?", "VUK:SENS:FREQ:STOP?", errorAnswer(275, "Invalid frequency")},
        {"SOUR:POW:LEV:IMM:AMPL?", "VUK:SENS:POW?", errorAnswer(277, "Invalid output power")},
        {"SENS:SWE:POIN?", "VUK:SENS:SWE:POIN?", errorAnswer(278, "Invalid sweep points number")},
        {"SENS:SWE:TYPE?", "VUK:SENS:SWE:TYPE?", errorAnswer(273, "Invalid sweep type")},
        // Read only for a calibrated channel.
        {"SENS:CORR:TYPE?", "VUK:SENS:CALIB:TYPE?", errorAnswer(282, "Invalid calibration type")},
    };
    for (const Case &c : cases) {
        AnalyserSim::Fault fault;
        fault.kind = AnalyserSim::FaultKind::Garbage;
        fault.header = QString::fromLatin1(c.analyserQuery);
        fault.count = -1;
        ASSERT_TRUE(rig.sim.addFault(fault)) << c.analyserQuery;
        rig.sync();
        ASSERT_EQ(rig.device()->isReady(), std::optional<bool>(true));
        rig.client->run(c.command);
        EXPECT_EQ(rig.client->error(), c.error) << c.command.toStdString();
        rig.sim.clearFaults();
        ASSERT_TRUE(rig.sync());
        rig.client->send(c.command);
        EXPECT_FALSE(rig.client->line().isEmpty()) << c.command.toStdString();
    }
    EXPECT_EQ(rig.client->error(), QByteArray("0, No error"));
}

// With no analyser: the commands that need it fail with 240, those that
// point the program at an analyser work, and the next poll after them
// reaches it.
TEST(CommandsAnalyser, WithoutAnalyserOnlyTheAddressAndProgramCommandsRun)
{
    Rig rig;
    ASSERT_TRUE(rig.simStarted && rig.registered && rig.client->connected);
    rig.device()->setPort(closedPort());
    EXPECT_FALSE(rig.sync());
    ASSERT_FALSE(rig.device()->isReady().has_value());

    EXPECT_EQ(rig.client->ask("*OPC?;VUK:SYST:READ?;:VUK:SYST:STEP1:MEAS?"), QByteArray("1;0;0"));
    const std::vector<QByteArray> commands = readyCommands();
    const QList<QByteArray> errors = rig.client->errorsOf(commands);
    ASSERT_EQ(errors.size(), static_cast<int>(commands.size()) + 1);
    for (std::size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(errors.at(int(i)), errorAnswer(240, "Analyzer not ready")) << commands[i].toStdString();
    EXPECT_EQ(errors.last(), QByteArray("0, No error"));
    // File commands with an empty name do nothing at all.
    for (const char *command :
         {"VUK:SYST:CORRECT:SAVE ''", "VUK:SYST:DATA:SAVE \"\"", "VUK:SYST:SET:SAVE ''", "VUK:SYST:STAT:LOAD ''"})
        rig.client->run(command);
    EXPECT_EQ(rig.client->error(), QByteArray("0, No error"));

    rig.client->run("VUK:SYST:VNA:IP '127.0.0.1';:VUK:SYST:VNA:PORT " + QByteArray::number(rig.sim.port()));
    EXPECT_EQ(rig.device()->address(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(rig.device()->port(), rig.sim.port());
    EXPECT_EQ(rig.client->ask("VUK:SYST:VNA:IP?;:VUK:SYST:VNA:PORT?"),
              "127.0.0.1;" + QByteArray::number(rig.sim.port()));
    // Only the proxy's next poll connects.
    rig.client->send("VUK:SENS:BAND?");
    EXPECT_EQ(rig.client->error(), errorAnswer(240, "Analyzer not ready"));
    ASSERT_TRUE(rig.sync());
    EXPECT_EQ(rig.client->ask("VUK:SYST:READ?;:VUK:SENS:BAND?"), QByteArray("1;10000"));
    EXPECT_EQ(rig.client->error(), QByteArray("0, No error"));
}

TEST(CommandsAnalyser, AnalyserAddressCommands)
{
    Rig rig;
    ASSERT_TRUE(rig.simStarted && rig.registered && rig.client->connected);
    // Any text is taken as the address, the empty one too, as UTF-8.
    rig.client->run("VUK:SYST:VNA:IP '10.0.0.7'");
    EXPECT_EQ(rig.client->ask("VUK:SYST:VNA:IP?"), QByteArray("10.0.0.7"));
    rig.client->run("VUK:SYST:VNA:IP ''");
    EXPECT_EQ(rig.device()->address(), QString());
    rig.client->run("VUK:SYST:VNA:IP \"h\xc3\xb6st\"");
    EXPECT_EQ(rig.device()->address(), QStringLiteral("h\u00f6st"));

    rig.client->run("VUK:SYST:VNA:PORT 6000");
    EXPECT_EQ(rig.device()->port(), 6000);
    // Taken modulo 65536 these would name other ports.
    for (const char *port : {"70000", "65536", "-1", "0"}) {
        rig.client->run(QByteArray("VUK:SYST:VNA:PORT ") + port);
        EXPECT_EQ(rig.client->error(), errorAnswer(222, "Data out of range")) << port;
    }
    EXPECT_EQ(rig.client->ask("VUK:SYST:VNA:PORT?"), QByteArray("6000"));
    rig.client->run("VUK:SYST:VNA:PORT 65535");
    EXPECT_EQ(rig.device()->port(), 65535);

    // The default address answers nothing and leaves the settings file alone.
    rig.client->send("VUK:SYST:VNA:DEF");
    EXPECT_EQ(rig.client->ask("VUK:SYST:VNA:IP?;:VUK:SYST:VNA:PORT?"), QByteArray("127.0.0.1;5025"));
    EXPECT_EQ(rig.client->error(), QByteArray("0, No error"));
}

TEST(CommandsAnalyser, ReadinessFollowsTheAnalyser)
{
    Rig rig;
    ASSERT_TRUE(rig.ready());
    EXPECT_EQ(rig.client->ask("VUK:SYST:READ?"), QByteArray("1"));
    rig.sim.setReady(false);
    rig.sync();
    EXPECT_EQ(rig.client->ask("VUK:SYST:READ?;*OPC?"), QByteArray("0;1"));
    rig.client->send("VUK:SENS:BAND?");
    EXPECT_EQ(rig.client->error(), errorAnswer(240, "Analyzer not ready"));
    EXPECT_EQ(rig.client->error(), QByteArray("0, No error"));
    rig.sim.setReady(true);
    ASSERT_TRUE(rig.sync());
    EXPECT_EQ(rig.client->ask("VUK:SYST:READ?"), QByteArray("1"));
}

// A table built without a backend: every command but the error query
// fails with 288, before any other check; a file command with an empty name
// still does nothing.
TEST(CommandsAnalyser, WithoutRootEveryCommandFailsWith288)
{
    CommandTable table;
    ASSERT_TRUE(Korvel::Automation::registerRemoteCommands(nullptr, table));
    SocketRemoteControl server(nullptr, 0, &table);
    Client client(server.serverPort());
    ASSERT_TRUE(client.connected);
    std::vector<QByteArray> commands = readyCommands();
    for (const char *command : {"*OPC?", "VUK:SYST:READ?", "VUK:SYST:VNA:DEF", "VUK:SYST:VNA:IP '1.2.3.4'",
                                "VUK:SYST:VNA:IP?", "VUK:SYST:VNA:PORT 5025", "VUK:SYST:VNA:PORT?"})
        commands.emplace_back(command);
    const QList<QByteArray> errors = client.errorsOf(commands);
    ASSERT_EQ(errors.size(), static_cast<int>(commands.size()) + 1);
    for (std::size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(errors.at(int(i)), errorAnswer(288, "Root application error")) << commands[i].toStdString();
    EXPECT_EQ(errors.last(), QByteArray("0, No error"));
    client.send("VUK:SYST:CORRECT:SAVE ''");
    EXPECT_EQ(client.error(), QByteArray("0, No error"));
}
