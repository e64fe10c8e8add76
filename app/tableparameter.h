#pragma once
// One named row of a parameter table. The row stores no value: its getter
// reads the value from the object that owns it, and the optional setter
// hands an edit back to that object.

#include "measurement/measureenums.h"

#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

class TableParameter
{
public:
    using Getter = std::function<QVariant()>;
    using Setter = std::function<void(const QVariant &)>;
    using Check = std::function<CoreMeasureEnums::RecommendedResult()>;

    // Recommended text, one message per check result, and the check itself.
    struct Recommendation
    {
        QString recommendedText;
        QMap<int, QString> messages;
        Check check;
    };

    TableParameter(QString name, Getter getter);

    // Replaces any earlier recommendation.
    void setRecommendation(const QString &recommendedText, Check check, const QMap<int, QString> &messages);
    void clearRecommendation();
    void setSetter(Setter setter);
    void setUnits(const QString &units);
    void setValidator(const QRegularExpression &validator);
    void setEnumerationValues(const QStringList &values);

    QString name() const { return m_name; }
    // The current value, read through the getter.
    QVariant value() const;
    QString units() const { return m_units; }

    bool hasRecommendation() const { return m_recommendation.has_value(); }
    const std::optional<Recommendation> &recommendation() const { return m_recommendation; }
    // Error for a row without recommendation (or without a check function),
    // else the check's verdict.
    CoreMeasureEnums::RecommendedResult checkResult() const;
    // The message for the current check result; empty when the map has no
    // entry for it or the row has no recommendation.
    QString message() const;

    bool hasSetter() const { return static_cast<bool>(m_setter); }
    // Calls the setter; false (and nothing called) on a read-only row.
    bool set(const QVariant &value) const;

    const std::optional<QRegularExpression> &validator() const { return m_validator; }
    const std::optional<QStringList> &enumerationValues() const { return m_enumerationValues; }

private:
    QString m_name;
    std::optional<Recommendation> m_recommendation;
    Getter m_getter;
    Setter m_setter;
    std::optional<QRegularExpression> m_validator;
    std::optional<QStringList> m_enumerationValues;
    QString m_units;
};
