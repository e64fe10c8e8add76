#include "app/siformat.h"
#include "app/unitformatter.h"

#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlEngine>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

namespace {

const QString kMicro = QString(QChar(0x00B5));

TEST(SiPrefixTable, ThirteenEntriesFromAttoToExaInThousandSteps)
{
    const auto &table = siPrefixTable();
    ASSERT_EQ(table.size(), 13u);
    const char *prefixes[] = {"a", "f", "p", "n", nullptr, "m", "", "k", "M", "G", "T", "P", "E"};
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_DOUBLE_EQ(table[i].factor, std::pow(10.0, 3.0 * (int(i) - 6))) << i;
        EXPECT_EQ(table[i].prefix, prefixes[i] ? QString(prefixes[i]) : kMicro) << i;
    }
}

TEST(FormatSi, PicksTheNearestPrefixAndRoundsToThePrecision)
{
    struct Case
    {
        double value;
        int precision;
        QString expected;
    };
    const Case cases[] = {
        {2.5e-11, 2, "25 p"},
        {0.0, 2, "0"},
        {-0.0, 2, "0"},
        {-1500, 2, "-1.5 k"},
        {1e9, 2, "1 G"},
        {0.123456789, 11, "123.457 m"},
        {500, 6, "500 "},
        {500.5, 6, "500.5 "}, // tie between 1 and 1e3: the first entry wins
        {500.6, 6, "0.5006 k"},
        {600, 6, "0.6 k"},
        {0.0006, 6, "0.6 m"},
        {3.3e-6, 3, "3.3 " + kMicro},
        {1.23456e-9, 2, "1.23 n"},
        {-1.235e12, 2, "-1.24 T"}, // halves go away from zero
        {4.7e15, 1, "4.7 P"},
        {2e18, 0, "2 E"},
        {50.004, 2, "50 "},
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatSi(c.value, c.precision), c.expected) << c.value << " precision " << c.precision;
}

TEST(FormatSi, NonFiniteValuesKeepTheFirstEntry)
{
    EXPECT_EQ(formatSi(std::numeric_limits<double>::quiet_NaN(), 2), QString("nan a"));
    EXPECT_EQ(formatSi(std::numeric_limits<double>::infinity(), 2), QString("inf a"));
    EXPECT_EQ(formatSi(-std::numeric_limits<double>::infinity(), 2), QString("-inf a"));
}

TEST(FormatSi, HugePrecisionDoesNotTurnAValueIntoNan)
{
    EXPECT_EQ(formatSi(1.5e300, 300), formatSi(1.5e300, 6));
    EXPECT_FALSE(formatSi(123.0, 400).contains("nan"));
    EXPECT_EQ(formatSi(123.0, 400), QString("123 "));
}

