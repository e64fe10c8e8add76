#pragma once
// Readable GoogleTest failure output for Qt value types. Every test binary
// includes this header first (see vuk_add_gtests), so the printers are seen
// wherever a Qt value appears in an assertion.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    constexpr int shown = 300;
    *os << '"' << bytes.left(shown).toStdString() << (bytes.size() > shown ? "..." : "") << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '{';
    for (int i = 0; i < list.size(); ++i)
        *os << (i ? ", " : "") << '"' << list[i].toStdString() << '"';
    *os << '}';
}

inline void PrintTo(const QVariant &value, std::ostream *os)
{
    *os << "QVariant(" << (value.isValid() ? value.typeName() : "invalid") << ", " << value.toString().toStdString()
        << ")";
}
QT_END_NAMESPACE
