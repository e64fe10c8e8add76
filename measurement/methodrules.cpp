#include "measurement/methodrules.h"

#include <QCoreApplication>

namespace MethodRules {

bool calculatesReflect(Algorithms::CalcMethod method)
{
    return method != Algorithms::CalcMethod::Bisection;
}

bool calculatesReflect(MeasureEnums::CorrectionMethod method)
{
    return calculatesReflect(MeasureEnums::toCalcMethod(method));
}

bool correctsDut(Algorithms::CalcMethod method)
{
    return method == Algorithms::CalcMethod::TimeGate;
}

bool correctsDut(MeasureEnums::CorrectionMethod method)
{
    return correctsDut(MeasureEnums::toCalcMethod(method));
}

QString reflectRefusal()
{
    return QCoreApplication::translate("MethodRules",
                                       "The bisection method does not support the 1xReflect setup. It requires a "
                                       "direct connection of two fixtures: nothing was measured.");
}

} // namespace MethodRules
