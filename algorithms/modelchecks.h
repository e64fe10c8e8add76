#pragma once
// The checks a calculation makes of its own models: where two estimates of
// one quantity disagree by more than a tolerance, and the band of the grid
// they disagree in. The tolerances come from the accuracy table
// (bench/accuracy_bench.cpp, tests/algorithms/accuracy_test.cpp): each is
// set between what the right rows of the table reach and what the wrong
// ones do.

#include "algorithms/sparameters.h"

#include <QString>

#include <functional>
#include <optional>

namespace Algorithms {

// The checks compare up to this fraction of the highest frequency: above
// it every gate loses the band edge, and the passivity check speaks for the
// top of the band.
constexpr double kCheckedBandTop = 0.8;

// Where a time gate is the yardstick, the lowest tenth of a band-pass band
// is left out: there the gate itself is wrong (no DC value to rest on; the
// gated 2x-thru model of a 0.1 pF pad is 0.17 off at 1 GHz and 0.04 off at
// 1.8 GHz, on a 1 to 20 GHz grid).
constexpr double kGateYardstickLowEdge = 0.1;

// A filtering or bisection 2x-thru model against the time-gated model of
// the same thru: the largest difference of their reflections (S11, S22),
// which carries the ambiguity of every split of a thru (the DUT-side
// reflection; the other terms follow from it). In the accuracy table the
// right rows reach 0.05 (bisection on the long lossy line, 0.36 dB of DUT
// error), the wrong ones 0.089 and more (bisection on the lossy line,
// 0.71 dB and 3.4 degrees; on the pad 0.22, 0.83 dB and 4.5 degrees).
constexpr double kThruModelTolerance = 0.07;

// The DUT board's reflection against the 2x-thru's (or the standard's),
// both gated over the first half of the fixture, its launch: the largest
// difference. A DUT board measured in the fixtures of the thru reaches
// 0.015 (two pads, band-pass; the DUT's own reflections come after the
// gate even where the halves of the thru differ by 30 %), a launch pad 20 %
// larger (0.12 pF for 0.1 pF) 0.045, which turns the de-embedded DUT's
// phase by 6.5 degrees at 16 GHz, and the table's other launch (0.25 pF)
// 0.31.
constexpr double kLaunchTolerance = 0.03;

// A band of the grid and where in it a difference is largest.
struct DisagreementBand
{
    double from = 0.0, to = 0.0; // Hz, first and last point beyond the tolerance
    double worst = 0.0; // largest excess over the tolerance (1: at the tolerance)
    double worstFrequency = 0.0; // Hz
};

// The compared points of grid f: up to kCheckedBandTop of the highest
// frequency, and, when the yardstick is a gate and the grid is a band-pass
// one, above its lowest tenth.
struct CheckedBand
{
    double low = 0.0, high = 0.0; // Hz, inclusive
    bool contains(double frequency) const { return frequency >= low && frequency <= high; }
};
CheckedBand checkedBand(const RealVector &f, bool gateIsYardstick);

// The band where excess(i) (a difference over its tolerance) passes 1,
// over the points of f inside band; empty when it never does.
std::optional<DisagreementBand> disagreementBand(const RealVector &f, const CheckedBand &band,
                                                 const std::function<double(size_t)> &excess);

// "from 2.3 to 15.9 GHz", or "at 7.2 GHz" for a single point.
QString bandText(double from, double to);

} // namespace Algorithms
