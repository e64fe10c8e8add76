#include "synthnet/synthnet.h"

#include <cmath>
#include <stdexcept>

namespace SynthNet {

namespace {
constexpr double kPi = 3.14159265358979323846;

void requireSameGrid(const Network &a, const Network &b)
{
    if (a.frequency != b.frequency)
        throw std::invalid_argument("synthnet: networks on different grids");
}
} // namespace

Abcd Abcd::operator*(const Abcd &r) const
{
    return {a * r.a + b * r.c, a * r.b + b * r.d, c * r.a + d * r.c, c * r.b + d * r.d};
}

Network identity(const RealVector &frequency)
{
    return {frequency, std::vector<Abcd>(frequency.size())};
}

Network line(const RealVector &frequency, const LineSpec &spec)
{
    Network n = identity(frequency);
    for (size_t i = 0; i < frequency.size(); ++i) {
        const double f = frequency[i];
        // dB -> nepers: 1 Np = 20 log10(e) dB
        const double alpha = spec.lossDbAt1GHz / (20.0 * std::log10(std::exp(1.0))) * std::sqrt(std::abs(f) / 1e9);
        const Complex gl(alpha, 2.0 * kPi * f * spec.delay);
        const Complex ch = std::cosh(gl), sh = std::sinh(gl);
        n.abcd[i] = {ch, spec.z0 * sh, sh / spec.z0, ch};
    }
    return n;
}

Network seriesRL(const RealVector &frequency, double resistance, double inductance)
{
    Network n = identity(frequency);
    for (size_t i = 0; i < frequency.size(); ++i)
        n.abcd[i].b = Complex(resistance, 2.0 * kPi * frequency[i] * inductance);
    return n;
}

Network shuntGC(const RealVector &frequency, double conductance, double capacitance)
{
    Network n = identity(frequency);
    for (size_t i = 0; i < frequency.size(); ++i)
        n.abcd[i].c = Complex(conductance, 2.0 * kPi * frequency[i] * capacitance);
    return n;
}

Network cascade(const Network &a, const Network &b)
{
    requireSameGrid(a, b);
    Network n = a;
    for (size_t i = 0; i < n.size(); ++i)
        n.abcd[i] = a.abcd[i] * b.abcd[i];
    return n;
}

Network cascade(std::initializer_list<Network> parts)
{
    if (parts.size() == 0)
        throw std::invalid_argument("synthnet: empty cascade");
    auto it = parts.begin();
    Network n = *it++;
    for (; it != parts.end(); ++it)
        n = cascade(n, *it);
    return n;
}

Network mirror(const Network &n)
{
    // Reversing a two-port: [A B; C D] -> [D B; C A] / det.
    Network m = n;
    for (size_t i = 0; i < n.size(); ++i) {
        const Abcd &x = n.abcd[i];
        const Complex det = x.a * x.d - x.b * x.c;
        m.abcd[i] = {x.d / det, x.b / det, x.c / det, x.a / det};
    }
    return m;
}

Algorithms::SParametersTwoPort toS(const Network &n, double z1, double z2)
{
    Algorithms::SParametersTwoPort s;
    s.resize(n.size());
    s.setFrequency(n.frequency);
    const double root = std::sqrt(z1 * z2);
    for (size_t i = 0; i < n.size(); ++i) {
        const Abcd &x = n.abcd[i];
        const Complex det = x.a * x.d - x.b * x.c;
        const Complex denom = x.a * z2 + x.b + x.c * z1 * z2 + x.d * z1;
        s.s11()[i] = (x.a * z2 + x.b - x.c * z1 * z2 - x.d * z1) / denom;
        s.s12()[i] = 2.0 * det * root / denom;
        s.s21()[i] = 2.0 * root / denom;
        s.s22()[i] = (-x.a * z2 + x.b - x.c * z1 * z2 + x.d * z1) / denom;
    }
    return s;
}

Algorithms::SParametersOnePort terminate(const Network &n, Complex gamma, double z1, double z2)
{
    return terminateS(toS(n, z1, z2), gamma);
}

Algorithms::SParametersTwoPort cascadeS(const Algorithms::SParametersTwoPort &a,
                                        const Algorithms::SParametersTwoPort &b)
{
    if (a.frequency() != b.frequency() || !a.isValid() || !b.isValid())
        throw std::invalid_argument("synthnet: cascadeS needs two valid networks on one grid");
    Algorithms::SParametersTwoPort s;
    s.resize(a.frequency().size());
    s.setFrequency(a.frequency());
    for (size_t i = 0; i < s.frequency().size(); ++i) {
        const Complex loop = 1.0 - a.s22()[i] * b.s11()[i];
        s.s11()[i] = a.s11()[i] + a.s12()[i] * a.s21()[i] * b.s11()[i] / loop;
        s.s21()[i] = a.s21()[i] * b.s21()[i] / loop;
        s.s12()[i] = a.s12()[i] * b.s12()[i] / loop;
        s.s22()[i] = b.s22()[i] + b.s21()[i] * b.s12()[i] * a.s22()[i] / loop;
    }
    return s;
}

Algorithms::SParametersTwoPort mirrorS(const Algorithms::SParametersTwoPort &s)
{
    Algorithms::SParametersTwoPort m = s;
    m.swapPorts();
    return m;
}

Algorithms::SParametersOnePort terminateS(const Algorithms::SParametersTwoPort &s, Complex gamma)
{
    Algorithms::SParametersOnePort r;
    r.resize(s.frequency().size());
    r.setFrequency(s.frequency());
    for (size_t i = 0; i < s.frequency().size(); ++i)
        r.s11()[i] = s.s11()[i] + s.s12()[i] * s.s21()[i] * gamma / (1.0 - s.s22()[i] * gamma);
    return r;
}

Network twoXThru(const Network &fixture)
{
    return cascade(fixture, mirror(fixture));
}

Network dutInFixture(const Network &fixture, const Network &dut)
{
    return cascade({fixture, dut, mirror(fixture)});
}

RealVector harmonicGrid(double step, size_t count)
{
    RealVector f(count);
    for (size_t i = 0; i < count; ++i)
        f[i] = step * static_cast<double>(i + 1);
    return f;
}

RealVector uniformGrid(double start, double stop, size_t count)
{
    RealVector f(count);
    if (count == 1) {
        f[0] = start;
        return f;
    }
    for (size_t i = 0; i < count; ++i)
        f[i] = start + (stop - start) * static_cast<double>(i) / static_cast<double>(count - 1);
    return f;
}

} // namespace SynthNet
