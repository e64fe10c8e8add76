// Cutting messages into commands, completing headers with the retained path
// and matching them against the patterns of a small command table whose
// handlers record what they were called with.

#include "automation/server/automationexception.h"
#include "automation/server/commandtable.h"
#include "automation/server/devicefunctions.h"
#include "automation/server/scpihandler.h"

#include "../support/logcapture.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <vector>

// Readable failure output.
using namespace Korvel::Automation;

namespace {

struct Recorder
{
    QStringList calls;
};

QString num(double value)
{
    return QString::number(value, 'g', 10);
}

void opc(Recorder *, DeviceFunctions *functions)
{
    functions->sendAnswer(QByteArray("1"));
}
void bandSet(Recorder *r, double hz)
{
    r->calls << "BAND " + num(hz);
}
void bandGet(Recorder *r, DeviceFunctions *functions)
{
    r->calls << "BAND?";
    functions->sendAnswer(QStringLiteral("1000"));
}
void startSet(Recorder *r, double hz)
{
    r->calls << "STAR " + num(hz);
}
void startGet(Recorder *r, DeviceFunctions *functions)
{
    r->calls << "STAR?";
    functions->sendAnswer(QStringLiteral("5"));
}
void stopSet(Recorder *r, double hz)
{
    r->calls << "STOP " + num(hz);
}
void errorGet(Recorder *r, DeviceFunctions *functions)
{
    r->calls << "ERR?";
    functions->sendAnswer(QStringLiteral("0, No error"));
}
void stepCount(Recorder *r, DeviceFunctions *functions)
{
    r->calls << "STEP:COUN?";
    functions->sendAnswer(QStringLiteral("3"));
}
void stepType(Recorder *r, DeviceFunctions *functions, NumericIndex n)
{
    r->calls << QStringLiteral("STEP%1:TYPE?").arg(n.value);
    functions->sendAnswer(QStringLiteral("T%1").arg(n.value));
}
void vnaIp(Recorder *r, QByteArray address)
{
    r->calls << "IP " + QString::fromUtf8(address);
}
void leftPort(Recorder *r, NumericIndex n, PortIndex p)
{
    r->calls << QStringLiteral("PORT%1=%2").arg(n.value).arg(p.value);
}
void leftPortLength(Recorder *r, DeviceFunctions *functions, NumericIndex n)
{
    r->calls << QStringLiteral("PORT%1:LEN?").arg(n.value);
    functions->sendAnswer(QStringLiteral("1e-09"));
}
void direct(Recorder *r, DeviceFunctions *functions)
{
    r->calls << "DIR?";
    functions->sendAnswer(QStringLiteral("0"));
}
void thruOffset(Recorder *r, NumericIndex n, double left, double right)
{
    r->calls << QStringLiteral("STEP%1:OFFS %2,%3").arg(n.value).arg(num(left), num(right));
}
void method(Recorder *r, MeasureEnums::CorrectionMethod m)
{
    r->calls << QStringLiteral("METH %1").arg(static_cast<int>(m));
}
void lowPass(Recorder *r)
{
    r->calls << "LP";
}
void lowPass10(Recorder *r)
{
    r->calls << "LP:10MHZ";
}
void optional(Recorder *r, DeviceFunctions *)
{
    r->calls << "NODE?";
}
void fail(Recorder *r, int code)
{
    r->calls << QStringLiteral("FAIL %1").arg(code);
    throw AutomationException(code);
}

// A handler whose suffix reader throws a standard exception.
class ThrowingHandler : public ScpiHandlerBase
{
public:
    bool addSuffix(const char *, const char *) override { throw std::runtime_error("suffix reader broke"); }
    bool parseParameters(const char *, const char *) override { return true; }
    void setDeviceFunctions(DeviceFunctions *) override {}
    void reset() override {}
    void invoke() override {}
};

struct Outcome
{
    QStringList calls;
    QByteArray reply;
    int code = 0;
};

struct Case
{
    const char *message;
    QStringList calls;
    const char *reply;
    int code;
};

class MessageParser : public ::testing::Test
{
public:
    MessageParser()
    {
        using ScpiHandlerCreator::makeHandler;
        add("*OPC?", makeHandler<&opc>(&recorder));
        add("VUK:CALC:LP", makeHandler<&lowPass>(&recorder));
        add("VUK:CALC:LP:10Mhz", makeHandler<&lowPass10>(&recorder));
        add("VUK:CALCulate:STEP#:THRU:OFFSet", makeHandler<&thruOffset>(&recorder));
        add("VUK:SENSe:BANDwidth", makeHandler<&bandSet>(&recorder));
        add("VUK:SENSe:BANDwidth?", makeHandler<&bandGet>(&recorder));
        add("VUK:SENSe:FREQeuncy:STARt", makeHandler<&startSet>(&recorder));
        add("VUK:SENSe:FREQeuncy:STARt?", makeHandler<&startGet>(&recorder));
        add("VUK:SENSe:FREQeuncy:STOP", makeHandler<&stopSet>(&recorder));
        add("VUK:SYSTem:CALCulation:METHod", makeHandler<&method>(&recorder));
        add("VUK:SYSTem:ERRor?", makeHandler<&errorGet>(&recorder));
        add("VUK:SYSTem:FIXTure:CONNECTion:DIRect?", makeHandler<&direct>(&recorder));
        add("VUK:SYSTem:FIXTure:LEFT:PORT#", makeHandler<&leftPort>(&recorder));
        add("VUK:SYSTem:FIXTure:LEFT:PORT#:LENgth?", makeHandler<&leftPortLength>(&recorder));
        add("VUK:SYSTem:STEP:COUNt?", makeHandler<&stepCount>(&recorder));
        add("VUK:SYSTem:STEP#:TYPE?", makeHandler<&stepType>(&recorder));
        add("VUK:SYSTem:VNA:IP", makeHandler<&vnaIp>(&recorder));
        add("VUK:TEST[:OPTional]:NODE?", makeHandler<&optional>(&recorder));
        add("VUK:TEST:FAIL", makeHandler<&fail>(&recorder));
        add("VUK:THROw#", std::make_unique<ThrowingHandler>());
    }

