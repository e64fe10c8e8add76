#include "analyser-sim/scene.h"

#include <algorithm>
#include <utility>

namespace AnalyserSim {

namespace {
constexpr double kLoadImpedance = 50.0;

double impedanceOf(const std::vector<double> &impedance, unsigned port)
{
    return port >= 1 && port <= impedance.size() ? impedance[port - 1] : kLoadImpedance;
}
} // namespace

Complex sampleAt(const SampledNetwork &n, size_t entry, double f)
{
    const RealVector &x = n.frequency;
    if (f <= x.front())
        return n.matrix.front()[entry];
    if (f >= x.back())
        return n.matrix.back()[entry];
    const size_t hi = size_t(std::upper_bound(x.begin(), x.end(), f) - x.begin());
    const size_t lo = hi - 1;
    const double t = (f - x[lo]) / (x[hi] - x[lo]);
    return n.matrix[lo][entry] * (1.0 - t) + n.matrix[hi][entry] * t;
}

// One element of the scene: the analyser ports it occupies and its k x k
// S-matrix (row-major) per frequency for the ports' reference impedances.
struct Scene::Element
{
    std::vector<unsigned> ports;
    std::function<std::vector<ComplexVector>(const RealVector &, const std::vector<double> &)> evaluate;
};

SynthNet::Network fixtureNetwork(const FixtureSpec &spec, const RealVector &frequency)
{
    return SynthNet::cascade(SynthNet::shuntGC(frequency, spec.shuntConductance, spec.shuntCapacitance),
                             SynthNet::line(frequency, spec.line));
}

SynthNet::Network dutNetwork(const DutSpec &spec, const RealVector &frequency)
{
    return SynthNet::cascade({SynthNet::seriesRL(frequency, spec.seriesResistance, spec.seriesInductance),
                              SynthNet::line(frequency, spec.line),
                              SynthNet::shuntGC(frequency, spec.shuntConductance, spec.shuntCapacitance)});
}

Scene Scene::defaultScene()
{
    return twoXThru(1, 2);
}

Scene Scene::twoXThru(unsigned portA, unsigned portB, const FixtureSpec &fixture)
{
    Scene s;
    s.addThru(portA, portB, fixture);
    return s;
}

Scene Scene::reflect(unsigned port, Termination termination, const FixtureSpec &fixture)
{
    Scene s;
    s.addReflect(port, termination, fixture);
    return s;
}

Scene Scene::dutInFixture(unsigned portA, unsigned portB, const FixtureSpec &fixtureA, const FixtureSpec &fixtureB,
                          const DutSpec &dut)
{
    Scene s;
    s.addDut(portA, portB, fixtureA, fixtureB, dut);
    return s;
}

bool Scene::portsFree(const std::vector<unsigned> &ports) const
{
    for (size_t i = 0; i < ports.size(); ++i) {
        if (ports[i] == 0 || std::count(ports.begin(), ports.end(), ports[i]) > 1)
            return false;
        for (const auto &e : m_elements)
            if (std::find(e->ports.begin(), e->ports.end(), ports[i]) != e->ports.end())
                return false;
    }
    return true;
}

bool Scene::addThru(unsigned portA, unsigned portB, const FixtureSpec &fixture)
{
    return addTwoPort(portA, portB,
                      [fixture](const RealVector &f) { return SynthNet::twoXThru(fixtureNetwork(fixture, f)); });
}

bool Scene::addReflect(unsigned port, Termination termination, const FixtureSpec &fixture)
{
    const Complex gamma = termination == Termination::Open    ? Complex(1.0, 0.0)
                          : termination == Termination::Short ? Complex(-1.0, 0.0)
                                                              : Complex(0.0, 0.0);
    return addOnePort(
        port, [fixture](const RealVector &f) { return fixtureNetwork(fixture, f); }, gamma);
}

bool Scene::addDut(unsigned portA, unsigned portB, const FixtureSpec &fixtureA, const FixtureSpec &fixtureB,
                   const DutSpec &dut)
{
    return addTwoPort(portA, portB, [fixtureA, fixtureB, dut](const RealVector &f) {
        return SynthNet::cascade(
            {fixtureNetwork(fixtureA, f), dutNetwork(dut, f), SynthNet::mirror(fixtureNetwork(fixtureB, f))});
    });
}

bool Scene::addTwoPort(unsigned portA, unsigned portB, TwoPortBuilder builder)
{
    if (!builder || !portsFree({portA, portB}))
        return false;
    auto e = std::make_shared<Element>();
    e->ports = {portA, portB};
    e->evaluate = [portA, portB, builder](const RealVector &f, const std::vector<double> &z) {
        const auto s = SynthNet::toS(builder(f), impedanceOf(z, portA), impedanceOf(z, portB));
        std::vector<ComplexVector> m(f.size());
        for (size_t i = 0; i < f.size(); ++i)
            m[i] = {s.s11()[i], s.s12()[i], s.s21()[i], s.s22()[i]};
        return m;
    };
    m_elements.push_back(std::move(e));
    return true;
}

bool Scene::addOnePort(unsigned port, TwoPortBuilder builder, Complex gamma)
{
    if (!builder || !portsFree({port}))
        return false;
    auto e = std::make_shared<Element>();
    e->ports = {port};
    e->evaluate = [port, builder, gamma](const RealVector &f, const std::vector<double> &z) {
        const auto s = SynthNet::terminate(builder(f), gamma, impedanceOf(z, port), kLoadImpedance);
        std::vector<ComplexVector> m(f.size());
        for (size_t i = 0; i < f.size(); ++i)
            m[i] = {s.s11()[i]};
        return m;
    };
    m_elements.push_back(std::move(e));
    return true;
}

bool Scene::addSampled(unsigned firstPort, SampledNetwork network)
{
    const unsigned n = network.portCount;
    if (n == 0 || firstPort == 0 || network.frequency.empty() || network.matrix.size() != network.frequency.size())
        return false;
    for (const auto &m : network.matrix)
        if (m.size() != size_t(n) * n)
            return false;
    std::vector<unsigned> ports;
    for (unsigned k = 0; k < n; ++k)
        ports.push_back(firstPort + k);
    if (!portsFree(ports))
        return false;
    auto e = std::make_shared<Element>();
    e->ports = ports;
    auto data = std::make_shared<const SampledNetwork>(std::move(network));
    e->evaluate = [data](const RealVector &f, const std::vector<double> &) {
        const size_t entries = data->matrix.front().size();
        std::vector<ComplexVector> m(f.size(), ComplexVector(entries));
        for (size_t i = 0; i < f.size(); ++i)
            for (size_t k = 0; k < entries; ++k)
                m[i][k] = sampleAt(*data, k, f[i]);
        return m;
    };
    m_elements.push_back(std::move(e));
    return true;
}

void Scene::clear()
{
    m_elements.clear();
}

bool Scene::isEmpty() const
{
    return m_elements.empty();
}

unsigned Scene::highestPort() const
{
    unsigned high = 0;
    for (const auto &e : m_elements)
        for (unsigned p : e->ports)
            high = std::max(high, p);
    return high;
}

std::vector<ComplexVector> Scene::matrix(const RealVector &frequency, unsigned portCount,
                                         const std::vector<double> &impedance) const
{
    std::vector<ComplexVector> out(frequency.size(), ComplexVector(size_t(portCount) * portCount));
    for (const auto &e : m_elements) {
        const auto m = e->evaluate(frequency, impedance);
        const size_t k = e->ports.size();
        for (size_t i = 0; i < frequency.size(); ++i)
            for (size_t r = 0; r < k; ++r)
                for (size_t c = 0; c < k; ++c) {
                    const unsigned to = e->ports[r], from = e->ports[c];
                    if (to <= portCount && from <= portCount)
                        out[i][size_t(to - 1) * portCount + (from - 1)] = m[i][r * k + c];
                }
    }
    return out;
}

ComplexVector Scene::s(unsigned to, unsigned from, const RealVector &frequency,
                       const std::vector<double> &impedance) const
{
    for (const auto &e : m_elements) {
        const auto r = std::find(e->ports.begin(), e->ports.end(), to);
        const auto c = std::find(e->ports.begin(), e->ports.end(), from);
        if (r == e->ports.end() || c == e->ports.end())
            continue;
        const size_t k = e->ports.size();
        const size_t entry = size_t(r - e->ports.begin()) * k + size_t(c - e->ports.begin());
        const auto m = e->evaluate(frequency, impedance);
        ComplexVector out(frequency.size());
        for (size_t i = 0; i < frequency.size(); ++i)
            out[i] = m[i][entry];
        return out;
    }
    return ComplexVector(frequency.size());
}

} // namespace AnalyserSim
