#include "algorithms/dutcorrection.h"

#include "algorithms/lowpassspectrum.h"
#include "algorithms/reflectionprocess.h"
#include "algorithms/timegatingtransmission.h"

#include <cmath>
#include <limits>

namespace Algorithms {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.14159265358979323846;

// A one-port that carries no data at all stands for "no DUT on this side".
bool isEmptyOnePort(const SParametersOnePort &s)
{
    return s.frequency().empty() && s.s11().empty();
}

bool isValidImpulse(const std::optional<ImpulseResponse> &impulse)
{
    return impulse && impulse->isValid();
}

bool isValidModel(const std::optional<SParametersTwoPort> &model)
{
    return model && model->isValid();
}

// The uncorrected version a DUT correction starts from: states 1, 4 and 6
// are based on the default model, 3, 5 and 7 on the offset model.
enum class Base { Current, Default, Offset };

Base baseOf(int dataState)
{
    switch (dataState) {
    case 1:
    case 4:
    case 6:
        return Base::Default;
    case 3:
    case 5:
    case 7:
        return Base::Offset;
    default:
        return Base::Current;
    }
}

} // namespace

std::optional<std::pair<double, double>> solveThruOffsets(double a, double b, double c)
{
    if (!isFiniteValue(a) || !isFiniteValue(b) || !isFiniteValue(c))
        return std::nullopt;
    return std::make_pair(c - a, b - a);
}

