#pragma once
// Creates correction processes by index or from the user's correction method,
// all from one table of (index, method, use) in processfactory.cpp: a new
// method is one CalcMethod value and its rows there. Every process is
// returned owned by the caller; an index or combination without a process
// yields nullptr.

#include "algorithms/processmethod.h"

#include <QObject>

#include <memory>

namespace Algorithms {

class ProcessFactory : public QObject
{
    Q_OBJECT
public:
    enum class ProcessIndex : int {
        TimeGate = 0,
        Filtering = 1,
        Bisect = 2,
        TimeGateReflect = 3,
        TimeGateReflectOpenAndShort = 4,
        FilteringReflect = 5,
        FilteringReflectOpenAndShort = 6,
    };

    // The kind of measurement a process is asked for (numbered as the
    // workflow's measure type).
    enum class MeasureKind : int { Transmission = 0, Reflection = 1, Dut = 2 };

    explicit ProcessFactory(QObject *parent = nullptr);

    // nullptr for a value that names no process.
    static std::unique_ptr<IProcessMethod> createProcess(ProcessIndex index);
    // Throws std::invalid_argument for a value that is no CalcMethod.
    static std::unique_ptr<IProcessMethod> createByMethod(bool reflect, CalcMethod method);
    // Only reflection with time gating or filtering has a process; single
    // selects the one-standard process.
    static std::unique_ptr<IProcessMethod> createReflectByMethod(MeasureKind kind, CalcMethod method, bool single);
    // Whether the method has a process for a 1x-reflect with one standard.
    static bool calculatesReflect(CalcMethod method);
};

} // namespace Algorithms
