#include "algorithms/bisectionfit.h"

#include "algorithms/logging.h"

#include "optimization.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <memory>

namespace Algorithms {

namespace {

constexpr int residualCount = 6;
constexpr int unknownCount = 10;
constexpr double differentiationStep = 1e-4;
constexpr double stepTolerance = 1e-10;

} // namespace

void bisectionResiduals(const alglib::real_1d_array &x, alglib::real_1d_array &residuals, void *data)
{
    const double *m = static_cast<const double *>(data);
    const Complex t(x[0], x[1]);
    const Complex a11(x[2], x[3]);
    const Complex a22(x[4], x[5]);
    const Complex b11(x[6], x[7]);
    const Complex b22(x[8], x[9]);

    const Complex d = 1.0 - a22 * b11;
    const double d2 = std::norm(d);
    const Complex t2 = t * t;
    // Quotients as numerator * conj(D) / |D|^2.
    const Complex s11 = a11 + t2 * b11 * std::conj(d) / d2;
    const Complex s22 = b22 + t2 * a22 * std::conj(d) / d2;
    const Complex s21 = t2 * std::conj(d) / d2;

    residuals[0] = s11.real() - m[0];
    residuals[1] = s11.imag() - m[3];
    residuals[2] = s22.real() - m[1];
    residuals[3] = s22.imag() - m[4];
    residuals[4] = s21.real() - m[2];
    residuals[5] = s21.imag() - m[5];
}

std::optional<BisectionResult> bisectionFit(const BisectionInput &thru)
{
    // The optimiser rejects a non-finite start by throwing; refuse it here.
    if (!std::all_of(thru.begin(), thru.end(), [](double v) { return std::isfinite(v); })) {
        qCDebug(lcAlgorithms) << "bisectionFit: non-finite thru value";
        return std::nullopt;
    }

    const Complex s11(thru[0], thru[1]);
    const Complex s21(thru[2], thru[3]);
    const Complex s12(thru[4], thru[5]);
    const Complex s22(thru[6], thru[7]);
    const Complex st = (s12 + s21) / 2.0;

    double data[residualCount] = {s11.real(), s22.real(), st.real(), s11.imag(), s22.imag(), st.imag()};
    const Complex t0 = std::sqrt(st);
    if (!isFiniteComplex(t0)) {
        qCDebug(lcAlgorithms) << "bisectionFit: non-finite start value";
        return std::nullopt;
    }

    try {
        alglib::real_1d_array x;
        x.setlength(unknownCount);
        for (int i = 0; i < unknownCount; ++i)
            x[i] = 0.0;
        x[0] = t0.real();
        x[1] = t0.imag();

        // A sweep fits every point with the same problem size and settings:
        // the optimiser is made once per thread and restarted at each point
        // (a restart resets all of its iteration state).
        thread_local std::unique_ptr<alglib::minlmstate> kept;
        if (!kept) {
            auto made = std::make_unique<alglib::minlmstate>();
            alglib::minlmcreatev(residualCount, x, differentiationStep, *made);
            alglib::minlmsetcond(*made, stepTolerance, 0);
            kept = std::move(made);
        } else {
            alglib::minlmrestartfrom(*kept, x);
        }
        alglib::minlmstate &state = *kept;
        alglib::minlmoptimize(state, bisectionResiduals, nullptr, data);

        alglib::minlmreport report;
        alglib::minlmresults(state, x, report);

        for (int i = 0; i < unknownCount; ++i) {
            if (!std::isfinite(x[i])) {
                qCDebug(lcAlgorithms) << "bisectionFit: the fit gave a non-finite solution";
                return std::nullopt;
            }
        }

        const Complex t(x[0], x[1]);
        const Complex a11(x[2], x[3]);
        const Complex a22(x[4], x[5]);
        const Complex b11(x[6], x[7]);
        const Complex b22(x[8], x[9]);
        return BisectionResult{b11, t, t, b22, a11, t, t, a22};
    } catch (const alglib::ap_error &e) {
        qCDebug(lcAlgorithms) << "bisectionFit: optimiser error:" << e.msg.c_str();
    } catch (const std::exception &e) {
        qCDebug(lcAlgorithms) << "bisectionFit: error:" << e.what();
    }
    return std::nullopt;
}

} // namespace Algorithms
