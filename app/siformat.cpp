#include "app/siformat.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

const std::vector<SiPrefix> &siPrefixTable()
{
    static const std::vector<SiPrefix> table = {
        {1e-18, QStringLiteral("a")},
        {1e-15, QStringLiteral("f")},
        {1e-12, QStringLiteral("p")},
        {1e-9, QStringLiteral("n")},
        {1e-6, QString(QChar(0x00B5))},
        {1e-3, QStringLiteral("m")},
        {1, QString()},
        {1e3, QStringLiteral("k")},
        {1e6, QStringLiteral("M")},
        {1e9, QStringLiteral("G")},
        {1e12, QStringLiteral("T")},
        {1e15, QStringLiteral("P")},
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

namespace {

// The entry nearest to the magnitude, by linear distance; NaN and infinity
// compare as never nearer, so they keep the first entry.
std::size_t nearestPrefix(double magnitude)
{
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
    return best;
}

} // namespace

QString formatSi(double value, int precision)
{
    const double magnitude = std::abs(value);
    if (magnitude == 0.0) {
        // + 0.0 turns a negative zero into "0".
        return QString::number(roundToPrecision(value, precision) + 0.0, 'g', precision);
    }

    const std::vector<SiPrefix> &table = siPrefixTable();
    const std::size_t best = nearestPrefix(magnitude);
    const double scaled = roundToPrecision(value / table[best].factor, precision);
    return QString::number(scaled, 'g', 6) + QLatin1Char(' ') + table[best].prefix;
}

std::vector<QString> formatSiShared(const std::vector<double> &values, int precision)
{
    const std::vector<SiPrefix> &table = siPrefixTable();
    double largest = 0.0;
    for (double v : values)
        if (std::isfinite(v))
            largest = std::max(largest, std::abs(v));
    // No finite non-zero value: the plain unit (factor 1).
    std::size_t entry = 0;
    while (table[entry].factor != 1.0)
        ++entry;
    if (largest > 0.0)
        entry = nearestPrefix(largest);
    const double factor = table[entry].factor;

    // Enough decimals to tell the closest two neighbours apart.
    int decimals = std::max(precision, 0);
    for (std::size_t i = 1; i < values.size(); ++i) {
        const double gap = std::abs(values[i] - values[i - 1]) / factor;
        if (std::isfinite(gap) && gap > 0.0)
            decimals = std::max(decimals, std::min(15, int(std::ceil(-std::log10(gap) - 1e-9))));
    }

    std::vector<QString> texts;
    texts.reserve(values.size());
    for (double v : values) {
        if (!std::isfinite(v))
            texts.push_back(QString::number(v));
        else if (v == 0.0)
            texts.push_back(QStringLiteral("0"));
        else {
            // + 0.0 turns a negative zero into "0".
            const double scaled = roundToPrecision(v / factor, decimals) + 0.0;
            if (scaled == 0.0) {
                texts.push_back(QStringLiteral("0"));
                continue;
            }
            // Six significant digits, or as many as the decimals need.
            const int integerDigits = std::max(1, int(std::floor(std::log10(std::abs(scaled)))) + 1);
            const int digits = std::clamp(integerDigits + decimals, 6, 15);
            texts.push_back(QString::number(scaled, 'g', digits) + QLatin1Char(' ') + table[entry].prefix);
        }
    }
    return texts;
}

double parseSi(const QString &text)
{
    static const QRegularExpression plain(
        QRegularExpression::anchoredPattern(QStringLiteral("(?<value>[+-]?\\d+(\\.\\d+)?)")));
    static const QRegularExpression prefixed(
        QRegularExpression::anchoredPattern(QStringLiteral("(?<value>[+-]?\\d+(\\.\\d+)?)\\s*(?<prefix>(f|p|n|")
                                            + QChar(0x00B5) + QStringLiteral("|m|c|d||da|h|k|M|G|T|P|E))")));

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
