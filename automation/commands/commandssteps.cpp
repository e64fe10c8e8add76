// The commands that run the measurement steps of the first set-up, switch
// their options, apply their offsets, and read the computed models of the
// fixture ports.

#include "automation/commands/commandsfunctions.h"

#include "measurement/dutstep.h"
#include "measurement/methodrules.h"
#include "measurement/qmlfixtureport.h"
#include "measurement/reflectionstep.h"
#include "measurement/transmissionstep.h"
#include "measurement/vnafixtureconnection.h"

#include <QStringList>

namespace Korvel {
namespace Automation {
namespace Commands {

namespace {

// Runs the action on the step of class T at the suffix, resolved on the GUI
// thread after the common checks.
template<typename T, typename Action>
void onStep(MainQmlBackend *root, NumericIndex index, Action action)
{
    act(root, [root, index, action] {
        const std::shared_ptr<T> step = resolveStep<T>(root, index);
        action(*step);
    });
}

// The same for an action that measures or deletes the models: 200 while a
// measurement or an action runs. (An offset is queued behind a running job
// instead, and its command waits for it.)
template<typename T, typename Action>
void onIdleStep(MainQmlBackend *root, NumericIndex index, Action action)
{
    actWhenIdle(root, [root, index, action] {
        const std::shared_ptr<T> step = resolveStep<T>(root, index);
        action(*step);
    });
}

// After a command that computed the step's models: 289 is queued, and the
// message goes on, when those models carry notices (Step::notices).
void queueNoticeCode(bool doubtful)
{
    if (doubtful)
        DeviceFunctions::queueCode(static_cast<int>(Code::ModelNotice));
}

// onIdleStep for a measurement; 289 follows when its models are doubtful.
template<typename T, typename Action>
void measureOnStep(MainQmlBackend *root, NumericIndex index, Action action)
{
    bool doubtful = false;
    // The parser thread waits while the action runs: the flag is set before
    // it is read.
    actWhenIdle(root, [root, index, action, &doubtful] {
        const std::shared_ptr<T> step = resolveStep<T>(root, index);
        action(*step);
        doubtful = step->hasNotices();
    });
    queueNoticeCode(doubtful);
}

// 271 while the method cannot calculate a 1x-reflect (the step refuses it
// as well, and tells the window why).
void checkReflectCalculated(const Step &step)
{
    if (!MethodRules::calculatesReflect(step.calcMethod()))
        fail(Code::InvalidCalculationMethod);
}

// One text of an answer: in double quotes, a quote inside doubled, on one
// line.
QString quoted(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

template<typename T, typename Query>
void answerOnStep(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex index, Query query)
{
    answer(root, functions, [root, index, query] {
        const std::shared_ptr<T> step = resolveStep<T>(root, index);
        return query(*step);
    });
}

void checkFixtureOffsetApplied(const Step &step)
{
    if (!step.appliedFixtureOffset())
        fail(Code::OffsetNotEnabled);
}

void checkReflectsOffsetApplied(const TransmissionStep &step)
{
    if (!step.appliedReflectsOffset())
        fail(Code::ReflectionOffsetNotEnabled);
}

template<typename T>
void checkOpenEnabled(const T &step)
{
    if (!step.openMeasurementEnable())
        fail(Code::OpenNotEnabled);
}

template<typename T>
void checkShortEnabled(const T &step)
{
    if (!step.shortMeasurementEnable())
        fail(Code::ShortNotEnabled);
}

// The model of a fixture port of the first set-up for a result query, behind
// the side's guards and the port index check.
QmlFixturePort &resultPort(MainQmlBackend *root, Side side, Kind kind, NumericIndex index)
{
    const VNAFixtureConnection &connection = guardedConnection(root, side, kind);
    checkFixturePort(connection, index.value);
    return fixturePortModel(connection, index.value);
}

void checkPortMeasured(const QmlFixturePort &port)
{
    if (!port.values().isMeasured)
        fail(Code::StepNotMeasured);
}

QString requiredValue(const std::optional<double> &value, Code code)
{
    if (!value)
        fail(code);
    return formatDouble(*value);
}

enum class LowPass { NotNeeded, Needed };

// Answers a query on a measured result port of the first set-up; answers
// from the low-pass transforms check first that the sweep allows them.
template<typename Query>
void answerOnResultPort(MainQmlBackend *root, DeviceFunctions *functions, Side side, Kind kind, NumericIndex port,
                        LowPass lowPass, Query query)
{
    answer(root, functions, [root, side, kind, port, lowPass, query] {
        QmlFixturePort &model = resultPort(root, side, kind, port);
        if (lowPass == LowPass::Needed)
            checkLowPassUsable(root);
        checkPortMeasured(model);
        return query(model);
    });
}

} // namespace

// --- measuring -------------------------------------------------------------
// A step waits for its own measurement, so these end when it is over.

void measureDut(MainQmlBackend *root, NumericIndex step)
{
    measureOnStep<DutStep>(root, step, [](DutStep &dut) { dut.measureFromVna(); });
}

void measureThru(MainQmlBackend *root, NumericIndex step)
{
    measureOnStep<TransmissionStep>(root, step, [](TransmissionStep &thru) { thru.measureFromVna(); });
}

void measureReflectOpen(MainQmlBackend *root, NumericIndex step)
{
    measureOnStep<ReflectionStep>(root, step, [](ReflectionStep &reflect) {
        checkOpenEnabled(reflect);
        checkReflectCalculated(reflect);
        reflect.measureOpenFromVna();
    });
}

void measureReflectShort(MainQmlBackend *root, NumericIndex step)
{
    measureOnStep<ReflectionStep>(root, step, [](ReflectionStep &reflect) {
        checkShortEnabled(reflect);
        checkReflectCalculated(reflect);
        reflect.measureShortFromVna();
    });
}

void measureThruReflectOpen(MainQmlBackend *root, NumericIndex step)
{
    measureOnStep<TransmissionStep>(root, step, [](TransmissionStep &thru) {
        checkMeasured(thru);
        checkReflectsOffsetApplied(thru);
        checkOpenEnabled(thru);
        checkReflectCalculated(thru);
        thru.measureOpenFromVna();
    });
}

void measureThruReflectShort(MainQmlBackend *root, NumericIndex step)
{
    measureOnStep<TransmissionStep>(root, step, [](TransmissionStep &thru) {
        checkMeasured(thru);
        checkReflectsOffsetApplied(thru);
        checkShortEnabled(thru);
        checkReflectCalculated(thru);
        thru.measureShortFromVna();
    });
}

// --- offsets ---------------------------------------------------------------
// A step queues its offset job without waiting; the command waits for it,
// so the models are moved when it ends and a later query reads them whole.

void applyReflectOffset(MainQmlBackend *root, NumericIndex step, double offset)
{
    bool doubtful = false;
    onStep<ReflectionStep>(root, step, [offset, &doubtful](ReflectionStep &reflect) {
        checkMeasured(reflect);
        checkFixtureOffsetApplied(reflect);
        reflect.setOffset(offset);
        reflect.applyOffset(true);
        waitForStepWorker(reflect);
        doubtful = reflect.hasNotices();
    });
    queueNoticeCode(doubtful);
}

void applyThruOffsets(MainQmlBackend *root, NumericIndex step, double leftOffset, double rightOffset)
{
    bool doubtful = false;
    onStep<TransmissionStep>(root, step, [leftOffset, rightOffset, &doubtful](TransmissionStep &thru) {
        checkMeasured(thru);
        checkFixtureOffsetApplied(thru);
        thru.setLeftOffset(leftOffset);
        thru.setRightOffset(rightOffset);
        thru.applyThruOffset(true);
        waitForStepWorker(thru);
        doubtful = thru.hasNotices();
    });
    queueNoticeCode(doubtful);
}

// --- options ---------------------------------------------------------------

void setReflectApproximation(MainQmlBackend *root, NumericIndex step, bool enabled)
{
    onStep<ReflectionStep>(root, step, [enabled](ReflectionStep &reflect) { reflect.setUseCompensation(enabled); });
}

void setReflectOffsetApplied(MainQmlBackend *root, NumericIndex step, bool applied)
{
    onStep<ReflectionStep>(root, step, [applied](ReflectionStep &reflect) {
        checkMeasured(reflect);
        reflect.setAppliedFixtureOffset(applied);
    });
}

void setReflectOpenEnabled(MainQmlBackend *root, NumericIndex step, bool enabled)
{
    onStep<ReflectionStep>(root, step,
                           [enabled](ReflectionStep &reflect) { reflect.setOpenMeasurementEnable(enabled); });
}

void setReflectShortEnabled(MainQmlBackend *root, NumericIndex step, bool enabled)
{
    onStep<ReflectionStep>(root, step,
                           [enabled](ReflectionStep &reflect) { reflect.setShortMeasurementEnable(enabled); });
}

void setThruOffsetApplied(MainQmlBackend *root, NumericIndex step, bool applied)
{
    onStep<TransmissionStep>(root, step, [applied](TransmissionStep &thru) {
        checkMeasured(thru);
        thru.setAppliedFixtureOffset(applied);
    });
}

void setThruReflectOffsetApplied(MainQmlBackend *root, NumericIndex step, bool applied)
{
    onStep<TransmissionStep>(root, step, [applied](TransmissionStep &thru) {
        checkMeasured(thru);
        thru.setAppliedReflectsOffset(applied);
    });
}

void setThruReflectOpenEnabled(MainQmlBackend *root, NumericIndex step, bool enabled)
{
    onStep<TransmissionStep>(root, step, [enabled](TransmissionStep &thru) {
        checkMeasured(thru);
        checkReflectsOffsetApplied(thru);
        thru.setOpenMeasurementEnable(enabled);
    });
}

void setThruReflectShortEnabled(MainQmlBackend *root, NumericIndex step, bool enabled)
{
    onStep<TransmissionStep>(root, step, [enabled](TransmissionStep &thru) {
        checkMeasured(thru);
        checkReflectsOffsetApplied(thru);
        thru.setShortMeasurementEnable(enabled);
    });
}

// --- step queries and data -------------------------------------------------

void stepCount(MainQmlBackend *root, DeviceFunctions *functions)
{
    answer(root, functions, [root] { return formatInt(firstSetupOf(root).steps().size()); });
}

void stepMeasured(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex step)
{
    // The outcome of a measurement is asked for most when the analyser link
    // has just dropped: answered from the step whatever the link does.
    checkRoot(root);
    functions->sendAnswer(
        runQueryOnObjectThread(root, [root, step] { return formatFlag(isMeasured(*resolveStep<Step>(root, step))); }));
}

void stepType(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex step)
{
    answerOnStep<Step>(root, functions, step, [](const Step &s) {
        if (dynamic_cast<const TransmissionStep *>(&s))
            return QStringLiteral("TRANSMISSION");
        if (dynamic_cast<const ReflectionStep *>(&s))
            return QStringLiteral("REFLECT");
        if (dynamic_cast<const DutStep *>(&s))
            return QStringLiteral("DUT");
        fail(Code::StepTypeNotDefined);
    });
}

// The program's own state: answered also while the analyser is not ready.
void stepNotices(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex step)
{
    checkRoot(root);
    functions->sendAnswer(runQueryOnObjectThread(root, [root, step] {
        const QList<Algorithms::ModelNotice> notices = resolveStep<Step>(root, step)->notices();
        QStringList answer{formatInt(notices.size())};
        for (const Algorithms::ModelNotice &notice : notices)
            answer.append(quoted(notice.summary));
        return answer.join(QLatin1Char(','));
    }));
}

void deleteStepData(MainQmlBackend *root, NumericIndex step)
{
    onIdleStep<Step>(root, step, [](Step &s) {
        if (dynamic_cast<const DutStep *>(&s))
            fail(Code::DeleteError);
        s.deleteData();
    });
}

// --- fixture port results --------------------------------------------------

template<Side S, Kind K>
void portGating(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port)
{
    answerOnResultPort(root, functions, S, K, port, LowPass::NotNeeded, [](QmlFixturePort &model) {
        return requiredValue(model.values().gatingValue, Code::InvalidGating);
    });
}

template<Side S, Kind K>
void portGatingTrace(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port)
{
    answerOnResultPort(root, functions, S, K, port, LowPass::NotNeeded,
                       [](QmlFixturePort &model) { return formatTrace(*model.gatingSeries()); });
}

template<Side S, Kind K>
void portImpedance(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port)
{
    answerOnResultPort(root, functions, S, K, port, LowPass::Needed, [](QmlFixturePort &model) {
        return requiredValue(model.values().impedance, Code::InvalidImpedance);
    });
}

template<Side S, Kind K>
void portImpedanceTrace(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port)
{
    answerOnResultPort(root, functions, S, K, port, LowPass::Needed,
                       [](QmlFixturePort &model) { return formatTrace(*model.stepResponseSeries()); });
}

template<Side S, Kind K>
void portLength(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port)
{
    answerOnResultPort(root, functions, S, K, port, LowPass::NotNeeded, [](QmlFixturePort &model) {
        return requiredValue(model.values().length, Code::InvalidElectricalLength);
    });
}

template<Side S, Kind K>
void portLengthTrace(MainQmlBackend *root, DeviceFunctions *functions, NumericIndex port)
{
    answerOnResultPort(root, functions, S, K, port, LowPass::NotNeeded,
                       [](QmlFixturePort &model) { return formatTrace(*model.impulseResponseSeries()); });
}

#define VUK_RESULT_QUERIES(SIDE, KIND)                                                                                 \
    template void portGating<SIDE, KIND>(MainQmlBackend *, DeviceFunctions *, NumericIndex);                           \
    template void portGatingTrace<SIDE, KIND>(MainQmlBackend *, DeviceFunctions *, NumericIndex);                      \
    template void portImpedance<SIDE, KIND>(MainQmlBackend *, DeviceFunctions *, NumericIndex);                        \
    template void portImpedanceTrace<SIDE, KIND>(MainQmlBackend *, DeviceFunctions *, NumericIndex);                   \
    template void portLength<SIDE, KIND>(MainQmlBackend *, DeviceFunctions *, NumericIndex);                           \
    template void portLengthTrace<SIDE, KIND>(MainQmlBackend *, DeviceFunctions *, NumericIndex);

VUK_RESULT_QUERIES(Side::Left, Kind::Main)
VUK_RESULT_QUERIES(Side::Left, Kind::Aux)
VUK_RESULT_QUERIES(Side::Right, Kind::Main)
VUK_RESULT_QUERIES(Side::Right, Kind::Aux)

#undef VUK_RESULT_QUERIES

} // namespace Commands
} // namespace Automation
} // namespace Korvel
