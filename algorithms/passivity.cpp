#include "algorithms/passivity.h"

#include <Eigen/SVD>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Algorithms {

double largestSingularValue(Complex s11, Complex s12, Complex s21, Complex s22)
{
    // The closed form of the 2 x 2 case loses half the digits where both
    // singular values are close (every nearly lossless fixture): Jacobi
    // rotations keep them.
    Eigen::Matrix2cd s;
    s << s11, s12, s21, s22;
    if (!s.allFinite())
        return std::numeric_limits<double>::quiet_NaN();
    return Eigen::JacobiSVD<Eigen::Matrix2cd>(s).singularValues()(0);
}

RealVector largestSingularValues(const SParametersTwoPort &model)
{
    const size_t n = model.frequency().size();
    RealVector values(n);
    for (size_t i = 0; i < n; ++i)
        values[i] = largestSingularValue(model.s11()[i], model.s12()[i], model.s21()[i], model.s22()[i]);
    return values;
}

std::optional<PassivityViolation> findPassivityViolation(const SParametersTwoPort &model, double tolerance)
{
    const RealVector &f = model.frequency();
    const RealVector values = largestSingularValues(model);
    PassivityViolation found;
    for (size_t i = 0; i < values.size(); ++i) {
        // A non-finite value is no passive model either.
        if (values[i] <= 1.0 + tolerance)
            continue;
        if (found.points == 0)
            found.from = f[i];
        found.to = f[i];
        ++found.points;
        if (!(values[i] <= found.worst) || found.points == 1) {
            found.worst = values[i];
            found.worstFrequency = f[i];
        }
    }
    if (found.points == 0)
        return std::nullopt;
    return found;
}

} // namespace Algorithms
