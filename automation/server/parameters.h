#pragma once
// Reading the arguments of a remote command: numeric header suffixes, the
// parameter text after the header, the keyword tables and the lexer of SCPI
// numbers (decimal with optional fraction and exponent, or #B/#Q/#H radix
// integers). Every reader takes a cursor into the message bytes, the end of
// the text and an out value; on success the cursor has moved past what was
// read.

#include "measurement/measureenums.h"

#include <QByteArray>

#include <cstddef>
#include <vector>

namespace Korvel {
namespace Automation {

// A header suffix, written 1-based (empty means 1), stored 0-based.
struct NumericIndex
{
    int value = 0;
};

// An analyser port, written 1-based, stored 0-based; the command checks the
// range.
struct PortIndex
{
    int value = 0;
};

// What the number lexer read: mantissa times ten to the signed exponent.
struct ScpiNumber
{
    quint32 mantissa = 0;
    quint32 exponent = 0; // magnitude, 0 to 43
    bool negative = false;
    bool negativeExponent = false;
};

// Error codes of the lexer and the conversions.
constexpr int kScpiNumberOk = 0;
constexpr int kScpiDataTypeError = 104;
constexpr int kScpiNumericOverflow = 106;

// Reads one number from the first `length` bytes of text. Returns 0, 104
// (not a number) or 106 (overflow); `used` counts the bytes taken, blanks
// before and after the number included.
int lexNumber(const char *text, std::size_t length, ScpiNumber &result, std::size_t &used);
// 0 or 106 (past the 32-bit signed range). Negative exponents truncate.
int scpiNumberToInt(const ScpiNumber &number, int &value);
double scpiNumberToDouble(const ScpiNumber &number);

// Header suffix: empty is 1; otherwise leading decimal digits (letters after
// them are ignored), at least 1, saturating at 2147483647.
bool parseSuffixNumber(const char *begin, const char *end, int &value);
bool parseNumericIndex(const char *begin, const char *end, NumericIndex &index);

// One keyword: the leading uppercase letters of its written form make the
// short part, the remaining letters the optional rest (both lower-cased).
template<typename T>
struct KeywordEntry
{
    QByteArray shortPart;
    QByteArray rest;
    T value;
};

template<typename T>
KeywordEntry<T> makeKeyword(const char *written, T value)
{
    const QByteArray text(written);
    int split = 0;
    while (split < text.size() && text.at(split) >= 'A' && text.at(split) <= 'Z')
        ++split;
    return {text.left(split).toLower(), text.mid(split).toLower(), value};
}

const std::vector<KeywordEntry<MeasureEnums::CorrectionMethod>> &correctionMethodKeywords();
const std::vector<KeywordEntry<MeasureEnums::Z0Conversion>> &z0ConversionKeywords();
const std::vector<KeywordEntry<bool>> &booleanKeywords();

// Matches the first entry whose short part the text begins with (any case);
// its rest is taken only when present in full.
template<typename T>
bool matchKeyword(const char *&cursor, const char *end, const std::vector<KeywordEntry<T>> &table, T &value);

// Parameter readers.
bool readParameter(const char *&cursor, const char *end, int &value);
bool readParameter(const char *&cursor, const char *end, double &value);
// Between a pair of double or single quotes; no escapes.
bool readParameter(const char *&cursor, const char *end, QByteArray &value);
// A number (non-zero is true) or ON / OFF.
bool readParameter(const char *&cursor, const char *end, bool &value);
bool readParameter(const char *&cursor, const char *end, PortIndex &value);
bool readParameter(const char *&cursor, const char *end, MeasureEnums::CorrectionMethod &value);
bool readParameter(const char *&cursor, const char *end, MeasureEnums::Z0Conversion &value);

// Skips space, tab, line feed, vertical tab, form feed and carriage return.
const char *skipWhiteSpace(const char *cursor, const char *end);

// Divides and reads the parameter text of a command with no, one or two
// parameters. Two parameters need exactly one "," between them; a "," after
// the last one, or anything left over, fails.
bool parseParameters(const char *begin, const char *end);

template<typename First>
bool parseParameters(const char *begin, const char *end, First &first)
{
    const char *cursor = skipWhiteSpace(begin, end);
    if (!readParameter(cursor, end, first))
        return false;
    cursor = skipWhiteSpace(cursor, end);
    if (cursor != end && *cursor == ',')
        return false;
    return cursor == end;
}

template<typename First, typename Second>
bool parseParameters(const char *begin, const char *end, First &first, Second &second)
{
    const char *cursor = skipWhiteSpace(begin, end);
    if (!readParameter(cursor, end, first))
        return false;
    cursor = skipWhiteSpace(cursor, end);
    if (cursor == end || *cursor != ',')
        return false;
    cursor = skipWhiteSpace(cursor + 1, end);
    if (!readParameter(cursor, end, second))
        return false;
    cursor = skipWhiteSpace(cursor, end);
    if (cursor != end && *cursor == ',')
        return false;
    return cursor == end;
}

} // namespace Automation
} // namespace Korvel
