#include "algorithms/sparameters.h"

#include <utility>

namespace Algorithms {

namespace {
// Resamples every vector of `data` from `grid` onto `newGrid`; the vectors
// change only when all of them resampled to the new size.
bool resampleAll(const RealVector &grid, std::initializer_list<ComplexVector *> data, const RealVector &newGrid)
{
    std::vector<ComplexVector> resampled;
    resampled.reserve(data.size());
    for (const ComplexVector *values : data) {
        resampled.push_back(resampleComplex(grid, *values, newGrid));
        if (resampled.back().size() != newGrid.size())
            return false;
    }
    size_t i = 0;
    for (ComplexVector *values : data)
        *values = std::move(resampled[i++]);
    return true;
}
} // namespace

SParametersOnePort::~SParametersOnePort() = default;

bool SParametersOnePort::isValid() const
{
    return m_frequency.size() == m_s11.size() && m_frequency.size() >= 3;
}

void SParametersOnePort::resize(size_t count)
{
    m_frequency.resize(count, 0.0);
    m_s11.resize(count, Complex(0.0, 0.0));
}

bool SParametersOnePort::interpolate(const RealVector &newGrid)
{
    if (!isValid() || newGrid.size() < 3)
        return false;
    if (isEqualVector(m_frequency, newGrid))
        return true;
    if (!resampleAll(m_frequency, {&m_s11}, newGrid))
        return false;
    m_frequency = newGrid;
    return true;
}

std::optional<size_t> SParametersOnePort::pointsCount() const
{
    if (!isValid())
        return std::nullopt;
    return m_frequency.size();
}

SParametersTwoPort::~SParametersTwoPort() = default;

bool SParametersTwoPort::isValid() const
{
    const size_t n = m_frequency.size();
    return SParametersOnePort::isValid() && m_s12.size() == n && m_s21.size() == n && m_s22.size() == n;
}

void SParametersTwoPort::resize(size_t count)
{
    SParametersOnePort::resize(count);
    m_s12.resize(count, Complex(0.0, 0.0));
    m_s21.resize(count, Complex(0.0, 0.0));
    m_s22.resize(count, Complex(0.0, 0.0));
}

bool SParametersTwoPort::interpolate(const RealVector &newGrid)
{
    if (!isValid() || newGrid.size() < 3)
        return false;
    if (isEqualVector(m_frequency, newGrid))
        return true;
    if (!resampleAll(m_frequency, {&m_s12, &m_s21, &m_s22, &m_s11}, newGrid))
        return false;
    m_frequency = newGrid;
    return true;
}

void SParametersTwoPort::swapPorts()
{
    if (!isValid())
        return;
    std::swap(m_s11, m_s22);
    std::swap(m_s12, m_s21);
}

SParametersOnePortVNA::~SParametersOnePortVNA() = default;
SParametersTwoPortVNA::~SParametersTwoPortVNA() = default;

} // namespace Algorithms
