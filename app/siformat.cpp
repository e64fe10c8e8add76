#include "app/siformat.h"

#include <QRegularExpression>

#include <cmath>

const std::vector<SiPrefix> &siPrefixTable()
{
    static const std::vector<SiPrefix> table = {
        {1e-18, QStringLiteral("a")}, {1e-15, QStringLiteral("f")}, {1e-12, QStringLiteral("p")},
        {1e-9, QStringLiteral("n")},  {1e-6, QString(QChar(0x00B5))}, {1e-3, QStringLiteral("m")},
        {1, QString()},               {1e3, QStringLiteral("k")},   {1e6, QStringLiteral("M")},
        {1e9, QStringLiteral("G")},   {1e12, QStringLiteral("T")},  {1e15, QStringLiteral("P")},
        {1e18, QStringLiteral("E")},
    };
    return table;
}

double roundToPrecision(double value, int precision)
{
    const double scale = std::pow(10.0, precision);
    const double scaled = value * scale;
    if (!std::isfinite(scaled) || !std::isfinite(scale) || scale == 0.0)
        return value;
    return std::round(scaled) / scale;
}

QString formatSi(double value, int precision)
{
    const double magnitude = std::abs(value);
    if (magnitude == 0.0) {
        // + 0.0 turns a negative zero into "0".
        return QString::number(roundToPrecision(value, precision) + 0.0, 'g', precision);
    }

    // Linear distance; NaN and infinity compare as never nearer, so they keep
    // the first entry.
    const std::vector<SiPrefix> &table = siPrefixTable();
    std::size_t best = 0;
    double bestDistance = std::abs(magnitude - table[0].factor);
    for (std::size_t i = 1; i < table.size(); ++i) {
        const double distance = std::abs(magnitude - table[i].factor);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    const double scaled = roundToPrecision(value / table[best].factor, precision);
    return QString::number(scaled, 'g', 6) + QLatin1Char(' ') + table[best].prefix;
}

double parseSi(const QString &text)
{
    static const QRegularExpression plain(
        QRegularExpression::anchoredPattern(QStringLiteral("(?<value>[+-]?\\d+(\\.\\d+)?)")));
    static const QRegularExpression prefixed(QRegularExpression::anchoredPattern(
        QStringLiteral("(?<value>[+-]?\\d+(\\.\\d+)?)\\s*(?<prefix>(f|p|n|") + QChar(0x00B5)
        + QStringLiteral("|m|c|d||da|h|k|M|G|T|P|E))")));

    bool ok = false;
    const QRegularExpressionMatch plainMatch = plain.match(text);
    if (plainMatch.hasMatch()) {
        const double value = text.toDouble(&ok);
        return ok ? value : 0.0;
    }

    const QRegularExpressionMatch match = prefixed.match(text);
    if (!match.hasMatch())
        return 0.0;
    const double value = match.captured(QStringLiteral("value")).toDouble(&ok);
    if (!ok)
        return 0.0;
    const QString prefix = match.captured(QStringLiteral("prefix"));
    for (const SiPrefix &entry : siPrefixTable()) {
        if (entry.prefix == prefix)
            return value * entry.factor;
    }
    return 0.0;
}
