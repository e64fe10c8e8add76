#include "automation/server/parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>

using namespace Korvel::Automation;
using Method = MeasureEnums::CorrectionMethod;
using Conversion = MeasureEnums::Z0Conversion;

namespace {

// The whole text as the single parameter of a command.
template<typename T>
std::optional<T> parseOne(const std::string &text)
{
    T value{};
    if (!parseParameters(text.data(), text.data() + text.size(), value))
        return std::nullopt;
    return value;
}

int lexCode(const std::string &text)
{
    ScpiNumber number;
    std::size_t used = 0;
    return lexNumber(text.data(), text.size(), number, used);
}

TEST(ScpiNumbers, SpellingsOfFifteenHundred)
{
    for (const char *text : {"1.5E3", "1500", "+1500", "1.5 E 3", "#H5DC", "#h5dc", "15e2", "1.5e+3", "15000e-1",
                             "#B10111011100", "#Q2734", "  1500  ", "1500.", ".15E4", "0001500", "1500\r"}) {
        EXPECT_EQ(parseOne<int>(text), std::optional<int>(1500)) << text;
        EXPECT_EQ(parseOne<double>(text), std::optional<double>(1500.0)) << text;
    }
}

TEST(ScpiNumbers, IntegerConversionTruncatesAndChecksTheRange)
{
    struct Case
    {
        const char *text;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"1.9", 1},
        {"-1.9", -1},
        {"0.5", 0},
        {"-0", 0},
        {"2147483647", 2147483647},
        {"-2147483647", -2147483647},
        {"2147483648", std::nullopt},
        {"-2147483648", std::nullopt},
        {"3E9", std::nullopt},
        {"4294967295", std::nullopt},
        {"2.147483647E9", 2147483647},
        {"#HFFFFFFFF", std::nullopt}, // lexes, but is past the int range
        {"#H7FFFFFFF", 2147483647},
        {"1E-44", 0},
        {"1E9", 1000000000},
        {"1E10", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseOne<int>(c.text), c.expected) << c.text;
    EXPECT_EQ(parseOne<double>("3E9"), std::optional<double>(3e9));
}

TEST(ScpiNumbers, ExponentLimitsAndMalformedNumbers)
{
    struct Case
    {
        const char *text;
        int code;
    };
    const Case cases[] = {
        {"1E43", 0},
        {"1E44", 106},
        {"10E43", 106},
        {"0E44", 106},
        {"1E-44", 0},
        {"1E-43", 0},
        {"1E", 104},
        {"1E+", 104},
        {"1E-", 104},
        {"+", 104},
        {"-", 104},
        {".", 104},
        {"#Q9", 104},
        {"#", 104},
        {"#X1", 104},
        {"#H", 104},
        {"", 104},
        {"   ", 104},
        {"- 1", 104},
        {"abc", 104},
        {"1E99999999999", 106},
        {"#HFFFFFFFFF", 106},
        {"#Q77777777777", 106},
        {"#Q37777777777", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(lexCode(c.text), c.code) << c.text;
    EXPECT_EQ(lexCode("#B" + std::string(32, '1')), 0);
    EXPECT_EQ(lexCode("#B" + std::string(33, '1')), 106);

    EXPECT_NEAR(*parseOne<double>("1E43"), 1e43, 1e43 * 1e-14);
    EXPECT_EQ(parseOne<double>("1E-44"), std::optional<double>(0.0));
    // An overflow or a malformed number makes the parameter parse fail.
    for (const char *text : {"1E44", "1GHZ", "5V", "1E", "1E+", "+", ".", "#Q9", "MAX", "MIN", "DEF"})
        EXPECT_FALSE(parseOne<double>(text)) << text;
}

TEST(ScpiNumbers, BlanksAroundTheNumberAreCounted)
{
    ScpiNumber number;
    std::size_t used = 0;
    const std::string text = "  12.5 \t x";
    ASSERT_EQ(lexNumber(text.data(), text.size(), number, used), 0);
    EXPECT_EQ(used, 9u);
    EXPECT_EQ(number.mantissa, 125u);
    EXPECT_EQ(number.exponent, 1u);
    EXPECT_TRUE(number.negativeExponent);

    // A NUL ends the number and is not taken as a blank.
    const char withNul[] = {'7', ' ', '\0', ' ', '1'};
    ASSERT_EQ(lexNumber(withNul, sizeof withNul, number, used), 0);
    EXPECT_EQ(used, 2u);
    EXPECT_EQ(number.mantissa, 7u);

    // Trailing zeros move into the exponent.
    ASSERT_EQ(lexCode("-2500"), 0);
    const std::string minus = "-2500";
    lexNumber(minus.data(), minus.size(), number, used);
    EXPECT_EQ(number.mantissa, 25u);
    EXPECT_EQ(number.exponent, 2u);
    EXPECT_FALSE(number.negativeExponent);
    EXPECT_TRUE(number.negative);
}

TEST(ScpiNumbers, DigitsPastThirtyTwoBitsOnlyRaiseTheExponent)
{
    // 999999999 is the longest run of nines that fits; the rest are dropped,
    // whatever their value.
    EXPECT_EQ(parseOne<double>("99999999999"), std::optional<double>(99999999900.0));
    EXPECT_EQ(parseOne<double>("4294967295999"), std::optional<double>(4294967295000.0));
    EXPECT_EQ(parseOne<double>("42949672969"), std::optional<double>(42949672900.0));
    // Fraction digits that do not fit are dropped without changing the scale.
    const std::optional<double> fraction = parseOne<double>("1.23456789012345");
    ASSERT_TRUE(fraction);
    EXPECT_DOUBLE_EQ(*fraction, 1.23456789);
    // A dropped digit never carries into the kept ones.
    EXPECT_EQ(parseOne<double>("429496729599"), std::optional<double>(429496729500.0));
}

TEST(ScpiNumbers, AgreesWithTheCLibraryOnRandomDecimals)
{
    std::mt19937 random(77);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> length(1, 9);
    std::uniform_int_distribution<int> exponent(-30, 30);
    // At most nine significant digits, which always fit the mantissa.
    for (int i = 0; i < 5000; ++i) {
        std::string text = (i % 3 == 0) ? "-" : (i % 3 == 1 ? "+" : "");
        const int integerDigits = length(random);
        for (int k = 0; k < integerDigits; ++k)
            text += char('0' + digit(random));
        if (i % 2) {
            text += '.';
            for (int k = 0, n = length(random) % (9 - integerDigits + 1); k < n; ++k)
                text += char('0' + digit(random));
        }
        if (i % 4 == 0)
            text += "E" + std::to_string(exponent(random));
        const double expected = std::strtod(text.c_str(), nullptr);
        const std::optional<double> value = parseOne<double>(text);
        ASSERT_TRUE(value) << text;
        EXPECT_NEAR(*value, expected, std::abs(expected) * 1e-13) << text;

        // Whole numbers of the int range read back exactly as ints.
        if (i % 2 == 0 && i % 4 != 0) {
            const long long whole = std::strtoll(text.c_str(), nullptr, 10);
            EXPECT_EQ(parseOne<int>(text), std::optional<int>(int(whole))) << text;
        }
    }
}

TEST(ScpiParameters, BooleansByNumberOrKeyword)
{
    struct Case
    {
        const char *text;
        std::optional<bool> expected;
    };
    const Case cases[] = {
        {"ON", true}, {"on", true},   {"OFF", false}, {"Off", false}, {"1", true}, {"2", true},
        {"0", false}, {"0.5", false}, {"-1", true},   {" ON ", true}, {"OF", {}},  {"ONE", {}},
        {"OFFF", {}}, {"", {}},       {"TRUE", {}},   {"3E9", {}},    {"ON,", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseOne<bool>(c.text), c.expected) << c.text;
}

TEST(ScpiParameters, KeywordsTakeTheShortPartAndOnlyAWholeRest)
{
    struct MethodCase
    {
        const char *text;
        std::optional<Method> expected;
    };
    const MethodCase methods[] = {
        {"FILTER", Method::FILTERING},
        {"FILTERING", Method::FILTERING},
        {"filtering", Method::FILTERING},
        {"FILT", {}},
        {"FILTERI", {}},
        {"BI", Method::BISECT},
        {"BISECT", Method::BISECT},
        {"bisec", {}},
        {"TIME", Method::TIME_GATING},
        {"TIMEGATING", Method::TIME_GATING},
        {"TIMEGATE", {}},
        {"", {}},
        {"GATING", {}},
    };
    for (const MethodCase &c : methods)
        EXPECT_EQ(parseOne<Method>(c.text), c.expected) << c.text;

    struct ConversionCase
    {
        const char *text;
        std::optional<Conversion> expected;
    };
    const ConversionCase conversions[] = {
        {"SYST", Conversion::System},
        {"SYSTEM", Conversion::System},
        {"system", Conversion::System},
        {"USER", Conversion::User},
        {"US", Conversion::User},
        {"FIXT", Conversion::Fixture},
        {"FIXTURE", Conversion::Fixture},
        {"NONE", {}},
        {"SYS", {}},
        {"USE", {}},
    };
    for (const ConversionCase &c : conversions)
        EXPECT_EQ(parseOne<Conversion>(c.text), c.expected) << c.text;
}

TEST(ScpiParameters, KeywordTablesAreBuiltFromTheWrittenForms)
{
    const auto &methods = correctionMethodKeywords();
    ASSERT_EQ(methods.size(), 3u);
    EXPECT_EQ(methods[1].shortPart, QByteArray("filter"));
    EXPECT_EQ(methods[1].rest, QByteArray("ing"));
    EXPECT_EQ(methods[0].shortPart, QByteArray("bi"));
    EXPECT_EQ(methods[0].rest, QByteArray("sect"));
    ASSERT_EQ(booleanKeywords().size(), 2u);
    EXPECT_EQ(booleanKeywords()[1].shortPart, QByteArray("off"));
    EXPECT_TRUE(booleanKeywords()[1].rest.isEmpty());
    EXPECT_EQ(z0ConversionKeywords().size(), 3u);
}

TEST(ScpiParameters, QuotedStrings)
{
    struct Case
    {
        const char *text;
        std::optional<QByteArray> expected;
    };
    const Case cases[] = {
        {"\"a;b\"", QByteArray("a;b")},
        {"'say \"hi\"'", QByteArray("say \"hi\"")},
        {"\"it's\"", QByteArray("it's")},
        {"  \"C:/tmp/file.s2p\"  ", QByteArray("C:/tmp/file.s2p")},
        {"\"\"", QByteArray("")},
        {"\"caf\xc3\xa9\"", QByteArray("caf\xc3\xa9")},
        {"\"open", {}},
        {"'mixed\"", {}},
        {"plain", {}},
        {"\"a\" x", {}},
        {"\"a\",", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseOne<QByteArray>(c.text), c.expected) << c.text;
}

TEST(ScpiParameters, PortIndexIsStoredZeroBased)
{
    EXPECT_EQ(parseOne<PortIndex>("1")->value, 0);
    EXPECT_EQ(parseOne<PortIndex>("4")->value, 3);
    EXPECT_EQ(parseOne<PortIndex>("0")->value, -1); // the command checks the range
    EXPECT_FALSE(parseOne<PortIndex>("X"));
}

TEST(ScpiParameters, SeparatorsBetweenAndAfterParameters)
{
    auto two = [](const std::string &text) -> std::optional<std::pair<double, double>> {
        double a = 0, b = 0;
        if (!parseParameters(text.data(), text.data() + text.size(), a, b))
            return std::nullopt;
        return std::make_pair(a, b);
    };
    EXPECT_EQ(two("1,2"), std::make_optional(std::make_pair(1.0, 2.0)));
    EXPECT_EQ(two(" 1.5E3 , -2 "), std::make_optional(std::make_pair(1500.0, -2.0)));
    EXPECT_EQ(two("1, 2"), std::make_optional(std::make_pair(1.0, 2.0)));
    for (const char *bad : {"1 2", "1,,2", "1,2,", "1,", ",1,2", "1", "", "1;2", "1,2 3"})
        EXPECT_FALSE(two(bad)) << bad;

    EXPECT_TRUE(parseOne<int>("5 "));
    EXPECT_FALSE(parseOne<int>("5,"));
    EXPECT_FALSE(parseOne<int>("5 ,"));
    EXPECT_FALSE(parseOne<int>("5 6"));

    const std::string none = " \t\r\n";
    EXPECT_TRUE(parseParameters(none.data(), none.data() + none.size()));
    const std::string extra = " 1";
    EXPECT_FALSE(parseParameters(extra.data(), extra.data() + extra.size()));
}

TEST(ScpiSuffixes, NumericSuffixes)
{
    struct Case
    {
        const char *text;
        std::optional<int> expected; // 0-based
    };
    const Case cases[] = {
        {"", 0},
        {"1", 0},
        {"2", 1},
        {"007", 6},
        {"2X", 1},
        {"12ab3", 11},
        {"0", {}},
        {"00", {}},
        {"X2", {}},
        {"-1", {}},
        {"99999999999999", 2147483646},
    };
    for (const Case &c : cases) {
        const std::string text = c.text;
        NumericIndex index;
        const bool ok = parseNumericIndex(text.data(), text.data() + text.size(), index);
        EXPECT_EQ(ok ? std::optional<int>(index.value) : std::nullopt, c.expected) << c.text;
    }
    int value = 0;
    const std::string empty;
    ASSERT_TRUE(parseSuffixNumber(empty.data(), empty.data(), value));
    EXPECT_EQ(value, 1);
}

} // namespace
