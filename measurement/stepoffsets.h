#pragma once
// Reference-plane offsets of the steps. The pages enter and show offsets in
// picoseconds; the fixture ports take seconds. These are the helpers the
// offset slots of ReflectionStep and TransmissionStep share.

#include <QString>

#include <optional>

class VNAFixtureConnection;

namespace StepOffsets {

constexpr double secondsPerPicosecond = 1e-12;
constexpr double picosecondsPerSecond = 1e12;

inline double toSeconds(double picoseconds)
{
    return picoseconds * secondsPerPicosecond;
}

// An offset in seconds as the offset texts show it: the shortest general
// notation followed by "s" (5 ps gives "5e-12s").
QString secondsText(double seconds);

// Why a mean delay could not be taken.
enum class DelayFailure { NoPorts, NoLength };

// The mean delay (s) of the current impulse responses of the side's ports,
// writing tag and each port's analyser port to the debug log.
std::optional<double> meanDelay(const VNAFixtureConnection *side, const char *tag, DelayFailure *failure);

} // namespace StepOffsets
