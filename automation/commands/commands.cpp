#include "automation/commands/commands.h"

#include "automation/commands/commandsfunctions.h"
#include "automation/commands/commandslogging.h"
#include "automation/server/commandtable.h"
#include "automation/server/errorcodes.h"
#include "automation/server/scpihandler.h"

#include <QDebug>

namespace Korvel {
namespace Automation {

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

    // The order matters: the first pattern that matches a header wins.
    ask("*OPC?", makeHandler<&operationComplete>(root)); // 1
    ask("VUK:SYSTem:READy?", makeHandler<&systemReady>(root)); // 2
    add("VUK:CALC:LP", makeHandler<&lowPassMode>(root)); // 3
    add("VUK:CALC:LP:10Mhz", makeHandler<&lowPass10MhzMode>(root)); // 4
    add("VUK:CALCulate:STEP#:DUT", makeHandler<&measureDut>(root)); // 5
    add("VUK:CALCulate:STEP#:REFlect:OFFSet", makeHandler<&applyReflectOffset>(root)); // 6
    add("VUK:CALCulate:STEP#:REFlect:OPEN", makeHandler<&measureReflectOpen>(root)); // 7
    add("VUK:CALCulate:STEP#:REFlect:SHORt", makeHandler<&measureReflectShort>(root)); // 8
    add("VUK:CALCulate:STEP#:THRU", makeHandler<&measureThru>(root)); // 9
    add("VUK:CALCulate:STEP#:THRU:OFFSet", makeHandler<&applyThruOffsets>(root)); // 10
    add("VUK:CALCulate:STEP#:THRU:REFOFFSet:OPEN", makeHandler<&measureThruReflectOpen>(root)); // 11
    add("VUK:CALCulate:STEP#:THRU:REFOFFSet:SHORt", makeHandler<&measureThruReflectShort>(root)); // 12
    add("VUK:CALCulate:ZCONversion", makeHandler<&setUserZ0>(root)); // 13
    add("VUK:SENSe:BANDwidth", makeHandler<&setBandwidth>(root)); // 14
    ask("VUK:SENSe:BANDwidth?", makeHandler<&bandwidth>(root)); // 15
    ask("VUK:SENSe:CALIBration:TYPE?", makeHandler<&calibrationType>(root)); // 16
    add("VUK:SENSe:FREQeuncy:STARt", makeHandler<&setStartFrequency>(root)); // 17
    ask("VUK:SENSe:FREQeuncy:STARt?", makeHandler<&startFrequency>(root)); // 18
    ask("VUK:SENSe:FREQeuncy:STEP?", makeHandler<&frequencyStep>(root)); // 19
    add("VUK:SENSe:FREQeuncy:STOP", makeHandler<&setStopFrequency>(root)); // 20
    ask("VUK:SENSe:FREQeuncy:STOP?", makeHandler<&stopFrequency>(root)); // 21
    add("VUK:SENSe:POWer", makeHandler<&setOutputPower>(root)); // 22
    ask("VUK:SENSe:POWer?", makeHandler<&outputPower>(root)); // 23
    add("VUK:SENSe:PRESet", makeHandler<&analyserPreset>(root)); // 24
    add("VUK:SENSe:SWEep:POINts", makeHandler<&setPointsCount>(root)); // 25
    ask("VUK:SENSe:SWEep:POINts?", makeHandler<&pointsCount>(root)); // 26
    ask("VUK:SENSe:SWEep:TYPE?", makeHandler<&sweepType>(root)); // 27
    add("VUK:SYSTem:CALCulation:METHod", makeHandler<&setCorrectionMethod>(root)); // 28
    ask("VUK:SYSTem:CALCulation:METHod?", makeHandler<&correctionMethod>(root)); // 29
    add("VUK:SYSTem:CORRECTion:APPLy", makeHandler<&applyCorrection>(root)); // 30
    add("VUK:SYSTem:CORRECTion:SAVE", makeHandler<&saveCorrectionFiles>(root)); // 31
    add("VUK:SYSTem:DATA:SAVE", makeHandler<&saveRawDataFiles>(root)); // 32
    ask("VUK:SYSTem:ERRor?", makeHandler<&errorQuery>(root)); // 33
    add("VUK:SYSTem:FIXTure:CONNECTion:DIRect", makeHandler<&setDirectConnection>(root)); // 34
    ask("VUK:SYSTem:FIXTure:CONNECTion:DIRect?", makeHandler<&directConnection>(root)); // 35
    add("VUK:SYSTem:FIXTure:CONNECTion:DUT:DIFFerent", makeHandler<&setDutConnection>(root)); // 36
    ask("VUK:SYSTem:FIXTure:CONNECTion:DUT:DIFFerent?", makeHandler<&dutConnection>(root)); // 37
    add("VUK:SYSTem:FIXTure:CONNECTion:LEFT:THRU", makeHandler<&setLoopBackThru<L>>(root)); // 38
    ask("VUK:SYSTem:FIXTure:CONNECTion:LEFT:THRU?", makeHandler<&loopBackThru<L>>(root)); // 39
    add("VUK:SYSTem:FIXTure:CONNECTion:RIGHT:THRU", makeHandler<&setLoopBackThru<R>>(root)); // 40
    ask("VUK:SYSTem:FIXTure:CONNECTion:RIGHT:THRU?", makeHandler<&loopBackThru<R>>(root)); // 41
    add("VUK:SYSTem:FIXTure:LEFT", makeHandler<&setFixtureEnabled<L>>(root)); // 42
    ask("VUK:SYSTem:FIXTure:LEFT?", makeHandler<&fixtureEnabled<L>>(root)); // 43
    add("VUK:SYSTem:FIXTure:LEFT:PORT#", makeHandler<&setAttachedPort<L, Main>>(root)); // 44
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#?", makeHandler<&attachedPort<L, Main>>(root)); // 45
    add("VUK:SYSTem:FIXTure:LEFT:PORT:COUNt", makeHandler<&setFixturePortsCount<L>>(root)); // 46
    ask("VUK:SYSTem:FIXTure:LEFT:PORT:COUNt?", makeHandler<&fixturePortsCount<L>>(root)); // 47
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:GATing?", makeHandler<&portGating<L, Main>>(root)); // 48
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:GATing:TRACe?", makeHandler<&portGatingTrace<L, Main>>(root)); // 49
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:IMPedance?", makeHandler<&portImpedance<L, Main>>(root)); // 50
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:IMPedance:TRACe?", makeHandler<&portImpedanceTrace<L, Main>>(root)); // 51
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:LENgth?", makeHandler<&portLength<L, Main>>(root)); // 52
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:LENgth:TRACe?", makeHandler<&portLengthTrace<L, Main>>(root)); // 53
    add("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX", makeHandler<&setAttachedPort<L, Aux>>(root)); // 54
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX?", makeHandler<&attachedPort<L, Aux>>(root)); // 55
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:GATing?", makeHandler<&portGating<L, Aux>>(root)); // 56
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:GATing:TRACe?", makeHandler<&portGatingTrace<L, Aux>>(root)); // 57
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:IMPedance?", makeHandler<&portImpedance<L, Aux>>(root)); // 58
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:IMPedance:TRACe?", makeHandler<&portImpedanceTrace<L, Aux>>(root)); // 59
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:LENgth?", makeHandler<&portLength<L, Aux>>(root)); // 60
    ask("VUK:SYSTem:FIXTure:LEFT:PORT#:AUX:LENgth:TRACe?", makeHandler<&portLengthTrace<L, Aux>>(root)); // 61
    add("VUK:SYSTem:FIXTure:RIGHT", makeHandler<&setFixtureEnabled<R>>(root)); // 62
    ask("VUK:SYSTem:FIXTure:RIGHT?", makeHandler<&fixtureEnabled<R>>(root)); // 63
    add("VUK:SYSTem:FIXTure:RIGHT:PORT#", makeHandler<&setAttachedPort<R, Main>>(root)); // 64
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#?", makeHandler<&attachedPort<R, Main>>(root)); // 65
    add("VUK:SYSTem:FIXTure:RIGHT:PORT:COUNt", makeHandler<&setFixturePortsCount<R>>(root)); // 66
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT:COUNt?", makeHandler<&fixturePortsCount<R>>(root)); // 67
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:GATing?", makeHandler<&portGating<R, Main>>(root)); // 68
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:GATing:TRACe?", makeHandler<&portGatingTrace<R, Main>>(root)); // 69
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:IMPedance?", makeHandler<&portImpedance<R, Main>>(root)); // 70
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:IMPedance:TRACe?", makeHandler<&portImpedanceTrace<R, Main>>(root)); // 71
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:LENgth?", makeHandler<&portLength<R, Main>>(root)); // 72
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:LENgth:TRACe?", makeHandler<&portLengthTrace<R, Main>>(root)); // 73
    add("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX", makeHandler<&setAttachedPort<R, Aux>>(root)); // 74
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX?", makeHandler<&attachedPort<R, Aux>>(root)); // 75
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:GATing?", makeHandler<&portGating<R, Aux>>(root)); // 76
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:GATing:TRACe?", makeHandler<&portGatingTrace<R, Aux>>(root)); // 77
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:IMPedance?", makeHandler<&portImpedance<R, Aux>>(root)); // 78
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:IMPedance:TRACe?", makeHandler<&portImpedanceTrace<R, Aux>>(root)); // 79
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:LENgth?", makeHandler<&portLength<R, Aux>>(root)); // 80
    ask("VUK:SYSTem:FIXTure:RIGHT:PORT#:AUX:LENgth:TRACe?", makeHandler<&portLengthTrace<R, Aux>>(root)); // 81
    add("VUK:SYSTem:LPass:IGNore", makeHandler<&setLowPassIgnored>(root)); // 82
    ask("VUK:SYSTem:LPass:IGNore?", makeHandler<&lowPassIgnored>(root)); // 83
    add("VUK:SYSTem:PRESet", makeHandler<&programPreset>(root)); // 84
    add("VUK:SYSTem:SETup:SAVE", makeHandler<&saveSetup>(root)); // 85
    add("VUK:SYSTem:STATe:LOAD", makeHandler<&loadState>(root)); // 86
    // Before the numbered step commands, so that STEP:COUNT? is not step 1.
    ask("VUK:SYSTem:STEP:COUNt?", makeHandler<&stepCount>(root)); // 87
    add("VUK:SYSTem:STEP#:DATA:DELete", makeHandler<&deleteStepData>(root)); // 88
    ask("VUK:SYSTem:STEP#:MEASured?", makeHandler<&stepMeasured>(root)); // 89
    add("VUK:SYSTem:STEP#:REFlect:APPRoximation", makeHandler<&setReflectApproximation>(root)); // 90
    add("VUK:SYSTem:STEP#:REFlect:OFFSet", makeHandler<&setReflectOffsetApplied>(root)); // 91
    add("VUK:SYSTem:STEP#:REFlect:OPEN", makeHandler<&setReflectOpenEnabled>(root)); // 92
    add("VUK:SYSTem:STEP#:REFlect:SHORt", makeHandler<&setReflectShortEnabled>(root)); // 93
    add("VUK:SYSTem:STEP#:THRU:OFFSet", makeHandler<&setThruOffsetApplied>(root)); // 94
    add("VUK:SYSTem:STEP#:THRU:REFOFFSet", makeHandler<&setThruReflectOffsetApplied>(root)); // 95
    add("VUK:SYSTem:STEP#:THRU:REFOFFSet:OPEN", makeHandler<&setThruReflectOpenEnabled>(root)); // 96
    add("VUK:SYSTem:STEP#:THRU:REFOFFSet:SHORt", makeHandler<&setThruReflectShortEnabled>(root)); // 97
    ask("VUK:SYSTem:STEP#:TYPE?", makeHandler<&stepType>(root)); // 98
    add("VUK:SYSTem:VNA:DEFault", makeHandler<&defaultAnalyserAddress>(root)); // 99
    add("VUK:SYSTem:VNA:IP", makeHandler<&setAnalyserAddress>(root)); // 100
    ask("VUK:SYSTem:VNA:IP?", makeHandler<&analyserAddress>(root)); // 101
    add("VUK:SYSTem:VNA:PORT", makeHandler<&setAnalyserPort>(root)); // 102
    ask("VUK:SYSTem:VNA:PORT?", makeHandler<&analyserPort>(root)); // 103
    add("VUK:SYSTem:ZCONversion:TYPE", makeHandler<&setZ0ConversionType>(root)); // 104
    ask("VUK:SYSTem:ZCONversion:TYPE?", makeHandler<&z0ConversionType>(root)); // 105
    ask("VUK:SYSTem:STEP#:NOTices?", makeHandler<&stepNotices>(root)); // 106

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