// The labels of one axis: one prefix, the largest label's, and enough
// decimals that neighbouring labels never print alike.
TEST(FormatSiShared, OnePrefixForAllLabels)
{
    struct Case
    {
        std::vector<double> values;
        int precision;
        std::vector<QString> expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {{0.8, 0.6, 0.4, 0.2, 0.0}, 2, {"0.8 ", "0.6 ", "0.4 ", "0.2 ", "0"}},
        {{-0.004, 0.002, 0.0}, 2, {"-4 m", "2 m", "0"}},
        {{2e9, 1.5e9, 1e9, 5e8}, 2, {"2 G", "1.5 G", "1 G", "0.5 G"}},
        // Spacing finer than the precision: more decimals, no two alike.
        {{1.002, 1.001, 1.0}, 2, {"1.002 ", "1.001 ", "1 "}},
        // Rounding noise of the label arithmetic vanishes.
        {{0.30000000000000004, 0.1 + 0.1, 1e-17}, 2, {"300 m", "200 m", "0"}},
        {{0.0, 0.0}, 2, {"0", "0"}},
        {{nan, 1500.0}, 2, {"nan", "1.5 k"}},
        {{}, 2, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatSiShared(c.values, c.precision), c.expected) << c.values.size() << " values";
}

TEST(ParseSi, AcceptsPlainAndPrefixedDecimalsOnly)
{
    struct Case
    {
        QString text;
        double expected;
    };
    const Case cases[] = {
        {"12", 12},
        {"-7", -7},
        {"+3.25", 3.25},
        {"1.5k", 1500},
        {"1.5 k", 1500},
        {"-2 " + kMicro, -2e-6},
        {"3 m", 3e-3},
        {"3 M", 3e6},
        {"4f", 4e-15},
        {"4p", 4e-12},
        {"4n", 4e-9},
        {"2G", 2e9},
        {"2T", 2e12},
        {"2P", 2e15},
        {"2E", 2e18},
        {"7   ", 7}, // blanks and no prefix: factor 1
        // Prefixes the table does not hold, and what is not a decimal.
        {"5 c", 0},
        {"5 d", 0},
        {"5 da", 0},
        {"5 h", 0},
        {"5 a", 0},
        {"1e3", 0},
        {".5", 0},
        {"5.", 0},
        {"", 0},
        {"abc", 0},
        {"1.5 kk", 0},
        {" 12", 0},
        {"12 k ", 0},
        {"1,5", 0},
        {"2 " + QString(QChar(0x03BC)), 0}, // Greek mu is not the micro sign
    };
    for (const Case &c : cases) {
        const double value = parseSi(c.text);
        if (c.expected == 0)
            EXPECT_EQ(value, 0.0) << c.text.toStdString();
        else
            EXPECT_NEAR(value, c.expected, std::abs(c.expected) * 1e-15) << c.text.toStdString();
    }
}

TEST(ParseSi, ReadsBackWhatFormatSiWrites)
{
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> exponent(-15.0, 20.0);
    for (int i = 0; i < 2000; ++i) {
        const double value = (i % 2 ? -1.0 : 1.0) * std::pow(10.0, exponent(random));
        const QString text = formatSi(value, 6);
        const double back = parseSi(text.trimmed());
        // Six significant digits survive the trip (the rounding to decimals
        // before the printing may cost one unit of the last digit).
        EXPECT_NEAR(back, value, std::abs(value) * 1e-5) << text.toStdString();
        EXPECT_NE(back, 0.0) << text.toStdString();
    }
}

TEST(UnitFormatter, ToPrecisionRoundsHalvesAwayFromZero)
{
    UnitFormatter formatter;
    EXPECT_DOUBLE_EQ(formatter.toPrecision(1.23456, 2), 1.23);
    EXPECT_DOUBLE_EQ(formatter.toPrecision(-0.125, 2), -0.13);
    EXPECT_DOUBLE_EQ(formatter.toPrecision(0.125, 2), 0.13);
    EXPECT_DOUBLE_EQ(formatter.toPrecision(2.5, 0), 3.0);
    EXPECT_DOUBLE_EQ(formatter.toPrecision(1.23456789), 1.234568);
    EXPECT_DOUBLE_EQ(formatter.toPrecision(1234.0, -2), 1200.0);
    EXPECT_DOUBLE_EQ(formatter.toPrecision(1e300, 20), 1e300);
}

class UnitFormatterQml : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { UnitFormatter::registerQmlType(); }

    QVariant evaluate(const QString &expression)
    {
        QQmlComponent component(&m_engine);
        component.setData(("import QtQml 2.15\nimport UnitFormatter 1.0\n"
                           "QtObject { property var result: "
                           + expression + " }")
                              .toUtf8(),
                          QUrl());
        std::unique_ptr<QObject> object(component.create());
        if (!object) {
            ADD_FAILURE() << component.errorString().toStdString();
            return {};
        }
        return object->property("result");
    }

    QQmlEngine m_engine;
};

TEST_F(UnitFormatterQml, SingletonSlotsWithAndWithoutPrecision)
{
    EXPECT_EQ(evaluate("UnitFormatter.toNormalized(2.5e-11, 2)").toString(), QString("25 p"));
    EXPECT_EQ(evaluate("UnitFormatter.toNormalized(0.123456789)").toString(), QString("123.457 m"));
    EXPECT_EQ(evaluate("UnitFormatter.toNormalizedList([0.8, 0.4, 0], 2)").toStringList(),
              QStringList({"0.8 ", "0.4 ", "0"}));
    EXPECT_EQ(evaluate("UnitFormatter.toMetric(\"1.5 k\")").toDouble(), 1500.0);
    EXPECT_EQ(evaluate("UnitFormatter.toMetric(\"1e3\")").toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(evaluate("UnitFormatter.toPrecision(1.23456, 2)").toDouble(), 1.23);
    EXPECT_DOUBLE_EQ(evaluate("UnitFormatter.toPrecision(1.23456789)").toDouble(), 1.234568);
    // One instance per engine.
    EXPECT_TRUE(evaluate("UnitFormatter === UnitFormatter").toBool());
}

} // namespace
