#include "frontend/labels.h"

#include <cmath>

namespace Korvel {
namespace Frontend {

namespace {

// A nice number near x: its mantissa (1, 2, 5 or 10) and decimal exponent.
struct NiceNumber
{
    double mantissa;
    int exponent;

    double value() const { return mantissa * std::pow(10.0, exponent); }
};

NiceNumber nice(double x, bool rounding)
{
    const double e = std::floor(std::log10(x));
    const double f = x / std::pow(10.0, e);
    double m;
    if (rounding)
        m = f < 1.5 ? 1.0 : f < 3.0 ? 2.0 : f < 7.0 ? 5.0 : 10.0;
    else
        m = f <= 1.0 ? 1.0 : f <= 2.0 ? 2.0 : f <= 5.0 ? 5.0 : 10.0;
    return {m, int(e)};
}

// k spacings of d as the nearest double to its decimal value, so that 0 is
// exactly 0 and 0.6 is 0.6 rather than an accumulated sum of steps.
double multiple(double k, const NiceNumber &d)
{
    const double units = k * d.mantissa;
    if (d.exponent < 0 && d.exponent >= -22)
        return units / std::pow(10.0, -d.exponent);
    return units * std::pow(10.0, d.exponent);
}

// Far beyond any axis; keeps nonsense tick counts from exhausting memory.
constexpr double MaxLabels = 1e7;

} // namespace

NiceLabels::NiceLabels(QObject *parent) : QObject(parent) {}

QVariantList NiceLabels::looseLabels(double min, double max, int tickCount)
{
    QVariantList labels;
    if (tickCount < 2 || !std::isfinite(min) || !std::isfinite(max) || !(max - min > 0.0))
        return labels;

    const double range = nice(max - min, false).value();
    const NiceNumber d = nice(range / (tickCount - 1), true);
    const double step = d.value();
    if (!std::isfinite(range) || !(step > 0.0) || !std::isfinite(step))
        return labels;

    const double low = std::floor(min / step);
    const double high = std::ceil(max / step);
    const double count = high - low + 1.0;
    if (!std::isfinite(count) || count < 1.0 || count > MaxLabels)
        return labels;
    const int n = int(count);
    labels.reserve(n);
    for (int i = 0; i < n; ++i)
        labels.append(QVariant(multiple(high - i, d)));
    return labels;
}

QVariantList NiceLabels::looseLabels(double min, double max)
{
    return looseLabels(min, max, 10);
}

QPointF NiceLabels::looseLabelsMinMax(QPointF point)
{
    const QVariantList labels = looseLabels(point.x(), point.y(), 10);
    if (labels.isEmpty())
        return QPointF(0.0, 0.0);
    return QPointF(labels.last().toDouble(), labels.first().toDouble());
}

} // namespace Frontend
} // namespace Korvel
