#pragma once
// The logging category of the remote command set: "vuk.commands". Its lines
// can be switched per level with QT_LOGGING_RULES, e.g.
// "vuk.commands.debug=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCommands)
