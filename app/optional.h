#pragma once
// An optional value that QML can read and write through QVariant: an empty
// optional is seen as undefined, and a variant written from QML or read from
// a settings file is converted to the value type.

#include <QMetaType>
#include <QString>
#include <QVariant>

#include <optional>
#include <utility>

namespace Helpers {

// Converts a variant to T; false when it cannot be converted. Text becomes a
// boolean only when it says so ("true"/"false"/"1"/"0", any case), because
// Qt's own conversion takes every other text, "no" included, as true.
template<typename T>
bool convertVariant(const QVariant &variant, T &out)
{
    QVariant copy = variant;
    if (!copy.convert(qMetaTypeId<T>()))
        return false;
    out = copy.value<T>();
    return true;
}

template<>
inline bool convertVariant<bool>(const QVariant &variant, bool &out)
{
    if (variant.userType() == QMetaType::QString || variant.userType() == QMetaType::QByteArray) {
        const QString text = variant.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1")) {
            out = true;
            return true;
        }
        if (text == QLatin1String("false") || text == QLatin1String("0")) {
            out = false;
            return true;
        }
        return false;
    }
    QVariant copy = variant;
    if (!copy.convert(QMetaType::Bool))
        return false;
    out = copy.toBool();
    return true;
}

template<typename T>
class Optional
{
public:
    Optional() = default;
    Optional(const T &value) : m_value(value) {}
    Optional(T &&value) : m_value(std::move(value)) {}

    bool hasValue() const { return m_value.has_value(); }
    explicit operator bool() const { return hasValue(); }
    const T &value() const { return m_value.value(); }
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }
    T valueOr(const T &fallback) const { return m_value.value_or(fallback); }
    void reset() { m_value.reset(); }

    Optional &operator=(const T &value)
    {
        m_value = value;
        return *this;
    }

    // Null or invalid empties; a variant of type T is stored as it is; any
    // other variant is converted, and a failed conversion stores T's default.
    Optional &operator=(const QVariant &variant)
    {
        if (!variant.isValid() || variant.isNull()) {
            m_value.reset();
        } else if (variant.userType() == qMetaTypeId<T>()) {
            m_value = variant.value<T>();
        } else {
            T converted{};
            if (!convertVariant<T>(variant, converted))
                converted = T{};
            m_value = converted;
        }
        return *this;
    }

    // QVariant(value) when set, an invalid variant otherwise.
    QVariant toVariant() const { return m_value ? QVariant::fromValue(*m_value) : QVariant(); }

    bool operator==(const Optional &other) const { return m_value == other.m_value; }
    bool operator!=(const Optional &other) const { return m_value != other.m_value; }

    // An empty optional differs from every variant; a set one differs when
    // Qt's (converting) variant comparison says so, so 5025 equals "5025".
    bool operator!=(const QVariant &variant) const
    {
        if (!m_value)
            return true;
        return QVariant::fromValue(*m_value) != variant;
    }

private:
    std::optional<T> m_value;
};

} // namespace Helpers
