#pragma once
// The shared impulse-response, gating and reflection-gating stages are
// members of Algorithms::IProcessMethod (see processmethod.h); this header
// only gathers the primitives they are built on.

#include "algorithms/impulseresponse.h"
#include "algorithms/processmethod.h"
#include "algorithms/timegating.h"
