#include "algorithms/modelchecks.h"

#include "algorithms/lowpassspectrum.h"
#include "algorithms/processmethod.h"

#include <algorithm>
#include <cmath>

namespace Algorithms {

CheckedBand checkedBand(const RealVector &f, bool gateIsYardstick)
{
    CheckedBand band;
    if (f.empty())
        return band;
    const double top = *std::max_element(f.begin(), f.end());
    const double bottom = *std::min_element(f.begin(), f.end());
    band.high = kCheckedBandTop * top;
    band.low = bottom;
    if (gateIsYardstick && frequencyGridMode(f) == std::optional<GridMode>(GridMode::BandPass))
        band.low = bottom + kGateYardstickLowEdge * (top - bottom);
    return band;
}

std::optional<DisagreementBand> disagreementBand(const RealVector &f, const CheckedBand &band,
                                                 const std::function<double(size_t)> &excess)
{
    DisagreementBand found;
    bool any = false;
    for (size_t i = 0; i < f.size(); ++i) {
        if (!band.contains(f[i]))
            continue;
        const double e = excess(i);
        // A point that cannot be compared (a zero or non-finite value) says
        // nothing either way.
        if (!(e > 1.0) || !std::isfinite(e))
            continue;
        if (!any)
            found.from = f[i];
        found.to = f[i];
        if (!any || e > found.worst) {
            found.worst = e;
            found.worstFrequency = f[i];
        }
        any = true;
    }
    if (!any)
        return std::nullopt;
    return found;
}

QString bandText(double from, double to)
{
    if (from == to)
        return IProcessMethod::tr("at %1 GHz").arg(from / 1e9, 0, 'g', 4);
    return IProcessMethod::tr("from %1 to %2 GHz").arg(from / 1e9, 0, 'g', 4).arg(to / 1e9, 0, 'g', 4);
}

} // namespace Algorithms
