#pragma once
// How a gate's centre is refined before gating.

namespace Algorithms {

// From the phase of the response's highest point, or by scanning the shift
// for the least response inside the gate.
enum class GateCentreMode : int { HighestPoint = 0, LeastResponseInGate = 1 };

} // namespace Algorithms
