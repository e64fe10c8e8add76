#include "algorithms/sparameters.h"

#include <utility>

namespace Algorithms {

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
    ComplexVector s11 = resampleComplex(m_frequency, m_s11, newGrid);
    if (s11.size() != newGrid.size())
        return false;
    m_s11 = std::move(s11);
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
    return SParametersOnePort::isValid() && m_s12.size() == n && m_s21.size() == n
        && m_s22.size() == n;
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
    // Work on copies; the object changes only when every vector resampled.
    ComplexVector s12 = resampleComplex(m_frequency, m_s12, newGrid);
    ComplexVector s21 = resampleComplex(m_frequency, m_s21, newGrid);
    ComplexVector s22 = resampleComplex(m_frequency, m_s22, newGrid);
    ComplexVector s11 = resampleComplex(m_frequency, m_s11, newGrid);
    const size_t n = newGrid.size();
    if (s11.size() != n || s12.size() != n || s21.size() != n || s22.size() != n)
        return false;
    m_s11 = std::move(s11);
    m_s12 = std::move(s12);
    m_s21 = std::move(s21);
    m_s22 = std::move(s22);
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
