#include "frontend/logging.h"

Q_LOGGING_CATEGORY(lcFrontend, "vuk.frontend")
