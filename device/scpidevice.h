#pragma once
// One SCPI text connection to the analyser's control software: commands are
// written as lines, replies are read back one line at a time.

#include <QAbstractSocket>
#include <QObject>
#include <QString>

#include <optional>

class QTcpSocket;
class QHostAddress;
class QTimer;

// "The error during data exchange with VNA has been occurred", built once at
// load time (before any translator is installed).
extern const QString scpiExchangeErrorText;

class ScpiDevice : public QObject
{
    Q_OBJECT
public:
    static constexpr int defaultConnectTimeoutMs = 3000;

    explicit ScpiDevice(QObject *parent = nullptr, int connectTimeoutMs = defaultConnectTimeoutMs);
    ~ScpiDevice() override;

    // Numeric IPv4/IPv6 addresses only; a host name never connects. Connected
    // to another peer: the connection is dropped and false returned, the next
    // call connects to the new peer.
    bool connectToHost(const QString &host, quint16 port);
    void disconnectFromHost();
    bool isConnected() const;
    QAbstractSocket::SocketState state() const;

    // The command is written as passed (with its line feed). False, with the
    // error signal, when it could not be written (also when not connected).
    bool send(const QString &command);

    // The simplified reply line; empty on time-out, interrupt, dropped
    // connection or write failure. A query that gives up while still connected
    // drops the connection and reconnects to the same peer, so a late reply
    // can never answer a later query.
    std::optional<QString> query(const QString &command, qint64 timeoutMs);
    // Without a time-out: only a reply, an interrupt or a dropped connection
    // ends the wait.
    std::optional<QString> query(const QString &command);

signals:
    void error(QString text);
    void interrupted();
    void stateChanged(QAbstractSocket::SocketState state);
    void disconnected();

public slots:
    // Ends a pending query at once.
    void interrupt();

private:
    std::optional<QString> runQuery(const QString &command, std::optional<qint64> timeoutMs);
    bool connectSocket(const QHostAddress &address, quint16 port);
    void giveUp(QTimer &timer);
    void reconnectAfterGivingUp();
    void reportExchangeError(const QString &command);

    QTcpSocket *m_socket;
    bool m_interrupted = false;
    int m_connectTimeoutMs;
};
