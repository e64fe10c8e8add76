#pragma once
// The accuracy figures of a computed fixture model against the synthetic
// fixture it was computed from, and the fixtures and DUT the accuracy
// tables are made of: shared by the accuracy tests and the accuracy
// benchmark, so that both measure alike.

#include "synthnet/synthnet.h"

namespace SynthNet {

// A 0.1 pF pad capacitance before a 50 ohm, 200 ps line (0.3 dB at 1 GHz).
Network padFixture(const RealVector &f);
// A short 63 ohm neck in the middle of a 50 ohm fixture.
Network neckFixture(const RealVector &f);
// A 0.05 pF pad before a lossy, mismatched 55 ohm, 250 ps line.
Network lossyFixture(const RealVector &f);
// Pads at both ends: 0.1 pF at the analyser, 0.08 pF at the DUT, a 50 ohm,
// 200 ps line between (0.3 dB at 1 GHz).
Network twoPadFixture(const RealVector &f);
// A plain 50 ohm, 200 ps line (0.3 dB at 1 GHz): nothing to get wrong.
Network plainLineFixture(const RealVector &f);
// A plain 50 ohm line three times as long and lossy (750 ps, 3 dB at 1 GHz).
Network longLineFixture(const RealVector &f);
// The lossy fixture three times as long: a 0.05 pF pad before a 55 ohm,
// 750 ps line (3 dB at 1 GHz).
Network longLossyFixture(const RealVector &f);
// The pad fixture 30 % larger in every part (0.13 pF, 260 ps, 0.39 dB):
// the other half of an asymmetric 2x-thru.
Network largerPadFixture(const RealVector &f);
// The pad fixture with another launch: 0.25 pF at the analyser end.
Network otherLaunchPadFixture(const RealVector &f);
// The DUT: a 40 ohm line behind a series inductance.
Network accuracyDut(const RealVector &f);

struct AccuracyFigures
{
    double fixtureDb = 0.0; // largest |S21| error of the models, dB
    double fixtureDeg = 0.0; // largest S21 phase error of the models, degrees
    double fixtureError = 0.0; // largest |dSij| of the models
    double dutDb = 0.0; // largest |S21| error of the DUT de-embedded with both models, dB
    double dutDeg = 0.0; // largest S21 phase error of that DUT, degrees
    double dutError = 0.0; // largest |dSij| of that DUT
    double singularValue = 0.0; // largest singular value of the models
    double singularValueAll = 0.0; // the same over the whole band
    // Hz, the first and last point where that DUT is wrong (isWrongDutPoint);
    // both 0 when it is right everywhere.
    double dutWrongFrom = 0.0, dutWrongTo = 0.0;
};

// A DUT this far off (|S21| dB, or phase in degrees, up to 0.8 fmax) is
// wrong: the user must have been told.
constexpr double kWrongDutDb = 0.5;
constexpr double kWrongDutDegrees = 5.0;
inline bool isWrongDut(const AccuracyFigures &f)
{
    return f.dutDb > kWrongDutDb || f.dutDeg > kWrongDutDegrees;
}

// The DUT de-embedded from measured (a DUT between the fixtures) with the
// left model taken off port 1
// and the right model (port 1 at the DUT) off port 2, in 50 ohm.
Algorithms::SParametersTwoPort deembed(const Algorithms::SParametersTwoPort &left,
                                       const Algorithms::SParametersTwoPort &right,
                                       const Algorithms::SParametersTwoPort &measured);

// The figures up to 0.8 fmax (but singularValueAll) of the left model (port
// 1 at the analyser) and the right one (port 1 at the DUT), computed from
// fixture (the left fixture; the right one is its mirror) on grid f. The DUT
// is accuracyDut measured between the two fixtures.
AccuracyFigures accuracyFigures(const Algorithms::SParametersTwoPort &left, const Algorithms::SParametersTwoPort &right,
                                const Network &fixture, const RealVector &f);
// The same for a pair whose right fixture differs: rightFixture is oriented
// like the left one (port 1 at the analyser), the DUT is measured between
// fixture and rightFixture mirrored, and the right model (port 1 at the
// DUT) is scored against rightFixture mirrored.
AccuracyFigures accuracyFigures(const Algorithms::SParametersTwoPort &left, const Algorithms::SParametersTwoPort &right,
                                const Network &fixture, const Network &rightFixture, const RealVector &f);

} // namespace SynthNet
