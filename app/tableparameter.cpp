#include "app/tableparameter.h"

#include <utility>

TableParameter::TableParameter(QString name, Getter getter) : m_name(std::move(name)), m_getter(std::move(getter)) {}

void TableParameter::setRecommendation(const QString &recommendedText, Check check, const QMap<int, QString> &messages)
{
    m_recommendation = Recommendation{recommendedText, messages, std::move(check)};
}

void TableParameter::clearRecommendation()
{
    m_recommendation.reset();
}

void TableParameter::setSetter(Setter setter)
{
    m_setter = std::move(setter);
}

void TableParameter::setUnits(const QString &units)
{
    m_units = units;
}

void TableParameter::setValidator(const QRegularExpression &validator)
{
    m_validator = validator;
}

void TableParameter::setEnumerationValues(const QStringList &values)
{
    m_enumerationValues = values;
}

QVariant TableParameter::value() const
{
    // A row built without a getter shows nothing rather than throwing.
    return m_getter ? m_getter() : QVariant();
}

CoreMeasureEnums::RecommendedResult TableParameter::checkResult() const
{
    if (!m_recommendation || !m_recommendation->check)
        return CoreMeasureEnums::RecommendedResult::Error;
    return m_recommendation->check();
}

QString TableParameter::message() const
{
    if (!m_recommendation)
        return QString();
    return m_recommendation->messages.value(static_cast<int>(checkResult()));
}

bool TableParameter::set(const QVariant &value) const
{
    if (!m_setter)
        return false;
    m_setter(value);
    return true;
}