namespace DutCorrection {

std::optional<int> useModelGridMode(IProcessMethod &process, const FixturePort &port)
{
    const std::optional<int> mode = port.gridMode();
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

bool correctPort(IProcessMethod &process, FixturePort &port, const SParametersOnePort &dut, int gridMode,
                 const Texts &texts)
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
    int gateMode = gridMode;
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
        gateMode = frequencyGridMode(dutGrid).value_or(BandPassMode);
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
    parameters.setGatingMode(gateMode);
    parameters.setPulseMode(gateMode);
    const std::optional<ComplexVector> gated = process.gateReflection(dut.s11(), dutGrid, stop);
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

    const bool restored = base == Base::Default  ? port.useDefaultData()
                          : base == Base::Offset ? port.useOffsetData()
                                                 : true;
    if (!restored)
        return false;
    const int baseState = *port.dataState(); // 0 or 2 from here on

    SParametersTwoPort corrected = *port.uncorrectedSParameters();
    if (port.side())
        corrected.setS22(reflection);
    else
        corrected.setS11(reflection);
    if (!port.setCalculatedSParameters(corrected))
        return false;

    bool converted = false;
    if (gridMode == LowPassMode && *port.conversionType() != Z0ConversionNone) {
        if (!port.convertImpedance()) {
            // Keep the state and the model in step: back to the version the
            // correction started from.
            if (baseState == 2)
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

} // namespace DutCorrection

bool ProcessTimeGate::calculateDUT(const SParametersOnePort &left, const SParametersOnePort &right)
{
    if (!m_left || !m_right || !m_parameters)
        return false;
    const bool hasLeft = !isEmptyOnePort(left);
    const bool hasRight = !isEmptyOnePort(right);
    const bool usable =
        (hasLeft || hasRight) && (!hasLeft || isUsableOnePort(left)) && (!hasRight || isUsableOnePort(right));
    if (!m_left->uncorrectedSParameters() || !m_right->uncorrectedSParameters() || !usable) {
        emit error(tr("ProcessTimeGate::calculateDUT: error input parameters"));
        return false;
    }
    const QString invalidModels = tr("ProcessTimeGate::calculateDUT: error uncorrected fixture s parameters");
    if (!m_left->uncorrectedSParameters()->isValid() || !m_right->uncorrectedSParameters()->isValid()) {
        emit error(invalidModels);
        return false;
    }

    // Each port is undone, gated, converted and marked on its own: the two
    // ports may well be in different states (one converted, one not), and a
    // side without a DUT measurement keeps its model and state.
    const QString invalidResult = tr("ProcessTimeGate::calculateDUT: invalid result vectors");
    const auto correct = [&](FixturePort &port, const SParametersOnePort &dut, const QString &gatingFailed) {
        const std::optional<int> mode = DutCorrection::useModelGridMode(*this, port);
        if (!mode) {
            emit error(invalidModels);
            return false;
        }
        return DutCorrection::correctPort(
            *this, port, dut, *mode,
            {tr("ProcessTimeGate::calculateDUT: error input parameters"), gatingFailed, invalidResult});
    };
    if (hasLeft && !correct(*m_left, left, tr("ProcessTimeGate::calculateDUT: Error gating S11")))
        return false;
    if (hasRight && !correct(*m_right, right, tr("ProcessTimeGate::calculateDUT: Error gating S22")))
        return false;
    reportModelFaults();
    return true;
}

namespace {

// The DUT correction of the time-gating reflection processes; the texts are
// those of the calling class.
bool correctReflection(ReflectProcess &process, const SParametersOnePort &dut, const QString &invalidInput,
                       const QString &invalidResult)
{
    FixturePort *port = process.port();
    if (!port || !process.parameters())
        return false;
    if (!isValidModel(port->uncorrectedSParameters()) || !isUsableOnePort(dut)) {
        emit process.error(invalidInput);
        return false;
    }
    const std::optional<int> mode = DutCorrection::useModelGridMode(process, *port);
    if (!mode) {
        emit process.error(invalidInput);
        return false;
    }
    if (!DutCorrection::correctPort(process, *port, dut, *mode, {invalidInput, QString(), invalidResult}))
        return false;
    process.reportModelFaults();
    return true;
}

} // namespace

bool ProcessTimeGateReflect::calculateDUT(const SParametersOnePort &dut)
{
    return correctReflection(*this, dut, tr("Invalid input data of  DUT with fixture"),
                             tr("Invalid calculated data of DUT with fixture. NaN or Inf value found"));
}

bool ProcessTimeGateReflectOpenAndShort::calculateDUT(const SParametersOnePort &dut)
{
    return correctReflection(*this, dut, tr("Invalid input data of  DUT with fixture"),
                             tr("Invalid calculated data of DUT with fixture. NaN or Inf value found"));
}

void FixturePort::markDutCorrected(bool converted)
{
    if (m_dataState == 2)
        m_dataState = converted ? 7 : 5;
    else if (m_dataState == 0)
        m_dataState = converted ? 6 : 4;
}

bool FixturePort::applyOffset(double offset)
{
    if (!isValidModel(m_current) || !isValidModel(m_default) || !isValidImpulse(m_defaultImpulse)
        || !isValidImpulse(m_impulse)) {
        emit error(tr("Offset was not performed. Check measured data for validity"));
        return false;
    }

    if (fuzzyEqual(offset, 0.0)) {
        if (m_converted) {
            m_current = m_converted;
            m_dataState = 1;
        } else {
            m_current = m_default;
            m_dataState = 0;
        }
        m_impulse = m_defaultImpulse;
        emit uncorrectedSParametersChanged();
        emit impulseResponseChanged();
        return true;
    }

    // The model is scaled as a line p = (L + a) / L times as long. Only a
    // fixture of positive length can be scaled, and p must stay >= 0: a
    // negative length would be a fixture with gain.
    const double length = m_defaultImpulse->delay;
    if (!(length > 0.0)) {
        emit error(tr("Offset was not performed. Check measured data for validity"));
        return false;
    }
    if (!isFiniteValue(offset) || offset < -length) {
        emit error(tr("Offset was not performed. Check offset value"));
        return false;
    }
    const double p = (length + offset) / length;

    // Always from the default model, so offsets do not accumulate.
    const SParametersTwoPort &base = *m_default;
    const ComplexVector &s = base.s21();
    const ComplexVector &r = m_side ? base.s11() : base.s22();
    const size_t n = s.size();
    RealVector phase(n);
    for (size_t i = 0; i < n; ++i)
        phase[i] = std::arg(s[i]);
    phase = unwrapPhase(phase);
    // The scaled phase is p times the whole phase of the line, not of its
    // principal value: on a grid that starts high the first point has turned
    // by many periods. Anchor the unwrapped phase to the fixture's own delay
    // (half the round-trip delay L), as the transmission roots were.
    if (n > 0) {
        const double expected = -kPi * base.frequency().front() * length;
        const double turns = std::round((expected - phase[0]) / (2.0 * kPi));
        for (double &value : phase)
            value += 2.0 * kPi * turns;
    }

    ComplexVector scaled(n), reflection(n);
    bool finite = true;
    for (size_t i = 0; i < n; ++i) {
        const double magnitude = std::pow(std::abs(s[i]), p);
        scaled[i] = Complex(magnitude * std::cos(p * phase[i]), magnitude * std::sin(p * phase[i]));
        const bool divisible = std::abs(s[i]) > 0.0 && isFiniteComplex(s[i]);
        const Complex q = divisible ? scaled[i] / s[i] : Complex(kNaN, kNaN);
        reflection[i] = r[i] * q * q;
        finite = finite && isFiniteComplex(scaled[i]) && isFiniteComplex(reflection[i]);
    }
    if (!finite) {
        emit error(tr("Offset was not performed. Check offset value"));
        return false;
    }

    m_impulse->delay = length + offset;
    SParametersTwoPort moved = base;
    moved.setS12(scaled);
    moved.setS21(scaled);
    if (m_side)
        moved.setS11(reflection);
    else
        moved.setS22(reflection);
    m_current = std::move(moved);

    if (m_impulse->isValid())
        m_offsetImpulse = m_impulse;
    else
        emit error(tr("Invalid impulse response offset"));
    if (m_current->isValid()) {
        m_dataState = 2;
        m_offset = m_current;
        // Moving the plane toward the analyser undoes loss and turns the
        // DUT-side reflection up: the moved model can show gain.
        const QString fault = IProcessMethod::passivityFault(tr("this port with its offset"), *m_current);
        if (!fault.isEmpty())
            emit error(fault);
    } else {
        emit error(tr("Invalid uncorrected fixture SParameters offset"));
    }

    if (m_conversionType != Z0ConversionNone && gridMode() == std::optional<int>(LowPassMode)) {
        if (convertImpedance()) {
            m_dataState = 3;
            emit uncorrectedSParametersChanged();
            emit impulseResponseChanged();
            return true;
        }
        if (m_offset && m_offsetImpulse) {
            m_current = m_offset;
            m_impulse = m_offsetImpulse;
            m_dataState = 2;
        }
        emit uncorrectedSParametersChanged();
        emit impulseResponseChanged();
        return false;
    }

    emit uncorrectedSParametersChanged();
    emit impulseResponseChanged();
    return true;
}

} // namespace Algorithms
