#pragma once
// The logging category of the de-embedding algorithms: "vuk.algorithms". Its
// lines can be switched per level with QT_LOGGING_RULES, e.g.
// "vuk.algorithms.debug=false".

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAlgorithms)
