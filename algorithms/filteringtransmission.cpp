#include "algorithms/filteringtransmission.h"

#include "algorithms/logging.h"
#include "algorithms/lowpassspectrum.h"
#include "algorithms/timegatingtransmission.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace Algorithms {

namespace {

enum class ModelFailure {
    None,
    DelayTooShort, // the delay nodes are closer than the band resolves
    DelayTooLong, // the nodes span more than the frequency step allows
    Other,
};

struct ModelResult
{
    std::optional<NumExpComponents> components;
    ModelFailure failure = ModelFailure::None;
};

// Why the model has no coefficient count on the grid it is fitted on.
ModelFailure windowFailure(const RealVector &grid, const RealVector &delays)
{
    if (grid.size() < 2 || delays.size() < 2)
        return ModelFailure::Other;
    if (numExpCoefficientCount(grid, delays))
        return ModelFailure::Other;
    double spacing = delays[1] - delays[0];
    for (size_t i = 2; i < delays.size(); ++i)
        spacing = std::min(spacing, delays[i] - delays[i - 1]);
    const double span = grid.back() - grid.front();
    if (!std::isfinite(spacing) || !std::isfinite(span) || !(span > 0.0))
        return ModelFailure::Other;
    return spacing < 3.0 / span ? ModelFailure::DelayTooShort : ModelFailure::DelayTooLong;
}

ModelResult fitReflectionModel(const RealVector &frequency, const ComplexVector &reflection, const RealVector &delays,
                               bool lowPass)
{
    ModelResult result;
    const size_t n = frequency.size();
    if (n == 0 || reflection.size() != n) {
        result.failure = ModelFailure::Other;
        return result;
    }
    if (!lowPass) {
        result.components = fitNumExpModel(frequency, reflection, delays);
        if (!result.components)
            result.failure = windowFailure(frequency, delays);
        return result;
    }

    const double dc = extrapolateDcValue(reflection, frequency.back());
    if (!std::isfinite(dc)) {
        qCDebug(lcAlgorithms) << "ProcessFiltering: no DC value for the two-sided spectrum";
        result.failure = ModelFailure::Other;
        return result;
    }
    const TwoSidedLowPassSpectrum twoSided = makeTwoSidedLowPassSpectrum(frequency, reflection, dc);
    const std::optional<NumExpComponents> full = fitNumExpModel(twoSided.frequency, twoSided.spectrum, delays);
    if (!full) {
        result.failure = windowFailure(twoSided.frequency, delays);
        return result;
    }

    // Keep the positive frequencies: entries N + 1 on of every component.
    NumExpComponents cut;
    cut.reserve(full->size());
    for (const ComplexVector &component : *full) {
        if (component.size() != full->front().size() || component.size() < n + 1) {
            result.failure = ModelFailure::Other;
            return result;
        }
        cut.emplace_back(component.begin() + static_cast<std::ptrdiff_t>(n + 1), component.end());
    }
    result.components = std::move(cut);
    return result;
}

} // namespace

TwoSidedLowPassSpectrum makeTwoSidedLowPassSpectrum(const RealVector &frequency, const ComplexVector &spectrum,
                                                    double dc)
{
    TwoSidedLowPassSpectrum result;
    const size_t n = frequency.size();
    if (n == 0 || spectrum.size() != n)
        return result;
    result.frequency.reserve(2 * n + 1);
    result.spectrum.reserve(2 * n + 1);
    for (size_t i = n; i-- > 0;) {
        result.frequency.push_back(-frequency[i]);
        result.spectrum.push_back(std::conj(spectrum[i]));
    }
    result.frequency.push_back(0.0);
    result.spectrum.push_back(Complex(dc, 0.0));
    result.frequency.insert(result.frequency.end(), frequency.begin(), frequency.end());
    result.spectrum.insert(result.spectrum.end(), spectrum.begin(), spectrum.end());
    return result;
}

std::optional<NumExpComponents> reflectionModel(const RealVector &frequency, const ComplexVector &reflection,
                                                const RealVector &delays, bool lowPass)
{
    return fitReflectionModel(frequency, reflection, delays, lowPass).components;
}

void setTimeMinFromLeftDelay(TransmissionProcess &process)
{
    FixturePort *left = process.leftPort();
    FixturePort *right = process.rightPort();
    ProcessInputParameters *parameters = process.parameters();
    if (!left || !right || !parameters || !left->impulseResponse() || !right->impulseResponse())
        return;
    const double leftDelay = left->impulseResponse()->delay;
    if (leftDelay != right->impulseResponse()->delay)
        qCDebug(lcAlgorithms) << "ProcessBisect::determineTimeMin(): different lengths of the fixtures. ???";
    parameters->setTimeMin(-leftDelay);
}

ProcessFiltering::ProcessFiltering(QObject *parent) : TransmissionProcess(parent) {}

void ProcessFiltering::determineTimeMin()
{
    setTimeMinFromLeftDelay(*this);
}

bool ProcessFiltering::checkFixtureDelay(double delay)
{
    if (delay > FilteringMaxFixtureDelay) {
        emit error(tr("The filtering method error. Fixture delay is too long. Select a different "
                      "correction method"));
        return false;
    }
    return true;
}

bool ProcessFiltering::calculateFixtures()
{
    if (!m_left || !m_right || !m_parameters || !m_left->impulseResponse() || !m_right->impulseResponse())
        return false;

    const RealVector &f = m_input.frequency();
    const size_t n = f.size();
    const bool lowPass = m_parameters->gatingMode() == GridMode::LowPass;

    // Components at the fixture's own response and at the round trip of the
    // whole thru.
    const double leftDelay = m_left->impulseResponse()->delay;
    const double rightDelay = m_right->impulseResponse()->delay;
    const RealVector leftDelays = {0.0, 2.0 * leftDelay};
    const RealVector rightDelays = {0.0, 2.0 * rightDelay};
    if (isInterrupted())
        return false;

    const ModelResult leftModel = fitReflectionModel(f, m_input.s11(), leftDelays, lowPass);
    if (isInterrupted())
        return false;
    const ModelResult rightModel = fitReflectionModel(f, m_input.s22(), rightDelays, lowPass);
    if (isInterrupted())
        return false;

    // A model the grid cannot carry is reported, not just left as a failed
    // status: the user has to pick another method.
    const auto usable = [n](const ModelResult &m) {
        return m.components && m.components->size() > 1 && m.components->front().size() == n;
    };
    if (!usable(leftModel) || !usable(rightModel)) {
        const ModelFailure failure = leftModel.failure != ModelFailure::None ? leftModel.failure : rightModel.failure;
        if (failure == ModelFailure::DelayTooShort)
            emit error(tr("The filtering method error. Fixture delay is too short. Select a "
                          "different correction method"));
        else if (failure == ModelFailure::DelayTooLong)
            emit error(tr("The filtering method error. Fixture delay is too long. Select a "
                          "different correction method"));
        else
            emit error(tr("The filtering method error!"));
        return false;
    }
    if (isInterrupted())
        return false;

    const ComplexVector &a = leftModel.components->front();
    const ComplexVector &b = rightModel.components->front();
    if (isInterrupted())
        return false;

    return splitThru(a, b);
}

void ProcessFiltering::checkFixtures()
{
    compareWithTimeGating(tr("Filtering model of %1 differs from time gating %2"));
}

} // namespace Algorithms