    void add(const char *pattern, std::unique_ptr<ScpiHandlerBase> handler)
    {
        ASSERT_TRUE(table.registerCommand(pattern, std::move(handler))) << pattern;
    }

    Outcome run(const QByteArray &message)
    {
        recorder.calls.clear();
        Outcome outcome;
        DeviceFunctions functions(&outcome.reply, nullptr, &table);
        try {
            functions.ParseMessage(message);
        } catch (const AutomationException &e) {
            outcome.code = e.code;
        }
        outcome.calls = recorder.calls;
        return outcome;
    }

    void expectCases(const std::vector<Case> &cases)
    {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.message);
            const Outcome outcome = run(QByteArray(c.message));
            EXPECT_EQ(outcome.calls, c.calls);
            EXPECT_EQ(outcome.reply, QByteArray(c.reply));
            EXPECT_EQ(outcome.code, c.code);
        }
    }

    Recorder recorder;
    CommandTable table;
};

} // namespace

// Short and long forms, case, suffixes and leftovers.
TEST_F(MessageParser, MatchesShortAndLongFormsIgnoringCase)
{
    expectCases({
        {"VUK:SENS:FREQ:STAR 1", {"STAR 1"}, "", 0},
        {"VUK:SENS:FREQEUNCY:STAR 1", {"STAR 1"}, "", 0},
        {"VUK:SENSE:FREQEUNCY:START 1", {"STAR 1"}, "", 0},
        // A partial long form is neither form.
        {"VUK:SENS:FREQE:STAR 1", {}, "", 110},
        {"VUK:SENS:FREQUENCY:STAR 1", {}, "", 110},
        {"VUK:SENS:FRE:STAR 1", {}, "", 110},
        {"vuk:syst:err?", {"ERR?"}, "0, No error", 0},
        {"Vuk:System:Error?", {"ERR?"}, "0, No error", 0},
        // Leftover header characters.
        {"VUK:SYST:ERR?X", {}, "", 110},
        {"VUK:SYST:ERR", {}, "", 110},
        // The short form of CONNECTion is CONNECT.
        {"VUK:SYST:FIXT:CONNECT:DIR?", {"DIR?"}, "0", 0},
        {"VUK:SYST:FIXT:CONN:DIR?", {}, "", 110},
        {"VUK:SYST:FIXT:LEFT:PORT1:LEN?", {"PORT0:LEN?"}, "1e-09", 0},
        {"VUK:SYST:FIXT:LEFT:PORT1:LENG?", {}, "", 110},
        // Digits and mixed-case long forms.
        {"VUK:CALC:LP", {"LP"}, "", 0},
        {"VUK:CALC:LP:10M", {"LP:10MHZ"}, "", 0},
        {"VUK:CALC:LP:10mhz", {"LP:10MHZ"}, "", 0},
        {"VUK:CALC:LP:10MH", {}, "", 110},
        {"VUK:CALCULATE:LP", {}, "", 110},
        {":VUK:SYST:ERR?", {"ERR?"}, "0, No error", 0},
    });
}

