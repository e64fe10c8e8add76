#pragma once
// The error queue of one remote-control connection: the codes of its failed
// messages, oldest first, without a size limit. Appended on the GUI thread
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
    void push(int code) { m_codes.append(code); }
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
