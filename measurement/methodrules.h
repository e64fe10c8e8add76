#pragma once
// Which measurements each correction method can calculate: the one place
// the set-up, the steps, the pages (through the set-up) and the remote
// commands take these rules from.

#include "algorithms/processmethod.h"

#include <QString>

namespace MethodRules {

// A 1x-reflect (one fixture against an open or short): every method with a
// reflection process; bisection splits a 2x-thru and has nothing to split
// here.
bool calculatesReflect(Algorithms::CalcMethod method);

// The DUT step: only time gating corrects a model with a DUT measurement.
bool correctsDut(Algorithms::CalcMethod method);

// Why a 1x-reflect measurement is refused under the method.
QString reflectRefusal();

} // namespace MethodRules
