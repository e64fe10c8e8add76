#include "algorithms/gatinghelpers.h"

#include "algorithms/messages.h"

#include <algorithm>
#include <cmath>

namespace Algorithms {

namespace {

// Below -60 dB everywhere the data hold no signal.
constexpr double kNoSignalLevel = 1e-3;

bool isUsableResponse(const TimeDomainResponse &response)
{
    return !response.values.empty() && !response.time.empty() && response.values.size() == response.time.size()
           && isFiniteComplexVector(response.values) && isFiniteVector(response.time);
}

} // namespace

std::optional<ImpulseResponse> IProcessMethod::calculateImpulseResponse(const ComplexVector &spectrum,
                                                                        const RealVector &grid, int n, double riseTime,
                                                                        int mode)
{
    const TimeDomainResponse coarse = computeImpulseResponse(spectrum, grid, 0.0, 0.0, 0.0, mode);
    if (!isUsableResponse(coarse)) {
        emit error(Messages::noisySignal);
        return std::nullopt;
    }
    // Data without any signal (an open port, fixtures not connected) have
    // no delay to find: the peak would be wherever the noise is largest.
    double level = 0.0;
    for (const Complex &v : spectrum)
        level = std::max(level, std::abs(v));
    if (level < kNoSignalLevel) {
        emit error(Messages::noisySignal);
        emit error(tr("There is no signal: the largest magnitude of the measured data is %1 dB. "
                      "Check that the fixtures are connected.")
                       .arg(level > 0.0 ? 20.0 * std::log10(level) : -HUGE_VAL, 0, 'f', 1));
        return std::nullopt;
    }
    const double coarsePeak = coarse.time[findPeak(coarse.values).index];

    const double halfSpan = n * riseTime;
    const TimeDomainResponse fine =
        computeImpulseResponse(spectrum, grid, coarsePeak - halfSpan, coarsePeak + halfSpan, 3.0, mode);
    if (!isUsableResponse(fine)) {
        emit error(Messages::noisySignal);
        return std::nullopt;
    }
    double delay = fine.time[findPeak(fine.values).index];
    // The time grid is accumulated from its start, so a peak at t = 0 (a
    // zero-length thru) can come out as a rounding residue of either sign.
    const double step = fine.time.size() > 1 ? std::abs(fine.time[1] - fine.time[0]) : 0.0;
    if (std::abs(delay) <= 1e-6 * step)
        delay = 0.0;
    if (delay < 0.0) {
        emit error(tr("A negative fixture delay. Check measured data for validity"));
        // A passive fixture has no negative delay: either its delay is longer
        // than the grid resolves and wraps around, or the analyser shifts
        // the data in time.
        const double step = grid.size() > 1 ? std::abs(grid[1] - grid[0]) : 0.0;
        if (step > 0.0)
            emit error(tr("The impulse response peaks at %1 ps. At a frequency step of %2 MHz the "
                          "response repeats every %3 ns, so a longer fixture wraps around to "
                          "negative times: use more points or a smaller span. Otherwise check the "
                          "electrical delay and port extensions set on the analyser.")
                           .arg(delay * 1e12, 0, 'f', 1)
                           .arg(step / 1e6, 0, 'g', 6)
                           .arg(1e9 / step, 0, 'g', 4));
        return std::nullopt;
    }
    return ImpulseResponse{fine.values, fine.time, delay, coarsePeak};
}

std::optional<ImpulseResponse> IProcessMethod::usableImpulseResponse(const ComplexVector &spectrum,
                                                                     const RealVector &grid)
{
    std::optional<ImpulseResponse> impulse = calculateImpulseResponse(
        spectrum, grid, m_parameters->nRiseTime(), m_parameters->riseTime(), m_parameters->pulseMode());
    if (impulse && !impulse->isValid()) {
        emit error(Messages::noisySignal);
        return std::nullopt;
    }
    return impulse;
}

std::optional<Gating> IProcessMethod::usableGating(const ComplexVector &spectrum, const RealVector &grid, double delay)
{
    std::optional<Gating> gating =
        calculateGating(spectrum, grid, delay, m_parameters->timeMin(), m_parameters->pulseMode());
    if (!gating || !gating->isValid()) {
        emit error(Messages::noisySignal);
        return std::nullopt;
    }
    return gating;
}

std::optional<Gating> IProcessMethod::calculateGating(const ComplexVector &spectrum, const RealVector &grid,
                                                      double delay, double start, int mode)
{
    const TimeDomainResponse response = computeImpulseResponse(spectrum, grid, start, 2.0 * delay, 6.0, mode);
    if (!isUsableResponse(response))
        return std::nullopt;

    RealVector magnitude(response.values.size());
    for (size_t i = 0; i < magnitude.size(); ++i)
        magnitude[i] = std::hypot(response.values[i].real(), response.values[i].imag());

    // A delay outside the time grid has no magnitude to show: fail instead
    // of keeping the interpolation's failure value.
    const RealVector &t = response.time;
    const bool inside =
        (delay >= t.front() || fuzzyEqual(delay, t.front())) && (delay <= t.back() || fuzzyEqual(delay, t.back()));
    if (!inside)
        return std::nullopt;
    const double value = interp1(t, magnitude, delay);
    if (!isFiniteValue(value) || value < 0.0)
        return std::nullopt;
    return Gating{response.values, response.time, value};
}

std::optional<ComplexVector> IProcessMethod::gateReflection(const ComplexVector &spectrum, const RealVector &grid,
                                                            double delay)
{
    if (!m_parameters)
        return std::nullopt;
    const double timeMin = m_parameters->timeMin();
    GateParameters gate;
    gate.start = timeMin;
    gate.stop = delay;
    gate.beta = m_parameters->kaiserBeta();
    gate.betaX = m_parameters->kaiserBetaX();
    gate.centre = (timeMin + delay) / 2.0;
    gate.halfWidth = (delay - timeMin) / 2.0;
    gate.reserved = 0.0;

    const int gridMode = m_parameters->gatingMode();
    const std::optional<double> centre =
        refineGateCentre(spectrum, grid, m_parameters->lowSignalCenterMode(), gate, gridMode);
    if (!centre || !isFiniteValue(*centre))
        return std::nullopt;
    gate.centre = *centre;

    ComplexVector gated = gateSpectrum(spectrum, grid, gridMode, gate);
    if (gated.size() != spectrum.size() || !isFiniteComplexVector(gated))
        return std::nullopt;
    return gated;
}

} // namespace Algorithms
