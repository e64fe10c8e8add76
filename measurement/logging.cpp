#include "measurement/logging.h"

Q_LOGGING_CATEGORY(lcMeasurement, "vuk.measurement")
