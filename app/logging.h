#pragma once
// The logging category of the application shell: "vuk.app". Its lines can be
// switched per level with QT_LOGGING_RULES, e.g. "vuk.app.debug=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
