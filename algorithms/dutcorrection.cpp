#include "algorithms/dutcorrection.h"

#include "algorithms/lowpassspectrum.h"
#include "algorithms/reflectionprocess.h"
#include "algorithms/timegatingtransmission.h"

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

} // namespace

std::optional<std::pair<double, double>> solveThruOffsets(double a, double b, double c)
{
    if (!isFiniteValue(a) || !isFiniteValue(b) || !isFiniteValue(c))
        return std::nullopt;
    return std::make_pair(c - a, b - a);
}

namespace DutCorrection {

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
    const auto report = [&process](const QString &text) {
        if (!text.isEmpty())
            emit process.error(text);
    };

    // Everything is computed from the uncorrected version before the port
    // changes, so a failed gating leaves the port as it was.
    const Base base = baseOf(*port.dataState());
    const std::optional<ImpulseResponse> &impulse = base == Base::Default  ? port.defaultImpulseResponse()
                                                    : base == Base::Offset ? port.offsetImpulseResponse()
                                                                           : port.impulseResponse();
    const std::optional<SParametersTwoPort> &model = base == Base::Default  ? port.defaultSParameters()
                                                     : base == Base::Offset ? port.offsetSParameters()
                                                                            : port.uncorrectedSParameters();
    if (!isValidImpulse(impulse) || !isValidModel(model))
        return false;

    // A DUT measured on another grid is gated on its own grid, in that
    // grid's own mode, and the gated reflection (the smooth early part only)
    // is resampled onto the model's grid. That grid must be one the
    // transforms work on and must span the model's band, to within one of
    // its steps at either end (where the end value is held): below or above
    // the DUT's band nothing is known about the connection.
    const RealVector &dutGrid = dut.frequency();
    const RealVector &modelGrid = model->frequency();
    GridMode gateMode = gridMode;
    if (!isEqualVector(dutGrid, modelGrid)) {
        QString fault = IProcessMethod::gridFault(dutGrid);
        if (fault.isEmpty()) {
            const double step = (dutGrid[1] - dutGrid[0]) * (1.0 + 1e-6);
            if (dutGrid.front() - step > modelGrid.front() || dutGrid.back() + step < modelGrid.back())
                fault = IProcessMethod::tr("The DUT was measured from %1 to %2 MHz, which does not "
                                           "span the fixture model's band from %3 to %4 MHz. "
                                           "Measure the DUT over the fixture's frequency range")
                            .arg(dutGrid.front() / 1e6, 0, 'g', 8)
                            .arg(dutGrid.back() / 1e6, 0, 'g', 8)
                            .arg(modelGrid.front() / 1e6, 0, 'g', 8)
                            .arg(modelGrid.back() / 1e6, 0, 'g', 8);
        }
        if (!fault.isEmpty()) {
            report(texts.inputRejected);
            report(fault);
            return false;
        }
        gateMode = frequencyGridMode(dutGrid).value_or(GridMode::BandPass);
    }
    // The DUT's own first reflection starts at the DUT plane, the impulse
    // delay, and rises over about one rise time (the grid's time
    // resolution): a gate that ends at the plane takes half of it into the
    // fixture's reflection. The gate ends one rise time earlier, where the
    // fixture's own reflections are over and the DUT's have not begun.
    ProcessInputParameters &parameters = *process.parameters();
    const double riseTime = parameters.normalizingValue() / modelGrid.back();
    double stop = impulse->delay - riseTime;
    if (!(stop > parameters.timeMin()))
        stop = impulse->delay;
    // Where the model came from a reflection that is at hand (the thru's, or
    // the standard's without its main reflection), only the change of the
    // gated reflection is taken: the model plus the DUT's gated reflection
    // minus that reflection gated by the very same gate. The gate's own
    // error, and the fixture's reflections near the DUT plane that a gate
    // ending before the plane cuts off, are then the same in both and
    // cancel; a connection that did not change leaves the model as it was.
    std::optional<double> centre;
    std::optional<ComplexVector> before;
    if (reference && reference->size() == modelGrid.size()) {
        centre = process.gateReflectionCentre(*reference, modelGrid, stop);
        if (centre)
            before = process.gateReflection(*reference, modelGrid, stop, centre);
        if (!before) {
            report(texts.gatingFailed);
            return false;
        }
    }
    parameters.setGatingMode(gateMode);
    parameters.setPulseMode(gateMode);
    const std::optional<ComplexVector> gated = process.gateReflection(dut.s11(), dutGrid, stop, centre);
    parameters.setGatingMode(gridMode);
    parameters.setPulseMode(gridMode);
    if (!gated) {
        report(texts.gatingFailed);
        return false;
    }
    if (!isFiniteComplexVector(*gated)) {
        report(texts.invalidResult);
        return false;
    }
    ComplexVector reflection = *gated;
    if (!isEqualVector(dutGrid, modelGrid))
        reflection = resampleComplex(dutGrid, reflection, modelGrid);
    if (reflection.size() != model->frequency().size() || !isFiniteComplexVector(reflection)) {
        report(texts.invalidResult);
        return false;
    }

    if (before) {
        const ComplexVector &analyserSide = port.side() ? model->s22() : model->s11();
        for (size_t i = 0; i < reflection.size(); ++i)
            reflection[i] = analyserSide[i] + reflection[i] - (*before)[i];
        if (!isFiniteComplexVector(reflection)) {
            report(texts.invalidResult);
            return false;
        }
    }

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
            // Keep the state and the model in step: back to the version the
            // correction started from.
            if (baseState == FixturePort::DataState::Offset)
                port.useOffsetData();
            else
                port.useDefaultData();
            return false;
        }
        converted = true;
    }

    port.markDutCorrected(converted);
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
        return false;
    }
    const std::optional<GridMode> mode = useModelGridMode(process, *port);
    if (!mode) {
        emit process.error(invalidInput);
        return false;
    }
    if (!correctPort(process, *port, dut, *mode, {invalidInput, QString(), invalidResult}, reference))
        return false;
    process.reportModelFaults();
    return true;
}

} // namespace DutCorrection

} // namespace Algorithms
