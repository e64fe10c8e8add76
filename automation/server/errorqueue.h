#pragma once
// The error queue of one remote-control connection: the codes of its failed
// messages, oldest first. It holds at most maxCodes codes, so that a client
// that fails message after message without reading them cannot grow it
// without end; while it is full, newer codes are dropped and the oldest,
// which tell what went wrong first, are kept. Appended on the GUI thread
// after a message has finished and read by the same connection's next
// message; the one-message-at-a-time rule keeps the two apart, so there is
// no lock.

#include <QList>
#include <QString>

namespace Korvel {
namespace Automation {

class ErrorQueue
{
public:
    static constexpr int maxCodes = 1000;

    // Appends the code unless the queue is full.
    void push(int code)
    {
        if (m_codes.size() < maxCodes)
            m_codes.append(code);
    }
    // Removes and returns the oldest code; 0 when the queue is empty.
    int takeError();
    // The error query's answer for the oldest code, which it removes.
    QString takeErrorAnswer();

    bool isEmpty() const { return m_codes.isEmpty(); }
    int size() const { return m_codes.size(); }
    const QList<int> &codes() const { return m_codes; }
    void clear() { m_codes.clear(); }

private:
    QList<int> m_codes;
};

} // namespace Automation
} // namespace Korvel
