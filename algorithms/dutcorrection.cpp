#include "algorithms/dutcorrection.h"

#include "algorithms/lowpassspectrum.h"
#include "algorithms/modelchecks.h"
#include "algorithms/reflectionprocess.h"
#include "algorithms/timegatingtransmission.h"

#include <algorithm>
#include <cmath>

namespace Algorithms {

namespace {

bool isValidImpulse(const std::optional<ImpulseResponse> &impulse)
{
    return impulse && impulse->isValid();
}

bool isValidModel(const std::optional<SParametersTwoPort> &model)
{
    return model && model->isValid();
}

// The uncorrected version a DUT correction starts from: a converted or
// DUT-corrected model made from the default model goes back to the default
// model, one made from the offset model to the offset model; the default and
// offset models themselves are uncorrected already.
enum class Base { Current, Default, Offset };

Base baseOf(FixturePort::DataState dataState)
{
    using State = FixturePort::DataState;
    switch (dataState) {
    case State::Converted:
    case State::DutCorrected:
    case State::DutCorrectedConverted:
        return Base::Default;
    case State::OffsetConverted:
    case State::DutCorrectedOffset:
    case State::DutCorrectedOffsetConverted:
        return Base::Offset;
    case State::Default:
    case State::Offset:
        break;
    }
    return Base::Current;
}

// Emits one text of a correction; an empty text fails silently.
void report(IProcessMethod &process, const QString &text)
{
    if (!text.isEmpty())
        emit process.error(text);
}

// The uncorrected version of a port (baseOf) that a correction is computed
// from, with the version it returns to.
struct Uncorrected
{
    Base base = Base::Current;
    const ImpulseResponse *impulse = nullptr;
    const SParametersTwoPort *model = nullptr;
};

// Empty when that version's impulse response or model is missing or invalid.
std::optional<Uncorrected> uncorrectedOf(const FixturePort &port)
{
    const Base base = baseOf(*port.dataState());
    const std::optional<ImpulseResponse> &impulse = base == Base::Default  ? port.defaultImpulseResponse()
                                                    : base == Base::Offset ? port.offsetImpulseResponse()
                                                                           : port.impulseResponse();
    const std::optional<SParametersTwoPort> &model = base == Base::Default  ? port.defaultSParameters()
                                                     : base == Base::Offset ? port.offsetSParameters()
                                                                            : port.uncorrectedSParameters();
    if (!isValidImpulse(impulse) || !isValidModel(model))
        return std::nullopt;
    return Uncorrected{base, &*impulse, &*model};
}

// Why a DUT grid other than the model's cannot be gated and resampled onto
// the model's grid; empty when it can. It must be a grid the transforms work
// on and must span the model's band, to within one of its steps at either
// end (where the end value is held): below or above the DUT's band nothing
// is known about the connection.
QString dutGridFault(const RealVector &dutGrid, const RealVector &modelGrid)
{
    QString fault = IProcessMethod::gridFault(dutGrid);
    if (!fault.isEmpty())
        return fault;
    const double step = (dutGrid[1] - dutGrid[0]) * (1.0 + 1e-6);
    if (dutGrid.front() - step > modelGrid.front() || dutGrid.back() + step < modelGrid.back())
        return IProcessMethod::tr("The DUT was measured from %1 to %2 MHz, which does not "
                                  "span the fixture model's band from %3 to %4 MHz. "
                                  "Measure the DUT over the fixture's frequency range")
            .arg(dutGrid.front() / 1e6, 0, 'g', 8)
            .arg(dutGrid.back() / 1e6, 0, 'g', 8)
            .arg(modelGrid.front() / 1e6, 0, 'g', 8)
            .arg(modelGrid.back() / 1e6, 0, 'g', 8);
    return QString();
}

// Where the gate of a correction ends. The DUT's own first reflection starts
// at the DUT plane, the impulse delay, and rises over about one rise time
// (the grid's time resolution): a gate that ends at the plane takes half of
// it into the fixture's reflection. The gate ends one rise time earlier,
// where the fixture's own reflections are over and the DUT's have not begun.
double gateStop(const ProcessInputParameters &parameters, const ImpulseResponse &impulse, const RealVector &modelGrid)
{
    const double riseTime = parameters.normalizingValue() / modelGrid.back();
    double stop = impulse.delay - riseTime;
    if (!(stop > parameters.timeMin()))
        stop = impulse.delay;
    return stop;
}

// The one gate of a correction: its end, its centre when the reference set
// it, the mode the DUT is gated in (its own grid's) and the model's mode the
// shared parameters return to.
struct Gate
{
    double stop = 0.0;
    std::optional<double> centre;
    GridMode dutMode = GridMode::BandPass;
    GridMode modelMode = GridMode::BandPass;
};

// The reference's gated reflection; the gate's centre is refined for the
// reference and kept, so the DUT is gated by the very same gate. Empty when
// either gating gives nothing.
std::optional<ComplexVector> gateReference(IProcessMethod &process, const ComplexVector &reference,
                                           const RealVector &modelGrid, Gate &gate)
{
    gate.centre = process.gateReflectionCentre(reference, modelGrid, gate.stop);
    if (!gate.centre)
        return std::nullopt;
    return process.gateReflection(reference, modelGrid, gate.stop, gate.centre);
}

// The DUT's gated reflection on the model's grid: gated in its own grid's
// mode, then resampled when its grid is another. Empty, after the text of the
// fault, when the gate gives nothing or a non-finite result.
std::optional<ComplexVector> gatedOnModelGrid(IProcessMethod &process, const SParametersOnePort &measured,
                                              const RealVector &modelGrid, const Gate &gate,
                                              const DutCorrection::Texts &texts)
{
    const RealVector &dutGrid = measured.frequency();
    ProcessInputParameters &parameters = *process.parameters();
    parameters.setGatingMode(gate.dutMode);
    parameters.setPulseMode(gate.dutMode);
    const std::optional<ComplexVector> gated = process.gateReflection(measured.s11(), dutGrid, gate.stop, gate.centre);
    parameters.setGatingMode(gate.modelMode);
    parameters.setPulseMode(gate.modelMode);
    if (!gated) {
        report(process, texts.gatingFailed);
        return std::nullopt;
    }
    if (!isFiniteComplexVector(*gated)) {
        report(process, texts.invalidResult);
        return std::nullopt;
    }
    ComplexVector reflection = *gated;
    if (!isEqualVector(dutGrid, modelGrid))
        reflection = resampleComplex(dutGrid, reflection, modelGrid);
    if (reflection.size() != modelGrid.size() || !isFiniteComplexVector(reflection)) {
        report(process, texts.invalidResult);
        return std::nullopt;
    }
    return reflection;
}

// Turns the DUT's gated reflection into the model's analyser-side reflection
// plus the change against the reference's gated reflection; false when the
// result is not finite. At the low edge of a band-pass band the change is
// the gate's own: the DUT's reflections ring into it there (0.1 at 1 GHz for
// a plain line, which has no reflection at all, on a 1 to 20 GHz grid). It
// is faded in over the lowest tenth of the band, where launches differ
// least.
bool addGatedChange(ComplexVector &reflection, const ComplexVector &before, const ComplexVector &analyserSide,
                    const RealVector &modelGrid)
{
    const CheckedBand trusted = checkedBand(modelGrid, true);
    const double edge = trusted.low - modelGrid.front();
    for (size_t i = 0; i < reflection.size(); ++i) {
        double weight = 1.0;
        if (edge > 0.0 && modelGrid[i] < trusted.low) {
            const double x = (modelGrid[i] - modelGrid.front()) / edge;
            weight = x * x * (3.0 - 2.0 * x);
        }
        reflection[i] = analyserSide[i] + weight * (reflection[i] - before[i]);
    }
    return isFiniteComplexVector(reflection);
}

// Stores the corrected analyser-side reflection (S22 of a right port, S11 of
// a left one) in the port's uncorrected version, converts the impedance where
// the port converts on a harmonic grid and marks the port DUT-corrected. A
// failed conversion returns the port to the uncorrected version, so the
// state and the model stay in step.
bool writeCorrection(FixturePort &port, Base base, const ComplexVector &reflection, GridMode gridMode)
{
    const bool restored = base == Base::Default  ? port.useDefaultData()
                          : base == Base::Offset ? port.useOffsetData()
                                                 : true;
    if (!restored)
        return false;
    const FixturePort::DataState baseState = *port.dataState(); // Default or Offset from here on

    SParametersTwoPort corrected = *port.uncorrectedSParameters();
    if (port.side())
        corrected.setS22(reflection);
    else
        corrected.setS11(reflection);
    if (!port.setCalculatedSParameters(corrected))
        return false;

    bool converted = false;
    if (gridMode == GridMode::LowPass && *port.conversionType() != Z0ConversionType::None) {
        if (!port.convertImpedance()) {
            if (baseState == FixturePort::DataState::Offset)
                port.useOffsetData();
            else
                port.useDefaultData();
            return false;
        }
        converted = true;
    }
    port.markDutCorrected(converted);
    return true;
}

// The DUT board's launch against the reference's: both reflections gated
// over the first half of the fixture, [timeMin, delay / 2], where the DUT's
// own reflections cannot reach even when the halves of a 2x-thru differ by
// a third. A notice when they differ by more than kLaunchTolerance.
std::optional<ModelNotice> launchDifference(IProcessMethod &process, const ImpulseResponse &impulse,
                                            const SParametersOnePort &dut, GridMode dutMode,
                                            const RealVector &modelGrid, const ComplexVector &reference,
                                            const DutCorrection::Texts &texts)
{
    ProcessInputParameters &parameters = *process.parameters();
    const double riseTime = parameters.normalizingValue() / modelGrid.back();
    const double stop = impulse.delay / 2.0;
    if (!(stop > parameters.timeMin() + 2.0 * riseTime))
        return std::nullopt; // too short a fixture to tell its launch apart
    const std::optional<double> centre = process.gateReflectionCentre(reference, modelGrid, stop);
    if (!centre)
        return std::nullopt;
    const std::optional<ComplexVector> before = process.gateReflection(reference, modelGrid, stop, centre);
    std::optional<ComplexVector> after;
    if (isEqualVector(dut.frequency(), modelGrid)) {
        after = process.gateReflection(dut.s11(), modelGrid, stop, centre);
    } else {
        const GridMode modelMode = parameters.gatingMode();
        parameters.setGatingMode(dutMode);
        parameters.setPulseMode(dutMode);
        after = process.gateReflection(dut.s11(), dut.frequency(), stop);
        parameters.setGatingMode(modelMode);
        parameters.setPulseMode(modelMode);
        if (after)
            after = resampleComplex(dut.frequency(), *after, modelGrid);
    }
    if (!before || !after || after->size() != modelGrid.size())
        return std::nullopt;
    const std::optional<DisagreementBand> d = disagreementBand(modelGrid, checkedBand(modelGrid, true), [&](size_t i) {
        return std::abs((*after)[i] - (*before)[i]) / kLaunchTolerance;
    });
    if (!d)
        return std::nullopt;
    const QString band = bandText(d->from, d->to);
    const QString summary = IProcessMethod::tr("The DUT board has another launch at %1 %2").arg(texts.portName, band);
    const QString detail =
        texts.fromThru
            ? IProcessMethod::tr("The DUT board's launch differs from the 2x-thru's: its reflection differs by up to "
                                 "%1 (worst at %2 GHz). The correction took the DUT board's reflection, but the "
                                 "model's transmission is still the 2x-thru's: DUT data de-embedded with it are wrong "
                                 "there. Measure a 2x-thru made like the DUT board.")
            : IProcessMethod::tr("The DUT board's launch differs from that of the fixture the standards were measured "
                                 "in: its reflection differs by up to %1 (worst at %2 GHz). The correction took the "
                                 "DUT board's reflection, but the model's transmission is still that fixture's: DUT "
                                 "data de-embedded with it are wrong there. Measure the standards in a fixture made "
                                 "like the DUT board.");
    return ModelNotice{texts.portName, summary,
                       detail.arg(d->worst * kLaunchTolerance, 0, 'f', 3).arg(d->worstFrequency / 1e9, 0, 'g', 4)};
}

} // namespace

std::optional<std::pair<double, double>> solveThruOffsets(double a, double b, double c)
{
    if (!isFiniteValue(a) || !isFiniteValue(b) || !isFiniteValue(c))
        return std::nullopt;
    return std::make_pair(c - a, b - a);
}

namespace DutCorrection {

std::optional<SParametersOnePort> pointsOn(const SParametersOnePort &dut, const RealVector &grid)
{
    const RealVector &f = dut.frequency();
    if (f.size() != dut.s11().size() || grid.empty() || f.size() < grid.size())
        return std::nullopt;
    ComplexVector values;
    values.reserve(grid.size());
    size_t j = 0;
    for (const double g : grid) {
        const double tolerance = std::max(1.0, 1e-9 * std::abs(g));
        while (j < f.size() && f[j] < g - tolerance)
            ++j;
        if (j == f.size() || std::abs(f[j] - g) > tolerance)
            return std::nullopt;
        values.push_back(dut.s11()[j]);
        ++j;
    }
    SParametersOnePort cut;
    cut.setFrequency(grid);
    cut.setS11(values);
    return cut;
}

std::optional<GridMode> useModelGridMode(IProcessMethod &process, const FixturePort &port)
{
    const std::optional<GridMode> mode = port.gridMode();
    ProcessInputParameters *parameters = process.parameters();
    if (!mode || !parameters)
        return std::nullopt;
    // The gate of the correction must match the grid the model was computed
    // on, not whatever the last calculation left in the shared parameters.
    if (parameters->gatingMode() != *mode)
        parameters->setGatingMode(*mode);
    if (parameters->pulseMode() != *mode)
        parameters->setPulseMode(*mode);
    return mode;
}

bool correctPort(IProcessMethod &process, FixturePort &port, const SParametersOnePort &dut, GridMode gridMode,
                 const Texts &texts, const ComplexVector *reference)
{
    // Everything is computed from the uncorrected version before the port
    // changes, so a failed gating leaves the port as it was.
    const std::optional<Uncorrected> source = uncorrectedOf(port);
    if (!source)
        return false;

    // A DUT measured at every point of the model's grid and more (the same
    // step to a higher stop frequency) is taken at the model's points: the
    // correction is then that of the model's own grid, with the same gate
    // for the DUT and the reference. A DUT measured on another grid is gated
    // on its own grid, in that grid's own mode, and the gated reflection
    // (the smooth early part only) is resampled onto the model's grid.
    const RealVector &modelGrid = source->model->frequency();
    std::optional<SParametersOnePort> cut;
    if (!isEqualVector(dut.frequency(), modelGrid))
        cut = pointsOn(dut, modelGrid);
    const SParametersOnePort &measured = cut ? *cut : dut;
    const RealVector &dutGrid = measured.frequency();
    Gate gate;
    gate.dutMode = gridMode;
    gate.modelMode = gridMode;
    if (!isEqualVector(dutGrid, modelGrid)) {
        const QString fault = dutGridFault(dutGrid, modelGrid);
        if (!fault.isEmpty()) {
            report(process, texts.inputRejected);
            report(process, fault);
            return false;
        }
        gate.dutMode = frequencyGridMode(dutGrid).value_or(GridMode::BandPass);
    }
    gate.stop = gateStop(*process.parameters(), *source->impulse, modelGrid);

    // Where the model came from a reflection that is at hand (the thru's, or
    // the standard's without its main reflection), only the change of the
    // gated reflection is taken: the model plus the DUT's gated reflection
    // minus that reflection gated by the very same gate. The gate's own
    // error, and the fixture's reflections near the DUT plane that a gate
    // ending before the plane cuts off, are then the same in both and
    // cancel; a connection that did not change leaves the model as it was.
    const ComplexVector *usableReference = reference && reference->size() == modelGrid.size() ? reference : nullptr;
    std::optional<ComplexVector> before;
    if (usableReference) {
        before = gateReference(process, *usableReference, modelGrid, gate);
        if (!before) {
            report(process, texts.gatingFailed);
            return false;
        }
    }
    std::optional<ComplexVector> reflection = gatedOnModelGrid(process, measured, modelGrid, gate, texts);
    if (!reflection)
        return false;

    const std::optional<ModelNotice> launch =
        usableReference
            ? launchDifference(process, *source->impulse, measured, gate.dutMode, modelGrid, *usableReference, texts)
            : std::nullopt;

    if (before) {
        const ComplexVector &analyserSide = port.side() ? source->model->s22() : source->model->s11();
        if (!addGatedChange(*reflection, *before, analyserSide, modelGrid)) {
            report(process, texts.invalidResult);
            return false;
        }
    }

    if (!writeCorrection(port, source->base, *reflection, gridMode))
        return false;
    if (launch)
        process.addModelNotice(&port, launch->summary, launch->detail);
    emit port.uncorrectedSParametersChanged();
    return true;
}

bool correctReflection(ReflectProcess &process, const SParametersOnePort &dut, const QString &invalidInput,
                       const QString &invalidResult, const ComplexVector *reference)
{
    FixturePort *port = process.port();
    if (!port || !process.parameters())
        return false;
    if (!isValidModel(port->uncorrectedSParameters()) || !isUsableOnePort(dut)) {
        emit process.error(invalidInput);
        const QString fault = IProcessMethod::dataFault(
            dut.frequency(), {{IProcessMethod::tr("S11 of the DUT at %1").arg(process.firstPortName()), &dut.s11()}});
        if (!fault.isEmpty())
            emit process.error(fault);
        return false;
    }
    const std::optional<GridMode> mode = useModelGridMode(process, *port);
    if (!mode) {
        emit process.error(invalidInput);
        return false;
    }
    if (!correctPort(process, *port, dut, *mode,
                     {invalidInput, QString(), invalidResult, process.firstPortName(), false}, reference))
        return false;
    process.reportModelFaults();
    return true;
}

} // namespace DutCorrection

} // namespace Algorithms
