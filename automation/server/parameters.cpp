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

// What one character did to the number: taken, the end of the number (the
// character is not part of it), or a fault that refuses the whole text.
enum class LexStep {
    Take,
    End,
    DataTypeError,
    Overflow,
};

// The lexer's running state: one call of step() a character, then finish().
// The decimal mantissa keeps at most 32 bits; digits past that only move the
// exponent (integer digits) or are dropped (fraction digits).
class NumberLexer
{
public:
    LexStep step(unsigned char c)
    {
        const bool digit = isDigit(c);
        const unsigned value = digit ? unsigned(c - '0') : 0u;
        switch (m_state) {
        case LexState::Start:
        case LexState::Sign:
        case LexState::Integer:
        case LexState::Point:
        case LexState::Fraction:
        case LexState::Trailing:
            return stepDecimal(c, digit, value);
        case LexState::Exponent:
        case LexState::ExponentSign:
        case LexState::ExponentDigits:
            return stepExponent(c, digit, value);
        case LexState::Radix:
        case LexState::Base2:
        case LexState::Base8:
        case LexState::Base16:
            return stepRadix(c, digit, value);
        }
        return LexStep::DataTypeError;
    }

    // The number once its text has ended: an SCPI error code, result set
    // only when it is kScpiNumberOk.
    int finish(ScpiNumber &result) const
    {
        if (!m_digitsSeen)
            return kScpiDataTypeError;
        if (m_state == LexState::Start || m_state == LexState::Sign || m_state == LexState::Exponent
            || m_state == LexState::ExponentSign || m_state == LexState::Radix)
            return kScpiDataTypeError;

        quint64 mantissa = m_mantissa;
        qint64 exponent = (m_negativeExponent ? -m_writtenExponent : m_writtenExponent) - m_fractionDigitsKept
                          + m_integerDigitsDropped;
        while (mantissa != 0 && mantissa % 10 == 0) {
            mantissa /= 10;
            ++exponent;
        }
        if (exponent > kExponentLimit)
            return kScpiNumericOverflow;
        if (exponent < -kExponentLimit)
            return kScpiNumberOk; // too small: zero
        result.mantissa = static_cast<quint32>(mantissa);
        result.exponent = static_cast<quint32>(exponent < 0 ? -exponent : exponent);
        result.negative = m_negative;
        result.negativeExponent = exponent < 0;
        return kScpiNumberOk;
    }

private:
    // Sign, integer digits, point, fraction digits and the blanks that may
    // stand before the exponent's "E".
    LexStep stepDecimal(unsigned char c, bool digit, unsigned value)
    {
        switch (m_state) {
        case LexState::Start:
            if (digit)
                return startInteger(value);
            if (c == '#')
                return moveTo(LexState::Radix);
            if (c == '+' || c == '-') {
                m_negative = c == '-';
                return moveTo(LexState::Sign);
            }
            if (c == '.')
                return moveTo(LexState::Point);
            return isBlank(c) ? LexStep::Take : LexStep::DataTypeError;
        case LexState::Sign:
            if (digit)
                return startInteger(value);
            return c == '.' ? moveTo(LexState::Point) : LexStep::DataTypeError;
        case LexState::Integer:
            if (digit) {
                appendInteger(value);
                return LexStep::Take;
            }
            if (c == '.')
                return moveTo(LexState::Point);
            if (c == 'e')
                return moveTo(LexState::Exponent);
            return isBlank(c) ? moveTo(LexState::Trailing) : LexStep::End;
        case LexState::Point:
        case LexState::Fraction:
            if (digit) {
                appendFraction(value);
                return moveTo(LexState::Fraction);
            }
            if (c == 'e')
                return moveTo(LexState::Exponent);
            if (m_state == LexState::Fraction && isBlank(c))
                return moveTo(LexState::Trailing);
            return LexStep::End;
        default: // LexState::Trailing
            if (c == 'e')
                return moveTo(LexState::Exponent);
            return isBlank(c) ? LexStep::Take : LexStep::End;
        }
    }

