#pragma once
// Collects the Qt log lines (qDebug, qWarning, ...) emitted while it lives.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <mutex>

class LogCapture
{
public:
    LogCapture()
    {
        std::lock_guard<std::mutex> lock(mutex());
        storage().clear();
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(mutex());
        return storage();
    }
    bool contains(const QString &text) const
    {
        for (const QString &line : lines())
            if (line.contains(text))
                return true;
        return false;
    }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &msg)
    {
        std::lock_guard<std::mutex> lock(mutex());
        storage() << msg;
    }
    static QStringList &storage()
    {
        static QStringList lines;
        return lines;
    }
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    QtMessageHandler m_previous = nullptr;
};
