#pragma once
// What the program's command functions share: the hop of an action or a
// query to the GUI thread after the common checks, the objects of the
// backend that the commands act on (with the codes for the ones missing),
// the guards of the fixture sides, the step look-up and the waits that make
// a command end only once its effect is in place.
//
// Every function that takes the backend and is marked "GUI thread" runs
// inside an action; the others run on the parser thread.

#include "automation/server/automationexception.h"
#include "automation/server/commandhelpers.h"
#include "automation/server/devicefunctions.h"
#include "automation/server/parameters.h"

#include "app/mainqmlbackend.h"
#include "measurement/fixturesetups.h"
#include "measurement/step.h"
#include "measurement/vukalgorithmssetup.h"

#include <QString>

#include <memory>
#include <utility>

class QmlFixturePort;
class SetupVnaTableModel;
class VNAFixtureConnection;

namespace Korvel {
namespace Automation {
namespace Commands {

// The codes the program's own commands raise.
enum class Code : int {
    ExecutionError = 200,
    InvalidPortIndex = 221,
    DataOutOfRange = 222,
    FileNameNotFound = 256,
    InvalidSetupIndex = 260,
    InvalidStepIndex = 261,
    InvalidStepConnection = 262,
    StepNotMeasured = 263,
    OffsetNotEnabled = 264,
    OpenNotEnabled = 265,
    ShortNotEnabled = 266,
    ReflectionOffsetNotEnabled = 267,
    StepTypeNotDefined = 268,
    FixtureNotEnabled = 269,
    ConnectionNotEnabled = 270,
    InvalidCalculationMethod = 271,
    InvalidPortsNumber = 272,
    InvalidSweepType = 273,
    InvalidBandwidth = 274,
    InvalidFrequency = 275,
    InvalidFrequencyStep = 276,
    InvalidOutputPower = 277,
    InvalidPointsNumber = 278,
    LowPassNotEnabled = 279,
    LowPassIgnored = 280,
    InvalidZ0 = 281,
    InvalidCalibrationType = 282,
    InvalidElectricalLength = 283,
    InvalidImpedance = 284,
    InvalidGating = 285,
    DeleteError = 286,
    // Not a failure: queued after a command that computed models, without
    // ending its message, when the step's models carry notices.
    ModelNotice = 289,
};

[[noreturn]] inline void fail(Code code)
{
    throw AutomationException(static_cast<int>(code));
}

// The server's common codes (commandhelpers.h).
[[noreturn]] inline void fail(int code)
{
    throw AutomationException(code);
}

// The common checks (288, then 240), then the action on the GUI thread.
template<typename Action>
void act(MainQmlBackend *root, Action &&action)
{
    checkRootAndReady(root);
    runOnObjectThread(root, std::forward<Action>(action));
}

// The program's busy rule (JobGate) for a command that would change or
// delete what a running measurement or action uses: 200 while one runs
// (GUI thread).
void checkIdle(MainQmlBackend *root);

// The common checks, then the action on the GUI thread once no job runs
// (else 200, and nothing is changed).
template<typename Action>
void actWhenIdle(MainQmlBackend *root, Action &&action)
{
    act(root, [root, action = std::forward<Action>(action)] {
        checkIdle(root);
        action();
    });
}

// The common checks, then the query on the GUI thread; its text is the
// command's answer.
template<typename Query>
void answer(MainQmlBackend *root, DeviceFunctions *functions, Query &&query)
{
    checkRootAndReady(root);
    functions->sendAnswer(runQueryOnObjectThread(root, std::forward<Query>(query)));
}

// The objects the commands act on (GUI thread). The set-up list and its
// first set-up are 260 when missing; the analyser proxy and the setup table
// always exist while the backend does, and are 288 otherwise.
SyncedVnaDevice &deviceOf(MainQmlBackend *root);
FixtureSetups &setupsOf(MainQmlBackend *root);
VukAlgorithmsSetup &firstSetupOf(MainQmlBackend *root);
SetupVnaTableModel &setupTableOf(MainQmlBackend *root);

// 279 unless the first set-up's sweep is a harmonic grid, then 280 while
// the user has chosen to ignore the low-pass requirement (GUI thread).
void checkLowPassUsable(MainQmlBackend *root);

enum class Side { Left, Right };
enum class Kind { Main, Aux };

// The connection of a side of the first set-up, behind its guards: 269 when
// the side's fixture is disabled, then, for the auxiliary connection, 270
// without the loop-back thru of that side (GUI thread).
VNAFixtureConnection &guardedConnection(MainQmlBackend *root, Side side, Kind kind);

// 221 unless the analyser's port count is known and the 0-based port lies
// within it (GUI thread).
void checkAnalyserPort(MainQmlBackend *root, int port);
// 221 unless the 0-based fixture port lies below the connection's fixture
// port count.
void checkFixturePort(const VNAFixtureConnection &connection, int index);
// The computed model of fixture port index; 221 when the port is missing.
QmlFixturePort &fixturePortModel(const VNAFixtureConnection &connection, int index);

// The step at the 0-based index of a set-up of the list, as class T: 260
// for a set-up index not below the list's count, 261 for a step index not
// below the set-up's step count, 262 for a step of another class. The step
// is shared, so it stays alive through an action that waits while the
// set-up rebuilds its steps (GUI thread).
std::shared_ptr<Step> resolveStepAt(MainQmlBackend *root, int setupIndex, int stepIndex);

template<typename T>
std::shared_ptr<T> resolveStep(MainQmlBackend *root, int setupIndex, int stepIndex)
{
    std::shared_ptr<T> step = std::dynamic_pointer_cast<T>(resolveStepAt(root, setupIndex, stepIndex));
    if (!step)
        fail(Code::InvalidStepConnection);
    return step;
}

// The step commands address the first set-up's steps by the header suffix.
template<typename T>
std::shared_ptr<T> resolveStep(MainQmlBackend *root, NumericIndex step)
{
    return resolveStep<T>(root, 0, step.value);
}

bool isMeasured(const Step &step);
// 263 unless the step is measured.
void checkMeasured(const Step &step);

// Waits (local event loop) until every job queued on the step's worker so
// far has run, so that an offset a step queued without waiting is in place
// when the command ends (GUI thread). Returns at once without a worker.
void waitForStepWorker(const Step &step);

} // namespace Commands
} // namespace Automation
} // namespace Korvel
