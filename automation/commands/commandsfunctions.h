#pragma once
// The command functions of the program's remote command set, one per
// command, grouped as their source files are: the analyser and the program
// (commandsanalyser.cpp), the fixture set-up (commandsfixture.cpp), the
// steps and their results (commandssteps.cpp) and the backend's actions
// (commandsbackend.cpp). commands.cpp binds each to its header pattern.
//
// Each runs on the parser thread with the parsed suffixes (0-based) and
// parameters, makes its checks and runs its action on the GUI thread; a
// failure throws AutomationException with its code. A query answers through
// the message context.

#include "automation/commands/commandssupport.h"
#include "automation/server/parameters.h"
#include "device/vnadevice.h"
#include "measurement/measureenums.h"

#include <QByteArray>

class MainQmlBackend;

namespace Korvel {
namespace Automation {

class DeviceFunctions;

namespace Commands {

// --- analyser and program --------------------------------------------------

void operationComplete(MainQmlBackend *root, DeviceFunctions *functions);
void systemReady(MainQmlBackend *root, DeviceFunctions *functions);
void errorQuery(MainQmlBackend *root, DeviceFunctions *functions);

void setBandwidth(MainQmlBackend *root, double hertz);
void bandwidth(MainQmlBackend *root, DeviceFunctions *functions);
void calibrationType(MainQmlBackend *root, DeviceFunctions *functions);
void setStartFrequency(MainQmlBackend *root, double hertz);
void startFrequency(MainQmlBackend *root, DeviceFunctions *functions);
void frequencyStep(MainQmlBackend *root, DeviceFunctions *functions);
void setStopFrequency(MainQmlBackend *root, double hertz);
void stopFrequency(MainQmlBackend *root, DeviceFunctions *functions);
void setOutputPower(MainQmlBackend *root, double dbm);
void outputPower(MainQmlBackend *root, DeviceFunctions *functions);
void analyserPreset(MainQmlBackend *root);
void setPointsCount(MainQmlBackend *root, int count);
void pointsCount(MainQmlBackend *root, DeviceFunctions *functions);
void sweepType(MainQmlBackend *root, DeviceFunctions *functions);

void defaultAnalyserAddress(MainQmlBackend *root);
void setAnalyserAddress(MainQmlBackend *root, const QByteArray &address);
void analyserAddress(MainQmlBackend *root, DeviceFunctions *functions);
void setAnalyserPort(MainQmlBackend *root, int port);
void analyserPort(MainQmlBackend *root, DeviceFunctions *functions);

// The keyword answers of the cached sweep and calibration types; empty for
// a value without one.
QString sweepTypeKeyword(SweepType type);
QString calibrationTypeKeyword(VNADevice::CalibrationType type);

// --- fixture set-up --------------------------------------------------------

void lowPassMode(MainQmlBackend *root);
void lowPass10MhzMode(MainQmlBackend *root);
void setUserZ0(MainQmlBackend *root, int ohm);
void setZ0ConversionType(MainQmlBackend *root, MeasureEnums::Z0Conversion type);
void z0ConversionType(MainQmlBackend *root, DeviceFunctions *functions);
void setCorrectionMethod(MainQmlBackend *root, MeasureEnums::CorrectionMethod method);
void correctionMethod(MainQmlBackend *root, DeviceFunctions *functions);

template<Side S>
void setFixtureEnabled(MainQmlBackend *root, bool enabled);
template<Side S>
void fixtureEnabled(MainQmlBackend *root, DeviceFunctions *functions);

void setDirectConnection(MainQmlBackend *root, bool enabled);
void directConnection(MainQmlBackend *root, DeviceFunctions *functions);
void setDutConnection(MainQmlBackend *root, bool enabled);
void dutConnection(MainQmlBackend *root, DeviceFunctions *functions);

template<Side S>
void setLoopBackThru(MainQmlBackend *root, bool enabled);
template<Side S>
void loopBackThru(MainQmlBackend *root, DeviceFunctions *functions);

template<Side S>
void setFixturePortsCount(MainQmlBackend *root, int count);
template<Side S>
void fixturePortsCount(MainQmlBackend *root, DeviceFunctions *functions);

template<Side S, Kind K>
void setAttachedPort(MainQmlBackend *root, NumericIndex fixturePort, PortIndex analyserPort);
template<Side S, Kind K>
void attachedPort(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex fixturePort);

// The keyword answers of the method and the conversion; empty for a value
// outside their enums.
QString correctionMethodKeyword(MeasureEnums::CorrectionMethod method);
QString z0ConversionKeyword(MeasureEnums::Z0Conversion type);

// --- steps and results -----------------------------------------------------

void measureDut(MainQmlBackend *root, NumericIndex step);
void measureThru(MainQmlBackend *root, NumericIndex step);
void measureReflectOpen(MainQmlBackend *root, NumericIndex step);
void measureReflectShort(MainQmlBackend *root, NumericIndex step);
void measureThruReflectOpen(MainQmlBackend *root, NumericIndex step);
void measureThruReflectShort(MainQmlBackend *root, NumericIndex step);
void applyReflectOffset(MainQmlBackend *root, NumericIndex step, double offset);
void applyThruOffsets(MainQmlBackend *root, NumericIndex step, double leftOffset, double rightOffset);

void setReflectApproximation(MainQmlBackend *root, NumericIndex step, bool enabled);
void setReflectOffsetApplied(MainQmlBackend *root, NumericIndex step, bool applied);
void setReflectOpenEnabled(MainQmlBackend *root, NumericIndex step, bool enabled);
void setReflectShortEnabled(MainQmlBackend *root, NumericIndex step, bool enabled);
void setThruOffsetApplied(MainQmlBackend *root, NumericIndex step, bool applied);
void setThruReflectOffsetApplied(MainQmlBackend *root, NumericIndex step, bool applied);
void setThruReflectOpenEnabled(MainQmlBackend *root, NumericIndex step, bool enabled);
void setThruReflectShortEnabled(MainQmlBackend *root, NumericIndex step, bool enabled);

void stepCount(MainQmlBackend *root, DeviceFunctions *functions);
void stepMeasured(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex step);
void stepType(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex step);
void stepNotices(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex step);
void deleteStepData(MainQmlBackend *root, NumericIndex step);

template<Side S, Kind K>
void portGating(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port);
template<Side S, Kind K>
void portGatingTrace(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port);
template<Side S, Kind K>
void portImpedance(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port);
template<Side S, Kind K>
void portImpedanceTrace(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port);
template<Side S, Kind K>
void portLength(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port);
template<Side S, Kind K>
void portLengthTrace(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port);

// --- backend actions -------------------------------------------------------

void applyCorrection(MainQmlBackend *root);
void saveCorrectionFiles(MainQmlBackend *root, const QByteArray &fileName);
void saveRawDataFiles(MainQmlBackend *root, const QByteArray &fileName);
void saveSetup(MainQmlBackend *root, const QByteArray &fileName);
void loadState(MainQmlBackend *root, const QByteArray &fileName);
void programPreset(MainQmlBackend *root);
void setLowPassIgnored(MainQmlBackend *root, bool ignored);
void lowPassIgnored(MainQmlBackend *root, DeviceFunctions *functions);

} // namespace Commands
} // namespace Automation
} // namespace Korvel
