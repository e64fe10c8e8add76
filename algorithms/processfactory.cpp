#include "algorithms/processfactory.h"

#include "algorithms/bisectiontransmission.h"
#include "algorithms/filteringtransmission.h"
#include "algorithms/reflectionprocess.h"
#include "algorithms/timegatingtransmission.h"

#include <stdexcept>
#include <string>

namespace Algorithms {

ProcessFactory::ProcessFactory(QObject *parent) : QObject(parent) {}

std::unique_ptr<IProcessMethod> ProcessFactory::createProcess(ProcessIndex index)
{
    switch (index) {
    case ProcessIndex::TimeGate:
        return std::make_unique<ProcessTimeGate>();
    case ProcessIndex::Filtering:
        return std::make_unique<ProcessFiltering>();
    case ProcessIndex::Bisect:
        return std::make_unique<ProcessBisect>();
    case ProcessIndex::TimeGateReflect:
        return std::make_unique<ProcessTimeGateReflect>();
    case ProcessIndex::TimeGateReflectOpenAndShort:
        return std::make_unique<ProcessTimeGateReflectOpenAndShort>();
    case ProcessIndex::FilteringReflect:
        return std::make_unique<ProcessFilteringReflect>();
    case ProcessIndex::FilteringReflectOpenAndShort:
        return std::make_unique<ProcessFilteringReflectOpenAndShort>();
    default:
        return nullptr;
    }
}

std::unique_ptr<IProcessMethod> ProcessFactory::createByMethod(bool reflect, CalcMethod method)
{
    switch (method) {
    case CalcMethod::TimeGate:
        return createProcess(reflect ? ProcessIndex::TimeGateReflect : ProcessIndex::TimeGate);
    case CalcMethod::Filtering:
        return createProcess(reflect ? ProcessIndex::FilteringReflect : ProcessIndex::Filtering);
    case CalcMethod::Bisection:
        return createProcess(ProcessIndex::Bisect);
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
    case CalcMethod::TimeGate:
        return createProcess(single ? ProcessIndex::TimeGateReflect : ProcessIndex::TimeGateReflectOpenAndShort);
    case CalcMethod::Filtering:
        return createProcess(single ? ProcessIndex::FilteringReflect : ProcessIndex::FilteringReflectOpenAndShort);
    default:
        return nullptr;
    }
}

} // namespace Algorithms
