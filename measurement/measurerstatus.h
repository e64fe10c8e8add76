#pragma once
// The outcome of a measurer's run, as its status signals carry it.

#include <QMetaType>

enum class Status : int {
    Done = 0,
    NotMeasured = 1,
    Failed = 2,
};
Q_DECLARE_METATYPE(Status)
