#include "algorithms/vectorhelpers.h"

#include "algorithms/logging.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace Algorithms {

bool fuzzyEqual(double a, double b)
{
    return std::abs(a - b) * 1e12 <= std::min(std::abs(a), std::abs(b));
}

bool isEqualVector(const RealVector &a, const RealVector &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!(std::abs(a[i] - b[i]) <= 1e-14))
            return false;
    }
    return true;
}

bool isFiniteValue(double value)
{
    return std::isfinite(value);
}

bool isFiniteComplex(const Complex &value)
{
    return isFiniteValue(value.real()) && isFiniteValue(value.imag());
}

bool isFiniteVector(const RealVector &values)
{
    if (values.empty())
        return false;
    if (std::all_of(values.begin(), values.end(), isFiniteValue))
        return true;
    qCDebug(lcAlgorithms) << "Invalid vector detected";
    return false;
}

bool isFiniteComplexVector(const ComplexVector &values)
{
    if (values.empty())
        return false;
    if (std::all_of(values.begin(), values.end(), isFiniteComplex))
        return true;
    qCDebug(lcAlgorithms) << "Invalid vector detected";
    return false;
}

double interpolateDoubleValue(double x, double x0, double x1, double y0, double y1)
{
    if (fuzzyEqual(x0, x1)) {
        qCDebug(lcAlgorithms) << "interpolateDoubleValue: Divide by Zero!";
        return -1;
    }
    return y0 + (x - x0) * (y1 - y0) / (x1 - x0);
}

double interp1(const RealVector &x, const RealVector &y, double query)
{
    if (x.size() < 2)
        return -1;
    if (x.size() != y.size() || query > x.back() || query < x.front()) {
        qCDebug(lcAlgorithms) << "ERROR INTERP1";
        return -1;
    }
    if (fuzzyEqual(query, x[0]))
        return y[0];
    for (size_t i = 1; i < x.size(); ++i) {
        if (fuzzyEqual(query, x[i]))
            return y[i];
        if (x[i - 1] < query && query < x[i])
            return interpolateDoubleValue(query, x[i - 1], x[i], y[i - 1], y[i]);
    }
    qCDebug(lcAlgorithms) << "ERROR2 INTERP1";
    return -1;
}

RealVector interp1Vector(const RealVector &x, const RealVector &y, const RealVector &queries)
{
    // An empty grid has no end values to hold: nothing can be interpolated.
    if (x.size() != y.size() || x.empty())
        return {};
    RealVector result;
    result.reserve(queries.size());
    size_t p = 0;
    for (double q : queries) {
        if (q < x.front()) {
            result.push_back(y.front());
            continue;
        }
        if (q > x.back()) {
            result.push_back(y.back());
            continue;
        }
        double value = 0.0;
        if (x.size() == 1) {
            value = y[0]; // q equals the only grid point here
        }
        for (size_t i = p; i + 1 < x.size(); ++i) {
            if (fuzzyEqual(q, x[i])) {
                value = y[i];
                p = i;
                break;
            }
            if (fuzzyEqual(q, x[i + 1])) {
                value = y[i + 1];
                p = i;
                break;
            }
            if (x[i] < q && q < x[i + 1]) {
                value = interpolateDoubleValue(q, x[i], x[i + 1], y[i], y[i + 1]);
                p = i;
                break;
            }
        }
        result.push_back(value);
    }
    return result;
}

ComplexVector makeComplex(const RealVector &re, const RealVector &im)
{
    ComplexVector result(re.size());
    for (size_t i = 0; i < re.size(); ++i)
        result[i] = Complex(re[i], i < im.size() ? im[i] : 0.0);
    return result;
}

ComplexVector resampleComplex(const RealVector &grid, const ComplexVector &values, const RealVector &newGrid)
{
    RealVector re(values.size()), im(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        re[i] = values[i].real();
        im[i] = values[i].imag();
    }
    const RealVector newRe = interp1Vector(grid, re, newGrid);
    const RealVector newIm = interp1Vector(grid, im, newGrid);
    return makeComplex(newRe, newIm);
}

RealVector unwrapPhase(const RealVector &phases)
{
    RealVector out(phases.size());
    if (phases.empty())
        return out;
    const double pi = M_PI;
    const double twoPi = 2.0 * M_PI;
    out[0] = phases[0];
    double correction = 0.0;
    for (size_t i = 0; i + 1 < phases.size(); ++i) {
        const double d = phases[i + 1] - phases[i];
        const double a = d + pi;
        double e = (a - std::floor(a / twoPi) * twoPi) - pi;
        if (fuzzyEqual(e, -pi) && d > 0)
            e = pi;
        double c = e - d;
        if (std::abs(d) < pi)
            c = 0.0;
        correction += c;
        out[i + 1] = phases[i + 1] + correction;
    }
    return out;
}

RealVector makeRange(double start, double end, double step)
{
    const long count = std::lround((end - start) / step) + 1;
    if (count < 1)
        return {};
    RealVector result(static_cast<size_t>(count));
    double value = start;
    for (long k = 0; k < count; ++k) {
        result[static_cast<size_t>(k)] = value;
        value += step;
    }
    result.back() = end;
    return result;
}

std::vector<int> makeRange(int start, int end, int step)
{
    if (step == 0)
        return {};
    const int count = (end - start) / step + 1;
    if (count < 1)
        return {};
    std::vector<int> result(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k)
        result[static_cast<size_t>(k)] = start + k * step;
    result.back() = end;
    return result;
}

template<typename T>
static std::vector<T> gather(const std::vector<T> &values, const std::vector<int> &index)
{
    std::vector<T> out;
    out.reserve(index.size());
    for (int i : index) {
        if (i < 1 || static_cast<size_t>(i) > values.size()) {
            qCDebug(lcAlgorithms) << "gatherByIndex: index out of range" << i;
            return {};
        }
        out.push_back(values[static_cast<size_t>(i - 1)]);
    }
    return out;
}

RealVector gatherByIndex(const RealVector &values, const std::vector<int> &index)
{
    return gather(values, index);
}

ComplexVector gatherByIndex(const ComplexVector &values, const std::vector<int> &index)
{
    return gather(values, index);
}

ComplexVector concatWithValue(const ComplexVector &a, const Complex &value, const ComplexVector &b)
{
    ComplexVector out;
    out.reserve(a.size() + b.size() + 1);
    out.insert(out.end(), a.begin(), a.end());
    out.push_back(value);
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

} // namespace Algorithms
