#pragma once
// Refinements of a computed fixture model: the DUT-in-fixture correction of
// the time-gating processes (the analyser-side reflection of the model
// follows the gated reflection measured with the DUT in place) and the
// reference-plane offset of a fixture port.
//
// The operations themselves are members of the classes they refine
// (FixturePort::applyOffset, ProcessTimeGate::calculateDUT,
// ProcessTimeGateReflect::calculateDUT and
// ProcessTimeGateReflectOpenAndShort::calculateDUT); this file holds the
// steps they share.

#include "algorithms/fixtureport.h"
#include "algorithms/processmethod.h"

#include <QString>

#include <optional>
#include <utility>

namespace Algorithms {

// The two reflect offsets (c - a, b - a) from a mean thru length a and two
// mean reflect lengths b and c, all in seconds; empty unless all three are
// finite.
std::optional<std::pair<double, double>> solveThruOffsets(double a, double b, double c);

namespace DutCorrection {

// The texts one DUT correction reports; an empty text fails silently.
struct Texts
{
    QString inputRejected; // the DUT's grid cannot be used; the reason follows
    QString gatingFailed; // the gate gave nothing
    QString invalidResult; // the gated (or resampled) reflection is not finite
    QString portName; // the port as the notices name it
    bool fromThru = true; // the model is a 2x-thru's, else a reflection standard's
};

// Corrects one port with the DUT reflection measured at its analyser side:
// the port first returns to its uncorrected version (default or offset), the
// gated DUT reflection replaces the analyser-side reflection of the model
// (S11 for a port oriented left, S22 for a right one), the model is
// impedance-converted when the port converts and the grid is harmonic, and
// the data state becomes one of the DUT-corrected ones. gridMode is the mode
// of the model's grid.
// reference, when given, is the reflection on the model's grid whose gated
// early part the model's analyser-side reflection was made from: then, in
// place of the plain replacement, the model keeps its reflection plus the
// change of the gated reflection (the DUT's and the reference's gated by
// one gate), so that a connection that did not change leaves the model as
// it was.
// A DUT measured on a grid that holds every point of the model's grid (the
// thru's step to a higher stop frequency, say) is taken at those points, as
// on the model's own grid; another grid must span the model's band.
// With a reference, the launch of the DUT board is compared with the
// reference's (kLaunchTolerance): where they differ, the process notes that
// the board's launch differs and that the model's transmission is still the
// one measured without the DUT.
// On failure the port is left as it was, or at its uncorrected version when
// the conversion failed.
bool correctPort(IProcessMethod &process, FixturePort &port, const SParametersOnePort &dut, GridMode gridMode,
                 const Texts &texts, const ComplexVector *reference = nullptr);

// The grid mode of the port's current model, written into the process's
// parameters for the gating; empty when the port has no usable model grid.
std::optional<GridMode> useModelGridMode(IProcessMethod &process, const FixturePort &port);

// The DUT correction of the time-gating reflection processes; the texts are
// those of the calling class.
bool correctReflection(ReflectProcess &process, const SParametersOnePort &dut, const QString &invalidInput,
                       const QString &invalidResult, const ComplexVector *reference);

// The DUT's reflection at the points of grid, when its own grid holds every
// one of them (to within 1 Hz or 1e-9 of the frequency); empty otherwise.
std::optional<SParametersOnePort> pointsOn(const SParametersOnePort &dut, const RealVector &grid);

} // namespace DutCorrection

} // namespace Algorithms