TEST_F(MessageParser, ReadsNumericSuffixes)
{
    expectCases({
        {"VUK:SYST:STEP:TYPE?", {"STEP0:TYPE?"}, "T0", 0},
        {"VUK:SYST:STEP1:TYPE?", {"STEP0:TYPE?"}, "T0", 0},
        {"VUK:SYST:STEP2X:TYPE?", {"STEP1:TYPE?"}, "T1", 0},
        {"VUK:SYST:STEP007:TYPE?", {"STEP6:TYPE?"}, "T6", 0},
        {"VUK:SYST:STEP0:TYPE?", {}, "", 110},
        {"VUK:SYST:STEPX:TYPE?", {}, "", 110},
        // Registered first, so STEP:COUNT? is not step 1.
        {"VUK:SYST:STEP:COUN?", {"STEP:COUN?"}, "3", 0},
        {"VUK:SYST:STEP:COUNT?", {"STEP:COUN?"}, "3", 0},
        {"VUK:SYST:FIXT:LEFT:PORT2 3", {"PORT1=2"}, "", 0},
        {"VUK:SYST:FIXT:LEFT:PORT 1", {"PORT0=0"}, "", 0},
        {"VUK:CALC:STEP2:THRU:OFFS 1E-12,2E-12", {"STEP1:OFFS 1e-12,2e-12"}, "", 0},
    });
}

// A handler that matched and failed later, or matched a pattern whose rest
// did not, keeps nothing for the next command.
TEST_F(MessageParser, HandlersAreResetBetweenCommands)
{
    expectCases({
        // PORT# takes the suffix first, then fails on ":LEN?".
        {"VUK:SYST:FIXT:LEFT:PORT2:LEN?;:VUK:SYST:FIXT:LEFT:PORT2 3", {"PORT1:LEN?", "PORT1=2"}, "1e-09", 0},
        {"VUK:SYST:STEP3:TYPE?;:VUK:SYST:STEP:TYPE?", {"STEP2:TYPE?", "STEP0:TYPE?"}, "T2;T0", 0},
        {"VUK:SYST:FIXT:LEFT:PORT2 x;:VUK:SYST:FIXT:LEFT:PORT 3", {}, "", 104},
    });
    // After the failures above the same handlers still work.
    const Outcome outcome = run("VUK:SYST:FIXT:LEFT:PORT 3;PORT4 1;PORT1:LEN?");
    EXPECT_EQ(outcome.calls, (QStringList{"PORT0=2", "PORT3=0", "PORT0:LEN?"}));
    EXPECT_EQ(outcome.code, 0);
}

