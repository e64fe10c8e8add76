#include "app/textinputdoublevalidator.h"

#include <QQmlEngine>

#include <cmath>

TextInputDoubleValidator::TextInputDoubleValidator(QObject *parent) : QDoubleValidator(parent) {}

void TextInputDoubleValidator::registerQmlType()
{
    qmlRegisterType<TextInputDoubleValidator>("TextDoubleValidator", 1, 0, "TextDoubleValidator");
}

QValidator::State TextInputDoubleValidator::validate(QString &input, int &) const
{
    if (input.isEmpty())
        return Intermediate;
    if (input == QLatin1String("-"))
        return bottom() < 0 ? Intermediate : Invalid;

    const QLocale numberLocale = locale();
    const int point = input.indexOf(numberLocale.decimalPoint());
    if (point >= 0 && input.size() - point - 1 > decimals())
        return Invalid;

    bool ok = false;
    const double value = numberLocale.toDouble(input, &ok);
    // The locale's parser also takes "nan" and "inf", which are no input.
    if (!ok || !std::isfinite(value) || value < bottom() || value > top())
        return Invalid;
    return Acceptable;
}
