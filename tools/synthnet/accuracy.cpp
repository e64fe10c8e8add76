#include "synthnet/accuracy.h"

#include "algorithms/passivity.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace SynthNet {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kZ0 = 50.0;

using Chain = std::array<Complex, 4>;

Chain chainOf(const Algorithms::SParametersTwoPort &s, size_t i)
{
    const Complex s11 = s.s11()[i], s12 = s.s12()[i], s21 = s.s21()[i], s22 = s.s22()[i];
    const Complex d = 2.0 * s21;
    return {((1.0 + s11) * (1.0 - s22) + s12 * s21) / d, kZ0 * ((1.0 + s11) * (1.0 + s22) - s12 * s21) / d,
            ((1.0 - s11) * (1.0 - s22) - s12 * s21) / (d * kZ0), ((1.0 - s11) * (1.0 + s22) + s12 * s21) / d};
}

Chain times(const Chain &x, const Chain &y)
{
    return {x[0] * y[0] + x[1] * y[2], x[0] * y[1] + x[1] * y[3], x[2] * y[0] + x[3] * y[2], x[2] * y[1] + x[3] * y[3]};
}

Chain inverse(const Chain &x)
{
    const Complex det = x[0] * x[3] - x[1] * x[2];
    return {x[3] / det, -x[1] / det, -x[2] / det, x[0] / det};
}

// S11, S12, S21, S22 of a chain matrix in kZ0.
std::array<Complex, 4> sOf(const Chain &x)
{
    const Complex a = x[0], b = x[1] / kZ0, c = x[2] * kZ0, d = x[3];
    const Complex den = a + b + c + d;
    return {(a + b - c - d) / den, 2.0 * (a * d - x[1] * x[2]) / den, 2.0 / den, (-a + b - c + d) / den};
}

double dbError(Complex a, Complex b)
{
    return std::abs(20.0 * std::log10(std::abs(a)) - 20.0 * std::log10(std::abs(b)));
}

double degError(Complex a, Complex b)
{
    return std::abs(std::arg(a / b)) * 180.0 / kPi;
}

} // namespace

Network padFixture(const RealVector &f)
{
    return cascade(shuntGC(f, 0.0, 0.1e-12), line(f, {50.0, 200e-12, 0.3}));
}

Network neckFixture(const RealVector &f)
{
    return cascade({line(f, {50.0, 100e-12, 0.2}), line(f, {63.0, 20e-12, 0.0}), line(f, {50.0, 100e-12, 0.2})});
}

Network lossyFixture(const RealVector &f)
{
    return cascade(shuntGC(f, 0.0, 0.05e-12), line(f, {55.0, 250e-12, 1.0}));
}

Network twoPadFixture(const RealVector &f)
{
    return cascade({shuntGC(f, 0.0, 0.1e-12), line(f, {50.0, 200e-12, 0.3}), shuntGC(f, 0.0, 0.08e-12)});
}

Network plainLineFixture(const RealVector &f)
{
    return line(f, {50.0, 200e-12, 0.3});
}

Network longLineFixture(const RealVector &f)
{
    return line(f, {50.0, 750e-12, 3.0});
}

Network longLossyFixture(const RealVector &f)
{
    return cascade(shuntGC(f, 0.0, 0.05e-12), line(f, {55.0, 750e-12, 3.0}));
}

Network largerPadFixture(const RealVector &f)
{
    return cascade(shuntGC(f, 0.0, 0.13e-12), line(f, {50.0, 260e-12, 0.39}));
}

Network otherLaunchPadFixture(const RealVector &f)
{
    return cascade(shuntGC(f, 0.0, 0.25e-12), line(f, {50.0, 200e-12, 0.3}));
}

Network accuracyDut(const RealVector &f)
{
    return cascade(seriesRL(f, 0.0, 0.2e-9), line(f, {40.0, 80e-12, 0.2}));
}

Algorithms::SParametersTwoPort deembed(const Algorithms::SParametersTwoPort &left,
                                       const Algorithms::SParametersTwoPort &right,
                                       const Algorithms::SParametersTwoPort &measured)
{
    Algorithms::SParametersTwoPort d = measured;
    for (size_t i = 0; i < measured.frequency().size(); ++i) {
        const auto s = sOf(times(times(inverse(chainOf(left, i)), chainOf(measured, i)), inverse(chainOf(right, i))));
        d.s11()[i] = s[0];
        d.s12()[i] = s[1];
        d.s21()[i] = s[2];
        d.s22()[i] = s[3];
    }
    return d;
}

AccuracyFigures accuracyFigures(const Algorithms::SParametersTwoPort &left, const Algorithms::SParametersTwoPort &right,
                                const Network &fixture, const RealVector &f)
{
    return accuracyFigures(left, right, fixture, fixture, f);
}

AccuracyFigures accuracyFigures(const Algorithms::SParametersTwoPort &left, const Algorithms::SParametersTwoPort &right,
                                const Network &fixture, const Network &rightFixture, const RealVector &f)
{
    AccuracyFigures s;
    const Algorithms::SParametersTwoPort truth = toS(fixture);
    const Algorithms::SParametersTwoPort rightTruth = toS(mirror(rightFixture));
    const Algorithms::SParametersTwoPort dut = toS(accuracyDut(f));
    const Algorithms::SParametersTwoPort deembedded =
        deembed(left, right, toS(cascade({fixture, accuracyDut(f), mirror(rightFixture)})));
    const double top = 0.8 * f.back();
    for (size_t i = 0; i < f.size(); ++i) {
        double sv = 0.0;
        for (const Algorithms::SParametersTwoPort *m : {&left, &right})
            sv = std::max(sv, Algorithms::largestSingularValue(m->s11()[i], m->s12()[i], m->s21()[i], m->s22()[i]));
        s.singularValueAll = std::max(s.singularValueAll, sv);
        if (f[i] > top)
            continue;
        s.singularValue = std::max(s.singularValue, sv);
        // Both models against their own fixture: the right model of a pair
        // whose halves differ is no mirror of the left one.
        const std::pair<const Algorithms::SParametersTwoPort *, const Algorithms::SParametersTwoPort *> sides[] = {
            {&left, &truth}, {&right, &rightTruth}};
        for (const auto &[m, t] : sides) {
            s.fixtureDb = std::max(s.fixtureDb, dbError(m->s21()[i], t->s21()[i]));
            s.fixtureDeg = std::max(s.fixtureDeg, degError(m->s21()[i], t->s21()[i]));
            s.fixtureError =
                std::max({s.fixtureError, std::abs(m->s11()[i] - t->s11()[i]), std::abs(m->s21()[i] - t->s21()[i]),
                          std::abs(m->s12()[i] - t->s12()[i]), std::abs(m->s22()[i] - t->s22()[i])});
        }
        const Algorithms::SParametersTwoPort &d = deembedded;
        const double db = dbError(d.s21()[i], dut.s21()[i]);
        const double deg = degError(d.s21()[i], dut.s21()[i]);
        s.dutDb = std::max(s.dutDb, db);
        s.dutDeg = std::max(s.dutDeg, deg);
        if (db > kWrongDutDb || deg > kWrongDutDegrees) {
            if (s.dutWrongFrom == 0.0)
                s.dutWrongFrom = f[i];
            s.dutWrongTo = f[i];
        }
        s.dutError = std::max({s.dutError, std::abs(d.s11()[i] - dut.s11()[i]), std::abs(d.s12()[i] - dut.s12()[i]),
                               std::abs(d.s21()[i] - dut.s21()[i]), std::abs(d.s22()[i] - dut.s22()[i])});
    }
    return s;
}

} // namespace SynthNet
