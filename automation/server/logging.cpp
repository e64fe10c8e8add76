#include "automation/logging.h"

Q_LOGGING_CATEGORY(lcAutomation, "vuk.automation")
