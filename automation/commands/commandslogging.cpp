#include "automation/commands/commandslogging.h"

Q_LOGGING_CATEGORY(lcCommands, "vuk.commands")
