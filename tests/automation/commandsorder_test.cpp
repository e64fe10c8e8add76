// The order of the program's command table. The parser takes the first
// pattern that matches a header, so the table must hold every command once,
// in its documented order, with no pattern taking a header that a later
// one is meant to match. Every header a pattern accepts (each node short or
// long, any case, a number for each suffix) is run through the real parser
// over a table of the program's patterns whose handlers only tell which
// command they are.

#include "automation/commands/commands.h"
#include "automation/server/automationexception.h"
#include "automation/server/commandtable.h"
#include "automation/server/devicefunctions.h"
#include "automation/server/parameters.h"
#include "automation/server/scpihandler.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Korvel::Automation;

namespace {

// The documented order: position k + 1 is entry k.
const char *const kOrder[] = {
    "*OPC?",
    "VUK:SYSTem:READy?",
    "VUK:CALC:LP",
    "VUK:CALC:LP:10Mhz",
    "VUK:CALCulate:STEP#:DUT",
    "VUK:CALCulate:STEP#:REFlect:OFFSet",
    "VUK:CALCulate:STEP#:REFlect:OPEN",
    "VUK:CALCulate:STEP#:REFlect:SHORt",
    "VUK:CALCulate:STEP#:THRU",
    "VUK:CALCulate:STEP#:THRU:OFFSet",
    "VUK:CALCulate:STEP#:THRU:REFOFFSet:OPEN",
    "VUK:CALCulate:STEP#:THRU:REFOFFSet:SHORt",
    "VUK:CALCulate:ZCONversion",
    "VUK:SENSe:BANDwidth",
    "VUK:SENSe:BANDwidth?",
    "VUK:SENSe:CALIBration:TYPE?",
    "VUK:SENSe:FREQeuncy:STARt",
    "VUK:SENSe:FREQeuncy:STARt?",
    "VUK:SENSe:FREQeuncy:STEP?",
    "VUK:SENSe:FREQeuncy:STOP",
    "VUK:SENSe:FREQeuncy:STOP?",
    "VUK:SENSe:POWer",
    "VUK:SENSe:POWer?",
    "VUK:SENSe:PRESet",
    "VUK:SENSe:SWEep:POINts",
    "VUK:SENSe:SWEep:POINts?",
    "VUK:SENSe:SWEep:TYPE?",
    "VUK:SYSTem:CALCulation:METHod",
    "VUK:SYSTem:CALCulation:METHod?",
    "VUK:SYSTem:CORRECTion:APPLy",
    "VUK:SYSTem:CORRECTion:SAVE",
    "VUK:SYSTem:DATA:SAVE",
    "VUK:SYSTem:ERRor?",
    "VUK:SYSTem:FIXTure:CONNECTion:DIRect",
    "VUK:SYSTem:FIXTure:CONNECTion:DIRect?",
    "VUK:SYSTem:FIXTure:CONNECTion:DUT:DIFFerent",
    "VUK:SYSTem:FIXTure:CONNECTion:DUT:DIFFerent?",
    "VUK:SYSTem:FIXTure:CONNECTion:LEFT:THRU",
    "VUK:SYSTem:FIXTure:CONNECTion:LEFT:THRU?",
    "VUK:SYSTem:FIXTure:CONNECTion:RIGHT:THRU",
    "VUK:SYSTem:FIXTure:CONNECTion:RIGHT:THRU?",
    "VUK:SYSTem:FIXTure:LEFT",
    "VUK:SYSTem:FIXTure:LEFT?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#",
    "VUK:SYSTem:FIXTure:LEFT:PORT#?",
    "VUK:SYSTem:FIXTure:LEFT:PORT:COUNt",
    "VUK:SYSTem:FIXTure:LEFT:PORT:COUNt?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:GATing?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:GATing:TRACe?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:IMPedance?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:IMPedance:TRACe?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:LENgth?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:LENgth:TRACe?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:AUX",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:AUX?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:GATing?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:GATing:TRACe?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:IMPedance?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:IMPedance:TRACe?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:LENgth?",
    "VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:LENgth:TRACe?",
    "VUK:SYSTem:FIXTure:RIGHT",
    "VUK:SYSTem:FIXTure:RIGHT?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT:COUNt",
    "VUK:SYSTem:FIXTure:RIGHT:PORT:COUNt?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:GATing?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:GATing:TRACe?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:IMPedance?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:IMPedance:TRACe?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:LENgth?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:LENgth:TRACe?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:GATing?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:GATing:TRACe?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:IMPedance?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:IMPedance:TRACe?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:LENgth?",
    "VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:LENgth:TRACe?",
    "VUK:SYSTem:LPass:IGNore",
    "VUK:SYSTem:LPass:IGNore?",
    "VUK:SYSTem:PRESet",
    "VUK:SYSTem:SETup:SAVE",
    "VUK:SYSTem:STATe:LOAD",
    "VUK:SYSTem:STEP:COUNt?",
    "VUK:SYSTem:STEP#:DATA:DELete",
    "VUK:SYSTem:STEP#:MEASured?",
    "VUK:SYSTem:STEP#:REFlect:APPRoximation",
    "VUK:SYSTem:STEP#:REFlect:OFFSet",
    "VUK:SYSTem:STEP#:REFlect:OPEN",
    "VUK:SYSTem:STEP#:REFlect:SHORt",
    "VUK:SYSTem:STEP#:THRU:OFFSet",
    "VUK:SYSTem:STEP#:THRU:REFOFFSet",
    "VUK:SYSTem:STEP#:THRU:REFOFFSet:OPEN",
    "VUK:SYSTem:STEP#:THRU:REFOFFSet:SHORt",
    "VUK:SYSTem:STEP#:TYPE?",
    "VUK:SYSTem:VNA:DEFault",
    "VUK:SYSTem:VNA:IP",
    "VUK:SYSTem:VNA:IP?",
    "VUK:SYSTem:VNA:PORT",
    "VUK:SYSTem:VNA:PORT?",
    "VUK:SYSTem:ZCONversion:TYPE",
    "VUK:SYSTem:ZCONversion:TYPE?",
    "VUK:SYSTem:STEP#:NOTices?",
};

// Takes the suffixes the program's handlers take (numbers from 1) and any
// parameters, and tells which command it is by running.
class ProbeHandler : public ScpiHandlerBase
{
public:
    ProbeHandler(int index, std::vector<int> *ran) : index(index), ran(ran) {}

