#pragma once
// The logging category of the analyser link and its task services:
// "vuk.device". Its lines can be switched per level with QT_LOGGING_RULES,
// e.g. "vuk.device.debug=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDevice)
