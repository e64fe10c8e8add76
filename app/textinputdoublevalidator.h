#pragma once
// A numeric input validator for QML text fields (registered as
// "TextDoubleValidator" 1.0): refuses, while typing, any text that is not a
// finite number within [bottom, top] with at most `decimals` decimals.

#include <QDoubleValidator>

class TextInputDoubleValidator : public QDoubleValidator
{
    Q_OBJECT
public:
    explicit TextInputDoubleValidator(QObject *parent = nullptr);

    static void registerQmlType();

    State validate(QString &input, int &position) const override;
};
