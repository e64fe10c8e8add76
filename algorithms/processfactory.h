#pragma once
// Creates correction processes by index or from the user's correction method.
// Every process is returned owned by the caller; an index or combination
// without a process yields nullptr.

#include "algorithms/processmethod.h"

#include <QObject>

#include <memory>

namespace Algorithms {

class ProcessFactory : public QObject
{
    Q_OBJECT
public:
    enum ProcessIndex : int {
        TimeGate = 0,
        Filtering = 1,
        Bisect = 2,
        TimeGateReflect = 3,
        TimeGateReflectOpenAndShort = 4,
        FilteringReflect = 5,
        FilteringReflectOpenAndShort = 6,
    };

    explicit ProcessFactory(QObject *parent = nullptr);

    static std::unique_ptr<IProcessMethod> createProcess(int index);
    // Throws std::invalid_argument for a method other than 0, 1 or 2.
    static std::unique_ptr<IProcessMethod> createByMethod(bool reflect, int method);
    // Only measure type 1 (reflection) with time gating or filtering has a
    // process; single selects the one-standard process.
    static std::unique_ptr<IProcessMethod> createReflectByMethod(int measureType, int method,
                                                                 bool single);
};

} // namespace Algorithms
