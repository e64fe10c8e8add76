#include "automation/commandslogging.h"

Q_LOGGING_CATEGORY(lcCommands, "vuk.commands")
