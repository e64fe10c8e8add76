#include "automation/commands/commands.h"

#include "automation/commands/commandsfunctions.h"
#include "automation/commands/commandslogging.h"
#include "automation/server/commandtable.h"
#include "automation/server/errorcodes.h"
#include "automation/server/scpihandler.h"

#include <QDebug>

namespace Korvel {
namespace Automation {

// A plain table, one registration per command in the order the matcher
// tries them; splitting it would only scatter the order.
// NOLINTNEXTLINE(readability-function-size)
bool registerRemoteCommands(MainQmlBackend *root, CommandTable &table)
{
    buildErrorMessages();
    if (table.count() != 0) {
        qCCritical(lcCommands) << "Remote commands not registered: the command table already holds" << table.count()
                               << "commands";
        return false;
    }

    using namespace Commands;
    using ScpiHandlerCreator::makeHandler;
    constexpr Side L = Side::Left;
    constexpr Side R = Side::Right;
    constexpr Kind Main = Kind::Main;
    constexpr Kind Aux = Kind::Aux;

    bool ok = true;
    // Commands that act: one message at a time across all connections.
    const auto add = [&](const char *pattern, std::unique_ptr<ScpiHandlerBase> handler) {
        ok = table.registerCommand(QByteArray(pattern), std::move(handler)) && ok;
    };
    // Queries: each reads what the program keeps (its own state and the
    // analyser proxy's cache) on the GUI thread and never waits, so a
    // message of queries is answered at once, even while another
    // connection's measurement runs or the analyser is down.
    const auto ask = [&](const char *pattern, std::unique_ptr<ScpiHandlerBase> handler) {
        ok = table.registerCommand(QByteArray(pattern), std::move(handler), CommandTable::Runs::AtOnce) && ok;
    };

    // The order matters: the first pattern that matches a header wins, and
    // the documented order is this one (the command-order test holds both).
    ask("*OPC?", makeHandler<&operationComplete>(root));
    ask("VUK:SYSTem:READy?", makeHandler<&systemReady>(root));
    add("VUK:CALC:LP", makeHandler<&lowPassMode>(root));
    add("VUK:CALC:LP:10Mhz", makeHandler<&lowPass10MhzMode>(root));
    add("VUK:CALCulate:STEP#:DUT", makeHandler<&measureDut>(root));
    add("VUK:CALCulate:STEP#:REFlect:OFFSet", makeHandler<&applyReflectOffset>(root));
    add("VUK:CALCulate:STEP#:REFlect:OPEN", makeHandler<&measureReflectOpen>(root));
    add("VUK:CALCulate:STEP#:REFlect:SHORt", makeHandler<&measureReflectShort>(root));
    add("VUK:CALCulate:STEP#:THRU", makeHandler<&measureThru>(root));
    add("VUK:CALCulate:STEP#:THRU:OFFSet", makeHandler<&applyThruOffsets>(root));
    add("VUK:CALCulate:STEP#:THRU:REFOFFSet:OPEN", makeHandler<&measureThruReflectOpen>(root));
    add("VUK:CALCulate:STEP#:THRU:REFOFFSet:SHORt", makeHandler<&measureThruReflectShort>(root));
    add("VUK:CALCulate:ZCONversion", makeHandler<&setUserZ0>(root));
    add("VUK:SENSe:BANDwidth", makeHandler<&setBandwidth>(root));
    ask("VUK:SENSe:BANDwidth?", makeHandler<&bandwidth>(root));
    ask("VUK:SENSe:CALIBration:TYPE?", makeHandler<&calibrationType>(root));
    add("VUK:SENSe:FREQeuncy:STARt", makeHandler<&setStartFrequency>(root));
    ask("VUK:SENSe:FREQeuncy:STARt?", makeHandler<&startFrequency>(root));
    ask("VUK:SENSe:FREQeuncy:STEP?", makeHandler<&frequencyStep>(root));
    add("VUK:SENSe:FREQeuncy:STOP", makeHandler<&setStopFrequency>(root));
    ask("VUK:SENSe:FREQeuncy:STOP?", makeHandler<&stopFrequency>(root));
    add("VUK:SENSe:POWer", makeHandler<&setOutputPower>(root));
    ask("VUK:SENSe:POWer?", makeHandler<&outputPower>(root));
    add("VUK:SENSe:PRESet", makeHandler<&analyserPreset>(root));
    add("VUK:SENSe:SWEep:POINts", makeHandler<&setPointsCount>(root));
    ask("VUK:SENSe:SWEep:POINts?", makeHandler<&pointsCount>(root));
    ask("VUK:SENSe:SWEep:TYPE?", makeHandler<&sweepType>(root));
    add("VUK:SYSTem:CALCulation:METHod", makeHandler<&setCorrectionMethod>(root));
    ask("VUK:SYSTem:CALCulation:METHod?", makeHandler<&correctionMethod>(root));
    add("VUK:SYSTem:CORRECTion:APPLy", makeHandler<&applyCorrection>(root));
    add("VUK:SYSTem:CORRECTion:SAVE", makeHandler<&saveCorrectionFiles>(root));
    add("VUK:SYSTem:DATA:SAVE", makeHandler<&saveRawDataFiles>(root));
    ask("VUK:SYSTem:ERRor?", makeHandler<&errorQuery>(root));
    add("VUK:SYSTem:FIXTure:CONNECTion:DIRect", makeHandler<&setDirectConnection>(root));
    ask("VUK:SYSTem:FIXTure:CONNECTion:DIRect?", makeHandler<&directConnection>(root));
    add("VUK:SYSTem:FIXTure:CONNECTion:DUT:DIFFerent", makeHandler<&setDutConnection>(root));
    ask("VUK:SYSTem:FIXTure:CONNECTion:DUT:DIFFerent?", makeHandler<&dutConnection>(root));
    add("VUK:SYSTem:FIXTure:CONNECTion:LEFT:THRU", makeHandler<&setLoopBackThru<L>>(root));
    ask("VUK:SYSTem:FIXTure:CONNECTion:LEFT:THRU?", makeHandler<&loopBackThru<L>>(root));
    add("VUK:SYSTem:FIXTure:CONNECTion:RIGHT:THRU", makeHandler<&setLoopBackThru<R>>(root));
    ask("VUK:SYSTem:FIXTure:CONNECTion:RIGHT:THRU?", makeHandler<&loopBackThru<R>>(root));
    add("VUK:SYSTem:FIXTure:LEFT", makeHandler<&setFixtureEnabled<L>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT?", makeHandler<&fixtureEnabled<L>>(root));
    add("VUK:SYSTem:FIXTure:LEFT:PORT#", makeHandler<&setAttachedPort<L, Main>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#?", makeHandler<&attachedPort<L, Main>>(root));
    add("VUK:SYSTem:FIXTure:LEFT:PORT:COUNt", makeHandler<&setFixturePortsCount<L>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT:COUNt?", makeHandler<&fixturePortsCount<L>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:GATing?", makeHandler<&portGating<L, Main>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:GATing:TRACe?", makeHandler<&portGatingTrace<L, Main>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:IMPedance?", makeHandler<&portImpedance<L, Main>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:IMPedance:TRACe?", makeHandler<&portImpedanceTrace<L, Main>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:LENgth?", makeHandler<&portLength<L, Main>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:LENgth:TRACe?", makeHandler<&portLengthTrace<L, Main>>(root));
    add("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX", makeHandler<&setAttachedPort<L, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX?", makeHandler<&attachedPort<L, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:GATing?", makeHandler<&portGating<L, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:GATing:TRACe?", makeHandler<&portGatingTrace<L, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:IMPedance?", makeHandler<&portImpedance<L, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:IMPedance:TRACe?", makeHandler<&portImpedanceTrace<L, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:LENgth?", makeHandler<&portLength<L, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:LENgth:TRACe?", makeHandler<&portLengthTrace<L, Aux>>(root));
    add("VUK:SYSTem:FIXTure:RIGHT", makeHandler<&setFixtureEnabled<R>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT?", makeHandler<&fixtureEnabled<R>>(root));
    add("VUK:SYSTem:FIXTure:RIGHT:PORT#", makeHandler<&setAttachedPort<R, Main>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#?", makeHandler<&attachedPort<R, Main>>(root));
    add("VUK:SYSTem:FIXTure:RIGHT:PORT:COUNt", makeHandler<&setFixturePortsCount<R>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT:COUNt?", makeHandler<&fixturePortsCount<R>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:GATing?", makeHandler<&portGating<R, Main>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:GATing:TRACe?", makeHandler<&portGatingTrace<R, Main>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:IMPedance?", makeHandler<&portImpedance<R, Main>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:IMPedance:TRACe?", makeHandler<&portImpedanceTrace<R, Main>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:LENgth?", makeHandler<&portLength<R, Main>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:LENgth:TRACe?", makeHandler<&portLengthTrace<R, Main>>(root));
    add("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX", makeHandler<&setAttachedPort<R, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX?", makeHandler<&attachedPort<R, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:GATing?", makeHandler<&portGating<R, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:GATing:TRACe?", makeHandler<&portGatingTrace<R, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:IMPedance?", makeHandler<&portImpedance<R, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:IMPedance:TRACe?", makeHandler<&portImpedanceTrace<R, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:LENgth?", makeHandler<&portLength<R, Aux>>(root));
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:LENgth:TRACe?", makeHandler<&portLengthTrace<R, Aux>>(root));
    add("VUK:SYSTem:LPass:IGNore", makeHandler<&setLowPassIgnored>(root));
    ask("VUK:SYSTem:LPass:IGNore?", makeHandler<&lowPassIgnored>(root));
    add("VUK:SYSTem:PRESet", makeHandler<&programPreset>(root));
    add("VUK:SYSTem:SETup:SAVE", makeHandler<&saveSetup>(root));
    add("VUK:SYSTem:STATe:LOAD", makeHandler<&loadState>(root));
    // Before the numbered step commands, so that STEP:COUNT? is not step 1.
    ask("VUK:SYSTem:STEP:COUNt?", makeHandler<&stepCount>(root));
    add("VUK:SYSTem:STEP#:DATA:DELete", makeHandler<&deleteStepData>(root));
    ask("VUK:SYSTem:STEP#:MEASured?", makeHandler<&stepMeasured>(root));
    add("VUK:SYSTem:STEP#:REFlect:APPRoximation", makeHandler<&setReflectApproximation>(root));
    add("VUK:SYSTem:STEP#:REFlect:OFFSet", makeHandler<&setReflectOffsetApplied>(root));
    add("VUK:SYSTem:STEP#:REFlect:OPEN", makeHandler<&setReflectOpenEnabled>(root));
    add("VUK:SYSTem:STEP#:REFlect:SHORt", makeHandler<&setReflectShortEnabled>(root));
    add("VUK:SYSTem:STEP#:THRU:OFFSet", makeHandler<&setThruOffsetApplied>(root));
    add("VUK:SYSTem:STEP#:THRU:REFOFFSet", makeHandler<&setThruReflectOffsetApplied>(root));
    add("VUK:SYSTem:STEP#:THRU:REFOFFSet:OPEN", makeHandler<&setThruReflectOpenEnabled>(root));
    add("VUK:SYSTem:STEP#:THRU:REFOFFSet:SHORt", makeHandler<&setThruReflectShortEnabled>(root));
    ask("VUK:SYSTem:STEP#:TYPE?", makeHandler<&stepType>(root));
    add("VUK:SYSTem:VNA:DEFault", makeHandler<&defaultAnalyserAddress>(root));
    add("VUK:SYSTem:VNA:IP", makeHandler<&setAnalyserAddress>(root));
    ask("VUK:SYSTem:VNA:IP?", makeHandler<&analyserAddress>(root));
    add("VUK:SYSTem:VNA:PORT", makeHandler<&setAnalyserPort>(root));
    ask("VUK:SYSTem:VNA:PORT?", makeHandler<&analyserPort>(root));
    add("VUK:SYSTem:ZCONversion:TYPE", makeHandler<&setZ0ConversionType>(root));
    ask("VUK:SYSTem:ZCONversion:TYPE?", makeHandler<&z0ConversionType>(root));
    ask("VUK:SYSTem:STEP#:NOTices?", makeHandler<&stepNotices>(root));

    if (table.count() != kRemoteCommandCount) {
        qCCritical(lcCommands) << "Remote commands: registered" << table.count() << "of" << kRemoteCommandCount;
        ok = false;
    }
    return ok;
}

bool registerRemoteCommands(MainQmlBackend *root)
{
    return registerRemoteCommands(root, commandTable());
}

} // namespace Automation
} // namespace Korvel
