#include "analyser-sim/scpi.h"

#include <QLocale>

#include <cmath>
#include <functional>

namespace AnalyserSim::Scpi {

namespace {
QString shortFormOf(const QString &mnemonic)
{
    int n = 0;
    while (n < mnemonic.size() && !mnemonic[n].isLower())
        ++n;
    return mnemonic.left(n).toUpper();
}
} // namespace

Pattern parsePattern(const QString &pattern)
{
    Pattern out;
    for (QString part : pattern.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        PatternNode node;
        if (part.startsWith(QLatin1Char('[')) && part.endsWith(QLatin1Char(']'))) {
            node.optional = true;
            part = part.mid(1, part.size() - 2);
        }
        if (part.endsWith(QLatin1Char('#'))) {
            node.suffix = true;
            part.chop(1);
        }
        node.shortForm = shortFormOf(part);
        node.longForm = part.toUpper();
        out.push_back(node);
    }
    return out;
}

int suffixSlots(const Pattern &pattern)
{
    int n = 0;
    for (const auto &node : pattern)
        n += node.suffix ? 1 : 0;
    return n;
}

Header parseHeader(const QString &text)
{
    Header h;
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('?'))) {
        h.query = true;
        t.chop(1);
    }
    if (t.startsWith(QLatin1Char(':')))
        t.remove(0, 1);
    if (t.isEmpty())
        return h;
    for (const QString &part : t.split(QLatin1Char(':'))) {
        int end = part.size();
        while (end > 0 && part[end - 1].isDigit())
            --end;
        const QString name = part.left(end);
        if (name.isEmpty())
            return h;
        for (int i = 0; i < name.size(); ++i) {
            const QChar c = name[i];
            if (!(c.isLetter() || c == QLatin1Char('_') || (i == 0 && c == QLatin1Char('*'))))
                return h;
        }
        std::optional<unsigned> suffix;
        if (end < part.size()) {
            bool ok = false;
            const unsigned v = part.mid(end).toUInt(&ok);
            if (!ok)
                return h;
            suffix = v;
        }
        h.mnemonics << name.toUpper();
        h.suffix.push_back(suffix);
    }
    h.valid = true;
    return h;
}

bool match(const Pattern &pattern, const Header &header, std::vector<Suffix> *suffix)
{
    if (!header.valid)
        return false;
    std::vector<Suffix> found(size_t(suffixSlots(pattern)));
    // Depth-first over pattern node i and header node j (optional nodes may
    // be skipped); slot counts the "#" nodes passed.
    std::function<bool(size_t, int, size_t)> step = [&](size_t i, int slot, size_t j) -> bool {
        if (i == pattern.size())
            return j == size_t(header.mnemonics.size());
        const PatternNode &node = pattern[i];
        const int nextSlot = slot + (node.suffix ? 1 : 0);
        if (j < size_t(header.mnemonics.size())) {
            const QString &m = header.mnemonics[int(j)];
            const bool nameOk = m == node.longForm || m == node.shortForm;
            const bool suffixOk = node.suffix || !header.suffix[j].has_value();
            if (nameOk && suffixOk) {
                if (node.suffix)
                    found[size_t(slot)] = header.suffix[j] ? Suffix{*header.suffix[j], true} : Suffix{};
                if (step(i + 1, nextSlot, j + 1))
                    return true;
            }
        }
        if (node.optional) {
            if (node.suffix)
                found[size_t(slot)] = Suffix{};
            return step(i + 1, nextSlot, j);
        }
        return false;
    };
    if (!step(0, 0, 0))
        return false;
    if (suffix)
        *suffix = found;
    return true;
}

Command splitCommand(const QString &text)
{
    const QString t = text.trimmed();
    int i = 0;
    while (i < t.size() && !t[i].isSpace())
        ++i;
    return {t.left(i), t.mid(i).trimmed()};
}

QStringList splitOutsideQuotes(const QString &text, QChar separator)
{
    QStringList parts;
    QString current;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (c == separator && !quoted) {
            parts << current.trimmed();
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current.trimmed();
    return parts;
}

QString unquote(const QString &text)
{
    const QString t = text.trimmed();
    if (t.size() >= 2 && ((t.startsWith('"') && t.endsWith('"')) || (t.startsWith('\'') && t.endsWith('\''))))
        return t.mid(1, t.size() - 2);
    return t;
}

bool keywordMatches(const QString &keyword, const QString &input)
{
    const QString in = input.trimmed().toUpper();
    return !in.isEmpty() && (in == keyword.toUpper() || in == shortFormOf(keyword));
}

int findKeyword(const QStringList &keywords, const QString &input)
{
    for (int i = 0; i < keywords.size(); ++i)
        if (keywordMatches(keywords[i], input))
            return i;
    return -1;
}

std::optional<double> toDouble(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<unsigned> toUnsigned(const QString &text)
{
    bool ok = false;
    const unsigned v = text.trimmed().toUInt(&ok, 10);
    if (ok)
        return v;
    // A whole number written as a double ("2.0E+00") is accepted too.
    const auto d = toDouble(text);
    if (d && *d >= 0 && *d <= 4294967295.0 && std::floor(*d) == *d)
        return unsigned(*d);
    return std::nullopt;
}

std::optional<bool> toBool(const QString &text)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("ON"))
        return true;
    if (t == QLatin1String("OFF"))
        return false;
    const auto d = toDouble(t);
    if (!d)
        return std::nullopt;
    return *d != 0.0;
}

QString number(double value)
{
    if (std::isfinite(value) && std::floor(value) == value && std::abs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace AnalyserSim::Scpi
