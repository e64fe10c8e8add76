#include "algorithms/logging.h"

Q_LOGGING_CATEGORY(lcAlgorithms, "vuk.algorithms")