TEST_F(MessageParser, CompletesRelativeHeadersWithTheRetainedPath)
{
    expectCases({
        {"VUK:SENS:FREQ:STAR 1E9;STOP 2E9", {"STAR 1000000000", "STOP 2000000000"}, "", 0},
        // The full path without a leading ":" is put under the path.
        {"VUK:SENS:FREQ:STAR 1E9;VUK:SENS:FREQ:STOP 2E9", {"STAR 1000000000"}, "", 110},
        {"VUK:SENS:FREQ:STAR 1E9;:VUK:SENS:FREQ:STOP 2E9", {"STAR 1000000000", "STOP 2000000000"}, "", 0},
        // A relative command keeps the path: STOP and then STAR? both under FREQ.
        {"VUK:SENS:FREQ:STAR 1;STOP 2;STAR?", {"STAR 1", "STOP 2", "STAR?"}, "5", 0},
        // A common command ignores the path and leaves it unchanged.
        {"VUK:SENS:BAND 1000;*OPC?;BAND?", {"BAND 1000", "BAND?"}, "1;1000", 0},
        {"*OPC?;VUK:SENS:BAND?", {"BAND?"}, "1;1000", 0},
        // The path never carries over to a header one level up.
        {"VUK:SENS:FREQ:STAR 1;BAND?", {"STAR 1"}, "", 110},
        {"VUK:SENS:FREQ:STAR 1;:VUK:SENS:BAND?", {"STAR 1", "BAND?"}, "1000", 0},
        // A header without ":" retains an empty path.
        {"*OPC?;*OPC?", {}, "1;1", 0},
        {"VUK:SYST:FIXT:LEFT:PORT2 3;PORT1:LEN?", {"PORT1=2", "PORT0:LEN?"}, "1e-09", 0},
    });
}

// The path is per message: the first command of every message is absolute.
TEST_F(MessageParser, NoPathCarriesOverBetweenMessages)
{
    EXPECT_EQ(run("VUK:SENS:FREQ:STAR 1").code, 0);
    EXPECT_EQ(run("STOP 2").code, 110);
}

TEST_F(MessageParser, SplitsOnSemicolonsOutsideQuotes)
{
    expectCases({
        {"VUK:SYST:VNA:IP \"a;b\"", {"IP a;b"}, "", 0},
        {"VUK:SYST:VNA:IP 'say \"hi\";x';*OPC?", {"IP say \"hi\";x"}, "1", 0},
        {"VUK:SYST:VNA:IP \"it's\";*OPC?", {"IP it's"}, "1", 0},
        // An unclosed quote runs to the end of the message.
        {"VUK:SYST:VNA:IP \"abc;*OPC?", {}, "", 104},
        // A header glued to its quoted parameter.
        {"VUK:SYST:VNA:IP\"1.2.3.4\"", {}, "", 110},
        {"VUK:SYST:VNA:IP \"\"", {"IP "}, "", 0},
        {"*OPC?;;  ;*OPC?;", {}, "1;1", 0},
    });
}

TEST_F(MessageParser, BlankAndEmptyMessagesRunNothing)
{
    for (const char *message : {"", ";", " ; ;;\t;", "   ", "\r", "\t\r\n"}) {
        SCOPED_TRACE(message);
        const Outcome outcome = run(message);
        EXPECT_TRUE(outcome.calls.isEmpty());
        EXPECT_TRUE(outcome.reply.isEmpty());
        EXPECT_EQ(outcome.code, 0);
    }
}

TEST_F(MessageParser, WrongParametersGive104AndUnknownHeaders110)
{
    expectCases({
        {"VUK:SENS:BAND abc", {}, "", 104},
        {"VUK:SENS:BAND", {}, "", 104},
        {"VUK:SENS:BAND 1,2", {}, "", 104},
        {"VUK:SENS:BAND 1,", {}, "", 104},
        {"VUK:SENS:BAND 1GHZ", {}, "", 104},
        {"VUK:SENS:BAND? 5", {}, "", 104},
        {"VUK:SENS:BAND 1e44", {}, "", 104},
        {"VUK:CALC:STEP1:THRU:OFFS 1 2", {}, "", 104},
        {"VUK:CALC:STEP1:THRU:OFFS 1,2,", {}, "", 104},
        {"VUK:SYST:CALC:METH FILTERING", {"METH 2"}, "", 0},
        {"VUK:SYST:CALC:METH filter", {"METH 2"}, "", 0},
        {"VUK:SYST:CALC:METH FILT", {}, "", 104},
        {"VUK:BOGUS", {}, "", 110},
        {"VUK:BOGUS 1", {}, "", 110},
        {"?", {}, "", 110},
        {":", {}, "", 110},
        // Blanks and a carriage return around the parameters.
        {"VUK:SENS:BAND   1.5E3  \r", {"BAND 1500"}, "", 0},
        {"VUK:SENS:BAND?\r", {"BAND?"}, "1000", 0},
    });
}

