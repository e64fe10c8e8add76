#include "automation/server/logging.h"

Q_LOGGING_CATEGORY(lcAutomation, "vuk.automation")
