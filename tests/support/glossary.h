#pragma once
// The glossary of the Russian catalogue (translations/glossary.tsv): for
// each English term the one Russian term its translations use, and what a
// Russian text may keep in Latin letters. Read by the catalogue check and
// by the page walk, which looks for English left on the Russian pages.

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <vector>

namespace TestSupport {

struct Glossary
{
    struct Term
    {
        QRegularExpression english;
        QRegularExpression russian;
    };
    std::vector<Term> terms;
    // Texts that need not use a term's Russian pattern: the term's English
    // pattern and the texts' source pattern.
    struct Allowance
    {
        QString termPattern;
        QRegularExpression source;
    };
    std::vector<Allowance> allowances;
    QStringList keptPhrases; // longest first
    QStringList keptWords;
    QStringList problems; // lines of the file that cannot be read
};

Glossary readGlossary(const QString &path);

// For each term a text's source uses whose Russian pattern its translation
// does not match (and no allowance lets it go), the term's English pattern.
QStringList missingTerms(const QString &source, const QString &translation, const Glossary &glossary);

// What a reader sees of a text: without HTML tags and entities, and without
// the bracketed keywords of a file format ("[Number of Ports]"), which are
// quoted, not translated.
QString plainText(const QString &text);

// The Latin words of a Russian text that are English left in it: not a
// kept word or phrase, a placeholder, a file pattern, a code identifier, a
// symbol of two letters at most or a name of capitals and digits.
QStringList englishWords(const QString &text, const Glossary &glossary);

} // namespace TestSupport
