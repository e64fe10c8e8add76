#include "automation/server/parameters.h"

#include <climits>
#include <cstdint>

namespace Korvel {
namespace Automation {

namespace {

constexpr quint32 kMantissaMax = 0xFFFFFFFFu;
constexpr int kExponentLimit = 43;

bool isBlank(unsigned char c)
{
    return c >= 1 && c <= 32;
}

bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

unsigned char toLowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool startsWithNoCase(const char *cursor, const char *end, const QByteArray &part)
{
    if (end - cursor < part.size())
        return false;
    for (int i = 0; i < part.size(); ++i) {
        if (toLowerAscii(static_cast<unsigned char>(cursor[i])) != static_cast<unsigned char>(part.at(i)))
            return false;
    }
    return true;
}

enum class LexState {
    Start,
    Sign,
    Integer,
    Point,
    Fraction,
    Trailing,
    Exponent,
    ExponentSign,
    ExponentDigits,
    Radix,
    Base2,
    Base8,
    Base16,
};

} // namespace

int lexNumber(const char *text, std::size_t length, ScpiNumber &result, std::size_t &used)
{
    result = ScpiNumber{};
    used = 0;

    LexState state = LexState::Start;
    quint64 mantissa = 0;
    bool full = false;
    bool digitsSeen = false;
    bool negative = false;
    bool negativeExponent = false;
    qint64 writtenExponent = 0;
    // 64-bit: both counts grow with the length of the text.
    qint64 fractionDigitsKept = 0;
    qint64 integerDigitsDropped = 0;

    auto appendInteger = [&](unsigned digit) {
        if (!full && mantissa * 10 + digit <= kMantissaMax) {
            mantissa = mantissa * 10 + digit;
        } else {
            full = true;
            ++integerDigitsDropped;
        }
    };
    auto appendFraction = [&](unsigned digit) {
        digitsSeen = true;
        if (!full && mantissa * 10 + digit <= kMantissaMax) {
            mantissa = mantissa * 10 + digit;
            ++fractionDigitsKept;
        } else {
            full = true;
        }
    };
    auto appendRadix = [&](unsigned digit, unsigned base, quint64 limit) {
        digitsSeen = true;
        if (mantissa > limit || mantissa * base + digit > kMantissaMax)
            return false;
        mantissa = mantissa * base + digit;
        return true;
    };

    std::size_t i = 0;
    bool ended = false;
    while (i < length && !ended) {
        const unsigned char c = toLowerAscii(static_cast<unsigned char>(text[i]));
        const bool digit = isDigit(c);
        const unsigned value = digit ? unsigned(c - '0') : 0u;
        switch (state) {
        case LexState::Start:
            if (digit) {
                mantissa = value;
                digitsSeen = true;
                state = LexState::Integer;
            } else if (c == '#') {
                state = LexState::Radix;
            } else if (c == '+' || c == '-') {
                negative = c == '-';
                state = LexState::Sign;
            } else if (c == '.') {
                state = LexState::Point;
            } else if (!isBlank(c)) {
                return kScpiDataTypeError;
            }
            break;
        case LexState::Sign:
            if (digit) {
                mantissa = value;
                digitsSeen = true;
                state = LexState::Integer;
            } else if (c == '.') {
                state = LexState::Point;
            } else {
                return kScpiDataTypeError;
            }
            break;
        case LexState::Integer:
            if (digit)
                appendInteger(value);
            else if (c == '.')
                state = LexState::Point;
            else if (c == 'e')
                state = LexState::Exponent;
            else if (isBlank(c))
                state = LexState::Trailing;
            else
                ended = true;
            break;
        case LexState::Point:
        case LexState::Fraction:
            if (digit) {
                appendFraction(value);
                state = LexState::Fraction;
            } else if (c == 'e') {
                state = LexState::Exponent;
            } else if (state == LexState::Fraction && isBlank(c)) {
                state = LexState::Trailing;
            } else {
                ended = true;
            }
            break;
        case LexState::Trailing:
            if (c == 'e')
                state = LexState::Exponent;
            else if (!isBlank(c))
                ended = true;
            break;
        case LexState::Exponent:
            if (digit) {
                writtenExponent = value;
                state = LexState::ExponentDigits;
            } else if (c == '+' || c == '-') {
                negativeExponent = c == '-';
                state = LexState::ExponentSign;
            } else if (!isBlank(c)) {
                return kScpiDataTypeError;
            }
            break;
        case LexState::ExponentSign:
            if (!digit)
                return kScpiDataTypeError;
            writtenExponent = value;
            state = LexState::ExponentDigits;
            break;
        case LexState::ExponentDigits:
            if (digit) {
                writtenExponent = writtenExponent * 10 + value;
                if (writtenExponent > INT_MAX)
                    return kScpiNumericOverflow;
            } else {
                ended = true;
            }
            break;
        case LexState::Radix:
            if (c == 'b')
                state = LexState::Base2;
            else if (c == 'q')
                state = LexState::Base8;
            else if (c == 'h')
                state = LexState::Base16;
            else
                return kScpiDataTypeError;
            break;
        case LexState::Base2:
            if (c == '0' || c == '1') {
                if (!appendRadix(value, 2, 2147483647u))
                    return kScpiNumericOverflow;
            } else {
                ended = true;
            }
            break;
        case LexState::Base8:
            if (c >= '0' && c <= '7') {
                if (!appendRadix(value, 8, 536870911u))
                    return kScpiNumericOverflow;
            } else {
                ended = true;
            }
            break;
        case LexState::Base16:
            if (digit || (c >= 'a' && c <= 'f')) {
                const unsigned hex = digit ? value : unsigned(c - 'a' + 10);
                if (!appendRadix(hex, 16, 268435455u))
                    return kScpiNumericOverflow;
            } else {
                ended = true;
            }
            break;
        }
        if (!ended)
            ++i;
    }

    // Blanks after the number belong to it; a NUL is no blank.
    while (i < length && isBlank(static_cast<unsigned char>(text[i])))
        ++i;

    if (!digitsSeen)
        return kScpiDataTypeError;
    if (state == LexState::Start || state == LexState::Sign || state == LexState::Exponent
        || state == LexState::ExponentSign || state == LexState::Radix)
        return kScpiDataTypeError;

    qint64 exponent =
        (negativeExponent ? -writtenExponent : writtenExponent) - fractionDigitsKept + integerDigitsDropped;
    while (mantissa != 0 && mantissa % 10 == 0) {
        mantissa /= 10;
        ++exponent;
    }
    if (exponent > kExponentLimit)
        return kScpiNumericOverflow;

    used = i;
    if (exponent < -kExponentLimit)
        return kScpiNumberOk; // too small: zero
    result.mantissa = static_cast<quint32>(mantissa);
    result.exponent = static_cast<quint32>(exponent < 0 ? -exponent : exponent);
    result.negative = negative;
    result.negativeExponent = exponent < 0;
    return kScpiNumberOk;
}

int scpiNumberToInt(const ScpiNumber &number, int &value)
{
    quint64 magnitude = number.mantissa;
    for (quint32 i = 0; i < number.exponent; ++i) {
        if (number.negativeExponent) {
            magnitude /= 10;
        } else {
            if (magnitude > 429496729u)
                return kScpiNumericOverflow;
            magnitude *= 10;
        }
    }
    if (magnitude > 2147483647u)
        return kScpiNumericOverflow;
    value = number.negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
    return kScpiNumberOk;
}

double scpiNumberToDouble(const ScpiNumber &number)
{
    double magnitude = number.mantissa;
    for (quint32 i = 0; i < number.exponent; ++i) {
        if (number.negativeExponent)
            magnitude /= 10.0;
        else
            magnitude *= 10.0;
    }
    return number.negative ? 0.0 - magnitude : magnitude;
}

bool parseSuffixNumber(const char *begin, const char *end, int &value)
{
    if (begin == end) {
        value = 1;
        return true;
    }
    if (!isDigit(static_cast<unsigned char>(*begin)))
        return false;
    qint64 number = 0;
    for (const char *p = begin; p != end && isDigit(static_cast<unsigned char>(*p)); ++p) {
        number = number * 10 + (*p - '0');
        if (number > INT_MAX)
            number = INT_MAX; // saturates, and the remaining digits cannot lower it
    }
    if (number == 0)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool parseNumericIndex(const char *begin, const char *end, NumericIndex &index)
{
    int number = 0;
    if (!parseSuffixNumber(begin, end, number))
        return false;
    index.value = number - 1;
    return true;
}

const std::vector<KeywordEntry<MeasureEnums::CorrectionMethod>> &correctionMethodKeywords()
{
    using M = MeasureEnums::CorrectionMethod;
    static const std::vector<KeywordEntry<M>> table = {
        makeKeyword("BIsect", M::BISECT),
        makeKeyword("FILTERing", M::FILTERING),
        makeKeyword("TIMEgating", M::TIME_GATING),
    };
    return table;
}

const std::vector<KeywordEntry<MeasureEnums::Z0Conversion>> &z0ConversionKeywords()
{
    using Z = MeasureEnums::Z0Conversion;
    static const std::vector<KeywordEntry<Z>> table = {
        makeKeyword("FIXTure", Z::Fixture),
        makeKeyword("SYSTem", Z::System),
        makeKeyword("USer", Z::User),
    };
    return table;
}

const std::vector<KeywordEntry<bool>> &booleanKeywords()
{
    static const std::vector<KeywordEntry<bool>> table = {
        makeKeyword("ON", true),
        makeKeyword("OFF", false),
    };
    return table;
}

template<typename T>
bool matchKeyword(const char *&cursor, const char *end, const std::vector<KeywordEntry<T>> &table, T &value)
{
    if (cursor == end)
        return false;
    for (const KeywordEntry<T> &entry : table) {
        if (!startsWithNoCase(cursor, end, entry.shortPart))
            continue;
        cursor += entry.shortPart.size();
        if (!entry.rest.isEmpty() && startsWithNoCase(cursor, end, entry.rest))
            cursor += entry.rest.size();
        value = entry.value;
        return true;
    }
    return false;
}

template bool
matchKeyword<MeasureEnums::CorrectionMethod>(const char *&, const char *,
                                             const std::vector<KeywordEntry<MeasureEnums::CorrectionMethod>> &,
                                             MeasureEnums::CorrectionMethod &);
template bool matchKeyword<MeasureEnums::Z0Conversion>(const char *&, const char *,
                                                       const std::vector<KeywordEntry<MeasureEnums::Z0Conversion>> &,
                                                       MeasureEnums::Z0Conversion &);
template bool matchKeyword<bool>(const char *&, const char *, const std::vector<KeywordEntry<bool>> &, bool &);

const char *skipWhiteSpace(const char *cursor, const char *end)
{
    while (cursor != end
           && (*cursor == ' ' || *cursor == '\t' || *cursor == '\n' || *cursor == '\v' || *cursor == '\f'
               || *cursor == '\r'))
        ++cursor;
    return cursor;
}

namespace {

bool lexAt(const char *&cursor, const char *end, ScpiNumber &number)
{
    if (cursor == end)
        return false;
    std::size_t used = 0;
    if (lexNumber(cursor, static_cast<std::size_t>(end - cursor), number, used) != kScpiNumberOk)
        return false;
    cursor += used;
    return true;
}

} // namespace

bool readParameter(const char *&cursor, const char *end, int &value)
{
    const char *position = cursor;
    ScpiNumber number;
    int converted = 0;
    if (!lexAt(position, end, number) || scpiNumberToInt(number, converted) != kScpiNumberOk)
        return false;
    value = converted;
    cursor = position;
    return true;
}

bool readParameter(const char *&cursor, const char *end, double &value)
{
    const char *position = cursor;
    ScpiNumber number;
    if (!lexAt(position, end, number))
        return false;
    value = scpiNumberToDouble(number);
    cursor = position;
    return true;
}

bool readParameter(const char *&cursor, const char *end, QByteArray &value)
{
    if (cursor == end || (*cursor != '"' && *cursor != '\''))
        return false;
    const char quote = *cursor;
    const char *close = cursor + 1;
    while (close != end && *close != quote)
        ++close;
    if (close == end)
        return false;
    value = QByteArray(cursor + 1, static_cast<int>(close - cursor - 1));
    cursor = close + 1;
    return true;
}

bool readParameter(const char *&cursor, const char *end, bool &value)
{
    int number = 0;
    if (readParameter(cursor, end, number)) {
        value = number != 0;
        return true;
    }
    return matchKeyword(cursor, end, booleanKeywords(), value);
}

bool readParameter(const char *&cursor, const char *end, PortIndex &value)
{
    int number = 0;
    if (!readParameter(cursor, end, number))
        return false;
    value.value = number - 1;
    return true;
}

bool readParameter(const char *&cursor, const char *end, MeasureEnums::CorrectionMethod &value)
{
    return matchKeyword(cursor, end, correctionMethodKeywords(), value);
}

bool readParameter(const char *&cursor, const char *end, MeasureEnums::Z0Conversion &value)
{
    return matchKeyword(cursor, end, z0ConversionKeywords(), value);
}

bool parseParameters(const char *begin, const char *end)
{
    return skipWhiteSpace(begin, end) == end;
}

} // namespace Automation
} // namespace Korvel