// The first failure stops the message; what ran before it stays.
TEST_F(MessageParser, FirstFailureStopsTheMessage)
{
    expectCases({
        {"*OPC?;VUK:BOGUS;*OPC?", {}, "1", 110},
        {"VUK:SENS:BAND 10;BAND x;BAND 20", {"BAND 10"}, "", 104},
        {"*OPC?;VUK:TEST:FAIL 263;*OPC?", {"FAIL 263"}, "1", 263},
        {"VUK:TEST:FAIL 221;VUK:SYST:ERR?", {"FAIL 221"}, "", 221},
    });
    // The failed handler was reset on the way out.
    EXPECT_EQ(run("VUK:TEST:FAIL 5").calls, (QStringList{"FAIL 5"}));
}

TEST_F(MessageParser, OptionalPartsInBrackets)
{
    expectCases({
        {"VUK:TEST:NODE?", {"NODE?"}, "", 0},
        {"VUK:TEST:OPT:NODE?", {"NODE?"}, "", 0},
        {"VUK:TEST:OPTIONAL:NODE?", {"NODE?"}, "", 0},
        {"VUK:TEST:OPTI:NODE?", {}, "", 110},
        {"VUK:TEST:NODE", {}, "", 110},
    });
}

TEST_F(MessageParser, AnExceptionWhileMatchingCountsAsHeaderError)
{
    LogCapture log;
    const Outcome outcome = run("VUK:THRO1");
    EXPECT_EQ(outcome.code, 110);
    EXPECT_TRUE(log.contains("suffix reader broke"));
    // The search went on past the broken pattern for a later header.
    EXPECT_EQ(run("*OPC?;VUK:THROW2;*OPC?").reply, QByteArray("1"));
}

// A NUL ends the message like the end of its text.
TEST_F(MessageParser, NulEndsTheMessage)
{
    const Outcome outcome = run(QByteArray("VUK:SENS:BAND 1\0;VUK:SENS:BAND 2", 33));
    EXPECT_EQ(outcome.calls, (QStringList{"BAND 1"}));
    EXPECT_EQ(outcome.code, 0);
}

// Arbitrary bytes never crash the parser and only ever give parse codes.
TEST_F(MessageParser, SurvivesArbitraryBytes)
{
    QRandomGenerator random(20240611);
    const QByteArray alphabet("VUK:SYST:STEP#TYPE?*OPC;\"' ,.0123456789eE+-#HQB[]\t\r\x01\x80\xff");
    for (int i = 0; i < 5000; ++i) {
        QByteArray message;
        const int length = static_cast<int>(random.bounded(80));
        for (int j = 0; j < length; ++j) {
            if (random.bounded(4) == 0)
                message.append(static_cast<char>(random.bounded(256)));
            else
                message.append(alphabet.at(static_cast<int>(random.bounded(alphabet.size()))));
        }
        // Half of them start from a valid header.
        if (i % 2)
            message.prepend("VUK:SYST:STEP2:TYPE?;");
        const Outcome outcome = run(message);
        EXPECT_TRUE(outcome.code == 0 || outcome.code == 104 || outcome.code == 110)
            << outcome.code << " for " << message.toHex().constData();
    }
}

TEST(CommandTableTest, RefusesEmptyPatternsMissingHandlersAndOverflow)
{
    LogCapture log;
    CommandTable table;
    EXPECT_FALSE(table.registerCommand("", std::make_unique<ThrowingHandler>()));
    EXPECT_FALSE(table.registerCommand("VUK:A", nullptr));
    EXPECT_EQ(table.count(), 0);
    EXPECT_TRUE(table.pattern(0).isEmpty());
    for (std::size_t i = 0; i < CommandTable::maxCommands; ++i)
        ASSERT_TRUE(
            table.registerCommand("VUK:N" + QByteArray::number(qulonglong(i)), std::make_unique<ThrowingHandler>()));
    EXPECT_EQ(table.count(), static_cast<qint64>(CommandTable::maxCommands));
    EXPECT_FALSE(table.registerCommand("VUK:MORE", std::make_unique<ThrowingHandler>()));
    // The table still ends with an empty pattern.
    EXPECT_TRUE(table.pattern(CommandTable::maxCommands).isEmpty());
    EXPECT_EQ(table.pattern(CommandTable::maxCommands - 1), QByteArray("VUK:N999"));
    EXPECT_TRUE(log.contains("not registered"));
}
