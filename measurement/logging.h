#pragma once
// The logging category of the measurement workflow: "vuk.measurement". Its
// lines can be switched per level with QT_LOGGING_RULES, e.g.
// "vuk.measurement.debug=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcMeasurement)
