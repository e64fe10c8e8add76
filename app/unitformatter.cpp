#include "app/unitformatter.h"

#include "app/siformat.h"

#include <QQmlEngine>

namespace {
constexpr int kDefaultPrecision = 6;
}

UnitFormatter::UnitFormatter(QObject *parent) : QObject(parent) {}

void UnitFormatter::registerQmlType()
{
    qmlRegisterSingletonType<UnitFormatter>("UnitFormatter", 1, 0, "UnitFormatter",
                                            [](QQmlEngine *, QJSEngine *) -> QObject * {
                                                return new UnitFormatter();
                                            });
}

QString UnitFormatter::toNormalized(double value, int precision) const
{
    return formatSi(value, precision);
}

QString UnitFormatter::toNormalized(double value) const
{
    return formatSi(value, kDefaultPrecision);
}

double UnitFormatter::toMetric(const QString &string) const
{
    return parseSi(string);
}

double UnitFormatter::toPrecision(double value, int precision) const
{
    return roundToPrecision(value, precision);
}

double UnitFormatter::toPrecision(double value) const
{
    return roundToPrecision(value, kDefaultPrecision);
}
