#pragma once
// The logging category of the remote-control server: "vuk.automation". Its
// lines can be switched per level with QT_LOGGING_RULES, e.g.
// "vuk.automation.debug=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAutomation)