    bool addSuffix(const char *begin, const char *end) override
    {
        NumericIndex suffix;
        return parseNumericIndex(begin, end, suffix);
    }
    bool parseParameters(const char *, const char *) override { return true; }
    void setDeviceFunctions(DeviceFunctions *) override {}
    void reset() override {}
    void invoke() override { ran->push_back(index); }

private:
    int index;
    std::vector<int> *ran;
};

// Every header the pattern accepts, up to the case of its letters: each
// node in its short form (the capitals and digits) or its long form, a
// number for each suffix, in lower case for the odd combinations, and any
// optional part present.
QList<QByteArray> headersOf(const QByteArray &pattern)
{
    const QList<QByteArray> nodes = pattern.split(':');
    QList<QByteArray> headers;
    const int combinations = 1 << nodes.size();
    for (int mask = 0; mask < combinations; ++mask) {
        QByteArray header;
        for (int n = 0; n < nodes.size(); ++n) {
            if (n > 0)
                header += ':';
            for (const char c : nodes[n]) {
                if (c == '[' || c == ']')
                    continue;
                if (c == '#')
                    header += '2';
                else if (c >= 'a' && c <= 'z') {
                    if (mask & (1 << n))
                        header += c;
                } else
                    header += c;
            }
        }
        header = mask % 2 ? header.toLower() : header.toUpper();
        if (!headers.contains(header))
            headers.append(header);
    }
    return headers;
}

// The headers of the patterns that the parser, over a table of these
// patterns in this order, runs as some other command (or as none), each as
// "header runs pattern"; tried counts the headers.
QStringList misroutedHeaders(const QList<QByteArray> &patterns, int &tried)
{
    std::vector<int> ran;
    CommandTable probes;
    for (int k = 0; k < patterns.size(); ++k)
        probes.registerCommand(patterns[k], std::make_unique<ProbeHandler>(k, &ran));
    QStringList misrouted;
    tried = 0;
    for (int k = 0; k < patterns.size(); ++k) {
        for (const QByteArray &header : headersOf(patterns[k])) {
            ++tried;
            ran.clear();
            QByteArray reply;
            DeviceFunctions functions(&reply, nullptr, &probes);
            try {
                functions.ParseMessage(header);
            } catch (const AutomationException &e) {
                misrouted << QStringLiteral("%1 fails with %2").arg(QString::fromLatin1(header)).arg(e.code);
                continue;
            }
            if (ran.size() != 1)
                misrouted << QStringLiteral("%1 runs %2 commands").arg(QString::fromLatin1(header)).arg(ran.size());
            else if (ran.front() != k)
                misrouted << QStringLiteral("%1 runs %2")
                                 .arg(QString::fromLatin1(header), QString::fromLatin1(patterns[ran.front()]));
        }
    }
    return misrouted;
}

} // namespace

TEST(CommandTableOrder, HoldsEveryCommandOnceInTheDocumentedOrder)
{
    CommandTable table;
    ASSERT_TRUE(registerRemoteCommands(nullptr, table));
    constexpr int documented = static_cast<int>(sizeof kOrder / sizeof kOrder[0]);
    ASSERT_EQ(table.count(), kRemoteCommandCount);
    ASSERT_EQ(kRemoteCommandCount, documented);
    QSet<QByteArray> seen;
    for (int k = 0; k < documented; ++k) {
        const QByteArray pattern = table.pattern(static_cast<std::size_t>(k));
        EXPECT_EQ(pattern, QByteArray(kOrder[k])) << "position " << k + 1;
        EXPECT_FALSE(seen.contains(pattern.toUpper())) << "twice: " << pattern.toStdString();
        seen.insert(pattern.toUpper());
    }
    EXPECT_TRUE(table.pattern(static_cast<std::size_t>(documented)).isEmpty());
}

TEST(CommandTableOrder, NoPatternTakesAHeaderOfALaterOne)
{
    CommandTable program;
    ASSERT_TRUE(registerRemoteCommands(nullptr, program));
    QList<QByteArray> patterns;
    for (int k = 0; k < program.count(); ++k)
        patterns.append(program.pattern(static_cast<std::size_t>(k)));
    int tried = 0;
    EXPECT_EQ(misroutedHeaders(patterns, tried), QStringList());
    // Short and long forms of every node of every command were tried.
    EXPECT_GT(tried, 4 * program.count());
}

// The check finds a header taken by an earlier pattern, and passes the same
// patterns in the order that keeps them apart.
TEST(CommandTableOrder, TheCheckFindsAShadowedCommand)
{
    int tried = 0;
    EXPECT_EQ(misroutedHeaders({"VUK:TEST[:OPTional]:NODE?", "VUK:TEST:NODE?"}, tried),
              QStringList(
                  {"VUK:TEST:NODE? runs VUK:TEST[:OPTional]:NODE?", "vuk:test:node? runs VUK:TEST[:OPTional]:NODE?"}));
    EXPECT_EQ(misroutedHeaders({"VUK:TEST:NODE?", "VUK:TEST[:OPTional]:NODE?"}, tried), QStringList());
}
