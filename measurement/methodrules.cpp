#include "measurement/methodrules.h"

#include "algorithms/processfactory.h"

#include <QCoreApplication>

namespace MethodRules {

bool calculatesReflect(Algorithms::CalcMethod method)
{
    return Algorithms::ProcessFactory::calculatesReflect(method);
}

bool correctsDut(Algorithms::CalcMethod method)
{
    return method == Algorithms::CalcMethod::TimeGate;
}

QString reflectRefusal()
{
    return QCoreApplication::translate("MethodRules",
                                       "The bisection method does not support the 1xReflect setup. It requires a "
                                       "direct connection of two fixtures: nothing was measured.");
}

} // namespace MethodRules
