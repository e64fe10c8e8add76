#pragma once
// Records the signals of a QObject in emission order (a light stand-in for a
// signal spy): connect() each signal of interest under a name, then compare
// names() or read texts() of the error-like signals.

#include "algorithms/modelnotice.h"

#include <QMetaMethod>
#include <QObject>
#include <QString>

#include <string>
#include <vector>

class SignalLog
{
public:
    template<typename Sender, typename Signal>
    void connect(const Sender *sender, Signal signal, const std::string &name)
    {
        m_connections.push_back(QObject::connect(sender, signal, [this, name]() { m_names.push_back(name); }));
    }

    // For signals carrying one QString: the text is recorded as well.
    template<typename Sender, typename Owner>
    void connectText(const Sender *sender, void (Owner::*signal)(QString), const std::string &name)
    {
        m_connections.push_back(QObject::connect(sender, signal, [this, name](const QString &t) {
            m_names.push_back(name);
            m_texts.push_back(t);
        }));
    }

    // For signals carrying a model notice: its whole text is recorded.
    template<typename Sender, typename Owner>
    void connectText(const Sender *sender, void (Owner::*signal)(Algorithms::ModelNotice), const std::string &name)
    {
        m_connections.push_back(QObject::connect(sender, signal, [this, name](const Algorithms::ModelNotice &notice) {
            m_names.push_back(name);
            m_texts.push_back(notice.text());
        }));
    }

    ~SignalLog()
    {
        for (auto &c : m_connections)
            QObject::disconnect(c);
    }

    const std::vector<std::string> &names() const { return m_names; }
    const std::vector<QString> &texts() const { return m_texts; }
    int count(const std::string &name) const
    {
        int n = 0;
        for (const auto &s : m_names)
            n += s == name;
        return n;
    }
    void clear()
    {
        m_names.clear();
        m_texts.clear();
    }

private:
    std::vector<QMetaObject::Connection> m_connections;
    std::vector<std::string> m_names;
    std::vector<QString> m_texts;
};

// The texts other than the passivity notice of a computed model: the band
// edges of a gated model can raise that notice where the test is about
// something else.
inline std::vector<QString> withoutPassivityNotices(const std::vector<QString> &texts)
{
    std::vector<QString> kept;
    for (const QString &t : texts)
        if (!(t.startsWith(QStringLiteral("The fixture model of ")) && t.contains(QStringLiteral(" is not passive"))))
            kept.push_back(t);
    return kept;
}

// The names with the entries named error dropped.
inline std::vector<std::string> withoutErrors(const std::vector<std::string> &names)
{
    std::vector<std::string> kept;
    for (const std::string &n : names)
        if (n != "error")
            kept.push_back(n);
    return kept;
}
