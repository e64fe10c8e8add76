#include "algorithms/processfactory.h"

#include "algorithms/bisectiontransmission.h"
#include "algorithms/filteringtransmission.h"
#include "algorithms/reflectionprocess.h"
#include "algorithms/timegatingtransmission.h"

#include <stdexcept>
#include <string>

namespace Algorithms {

namespace {

// What a process calculates: a 2x-thru, or a 1x-reflect with one standard
// or with open and short.
enum class Use { Thru, ReflectSingle, ReflectOpenAndShort };

struct ProcessRow
{
    ProcessFactory::ProcessIndex index;
    CalcMethod method;
    Use use;
    std::unique_ptr<IProcessMethod> (*make)();
};

template<typename Process>
std::unique_ptr<IProcessMethod> make()
{
    return std::make_unique<Process>();
}

// Every process, once: its index, the method it calculates and for what. A
// method without a row for a use has no process for it.
constexpr ProcessRow kProcesses[] = {
    {ProcessFactory::ProcessIndex::TimeGate, CalcMethod::TimeGate, Use::Thru, &make<ProcessTimeGate>},
    {ProcessFactory::ProcessIndex::Filtering, CalcMethod::Filtering, Use::Thru, &make<ProcessFiltering>},
    {ProcessFactory::ProcessIndex::Bisect, CalcMethod::Bisection, Use::Thru, &make<ProcessBisect>},
    {ProcessFactory::ProcessIndex::TimeGateReflect, CalcMethod::TimeGate, Use::ReflectSingle,
     &make<ProcessTimeGateReflect>},
    {ProcessFactory::ProcessIndex::TimeGateReflectOpenAndShort, CalcMethod::TimeGate, Use::ReflectOpenAndShort,
     &make<ProcessTimeGateReflectOpenAndShort>},
    {ProcessFactory::ProcessIndex::FilteringReflect, CalcMethod::Filtering, Use::ReflectSingle,
     &make<ProcessFilteringReflect>},
    {ProcessFactory::ProcessIndex::FilteringReflectOpenAndShort, CalcMethod::Filtering, Use::ReflectOpenAndShort,
     &make<ProcessFilteringReflectOpenAndShort>},
};

const ProcessRow *findRow(CalcMethod method, Use use)
{
    for (const ProcessRow &row : kProcesses)
        if (row.method == method && row.use == use)
            return &row;
    return nullptr;
}

std::unique_ptr<IProcessMethod> makeFrom(const ProcessRow *row)
{
    return row ? row->make() : nullptr;
}

} // namespace

ProcessFactory::ProcessFactory(QObject *parent) : QObject(parent) {}

std::unique_ptr<IProcessMethod> ProcessFactory::createProcess(ProcessIndex index)
{
    for (const ProcessRow &row : kProcesses)
        if (row.index == index)
            return row.make();
    return nullptr;
}

std::unique_ptr<IProcessMethod> ProcessFactory::createByMethod(bool reflect, CalcMethod method)
{
    // A method without a one-standard reflection process (bisection) gives
    // its thru process either way.
    const ProcessRow *row = reflect ? findRow(method, Use::ReflectSingle) : nullptr;
    if (!row)
        row = findRow(method, Use::Thru);
    if (!row)
        throw std::invalid_argument("ProcessFactory::createByMethod: unknown correction method "
                                    + std::to_string(static_cast<int>(method)));
    return row->make();
}

std::unique_ptr<IProcessMethod> ProcessFactory::createReflectByMethod(MeasureKind kind, CalcMethod method, bool single)
{
    if (kind != MeasureKind::Reflection)
        return nullptr;
    return makeFrom(findRow(method, single ? Use::ReflectSingle : Use::ReflectOpenAndShort));
}

bool ProcessFactory::calculatesReflect(CalcMethod method)
{
    return findRow(method, Use::ReflectSingle) != nullptr;
}

} // namespace Algorithms