    // "E", its sign and its digits; an exponent past INT_MAX overflows.
    LexStep stepExponent(unsigned char c, bool digit, unsigned value)
    {
        switch (m_state) {
        case LexState::Exponent:
            if (digit) {
                m_writtenExponent = value;
                return moveTo(LexState::ExponentDigits);
            }
            if (c == '+' || c == '-') {
                m_negativeExponent = c == '-';
                return moveTo(LexState::ExponentSign);
            }
            return isBlank(c) ? LexStep::Take : LexStep::DataTypeError;
        case LexState::ExponentSign:
            if (!digit)
                return LexStep::DataTypeError;
            m_writtenExponent = value;
            return moveTo(LexState::ExponentDigits);
        default: // LexState::ExponentDigits
            if (!digit)
                return LexStep::End;
            m_writtenExponent = m_writtenExponent * 10 + value;
            return m_writtenExponent > INT_MAX ? LexStep::Overflow : LexStep::Take;
        }
    }

    // "#B", "#Q" and "#H" numbers: an integer of at most 32 bits.
    LexStep stepRadix(unsigned char c, bool digit, unsigned value)
    {
        switch (m_state) {
        case LexState::Radix:
            if (c == 'b')
                return moveTo(LexState::Base2);
            if (c == 'q')
                return moveTo(LexState::Base8);
            if (c == 'h')
                return moveTo(LexState::Base16);
            return LexStep::DataTypeError;
        case LexState::Base2:
            if (c != '0' && c != '1')
                return LexStep::End;
            return appendRadix(value, 2, 2147483647u);
        case LexState::Base8:
            if (c < '0' || c > '7')
                return LexStep::End;
            return appendRadix(value, 8, 536870911u);
        default: // LexState::Base16
            if (!digit && (c < 'a' || c > 'f'))
                return LexStep::End;
            return appendRadix(digit ? value : unsigned(c - 'a' + 10), 16, 268435455u);
        }
    }

    LexStep moveTo(LexState state)
    {
        m_state = state;
        return LexStep::Take;
    }

    LexStep startInteger(unsigned value)
    {
        m_mantissa = value;
        m_digitsSeen = true;
        return moveTo(LexState::Integer);
    }

    void appendInteger(unsigned digit)
    {
        if (!m_full && m_mantissa * 10 + digit <= kMantissaMax) {
            m_mantissa = m_mantissa * 10 + digit;
        } else {
            m_full = true;
            ++m_integerDigitsDropped;
        }
    }

    void appendFraction(unsigned digit)
    {
        m_digitsSeen = true;
        if (!m_full && m_mantissa * 10 + digit <= kMantissaMax) {
            m_mantissa = m_mantissa * 10 + digit;
            ++m_fractionDigitsKept;
        } else {
            m_full = true;
        }
    }

    LexStep appendRadix(unsigned digit, unsigned base, quint64 limit)
    {
        m_digitsSeen = true;
        if (m_mantissa > limit || m_mantissa * base + digit > kMantissaMax)
            return LexStep::Overflow;
        m_mantissa = m_mantissa * base + digit;
        return LexStep::Take;
    }

    LexState m_state = LexState::Start;
    quint64 m_mantissa = 0;
    bool m_full = false;
    bool m_digitsSeen = false;
    bool m_negative = false;
    bool m_negativeExponent = false;
    qint64 m_writtenExponent = 0;
    // 64-bit: both counts grow with the length of the text.
    qint64 m_fractionDigitsKept = 0;
    qint64 m_integerDigitsDropped = 0;
};

} // namespace

int lexNumber(const char *text, std::size_t length, ScpiNumber &result, std::size_t &used)
{
    result = ScpiNumber{};
    used = 0;

    NumberLexer lexer;
    std::size_t i = 0;
    for (; i < length; ++i) {
        const LexStep step = lexer.step(toLowerAscii(static_cast<unsigned char>(text[i])));
        if (step == LexStep::DataTypeError)
            return kScpiDataTypeError;
        if (step == LexStep::Overflow)
            return kScpiNumericOverflow;
        if (step == LexStep::End)
            break;
    }

    // Blanks after the number belong to it; a NUL is no blank.
    while (i < length && isBlank(static_cast<unsigned char>(text[i])))
        ++i;

    const int status = lexer.finish(result);
    if (status == kScpiNumberOk)
        used = i;
    return status;
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
