#pragma once
// SCPI text helpers of the simulated analyser: header patterns with
// short/long mnemonics, numeric suffixes and optional nodes; parameter
// splitting; number and keyword conversion.

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace AnalyserSim::Scpi {

// One node of a header pattern such as "SOURce#:POWer:[LEVel]:[AMPLitude]":
// the upper-case prefix is the short form, "#" takes a numeric suffix,
// brackets make the node optional.
struct PatternNode
{
    QString longForm; // upper case
    QString shortForm; // upper case
    bool suffix = false;
    bool optional = false;
};
using Pattern = std::vector<PatternNode>;
Pattern parsePattern(const QString &pattern);
// How many "#" nodes a pattern has.
int suffixSlots(const Pattern &pattern);

// A received header split into mnemonics and their suffixes.
struct Header
{
    QStringList mnemonics; // upper case, suffix removed
    std::vector<std::optional<unsigned>> suffix;
    bool query = false;
    bool valid = false;
};
Header parseHeader(const QString &text);

struct Suffix
{
    unsigned value = 1;
    bool given = false;
};
// On success *suffix holds one entry per "#" node of the pattern.
bool match(const Pattern &pattern, const Header &header, std::vector<Suffix> *suffix);

// A command split into its header text and parameter text.
struct Command
{
    QString header;
    QString params;
};
Command splitCommand(const QString &text);
// Split at separator outside double quotes; parts trimmed.
QStringList splitOutsideQuotes(const QString &text, QChar separator);
QString unquote(const QString &text);

// Keyword matching: keyword is written like "CSTate"; input matches its
// long or short form in any case.
bool keywordMatches(const QString &keyword, const QString &input);
int findKeyword(const QStringList &keywords, const QString &input);

std::optional<double> toDouble(const QString &text);
std::optional<unsigned> toUnsigned(const QString &text);
std::optional<bool> toBool(const QString &text);
// Integral values below 1e15 as integers, others in the shortest form that
// reads back to the same double.
QString number(double value);

} // namespace AnalyserSim::Scpi
