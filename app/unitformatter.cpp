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
                                            [](QQmlEngine *, QJSEngine *) -> QObject * { return new UnitFormatter(); });
}

QString UnitFormatter::toNormalized(double value, int precision) const
{
    return formatSi(value, precision);
}

QString UnitFormatter::toNormalized(double value) const
{
    return formatSi(value, kDefaultPrecision);
}

QStringList UnitFormatter::toNormalizedList(const QVariantList &values, int precision) const
{
    std::vector<double> numbers;
    numbers.reserve(std::size_t(values.size()));
    for (const QVariant &value : values)
        numbers.push_back(value.toDouble());
    QStringList texts;
    for (const QString &text : formatSiShared(numbers, precision))
        texts.append(text);
    return texts;
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
