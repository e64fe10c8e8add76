#include "analyser-sim/touchstonereader.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <cmath>

namespace AnalyserSim {

namespace {
constexpr double kPi = 3.14159265358979323846;

std::optional<SampledNetwork> fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return std::nullopt;
}
} // namespace

unsigned touchstonePortCount(const QString &path)
{
    static const QRegularExpression suffix(QStringLiteral("\\.s(\\d{1,2})p$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto m = suffix.match(path);
    return m.hasMatch() ? m.captured(1).toUInt() : 0;
}

std::optional<SampledNetwork> readTouchstone(const QString &path, QString *error)
{
    const unsigned n = touchstonePortCount(path);
    if (n == 0)
        return fail(error, QStringLiteral("not a .sNp file name: %1").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(error, QStringLiteral("cannot open %1").arg(path));

    double unit = 1e9;
    enum { RI, MA, DB } format = MA; // the format's defaults: GHz, S, MA, R 50
    SampledNetwork net;
    net.portCount = n;
    const size_t perPoint = 1 + 2 * size_t(n) * n;
    std::vector<double> pending;
    QTextStream in(&file);
    int lineNo = 0;
    while (!in.atEnd()) {
        QString line = in.readLine();
        ++lineNo;
        const int bang = line.indexOf(QLatin1Char('!'));
        if (bang >= 0)
            line.truncate(bang);
        line = line.simplified();
        if (line.isEmpty() || line.startsWith(QLatin1Char('[')))
            continue;
        const QStringList tokens = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (line.startsWith(QLatin1Char('#'))) {
            for (int i = 1; i < tokens.size(); ++i) {
                const QString t = tokens[i].toUpper();
                if (t == "HZ")
                    unit = 1;
                else if (t == "KHZ")
                    unit = 1e3;
                else if (t == "MHZ")
                    unit = 1e6;
                else if (t == "GHZ")
                    unit = 1e9;
                else if (t == "RI")
                    format = RI;
                else if (t == "MA")
                    format = MA;
                else if (t == "DB")
                    format = DB;
                else if (t == "S")
                    continue;
                else if (t == "R" && i + 1 < tokens.size()) {
                    bool ok = false;
                    net.referenceImpedance = tokens[++i].toDouble(&ok);
                    if (!ok || !(net.referenceImpedance > 0))
                        return fail(error, QStringLiteral("%1:%2: bad reference impedance").arg(path).arg(lineNo));
                } else
                    return fail(error,
                                QStringLiteral("%1:%2: unsupported option %3").arg(path).arg(lineNo).arg(tokens[i]));
            }
            continue;
        }
        for (const QString &t : tokens) {
            bool ok = false;
            const double v = t.toDouble(&ok);
            if (!ok || !std::isfinite(v))
                return fail(error, QStringLiteral("%1:%2: not a number: %3").arg(path).arg(lineNo).arg(t));
            pending.push_back(v);
        }
        if (pending.size() > perPoint)
            return fail(error, QStringLiteral("%1:%2: too many values for %3 ports").arg(path).arg(lineNo).arg(n));
        if (pending.size() < perPoint)
            continue;
        const double f = pending[0] * unit;
        if (!net.frequency.empty() && !(f > net.frequency.back()))
            return fail(error, QStringLiteral("%1:%2: frequencies not ascending").arg(path).arg(lineNo));
        ComplexVector m(size_t(n) * n);
        for (size_t k = 0; k < size_t(n) * n; ++k) {
            const double a = pending[1 + 2 * k], b = pending[2 + 2 * k];
            Complex v;
            if (format == RI)
                v = {a, b};
            else
                v = std::polar(format == MA ? a : std::pow(10.0, a / 20.0), b * kPi / 180.0);
            // Two-port files list S11 S21 S12 S22 (column by column).
            const size_t row = n == 2 ? k % 2 : k / n, col = n == 2 ? k / 2 : k % n;
            m[row * n + col] = v;
        }
        net.frequency.push_back(f);
        net.matrix.push_back(std::move(m));
        pending.clear();
    }
    if (!pending.empty())
        return fail(error, QStringLiteral("%1: incomplete last point").arg(path));
    if (net.frequency.empty())
        return fail(error, QStringLiteral("%1: no data").arg(path));
    return net;
}

} // namespace AnalyserSim
