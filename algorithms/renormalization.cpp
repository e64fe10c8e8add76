#include "algorithms/renormalization.h"

#include <cmath>

namespace Algorithms {

namespace {

bool usableImpedance(double z)
{
    return std::isfinite(z) && z > 0.0;
}

struct Matrix2
{
    Complex m11, m12, m21, m22;

    Matrix2 operator*(const Matrix2 &r) const
    {
        return {m11 * r.m11 + m12 * r.m21, m11 * r.m12 + m12 * r.m22, m21 * r.m11 + m22 * r.m21,
                m21 * r.m12 + m22 * r.m22};
    }
};

// Impedance step from x to y without its scale factor: [[x + y, x - y], [x - y, x + y]].
Matrix2 impedanceStep(double x, double y)
{
    return {Complex(x + y), Complex(x - y), Complex(x - y), Complex(x + y)};
}

} // namespace

TwoPortMatrix renormalizeTwoPort(const TwoPortMatrix &s, const ImpedancePair &zFrom, const ImpedancePair &zTo)
{
    const TwoPortMatrix zeros{};
    const double zFrom1 = zFrom[0], zFrom2 = zFrom[1];
    const double zTo1 = zTo[0], zTo2 = zTo[1];

    // A zero, negative or non-finite impedance has no meaning as a reference.
    if (!usableImpedance(zFrom1) || !usableImpedance(zFrom2) || !usableImpedance(zTo1) || !usableImpedance(zTo2))
        return zeros;

    const double ratio2 = zFrom2 / zTo2;
    const double ratio1 = zTo1 / zFrom1;
    if (!(ratio2 >= 0.0) || !(ratio1 >= 0.0) || !std::isfinite(ratio1) || !std::isfinite(ratio2))
        return zeros;

    const double gamma1 = (zTo1 - zFrom1) / (zFrom1 + zTo1);
    const double gamma2 = (zTo2 - zFrom2) / (zFrom2 + zTo2);
    const double m1 = 1.0 - gamma1 * gamma1;
    const double m2 = 1.0 - gamma2 * gamma2;
    if (!(m1 >= 0.0) || !(m2 >= 0.0) || !std::isfinite(m1) || !std::isfinite(m2))
        return zeros;

    const Complex &s11 = s[0], &s21 = s[1], &s12 = s[2], &s22 = s[3];

    // Wave-cascading matrix.
    const Complex deltaS = s11 * s22 - s12 * s21;
    const Matrix2 t{-deltaS / s21, s11 / s21, -s22 / s21, Complex(1.0) / s21};

    // Both scale factors equal 1/(2 sqrt(zFrom zTo)) of their port.
    const double scale1 = (1.0 / (2.0 * zFrom1)) * (zFrom1 / zTo1) * std::sqrt(ratio1);
    const double scale2 = (1.0 / (2.0 * zTo2)) * (zTo2 / zFrom2) * std::sqrt(ratio2);
    const Matrix2 r = impedanceStep(zFrom1, zTo1) * t * impedanceStep(zTo2, zFrom2);
    const Complex k = scale1 * scale2;
    const Complex r11 = r.m11 * k, r12 = r.m12 * k, r21 = r.m21 * k, r22 = r.m22 * k;

    const Complex out11 = r12 / r22;
    const Complex out21 = Complex(1.0) / r22;
    const Complex out12 = (r11 * r22 - r12 * r21) / r22;
    const Complex out22 = -r21 / r22;
    return {out11, out21, out12, out22};
}

} // namespace Algorithms
