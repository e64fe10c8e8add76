#include "algorithms/processfactory.h"

#include "algorithms/bisectiontransmission.h"
#include "algorithms/filteringtransmission.h"
#include "algorithms/reflectionprocess.h"
#include "algorithms/timegatingtransmission.h"

#include <stdexcept>
#include <string>

namespace Algorithms {

ProcessFactory::ProcessFactory(QObject *parent) : QObject(parent) {}

std::unique_ptr<IProcessMethod> ProcessFactory::createProcess(int index)
{
    switch (index) {
    case TimeGate:
        return std::make_unique<ProcessTimeGate>();
    case Filtering:
        return std::make_unique<ProcessFiltering>();
    case Bisect:
        return std::make_unique<ProcessBisect>();
    case TimeGateReflect:
        return std::make_unique<ProcessTimeGateReflect>();
    case TimeGateReflectOpenAndShort:
        return std::make_unique<ProcessTimeGateReflectOpenAndShort>();
    case FilteringReflect:
        return std::make_unique<ProcessFilteringReflect>();
    case FilteringReflectOpenAndShort:
        return std::make_unique<ProcessFilteringReflectOpenAndShort>();
    default:
        return nullptr;
    }
}

std::unique_ptr<IProcessMethod> ProcessFactory::createByMethod(bool reflect, CalcMethod method)
{
    switch (method) {
    case CalcMethodTimeGate:
        return createProcess(reflect ? TimeGateReflect : TimeGate);
    case CalcMethodFiltering:
        return createProcess(reflect ? FilteringReflect : Filtering);
    case CalcMethodBisection:
        return createProcess(Bisect);
    default:
        throw std::invalid_argument("ProcessFactory::createByMethod: unknown correction method "
                                    + std::to_string(static_cast<int>(method)));
    }
}

std::unique_ptr<IProcessMethod> ProcessFactory::createReflectByMethod(MeasureKind kind, CalcMethod method, bool single)
{
    if (kind != MeasureKind::Reflection)
        return nullptr;
    switch (method) {
    case CalcMethodTimeGate:
        return createProcess(single ? TimeGateReflect : TimeGateReflectOpenAndShort);
    case CalcMethodFiltering:
        return createProcess(single ? FilteringReflect : FilteringReflectOpenAndShort);
    default:
        return nullptr;
    }
}

} // namespace Algorithms
