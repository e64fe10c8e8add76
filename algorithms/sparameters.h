#pragma once
// Value classes for measured or computed networks over a frequency grid (Hz).

#include "algorithms/vectorhelpers.h"

#include <cstdint>
#include <optional>

namespace Algorithms {

class SParametersOnePort
{
public:
    SParametersOnePort() = default;
    SParametersOnePort(const SParametersOnePort &) = default;
    SParametersOnePort(SParametersOnePort &&) = default;
    SParametersOnePort &operator=(const SParametersOnePort &) = default;
    SParametersOnePort &operator=(SParametersOnePort &&) = default;
    virtual ~SParametersOnePort();

    virtual bool isValid() const;
    virtual void resize(size_t count);
    virtual bool interpolate(const RealVector &newGrid);

    RealVector &frequency() { return m_frequency; }
    const RealVector &frequency() const { return m_frequency; }
    ComplexVector &s11() { return m_s11; }
    const ComplexVector &s11() const { return m_s11; }
    void setFrequency(const RealVector &frequency) { m_frequency = frequency; }
    void setS11(const ComplexVector &s11) { m_s11 = s11; }

    // The point count when valid.
    std::optional<size_t> pointsCount() const;

protected:
    RealVector m_frequency;
    ComplexVector m_s11;
};

class SParametersTwoPort : public SParametersOnePort
{
public:
    SParametersTwoPort() = default;
    SParametersTwoPort(const SParametersTwoPort &) = default;
    SParametersTwoPort(SParametersTwoPort &&) = default;
    SParametersTwoPort &operator=(const SParametersTwoPort &) = default;
    SParametersTwoPort &operator=(SParametersTwoPort &&) = default;
    ~SParametersTwoPort() override;

    bool isValid() const override;
    void resize(size_t count) override;
    bool interpolate(const RealVector &newGrid) override;

    ComplexVector &s12() { return m_s12; }
    const ComplexVector &s12() const { return m_s12; }
    ComplexVector &s21() { return m_s21; }
    const ComplexVector &s21() const { return m_s21; }
    ComplexVector &s22() { return m_s22; }
    const ComplexVector &s22() const { return m_s22; }
    void setS12(const ComplexVector &s12) { m_s12 = s12; }
    void setS21(const ComplexVector &s21) { m_s21 = s21; }
    void setS22(const ComplexVector &s22) { m_s22 = s22; }

    // Reverses the network (S11<->S22, S12<->S21) when valid.
    void swapPorts();

protected:
    ComplexVector m_s12;
    ComplexVector m_s21;
    ComplexVector m_s22;
};

class SParametersOnePortVNA : public SParametersOnePort
{
public:
    SParametersOnePortVNA() = default;
    SParametersOnePortVNA(const SParametersOnePortVNA &) = default;
    SParametersOnePortVNA(SParametersOnePortVNA &&) = default;
    SParametersOnePortVNA &operator=(const SParametersOnePortVNA &) = default;
    SParametersOnePortVNA &operator=(SParametersOnePortVNA &&) = default;
    ~SParametersOnePortVNA() override;

    std::optional<uint64_t> &vnaPort() { return m_vnaPort; }
    const std::optional<uint64_t> &vnaPort() const { return m_vnaPort; }
    void setVnaPort(std::optional<uint64_t> port) { m_vnaPort = port; }

protected:
    std::optional<uint64_t> m_vnaPort;
};

class SParametersTwoPortVNA : public SParametersTwoPort
{
public:
    SParametersTwoPortVNA() = default;
    SParametersTwoPortVNA(const SParametersTwoPortVNA &) = default;
    SParametersTwoPortVNA(SParametersTwoPortVNA &&) = default;
    SParametersTwoPortVNA &operator=(const SParametersTwoPortVNA &) = default;
    SParametersTwoPortVNA &operator=(SParametersTwoPortVNA &&) = default;
    ~SParametersTwoPortVNA() override;

    std::optional<uint64_t> &vnaPort1() { return m_vnaPort1; }
    const std::optional<uint64_t> &vnaPort1() const { return m_vnaPort1; }
    std::optional<uint64_t> &vnaPort2() { return m_vnaPort2; }
    const std::optional<uint64_t> &vnaPort2() const { return m_vnaPort2; }
    void setVnaPort1(std::optional<uint64_t> port) { m_vnaPort1 = port; }
    void setVnaPort2(std::optional<uint64_t> port) { m_vnaPort2 = port; }

    void swapVnaPorts() { std::swap(m_vnaPort1, m_vnaPort2); }

protected:
    std::optional<uint64_t> m_vnaPort1;
    std::optional<uint64_t> m_vnaPort2;
};

} // namespace Algorithms
