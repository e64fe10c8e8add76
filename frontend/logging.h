#pragma once
// The logging category of the chart library: "vuk.frontend". Its lines can be
// switched per level with QT_LOGGING_RULES, e.g. "vuk.frontend.debug=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcFrontend)
