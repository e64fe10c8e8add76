#include "app/textinputdoublevalidator.h"

#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlEngine>

#include <limits>
#include <memory>

namespace {

QValidator::State check(const TextInputDoubleValidator &validator, QString text)
{
    int position = text.size();
    return validator.validate(text, position);
}

TEST(TextInputDoubleValidator, RefusesOutOfRangeAndOverlongInputWhileTyping)
{
    TextInputDoubleValidator validator;
    validator.setLocale(QLocale::c());
    validator.setRange(1, 1000, 2);

    struct Case
    {
        const char *text;
        QValidator::State expected;
    };
    const Case cases[] = {
        {"", QValidator::Intermediate},   {"999.99", QValidator::Acceptable}, {"1000", QValidator::Acceptable},
        {"1", QValidator::Acceptable},    {"12.3", QValidator::Acceptable},   {"0.5", QValidator::Invalid},
        {"1000.01", QValidator::Invalid}, {"5000", QValidator::Invalid},      {"12.345", QValidator::Invalid},
        {"-", QValidator::Invalid},       {"-5", QValidator::Invalid},        {"abc", QValidator::Invalid},
        {"12a", QValidator::Invalid},     {"nan", QValidator::Invalid},       {"inf", QValidator::Invalid},
    };
    for (const Case &c : cases)
        EXPECT_EQ(check(validator, c.text), c.expected) << c.text;
}

TEST(TextInputDoubleValidator, LoneMinusIsIntermediateOnlyWhenNegativesAreAllowed)
{
    TextInputDoubleValidator validator;
    validator.setLocale(QLocale::c());
    validator.setRange(-10, 10, 3);
    EXPECT_EQ(check(validator, "-"), QValidator::Intermediate);
    EXPECT_EQ(check(validator, "-9.999"), QValidator::Acceptable);
    EXPECT_EQ(check(validator, "-10.5"), QValidator::Invalid);
    validator.setBottom(0);
    EXPECT_EQ(check(validator, "-"), QValidator::Invalid);
}

TEST(TextInputDoubleValidator, UnboundedRangeStillRefusesNonFiniteText)
{
    TextInputDoubleValidator validator;
    validator.setLocale(QLocale::c());
    validator.setRange(-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(), 4);
    EXPECT_EQ(check(validator, "1e300"), QValidator::Acceptable);
    EXPECT_EQ(check(validator, "inf"), QValidator::Invalid);
    EXPECT_EQ(check(validator, "-inf"), QValidator::Invalid);
    EXPECT_EQ(check(validator, "nan"), QValidator::Invalid);
}

TEST(TextInputDoubleValidator, UsesTheDecimalPointOfItsLocale)
{
    TextInputDoubleValidator validator;
    validator.setLocale(QLocale(QLocale::German, QLocale::Germany));
    validator.setRange(0, 100, 1);
    EXPECT_EQ(check(validator, "12,5"), QValidator::Acceptable);
    EXPECT_EQ(check(validator, "12,55"), QValidator::Invalid);
}

TEST(TextInputDoubleValidator, WorksAsTheValidatorOfAQmlTextInput)
{
    QLocale::setDefault(QLocale::c());
    TextInputDoubleValidator::registerQmlType();
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQuick 2.15
        import TextDoubleValidator 1.0
        TextInput {
            validator: TextDoubleValidator { bottom: 1; top: 1000; decimals: 2 }
            function accepts(value) { text = value; return acceptableInput }
        })",
                      QUrl());
    std::unique_ptr<QObject> input(component.create());
    ASSERT_TRUE(input) << component.errorString().toStdString();
    auto accepts = [&](const QString &text) {
        QVariant result;
        EXPECT_TRUE(
            QMetaObject::invokeMethod(input.get(), "accepts", Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, text)));
        return result.toBool();
    };
    EXPECT_TRUE(accepts("999.99"));
    EXPECT_FALSE(accepts("0.5"));
    EXPECT_FALSE(accepts("1001"));
    EXPECT_TRUE(accepts("42"));
}

} // namespace
