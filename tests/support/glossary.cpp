#include "glossary.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>

namespace TestSupport {

namespace {

QRegularExpression glossaryPattern(const QString &pattern)
{
    // \w and \b take Cyrillic letters too.
    return QRegularExpression(pattern, QRegularExpression::UseUnicodePropertiesOption);
}

} // namespace

Glossary readGlossary(const QString &path)
{
    Glossary glossary;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        glossary.problems << path + QStringLiteral(": cannot be read");
        return glossary;
    }
    QTextStream in(&file);
    in.setCodec("UTF-8");
    for (int number = 1; !in.atEnd(); ++number) {
        const QString line = in.readLine();
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        const QString where = QStringLiteral("line %1: ").arg(number);
        if (fields.size() >= 3 && fields[0] == QLatin1String("term")) {
            Glossary::Term term{glossaryPattern(fields[1]), glossaryPattern(fields[2])};
            if (!term.english.isValid() || !term.russian.isValid())
                glossary.problems << where + term.english.errorString() + QLatin1Char(' ') + term.russian.errorString();
            else
                glossary.terms.push_back(term);
        } else if (fields.size() >= 3 && fields[0] == QLatin1String("allow")) {
            Glossary::Allowance allowance{fields[1], glossaryPattern(fields[2])};
            const bool known = std::any_of(glossary.terms.begin(), glossary.terms.end(),
                                           [&](const Glossary::Term &t) { return t.english.pattern() == fields[1]; });
            if (!allowance.source.isValid() || !known)
                glossary.problems << where + QStringLiteral("an allowance for no term above: ") + line;
            else
                glossary.allowances.push_back(allowance);
        } else if (fields.size() >= 2 && fields[0] == QLatin1String("keep") && !fields[1].isEmpty()) {
            if (fields[1].contains(QLatin1Char(' ')))
                glossary.keptPhrases << fields[1];
            else
                glossary.keptWords << fields[1];
        } else {
            glossary.problems << where + QStringLiteral("neither a term nor a kept word: ") + line;
        }
    }
    std::sort(glossary.keptPhrases.begin(), glossary.keptPhrases.end(),
              [](const QString &a, const QString &b) { return a.size() > b.size(); });
    return glossary;
}

QStringList missingTerms(const QString &source, const QString &translation, const Glossary &glossary)
{
    const QString english = plainText(source);
    const QString russian = plainText(translation);
    QStringList missing;
    for (const Glossary::Term &term : glossary.terms) {
        if (!term.english.match(english).hasMatch() || term.russian.match(russian).hasMatch())
            continue;
        const bool allowed =
            std::any_of(glossary.allowances.begin(), glossary.allowances.end(), [&](const Glossary::Allowance &a) {
                return a.termPattern == term.english.pattern() && a.source.match(english).hasMatch();
            });
        if (!allowed)
            missing << term.english.pattern();
    }
    return missing;
}

QString plainText(const QString &text)
{
    QString plain = text;
    // A tag ends a word: "</td><td>" parts two cells.
    plain.replace(QRegularExpression(QStringLiteral("<[^>]*>")), QStringLiteral(" "));
    plain.replace(QRegularExpression(QStringLiteral("&[a-z]+;")), QStringLiteral(" "));
    plain.remove(QRegularExpression(QStringLiteral("\\[[^\\]]*\\]")));
    return plain;
}

QStringList englishWords(const QString &text, const Glossary &glossary)
{
    QString plain = plainText(text);
    for (const QString &phrase : glossary.keptPhrases)
        plain.replace(phrase, QStringLiteral(" "));
    static const QRegularExpression ignored(QStringLiteral("%L?\\d+|\\S*\\*\\S*|\\.[A-Za-z]\\w*|\\w+::\\w+"));
    plain.replace(ignored, QStringLiteral(" "));
    // A word of Latin letters, with the digits around it (2xThrough, S11).
    static const QRegularExpression word(QStringLiteral("[0-9]*[A-Za-z][A-Za-z0-9]*"));
    // Symbols and names: two letters at most (ZA, dB), or capitals with
    // digits (S11, LA1, SIM0001).
    static const QRegularExpression symbol(QStringLiteral("^[0-9]*[A-Za-z]{1,2}[0-9]*$|^(?=.*[0-9])[A-Z0-9]+$"));
    QStringList found;
    for (auto it = word.globalMatch(plain); it.hasNext();) {
        const QString w = it.next().captured();
        if (!symbol.match(w).hasMatch() && !glossary.keptWords.contains(w))
            found << w;
    }
    return found;
}

} // namespace TestSupport
