#pragma once
// A small Touchstone (.sNp) reader for scenes and de-embedding files: S
// parameters only, RI/MA/DB, Hz/kHz/MHz/GHz, data spread over any number of
// lines; two-port data in the file order S11 S21 S12 S22, every other port
// count row by row. Keyword lines of version 2 ("[...]") are skipped.

#include "analyser-sim/scene.h"

#include <QString>

#include <optional>

namespace AnalyserSim {

// The port count of a ".sNp" suffix (any case), 0 when there is none.
unsigned touchstonePortCount(const QString &path);

// Empty with *error set when the file cannot be read or is malformed.
std::optional<SampledNetwork> readTouchstone(const QString &path, QString *error = nullptr);

} // namespace AnalyserSim
