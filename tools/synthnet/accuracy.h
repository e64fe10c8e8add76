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
// The DUT: a 40 ohm line behind a series inductance.
Network accuracyDut(const RealVector &f);

struct AccuracyFigures
{
    double fixtureDb = 0.0; // largest |S21| error of the left model, dB
    double fixtureDeg = 0.0; // largest S21 phase error of the left model, degrees
    double fixtureError = 0.0; // largest |dSij| of the left model
    double dutDb = 0.0; // largest |S21| error of the DUT de-embedded with both models, dB
    double dutError = 0.0; // largest |dSij| of that DUT
    double singularValue = 0.0; // largest singular value of the models
    double singularValueAll = 0.0; // the same over the whole band
};

// The figures up to 0.8 fmax (but singularValueAll) of the left model (port
// 1 at the analyser) and the right one (port 1 at the DUT), computed from
// fixture (the left fixture; the right one is its mirror) on grid f. The DUT
// is accuracyDut measured between the two fixtures.
// measured (a DUT between the fixtures) with the left model taken off port 1
// and the right model (port 1 at the DUT) off port 2, in 50 ohm.
Algorithms::SParametersTwoPort deembed(const Algorithms::SParametersTwoPort &left,
                                       const Algorithms::SParametersTwoPort &right,
                                       const Algorithms::SParametersTwoPort &measured);

AccuracyFigures accuracyFigures(const Algorithms::SParametersTwoPort &left, const Algorithms::SParametersTwoPort &right,
                                const Network &fixture, const RealVector &f);

} // namespace SynthNet
